#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

// A binary output file stream with fixed-width writes in either byte order. Creates the file or
// truncates an existing one. Seeking back and writing overwrites in place.
class LoFileWriter : public std::ofstream {
public:
    // A writer with no file yet; a subclass opens one later with the standard open.
    LoFileWriter() = default;
    explicit LoFileWriter(const std::filesystem::path& path);
    ~LoFileWriter() override;

    LoFileWriter(const LoFileWriter&) = delete;
    LoFileWriter& operator=(const LoFileWriter&) = delete;

    // Nothing happens for a null source or a count of 0.
    LoFileWriter& write(const void* source, std::size_t count);
    LoFileWriter& write8(std::uint32_t value);
    // Low 16 or 32 bits, most significant byte first when bigEndian.
    LoFileWriter& write16(std::uint32_t value, bool bigEndian);
    LoFileWriter& write32(std::uint32_t value, bool bigEndian);

    std::int32_t tell();
    // Moves to an absolute position; returns the previous position.
    std::int32_t seek(std::int32_t position);
};
