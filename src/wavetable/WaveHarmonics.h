#pragma once

#include "device/DvVaneto.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

template <typename T> class kissfft;

// The harmonics of one wave of 256 values: the wave is its mean (DC) plus, for k = 1 ... 128,
// magnitude_k x cos(2 pi k n / 256 + phase_k), in 16-bit units. Harmonic 128 alternates sign
// from value to value: a cosine only, its phase 0 or pi.
class WaveHarmonics {
public:
    static constexpr std::size_t waveLength = DvVaneto::waveLength;
    static constexpr int count = 128;

    struct Harmonic {
        double magnitude = 0.0;
        double phase = 0.0; // radians
    };
    using Set = std::array<Harmonic, count + 1>; // index 0: DC (magnitude signed, phase 0)

    WaveHarmonics();
    ~WaveHarmonics();
    WaveHarmonics(const WaveHarmonics&) = delete;
    WaveHarmonics& operator=(const WaveHarmonics&) = delete;

    // The harmonics of 256 values.
    Set analyse(std::span<const double> wave);
    Set analyse(std::span<const std::int16_t> wave);
    // The 256 values of a set of harmonics (harmonic 128 taken with its cosine part only).
    void synthesize(const Set& harmonics, std::span<double> wave);

    // Sets one harmonic (1 ... 128) of a wave of 256 values, keeping the others; answers how
    // many values had to be clamped.
    std::size_t setHarmonic(std::span<std::int16_t> wave, int harmonic, Harmonic value);

    // Sets one harmonic's magnitude (phase kept; a silent harmonic starts as a sine, harmonic
    // 128 as a cosine), stopping where the wave would pass full scale. Answers the magnitude
    // set.
    double setMagnitudeWithin(std::span<std::int16_t> wave, int harmonic, double magnitude);

    // Magnitude and level in dB of full scale (32768): 0 dB at 32768, silence at -96 dB and
    // below.
    static double toDb(double magnitude);
    static double fromDb(double db);

private:
    std::unique_ptr<kissfft<double>> forward_;
    std::unique_ptr<kissfft<double>> inverse_;
};
