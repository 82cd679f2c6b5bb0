#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// What a bank's sound looks like, without any drawing: the lowest, highest and RMS value of the
// values behind each pixel column of a waveform, and the level figures shown beside it (and by
// `vaneto list`).
class WaveformPeaks {
public:
    struct Column {
        std::int16_t low = 0;
        std::int16_t high = 0;
        float rms = 0.0f; // of the column's values, 0 ... 32768
    };

    struct Levels {
        int peak = 0;              // largest magnitude, 0 ... 32768
        std::size_t values = 0;    // how many values
        std::size_t fullScale = 0; // values at -32768 or 32767
        // Peak relative to full scale (32768) in dB; false for silence (no peak to speak of).
        bool peakDbfs(double& dbfs) const;
        // Seconds the values play at the bank's rate.
        double seconds() const;
    };

    static constexpr double bankRate = 44100.0;

    // The values split evenly into `columns` columns (each holds at least one value, so a
    // column may repeat a neighbour's when there are more columns than values). None for no
    // values or no columns.
    static std::vector<Column> columns(std::span<const std::int16_t> values, int columns);
    static Levels levels(std::span<const std::int16_t> values);
    // "-0.92 dBFS" (two decimals), "-inf dBFS" for silence.
    static std::string dbfsText(const Levels& levels);
    // One line: "peak -0.92 dBFS · 65536 values · 1.486 s at 44100 Hz · 3 at full scale".
    static std::string summary(const Levels& levels);
};
