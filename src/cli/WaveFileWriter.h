#pragma once

#include "midi/LoFileWriter.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

// Writes signed 16-bit mono values as a RIFF WAVE file with a plain PCM format chunk.
class WaveFileWriter : public LoFileWriter {
public:
    explicit WaveFileWriter(const std::filesystem::path& path);
    ~WaveFileWriter() override;

    // Header and values in one go; answers whether every byte reached the file.
    bool writeMono16(const std::int16_t* values, std::size_t count, std::uint32_t sampleRate);
};
