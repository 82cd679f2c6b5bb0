#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Reads what a ByteWriter wrote. Every read is checked against the bytes left: a read past the
// end gives zero or empty and leaves the reader failed, so that a caller checks ok() once at
// the end. A length field is never trusted beyond the bytes that remain.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t u8();
    std::uint32_t u32();
    std::uint64_t u64();
    double f64();
    std::string text();
    // At most `limit` values; more fails the reader.
    std::vector<std::int16_t> values(std::size_t limit);

    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == bytes_.size(); }
    void fail() { ok_ = false; }

private:
    // The next count bytes, or nullptr (and failed) when fewer remain.
    const std::uint8_t* take(std::size_t count);

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};
