#include "wavetable/WaveHarmonics.h"

#include "wavetable/WaveQuantizer.h"

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
