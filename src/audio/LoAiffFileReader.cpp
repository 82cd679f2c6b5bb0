#include "audio/LoAiffFileReader.h"

#include "audio/LoFloat80.h"
#include "audio/LoSample.h"
#include "midi/ByteOrder.h"

#include <algorithm>

LoAiffFileReader::LoAiffFileReader(const std::filesystem::path& path) : LoAudioFileReader(path) {
    readHeader();
}

LoAiffFileReader::LoAiffFileReader(std::span<const std::uint8_t> bytes) : LoAudioFileReader(bytes) {
    readHeader();
}

void LoAiffFileReader::readHeader() {
    seek(0);
    chunkId = read32(true);
    if (chunkId == idForm) {
        skip(4);
        formType = read32(true);
    }
}

LoAiffFileReader::~LoAiffFileReader() = default;

bool LoAiffFileReader::isRecognized() {
    return chunkId == idForm;
}

bool LoAiffFileReader::isSupported() {
    return chunkId == idForm && formType == idAiff;
}

bool LoAiffFileReader::readFormat(Format& format) {
    if (!findChunk(idComm, true)) {
        return false;
    }
    skip(4);
    format.channels = read16(true);
    skip(4);
    format.bits = read16(true);
    LoFloat80 rate;
    readBuffer(rate);
    // Bytes cut off by the end of the file count as 0.
    rate.bytes.resize(LoFloat80::byteCount, 0);
    format.rate = rate.toDouble();
    return true;
}

bool LoAiffFileReader::findSoundData(std::uint64_t& claimed) {
    if (!findChunk(idSsnd, true)) {
        return false;
    }
    const std::uint64_t size = read32(true);
    const std::uint32_t offset = read32(true);
    read32(true); // block size, not used
    // An offset that passes the end of the file leaves no sound to read.
    if (!skip(offset)) {
        return false;
    }
    const std::uint64_t header = 8 + std::uint64_t{offset};
    claimed = size > header ? size - header : 0;
    return true;
}

void LoAiffFileReader::readSoundBytes(LoSample& sample, std::uint64_t count, const Format& format) {
    const std::size_t width = (format.bits + 7u) / 8u;
    // Only whole samples are kept; width 0 keeps nothing.
    count = width == 0 ? 0 : count - count % width;
    LoBuffer bigEndian(static_cast<std::size_t>(count), 0);
    readBuffer(bigEndian);
    // Each sample to little-endian; a trailing partial sample is dropped.
    fromBigEndian(sample, bigEndian, width);
}

std::string LoAiffFileReader::describeFormat() {
    const auto fourCharacters = [](std::uint32_t id) {
        std::string text;
        for (int shift = 24; shift >= 0; shift -= 8) {
            const auto c = static_cast<char>((id >> shift) & 0xFF);
            text += (c >= 0x20 && c < 0x7F) ? c : '?';
        }
        return text;
    };
    constexpr std::uint32_t idAifc = 0x41494643;
    if (formType == idAiff) {
        return "AIFF";
    }
    if (formType != idAifc) {
        return "FORM file of type '" + fourCharacters(formType) + "'";
    }
    // AIFF-C: the compression type follows channels, frames, bits and the 80-bit rate.
    std::uint32_t compression = 0;
    if (findChunk(idComm, true)) {
        skip(4 + 18);
        compression = read32(true);
    }
    return good() ? "AIFF-C, compression '" + fourCharacters(compression) + "'" : "AIFF-C";
}
