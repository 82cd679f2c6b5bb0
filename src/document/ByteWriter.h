#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Little-endian fields appended to a byte vector, for the files the editor keeps of its work.
// Strings and arrays go with their length first.
class ByteWriter {
public:
    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u32(std::uint32_t value);
    void u64(std::uint64_t value);
    void f64(double value);
    void text(std::string_view text);
    void values(std::span<const std::int16_t> values);

    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};
