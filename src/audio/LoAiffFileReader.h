#pragma once

#include "audio/LoAudioFileReader.h"

#include <cstdint>

// Reads AIFF files: "FORM" size "AIFF", then chunks of a 4-byte identifier, a 4-byte big-endian
// size, the data and a pad byte after an odd size. Any "FORM" file is recognised; only the form
// type "AIFF" (uncompressed big-endian PCM, always signed) is supported. Samples arrive in the
// LoSample little-endian; depths that are not a multiple of 8 stay in their containers.
class LoAiffFileReader : public LoAudioFileReader {
public:
    static constexpr std::uint32_t idForm = 0x464F524D;
    static constexpr std::uint32_t idAiff = 0x41494646;
    static constexpr std::uint32_t idComm = 0x434F4D4D;
    static constexpr std::uint32_t idSsnd = 0x53534E44;

    // Opens the file and reads its container identifiers.
    explicit LoAiffFileReader(const std::filesystem::path& path);
    ~LoAiffFileReader() override;

    bool isRecognized() override;
    bool isSupported() override;
    // The byte limit counts sound bytes after the block offset.
    LoSample& readSample(LoSample& sample, std::uint32_t byteLimit) override;
    LoSample& readSampleFormat(LoSample& sample) override;
    std::uint64_t soundDataBytes() override;
    std::string describeFormat() override;

private:
    struct Format {
        double rate = 0.0;
        std::uint16_t channels = 0;
        std::uint16_t bits = 0;
    };
    bool readCommon(Format& format);
    // Leaves the stream after the block-size field.
    bool findSoundData(std::uint32_t& size, std::uint32_t& offset);
    static void applyFormat(LoSample& sample, const Format& format);

    std::uint32_t chunkId = 0;
    std::uint32_t formType = 0;
};
