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
    explicit LoAiffFileReader(std::span<const std::uint8_t> bytes);
    ~LoAiffFileReader() override;

    bool isRecognized() override;
    bool isSupported() override;
    std::string describeFormat() override;

protected:
    // The common chunk.
    bool readFormat(Format& format) override;
    // The sound bytes after the block offset; the byte limit of readSample counts these.
    bool findSoundData(std::uint64_t& claimed) override;
    // Only whole samples are kept, each turned to little-endian.
    void readSoundBytes(LoSample& sample, std::uint64_t count, const Format& format) override;

private:
    void readHeader();

    std::uint32_t chunkId = 0;
    std::uint32_t formType = 0;
};
