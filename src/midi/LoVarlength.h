#pragma once

#include "midi/LoBuffer.h"

#include <cstdint>

// The variable-length quantity of Standard MIDI Files: seven value bits per byte, most
// significant group first, bit 7 set in every byte but the last.
class LoVarlength : public LoBuffer {
public:
    LoVarlength();
    explicit LoVarlength(std::uint32_t value);
    ~LoVarlength() override;

    LoVarlength(const LoVarlength&) = default;
    LoVarlength& operator=(const LoVarlength&) = default;

    // Values above 0xEFFFFFFF are taken modulo 0xF0000000.
    void setValue(std::uint32_t value);
    // Unsigned 32-bit; bits shifted out at the top are lost, continuation bits are not checked.
    std::uint32_t value() const;

    // Reads bytes up to and including the first without bit 7, or up to the end of the stream.
    LoBuffer& readFrom(std::istream& stream) override;

    // True when the last byte read ended the quantity (false after a read cut short by the end
    // of the stream).
    bool complete() const;
};
