#include "audio/LoAiffFileReader.h"

#include "audio/LoFloat80.h"
#include "audio/LoSample.h"
#include "midi/ByteOrder.h"

#include <algorithm>

LoAiffFileReader::LoAiffFileReader(const std::filesystem::path& path) : LoAudioFileReader(path) {
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

bool LoAiffFileReader::readCommon(Format& format) {
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

bool LoAiffFileReader::findSoundData(std::uint32_t& size, std::uint32_t& offset) {
    if (!findChunk(idSsnd, true)) {
        return false;
    }
    size = read32(true);
    offset = read32(true);
    read32(true); // block size, not used
    return true;
}

void LoAiffFileReader::applyFormat(LoSample& sample, const Format& format) {
    sample.setSampleRate(format.rate);
    sample.setChannels(format.channels);
    sample.setBitsPerSample(format.bits);
    sample.setUnsigned8(false);
}

LoSample& LoAiffFileReader::readSample(LoSample& sample, std::uint32_t byteLimit) {
    Format format;
    sample.bytes.clear();
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    // An offset that passes the end of the file leaves no sound to read.
    if (readCommon(format) && findSoundData(size, offset) && skip(offset)) {
        const std::uint64_t claimed = std::uint64_t{size};
        const std::uint64_t header = 8 + std::uint64_t{offset};
        const std::uint64_t available = claimed > header ? claimed - header : 0;
        std::uint64_t count = (byteLimit == 0 || byteLimit > available) ? available : byteLimit;
        count = std::min(count, bytesLeft());
        const std::size_t width = (format.bits + 7u) / 8u;
        // Only whole samples are kept; width 0 keeps nothing.
        count = width == 0 ? 0 : count - count % width;
        LoBuffer bigEndian(static_cast<std::size_t>(count), 0);
        readBuffer(bigEndian);
        // Each sample to little-endian; a trailing partial sample is dropped.
        fromBigEndian(sample, bigEndian, width);
    }
    applyFormat(sample, format);
    return sample;
}

LoSample& LoAiffFileReader::readSampleFormat(LoSample& sample) {
    Format format;
    sample.bytes.clear();
    readCommon(format);
    applyFormat(sample, format);
    return sample;
}

std::uint64_t LoAiffFileReader::soundDataBytes() {
    Format format;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    if (!readCommon(format) || !findSoundData(size, offset) || !skip(offset)) {
        return 0;
    }
    const std::uint64_t header = 8 + std::uint64_t{offset};
    const std::uint64_t available = size > header ? size - header : 0;
    return std::min(available, bytesLeft());
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
