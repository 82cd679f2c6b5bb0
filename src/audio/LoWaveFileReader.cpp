#include "audio/LoWaveFileReader.h"

#include "audio/LoSample.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// The sub-format of an extensible header that means integer PCM.
constexpr std::array<std::uint8_t, 16> pcmGuid = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                  0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// The sub-format of an extensible header that means IEEE floating point.
constexpr std::array<std::uint8_t, 16> floatGuid = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                    0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::uint16_t tagFloat = 3;
// Format tag, channels, rate, byte rate, block align, bits, extension size, valid bits,
// channel mask: the sub-format follows.
constexpr std::uint32_t subFormatOffset = 24;

} // namespace

LoWaveFileReader::LoWaveFileReader(const std::filesystem::path& path) : LoAudioFileReader(path) {
    readHeader();
}

LoWaveFileReader::LoWaveFileReader(std::span<const std::uint8_t> bytes) : LoAudioFileReader(bytes) {
    readHeader();
}

void LoWaveFileReader::readHeader() {
    seek(0);
    chunkId = read32(true);
    if (chunkId == idRiff) {
        skip(4);
        formType = read32(true);
    }
    // The format tag only matters for a RIFF file: other files are not walked, so that a long
    // file of another kind is not read through in search of a chunk.
    if (chunkId == idRiff && findChunk(idFmt, false)) {
        const std::uint32_t size = read32(false);
        formatTag = read16(false);
        if (formatTag == tagExtensible && size >= subFormatOffset + pcmGuid.size() &&
            skip(subFormatOffset - 2)) {
            std::array<std::uint8_t, 16> guid{};
            const bool whole = read(guid.data(), guid.size()) == guid.size();
            pcmSubFormat = whole && guid == pcmGuid;
            floatData = whole && guid == floatGuid;
        }
        floatData = floatData || formatTag == tagFloat;
    }
}

LoWaveFileReader::~LoWaveFileReader() = default;

bool LoWaveFileReader::isRecognized() {
    return chunkId == idRiff && formType == idWave;
}

bool LoWaveFileReader::isSupported() {
    return isRecognized() && (formatTag == tagPcm || (formatTag == tagExtensible && pcmSubFormat));
}

bool LoWaveFileReader::readFormat(Format& format) {
    if (!findChunk(idFmt, false)) {
        return false;
    }
    skip(6);
    format.channels = read16(false);
    format.rate = static_cast<double>(read32(false));
    skip(6);
    format.bits = read16(false);
    // Every depth that fits one byte is stored unsigned, with 128 as zero.
    format.unsigned8 = format.bits >= 1 && format.bits <= 8;
    return true;
}

bool LoWaveFileReader::findSoundData(std::uint64_t& claimed) {
    if (!findChunk(idData, false)) {
        return false;
    }
    claimed = read32(false);
    return true;
}

void LoWaveFileReader::readSoundBytes(LoSample& sample, std::uint64_t count, const Format&) {
    sample.bytes.resize(static_cast<std::size_t>(count));
    readBuffer(sample);
}

bool LoWaveFileReader::readChunk(std::uint32_t id, std::vector<std::uint8_t>& bytes,
                                 std::size_t maxBytes) {
    bytes.clear();
    if (chunkId != idRiff || !findChunk(id, false)) {
        return false;
    }
    const std::uint64_t size = read32(false);
    const std::uint64_t count = std::min<std::uint64_t>({size, maxBytes, bytesLeft()});
    bytes.resize(static_cast<std::size_t>(count));
    bytes.resize(read(bytes.data(), bytes.size()));
    return true;
}

std::string LoWaveFileReader::describeFormat() {
    Format format;
    readFormat(format);
    const std::string bits = std::to_string(format.bits) + "-bit ";
    switch (formatTag) {
    case tagPcm:
        return bits + "PCM WAV";
    case 3:
        return bits + "floating-point WAV";
    case 6:
        return "A-law WAV";
    case 7:
        return "\u00b5-law WAV";
    case tagExtensible:
        return pcmSubFormat ? bits + "PCM WAV" : "extensible WAV of a sub-format other than PCM";
    default: {
        char text[48];
        std::snprintf(text, sizeof text, "WAV with format tag 0x%04X", unsigned{formatTag});
        return text;
    }
    }
}
