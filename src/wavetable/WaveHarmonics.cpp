#include "wavetable/WaveHarmonics.h"

#include "wavetable/WaveQuantizer.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <kissfft.hh>
#include <numbers>
#include <vector>

using Complex = std::complex<double>;

WaveHarmonics::WaveHarmonics()
    : forward_(std::make_unique<kissfft<double>>(waveLength, false)),
      inverse_(std::make_unique<kissfft<double>>(waveLength, true)) {}

WaveHarmonics::~WaveHarmonics() = default;

WaveHarmonics::Set WaveHarmonics::analyse(std::span<const double> wave) {
    Set set{};
    if (wave.size() < waveLength) {
        return set;
    }
    std::array<Complex, waveLength> in{};
    std::array<Complex, waveLength> bins{};
    std::copy_n(wave.begin(), waveLength, in.begin());
    forward_->transform(in.data(), bins.data());
    const double n = waveLength;
    set[0] = {bins[0].real() / n, 0.0};
    for (int k = 1; k < count; ++k) {
        set[k] = {2.0 * std::abs(bins[k]) / n, std::arg(bins[k])};
    }
    const double nyquist = bins[count].real() / n;
    set[count] = {std::abs(nyquist), nyquist < 0 ? std::numbers::pi : 0.0};
    return set;
}

WaveHarmonics::Set WaveHarmonics::analyse(std::span<const std::int16_t> wave) {
    std::array<double, waveLength> values{};
    for (std::size_t i = 0; i < waveLength && i < wave.size(); ++i) {
        values[i] = wave[i];
    }
    return analyse(values);
}

void WaveHarmonics::synthesize(const Set& harmonics, std::span<double> wave) {
    if (wave.size() < waveLength) {
        return;
    }
    std::array<Complex, waveLength> bins{};
    std::array<Complex, waveLength> out{};
    const double n = waveLength;
    bins[0] = harmonics[0].magnitude * n;
    for (int k = 1; k < count; ++k) {
        bins[k] = std::polar(harmonics[k].magnitude * n / 2.0, harmonics[k].phase);
        bins[waveLength - k] = std::conj(bins[k]);
    }
    bins[count] = harmonics[count].magnitude * n * std::cos(harmonics[count].phase);
    inverse_->transform(bins.data(), out.data());
    for (std::size_t i = 0; i < waveLength; ++i) {
        wave[i] = out[i].real() / n;
    }
}

std::size_t WaveHarmonics::setHarmonic(std::span<std::int16_t> wave, int harmonic, Harmonic value) {
    if (wave.size() < waveLength || harmonic < 1 || harmonic > count) {
        return 0;
    }
    Set set = analyse(wave);
    set[static_cast<std::size_t>(harmonic)] = value;
    std::array<double, waveLength> values{};
    synthesize(set, values);
    WaveQuantizer quantizer;
    quantizer.apply(values, wave);
    return quantizer.clamped;
}

double WaveHarmonics::toDb(double magnitude) {
    return magnitude <= 32768.0 * 1.6e-5 ? -96.0 : 20.0 * std::log10(magnitude / 32768.0);
}

double WaveHarmonics::fromDb(double db) {
    return db <= -96.0 ? 0.0 : 32768.0 * std::pow(10.0, db / 20.0);
}

double WaveHarmonics::setMagnitudeWithin(std::span<std::int16_t> wave, int harmonic,
                                         double magnitude) {
    if (wave.size() < waveLength || harmonic < 1 || harmonic > count) {
        return 0.0;
    }
    Set set = analyse(wave);
    Harmonic& h = set[static_cast<std::size_t>(harmonic)];
    if (h.magnitude < 0.5) {
        h.phase = harmonic == count ? 0.0 : -std::numbers::pi / 2;
    }
    std::array<double, waveLength> values{};
    const auto fits = [&](double m) {
        h.magnitude = m;
        synthesize(set, values);
        return std::all_of(values.begin(), values.end(),
                           [](double v) { return v < 32767.5 && v >= -32768.5; });
    };
    double low = 0.0;
    double high = std::max(0.0, magnitude);
    if (!fits(high)) {
        // The largest magnitude that still fits, found to a tenth of a unit.
        for (int i = 0; i < 40 && high - low > 0.1; ++i) {
            const double middle = 0.5 * (low + high);
            (fits(middle) ? low : high) = middle;
        }
        high = low;
        fits(high);
    }
    WaveQuantizer quantizer;
    quantizer.apply(values, wave);
    return high;
}
