#include "wavetable/WaveOperations.h"

#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveQuantizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace WaveOperations {

namespace {

constexpr double fullScale = 32767.0;

std::size_t waveCount(std::span<const std::int16_t> values, std::size_t waveLength) {
    return waveLength == 0 ? 0 : values.size() / waveLength;
}

int peakOf(std::span<const std::int16_t> wave) {
    int peak = 0;
    for (const std::int16_t v : wave) {
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    return peak;
}

std::size_t scale(std::span<std::int16_t> wave, double gain) {
    WaveQuantizer quantizer;
    quantizer.gain = gain;
    for (std::int16_t& v : wave) {
        v = quantizer(v);
    }
    return quantizer.clamped;
}

} // namespace

std::size_t normalize(std::span<std::int16_t> values, std::size_t waveLength, bool together) {
    const std::size_t waves = waveCount(values, waveLength);
    std::size_t clamped = 0;
    if (together) {
        const int peak = peakOf(values.first(waves * waveLength));
        return peak == 0 ? 0 : scale(values.first(waves * waveLength), fullScale / peak);
    }
    for (std::size_t w = 0; w < waves; ++w) {
        const auto wave = values.subspan(w * waveLength, waveLength);
        const int peak = peakOf(wave);
        if (peak != 0) {
            clamped += scale(wave, fullScale / peak);
        }
    }
    return clamped;
}

std::size_t removeDc(std::span<std::int16_t> values, std::size_t waveLength) {
    const std::size_t waves = waveCount(values, waveLength);
    WaveQuantizer quantizer;
    for (std::size_t w = 0; w < waves; ++w) {
        const auto wave = values.subspan(w * waveLength, waveLength);
        double sum = 0.0;
        for (const std::int16_t v : wave) {
            sum += v;
        }
        const double mean = sum / static_cast<double>(waveLength);
        for (std::int16_t& v : wave) {
            v = quantizer(v - mean);
        }
    }
    return quantizer.clamped;
}

void reverse(std::span<std::int16_t> values, std::size_t waveLength) {
    const std::size_t waves = waveCount(values, waveLength);
    for (std::size_t w = 0; w < waves; ++w) {
        const auto wave = values.subspan(w * waveLength, waveLength);
        std::reverse(wave.begin(), wave.end());
    }
}

void fadeIn(std::span<std::int16_t> values, std::size_t length) {
    const std::size_t n = std::min(length, values.size());
    for (std::size_t i = 0; i < n; ++i) {
        values[i] = static_cast<std::int16_t>(std::lround(values[i] * (double(i) / double(n))));
    }
}

void fadeOut(std::span<std::int16_t> values, std::size_t length) {
    const std::size_t n = std::min(length, values.size());
    for (std::size_t i = 0; i < n; ++i) {
        std::int16_t& v = values[values.size() - 1 - i];
        v = static_cast<std::int16_t>(std::lround(v * (double(i) / double(n))));
    }
}

std::size_t invert(std::span<std::int16_t> values) {
    std::size_t clamped = 0;
    for (std::int16_t& v : values) {
        if (v == -32768) {
            v = 32767;
            ++clamped;
        } else {
            v = static_cast<std::int16_t>(-v);
        }
    }
    return clamped;
}

void crossfade(std::span<double> waves, std::size_t waveLength) {
    const std::size_t count = waveLength == 0 ? 0 : waves.size() / waveLength;
    if (count < 3) {
        return;
    }
    const double* first = waves.data();
    const double* last = waves.data() + (count - 1) * waveLength;
    for (std::size_t w = 1; w + 1 < count; ++w) {
        const double t = static_cast<double>(w) / static_cast<double>(count - 1);
        double* wave = waves.data() + w * waveLength;
        for (std::size_t i = 0; i < waveLength; ++i) {
            wave[i] = (1.0 - t) * first[i] + t * last[i];
        }
    }
}

std::size_t morphFill(std::span<std::int16_t> values, std::size_t waveLength, Morph morph) {
    const std::size_t waves = waveCount(values, waveLength);
    if (waves < 3) {
        return 0;
    }
    const auto first = values.first(waveLength);
    const auto last = values.subspan((waves - 1) * waveLength, waveLength);
    WaveQuantizer quantizer;
    if (morph == Morph::spectral && waveLength == WaveHarmonics::waveLength) {
        WaveHarmonics harmonics;
        const WaveHarmonics::Set a = harmonics.analyse(first);
        const WaveHarmonics::Set b = harmonics.analyse(last);
        std::vector<double> wave(waveLength);
        for (std::size_t w = 1; w + 1 < waves; ++w) {
            const double t = static_cast<double>(w) / static_cast<double>(waves - 1);
            WaveHarmonics::Set mix{};
            mix[0].magnitude = (1.0 - t) * a[0].magnitude + t * b[0].magnitude;
            for (int k = 1; k < WaveHarmonics::count; ++k) {
                // The shorter way round from one phase to the other.
                const double turn = std::remainder(b[k].phase - a[k].phase, 2.0 * std::numbers::pi);
                mix[k] = {(1.0 - t) * a[k].magnitude + t * b[k].magnitude, a[k].phase + t * turn};
            }
            // The top harmonic has a sign, not a phase: its signed level goes straight across.
            const auto top = [](const WaveHarmonics::Harmonic& h) {
                return h.magnitude * std::cos(h.phase);
            };
            mix[WaveHarmonics::count] = {
                (1.0 - t) * top(a[WaveHarmonics::count]) + t * top(b[WaveHarmonics::count]), 0.0};
            harmonics.synthesize(mix, wave);
            quantizer.apply(wave, values.subspan(w * waveLength, waveLength));
        }
        return quantizer.clamped;
    }
    std::vector<double> mixed(values.begin(), values.begin() + waves * waveLength);
    crossfade(mixed, waveLength);
    const std::size_t inner = (waves - 2) * waveLength;
    quantizer.apply(std::span<const double>(mixed).subspan(waveLength, inner),
                    values.subspan(waveLength, inner));
    return quantizer.clamped;
}

std::string describe(Kind kind) {
    static constexpr const char* names[] = {
        "normalize", "normalize together", "remove DC",        "reverse", "invert",
        "clear",     "morph (crossfade)",  "morph (spectral)", "fade in", "fade out"};
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(names) ? names[index] : "";
}

std::string describeSlots(int first, int last) {
    return first == last ? "slot " + std::to_string(first + 1)
                         : "slots " + std::to_string(first + 1) + "-" + std::to_string(last + 1);
}

bool isMorph(Kind kind) {
    return kind == Kind::morphCrossfade || kind == Kind::morphSpectral;
}

void apply(Kind kind, std::span<std::int16_t> values, std::size_t waveLength,
           std::size_t fadeLength) {
    switch (kind) {
    case Kind::normalize:
    case Kind::normalizeTogether:
        normalize(values, waveLength, kind == Kind::normalizeTogether);
        break;
    case Kind::removeDc:
        removeDc(values, waveLength);
        break;
    case Kind::reverse:
        reverse(values, waveLength);
        break;
    case Kind::invert:
        invert(values);
        break;
    case Kind::clear:
        std::fill(values.begin(), values.end(), std::int16_t{0});
        break;
    case Kind::morphCrossfade:
    case Kind::morphSpectral:
        morphFill(values, waveLength,
                  kind == Kind::morphCrossfade ? Morph::crossfade : Morph::spectral);
        break;
    case Kind::fadeIn:
        fadeIn(values, fadeLength);
        break;
    case Kind::fadeOut:
        fadeOut(values, fadeLength);
        break;
    }
}

} // namespace WaveOperations
