#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The factory content of the synthesizer's seven banks, built into the program: 7 x 65536
// signed 16-bit values, bank b at b x 65536. Banks 1 to 3 hold 252 single-cycle waves of 256
// values each followed by four silent cycles; banks 4 to 7 hold one sound each. The last 1024
// values of every bank are 0.
class DvFactoryTable {
public:
    static constexpr std::size_t bankCount = 7;
    static constexpr std::size_t valuesPerBank = 65536;
    static constexpr std::size_t valueCount = bankCount * valuesPerBank;

    // All 7 x 65536 values; read-only, valid for the whole run.
    static std::span<const std::int16_t, valueCount> values();
    // The 65536 values of one bank (0 ... 6); an empty span for any other index.
    static std::span<const std::int16_t> bank(int bank);
};
