#pragma once

#include "midi/LoBuffer.h"

// The 80-bit extended float in which AIFF stores its sample rate: 10 bytes in file order, byte 0
// holding the sign (bit 7) and exponent bits 14 to 8, byte 1 exponent bits 7 to 0, bytes 2 to 9
// the 64-bit significand with its explicit integer bit, most significant byte first.
class LoFloat80 : public LoBuffer {
public:
    static constexpr std::size_t byteCount = 10;

    // Ten zero bytes.
    LoFloat80();
    ~LoFloat80() override;
    LoFloat80(const LoFloat80&) = default;
    LoFloat80& operator=(const LoFloat80&) = default;

    // Moves the bit fields into a double without arithmetic: sign, exponent bits 14, 9 to 0,
    // significand bits 62 to 11 (cut, not rounded). Exact for every practical sample rate;
    // exponents outside the double's range give other values, which callers must check. Bytes
    // missing from a short buffer count as 0.
    double toDouble() const;
};
