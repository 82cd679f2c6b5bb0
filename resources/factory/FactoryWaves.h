#pragma once

#include <cstdint>
#include <vector>

// The single-cycle wave banks (banks 1 to 3): 252 cycles of 256 values, then four silent
// cycles. Every bank begins with the same five basic waves (sine, square, rising sawtooth,
// triangle, full-wave rectified sine); the other 247 cycles are band-limited additive waves
// arranged in families whose timbre changes step by step, so that a sweep through the bank
// morphs smoothly.
class FactoryWaves {
public:
    static constexpr int cycleLength = 256;
    static constexpr int cycleCount = 252;
    static constexpr int basicCount = 5;

    // The 65536 values of wave bank 0, 1 or 2.
    static std::vector<std::int16_t> bank(int index);
    // One of the five basic cycles (0 sine ... 4 rectified sine), 256 values.
    static std::vector<std::int16_t> basicCycle(int which);
};
