#pragma once

#include <ext/stdio_filebuf.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <span>
#include <string>

#include "midi/LoMemoryStreamBuffer.h"

class LoBuffer;

// A binary input stream with fixed-width reads in either byte order, over a file or over bytes
// in memory (which read exactly as a file of the same bytes would). Reports through the stream
// state only: a file that cannot be opened gives a failed stream that delivers no bytes. Files
// are opened through the FileGate: a pipe or a device fails at once, with openError saying why.
class LoFileReader : public std::istream {
public:
    // A reader with no file yet; a subclass opens one later with open.
    LoFileReader();
    explicit LoFileReader(const std::filesystem::path& path);
    // Reads the given bytes, which must outlive the reader. The reader counts as open.
    explicit LoFileReader(std::span<const std::uint8_t> bytes);
    ~LoFileReader() override;

    LoFileReader(const LoFileReader&) = delete;
    LoFileReader& operator=(const LoFileReader&) = delete;

    // As for a file stream: open fails (and sets failbit) when something is open already.
    bool is_open() const;
    void open(const std::filesystem::path& path);
    void close();
    // Why the last open failed ("a named pipe, not a file"); empty after a good one.
    const std::string& openError() const { return openError_; }

    // Unformatted read of up to count bytes; returns the count delivered (0 for a null
    // destination or a count of 0, without touching the stream).
    std::size_t read(void* destination, std::size_t count);
    // 2 or 4 bytes; first byte most significant when bigEndian. Missing bytes count as 0.
    std::uint16_t read16(bool bigEndian);
    std::uint32_t read32(bool bigEndian);
    // Lets the buffer fill itself from this stream in its own way.
    LoBuffer& readBuffer(LoBuffer& buffer);

    std::int32_t tell();
    // Clears any failure state and moves to an absolute position; returns the previous position.
    std::int32_t seek(std::int32_t position);
    // Moves count bytes forward unless that would pass the end of the file (then nothing moves).
    bool skip(std::uint32_t count);
    // Size of the file in bytes (the position is kept); -1 when the stream is not usable.
    std::int64_t fileSize();

private:
    std::unique_ptr<__gnu_cxx::stdio_filebuf<char>> file_;
    std::string openError_;
    LoMemoryStreamBuffer memory_;
    bool inMemory_ = false;
};
