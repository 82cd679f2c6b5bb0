#include "audio/LoFloat80.h"

#include <bit>
#include <cstdint>

LoFloat80::LoFloat80() : LoBuffer(byteCount, 0) {}

LoFloat80::~LoFloat80() = default;

double LoFloat80::toDouble() const {
    std::uint8_t b[byteCount] = {};
    for (std::size_t i = 0; i < byteCount && i < bytes.size(); ++i) {
        b[i] = bytes[i];
    }
    std::uint64_t significand = 0;
    for (std::size_t i = 2; i < byteCount; ++i) {
        significand = (significand << 8) | b[i];
    }
    const std::uint64_t sign = static_cast<std::uint64_t>(b[0] >> 7) << 63;
    const std::uint64_t exponent = (static_cast<std::uint64_t>((b[0] >> 6) & 1u) << 10) |
                                   (static_cast<std::uint64_t>(b[0] & 3u) << 8) |
                                   std::uint64_t{b[1]};
    const std::uint64_t fraction = (significand >> 11) & ((std::uint64_t{1} << 52) - 1);
    return std::bit_cast<double>(sign | (exponent << 52) | fraction);
}
