#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <streambuf>

// A read-only stream buffer over bytes that stay owned by the caller and must outlive it. Reads
// and seeks behave as on a file of the same bytes; writing is refused.
class LoMemoryStreamBuffer : public std::streambuf {
public:
    LoMemoryStreamBuffer() = default;
    explicit LoMemoryStreamBuffer(std::span<const std::uint8_t> bytes);

    LoMemoryStreamBuffer(const LoMemoryStreamBuffer&) = delete;
    LoMemoryStreamBuffer& operator=(const LoMemoryStreamBuffer&) = delete;

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    char* begin_ = nullptr;
    char* end_ = nullptr;
};
