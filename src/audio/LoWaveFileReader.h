#pragma once

#include "audio/LoAudioFileReader.h"

#include <cstdint>
#include <vector>

// Reads RIFF WAVE files: "RIFF" size "WAVE", then chunks of a 4-byte identifier, a 4-byte
// little-endian size, the data and a pad byte after an odd size. Supported: integer PCM, format
// tag 1 or the extensible header (tag 0xFFFE) whose sub-format is integer PCM, at any rate,
// channel count and depth. 8-bit samples are unsigned (128 is zero), all others signed.
// Depths that are not a multiple of 8 are left in their containers as the file holds them.
// Not supported: compressed and floating-point data.
class LoWaveFileReader : public LoAudioFileReader {
public:
    static constexpr std::uint32_t idRiff = 0x52494646;
    static constexpr std::uint32_t idWave = 0x57415645;
    static constexpr std::uint32_t idFmt = 0x666D7420;
    static constexpr std::uint32_t idData = 0x64617461;
    static constexpr std::uint16_t tagPcm = 1;
    static constexpr std::uint16_t tagExtensible = 0xFFFE;

    // Opens the file and reads its identifiers and format tag (and, for the extensible header,
    // whether the sub-format is integer PCM).
    explicit LoWaveFileReader(const std::filesystem::path& path);
    explicit LoWaveFileReader(std::span<const std::uint8_t> bytes);
    ~LoWaveFileReader() override;

    bool isRecognized() override;
    bool isSupported() override;
    std::string describeFormat() override;

    std::uint16_t getFormatTag() const { return formatTag; }
    // IEEE floating-point data: format tag 3, or the extensible header with the float
    // sub-format. Not supported by readSample's callers that want integers, but readSample
    // gives its bytes as the file holds them (little-endian floats of the format's width).
    bool isFloat() const { return chunkId == idRiff && formType == idWave && floatData; }
    // Up to maxBytes of the first chunk with the given identifier (a size that runs past the
    // end of the file reads what is there). False when there is no such chunk.
    bool readChunk(std::uint32_t id, std::vector<std::uint8_t>& bytes, std::size_t maxBytes);

protected:
    bool readFormat(Format& format) override;
    // The data chunk's size.
    bool findSoundData(std::uint64_t& claimed) override;
    void readSoundBytes(LoSample& sample, std::uint64_t count, const Format& format) override;

private:
    void readHeader();

    std::uint32_t chunkId = 0;
    std::uint32_t formType = 0;
    std::uint16_t formatTag = 0;
    bool pcmSubFormat = false;
    bool floatData = false;
};
