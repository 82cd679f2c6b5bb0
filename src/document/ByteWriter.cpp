#include "document/ByteWriter.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little);

void ByteWriter::u32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void ByteWriter::u64(std::uint64_t value) {
    u32(static_cast<std::uint32_t>(value));
    u32(static_cast<std::uint32_t>(value >> 32));
}

void ByteWriter::f64(double value) {
    u64(std::bit_cast<std::uint64_t>(value));
}

void ByteWriter::text(std::string_view text) {
    u32(static_cast<std::uint32_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void ByteWriter::values(std::span<const std::int16_t> values) {
    u32(static_cast<std::uint32_t>(values.size()));
    const std::size_t at = bytes_.size();
    bytes_.resize(at + values.size_bytes());
    if (!values.empty()) {
        std::memcpy(bytes_.data() + at, values.data(), values.size_bytes());
    }
}
