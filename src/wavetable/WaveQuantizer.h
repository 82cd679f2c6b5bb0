#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

// Turns values computed in double (16-bit units) into bank values: times a gain, rounded half
// away from zero, clamped to -32768 ... 32767, with a count of the values that had to be
// clamped.
struct WaveQuantizer {
    double gain = 1.0;
    std::size_t clamped = 0;

    std::int16_t operator()(double value) {
        const double r = std::round(value * gain);
        if (r > 32767.0) {
            ++clamped;
            return 32767;
        }
        if (r < -32768.0) {
            ++clamped;
            return -32768;
        }
        // NaN compares false above and is taken as silence.
        return r == r ? static_cast<std::int16_t>(r) : std::int16_t{0};
    }

    void apply(std::span<const double> in, std::span<std::int16_t> out) {
        const std::size_t n = std::min(in.size(), out.size());
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = (*this)(in[i]);
        }
    }

    // The largest gain, at most 1, at which none of the values clamps.
    static double fitGain(std::span<const double> values) {
        double gain = 1.0;
        for (const double v : values) {
            if (v > 32767.0) {
                gain = std::min(gain, 32767.0 / v);
            } else if (v < -32768.0) {
                gain = std::min(gain, -32768.0 / v);
            }
        }
        return gain;
    }
};
