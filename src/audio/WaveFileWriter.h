#pragma once

#include "midi/LoFileWriter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

// Writes mono RIFF WAVE files: signed 16-bit PCM, or 32-bit IEEE float (format tag 3, with the
// fact chunk such files carry). Chunks of the caller's (a wavetable's frame size) follow the
// format chunk.
class WaveFileWriter : public LoFileWriter {
public:
    struct Chunk {
        std::array<char, 4> id{};
        std::vector<std::uint8_t> bytes;
    };

    explicit WaveFileWriter(const std::filesystem::path& path);
    ~WaveFileWriter() override;

    // Header and values in one go; each answers whether every byte reached the file.
    bool writeMono16(const std::int16_t* values, std::size_t count, std::uint32_t sampleRate,
                     std::span<const Chunk> extra = {});
    bool writeMonoFloat32(std::span<const float> values, std::uint32_t sampleRate,
                          std::span<const Chunk> extra = {});

private:
    // RIFF header, format chunk, the extra chunks and the data chunk's header.
    void writeHeader(std::uint16_t formatTag, std::uint16_t bits, std::uint32_t frames,
                     std::uint32_t sampleRate, std::span<const Chunk> extra);
};
