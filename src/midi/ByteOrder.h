#pragma once

#include <cstddef>
#include <cstdint>

class LoBuffer;

// Byte-order helpers. The host is little-endian: big-endian conversion is a swap, little-endian
// conversion leaves the value as it is.

// destination[i] = source[count - 1 - i]; the ranges must not overlap.
void reverseBytes(void* destination, const void* source, std::size_t count);

std::uint16_t swap16(std::uint16_t value);
std::uint32_t swap32(std::uint32_t value);

std::uint16_t bigEndian16(std::uint16_t value);
std::uint32_t bigEndian32(std::uint32_t value);
std::uint16_t littleEndian16(std::uint16_t value);
std::uint32_t littleEndian32(std::uint32_t value);

// Reverses every group of width bytes of the input into the output. A trailing partial group is
// dropped; width 0 gives an empty output.
void fromBigEndian(LoBuffer& output, const LoBuffer& input, std::size_t width);
// Copies the input; width is not used.
void fromLittleEndian(LoBuffer& output, const LoBuffer& input, std::size_t width);
