#include "document/ByteReader.h"

#include <bit>
#include <cstring>

const std::uint8_t* ByteReader::take(std::size_t count) {
    if (!ok_ || count > bytes_.size() - at_) {
        ok_ = false;
        return nullptr;
    }
    const std::uint8_t* p = bytes_.data() + at_;
    at_ += count;
    return p;
}

std::uint8_t ByteReader::u8() {
    const std::uint8_t* p = take(1);
    return p != nullptr ? *p : 0;
}

std::uint32_t ByteReader::u32() {
    const std::uint8_t* p = take(4);
    if (p == nullptr) {
        return 0;
    }
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint64_t ByteReader::u64() {
    const std::uint64_t low = u32();
    return low | std::uint64_t{u32()} << 32;
}

double ByteReader::f64() {
    return std::bit_cast<double>(u64());
}

std::string ByteReader::text() {
    const std::uint32_t size = u32();
    const std::uint8_t* p = take(size);
    return p != nullptr ? std::string(reinterpret_cast<const char*>(p), size) : std::string();
}

std::vector<std::int16_t> ByteReader::values(std::size_t limit) {
    const std::uint32_t count = u32();
    if (count > limit) {
        ok_ = false;
        return {};
    }
    const std::uint8_t* p = take(std::size_t{count} * sizeof(std::int16_t));
    if (p == nullptr || count == 0) {
        return {};
    }
    std::vector<std::int16_t> values(count);
    std::memcpy(values.data(), p, values.size() * sizeof(std::int16_t));
    return values;
}
