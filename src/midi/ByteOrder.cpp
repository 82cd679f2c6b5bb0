#include "midi/ByteOrder.h"

#include "midi/LoBuffer.h"

void reverseBytes(void* destination, const void* source, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(destination);
    const auto* in = static_cast<const std::uint8_t*>(source);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = in[count - 1 - i];
    }
}

std::uint16_t swap16(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

std::uint32_t swap32(std::uint32_t value) {
    return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) |
           ((value & 0x00FF0000u) >> 8) | ((value & 0xFF000000u) >> 24);
}

std::uint16_t bigEndian16(std::uint16_t value) {
    return swap16(value);
}
std::uint32_t bigEndian32(std::uint32_t value) {
    return swap32(value);
}
std::uint16_t littleEndian16(std::uint16_t value) {
    return value;
}
std::uint32_t littleEndian32(std::uint32_t value) {
    return value;
}

void fromBigEndian(LoBuffer& output, const LoBuffer& input, std::size_t width) {
    output.bytes.clear();
    if (width == 0) {
        return;
    }
    const std::size_t groups = input.bytes.size() / width;
    output.bytes.reserve(groups * width);
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t start = g * width;
        for (std::size_t i = width; i > 0; --i) {
            output.bytes.push_back(input.bytes[start + i - 1]);
        }
    }
}

void fromLittleEndian(LoBuffer& output, const LoBuffer& input, std::size_t /*width*/) {
    output.bytes = input.bytes;
}
