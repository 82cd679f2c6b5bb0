#include "FactoryWaves.h"

#include "FactoryRandom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <functional>
#include <string_view>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int maxHarmonic = 64;       // a cycle played a few octaves up still does not alias much
constexpr int shapeResolution = 4096; // points at which a wave shape is sampled before analysis

// Harmonic h of a cycle is Re(c[h] * exp(j * 2 pi h t)); c[0] (the mean) is never used.
using Spectrum = std::vector<std::complex<double>>;

Spectrum emptySpectrum() {
    return Spectrum(maxHarmonic + 1);
}

// A sine partial of the given amplitude and phase (in cycles).
std::complex<double> partial(double amplitude, double phase = 0.0) {
    return std::polar(amplitude, 2.0 * pi * phase - pi / 2.0);
}

// The first 64 harmonics of a shape given over one period (argument 0 ... 1).
Spectrum spectrumOf(const std::function<double(double)>& shape) {
    static const auto table = [] {
        std::array<std::complex<double>, shapeResolution> t{};
        for (int k = 0; k < shapeResolution; ++k) {
            t[k] = std::polar(1.0, -2.0 * pi * k / shapeResolution);
        }
        return t;
    }();
    std::vector<double> samples(shapeResolution);
    for (int k = 0; k < shapeResolution; ++k) {
        samples[k] = shape(static_cast<double>(k) / shapeResolution);
    }
    Spectrum c = emptySpectrum();
    for (int h = 1; h <= maxHarmonic; ++h) {
        std::complex<double> sum;
        for (int k = 0; k < shapeResolution; ++k) {
            sum += samples[k] * table[(static_cast<long>(h) * k) % shapeResolution];
        }
        c[h] = sum * (2.0 / shapeResolution);
    }
    return c;
}

// Lanczos smoothing: tames the ringing of a band-limited edge.
Spectrum smoothed(Spectrum c) {
    for (int h = 1; h <= maxHarmonic; ++h) {
        const double x = pi * h / (maxHarmonic + 1);
        c[h] *= std::sin(x) / x;
    }
    return c;
}

Spectrum blend(const Spectrum& a, const Spectrum& b, double t) {
    Spectrum c = emptySpectrum();
    for (int h = 1; h <= maxHarmonic; ++h) {
        c[h] = (1.0 - t) * a[h] + t * b[h];
    }
    return c;
}

std::vector<double> synthesize(const Spectrum& c) {
    std::vector<double> cycle(FactoryWaves::cycleLength, 0.0);
    for (int i = 0; i < FactoryWaves::cycleLength; ++i) {
        const double t = static_cast<double>(i) / FactoryWaves::cycleLength;
        double sum = 0.0;
        for (int h = 1; h <= maxHarmonic; ++h) {
            sum += std::real(c[h] * std::polar(1.0, 2.0 * pi * h * t));
        }
        cycle[i] = sum;
    }
    return cycle;
}

// Scales the cycle so that it reaches full scale: 32767 at its highest or -32768 at its
// lowest, whichever comes first, and rounds it.
std::vector<std::int16_t> toFullScale(const std::vector<double>& cycle) {
    double high = 0.0, low = 0.0;
    for (const double v : cycle) {
        high = std::max(high, v);
        low = std::min(low, v);
    }
    std::vector<std::int16_t> out(cycle.size(), 0);
    if (high <= 0.0 && low >= 0.0) {
        return out;
    }
    const double scale =
        std::min(high > 0.0 ? 32767.0 / high : 1e300, low < 0.0 ? 32768.0 / -low : 1e300);
    for (std::size_t i = 0; i < cycle.size(); ++i) {
        out[i] =
            static_cast<std::int16_t>(std::clamp(std::lround(cycle[i] * scale), -32768L, 32767L));
    }
    return out;
}

double fraction(double x) {
    return x - std::floor(x);
}

// Position 0 ... 1 of step k of n.
double step(int k, int n) {
    return n > 1 ? static_cast<double>(k) / (n - 1) : 0.0;
}

double sweep(double from, double to, double t) {
    return from * std::pow(to / from, t);
}

using Family = std::vector<Spectrum>;

// --- wave bank 1: analog-style shapes --------------------------------------------------------

Family brightnessSweep(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double b = sweep(0.8, 80.0, step(k, n));
        Spectrum c = emptySpectrum();
        for (int h = 1; h <= maxHarmonic; ++h) {
            c[h] = partial(std::exp(-(h - 1) / b) / h, 0.5);
        }
        f.push_back(smoothed(c));
    }
    return f;
}

Family pulseWidths(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double w = 0.5 - 0.46 * step(k, n);
        f.push_back(smoothed(spectrumOf([w](double t) { return t < w ? 1.0 : -1.0; })));
    }
    return f;
}

Family hardSync(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double ratio = 1.0 + 4.0 * step(k, n);
        f.push_back(smoothed(spectrumOf([ratio](double t) { return 2.0 * fraction(ratio * t); })));
    }
    return f;
}

Family resonantSaw(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double cutoff = sweep(1.5, 16.0, step(k, n));
        const double q = 4.0;
        Spectrum c = emptySpectrum();
        for (int h = 1; h <= maxHarmonic; ++h) {
            const double x = h / cutoff;
            const double gain = 1.0 / std::sqrt((1 - x * x) * (1 - x * x) + (x / q) * (x / q));
            c[h] = partial(gain / h, 0.5);
        }
        f.push_back(c);
    }
    return f;
}

Family shapeMorph(int n) {
    const Spectrum triangle = spectrumOf([](double t) { return 1.0 - 4.0 * std::abs(t - 0.5); });
    const Spectrum saw = smoothed(spectrumOf([](double t) { return 2.0 * t - 1.0; }));
    const Spectrum square = smoothed(spectrumOf([](double t) { return t < 0.5 ? -1.0 : 1.0; }));
    Family f;
    for (int k = 0; k < n; ++k) {
        const double t = step(k, n);
        f.push_back(t < 0.5 ? blend(triangle, saw, 2.0 * t) : blend(saw, square, 2.0 * t - 1.0));
    }
    return f;
}

Family overdrivenSine(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double drive = sweep(1.0, 30.0, step(k, n));
        f.push_back(smoothed(
            spectrumOf([drive](double t) { return std::tanh(drive * std::sin(2.0 * pi * t)); })));
    }
    return f;
}

Family twoOscillators(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const int ratio = 2 + k / 5;
        const double mix = 0.15 + 0.15 * (k % 5);
        Spectrum c = emptySpectrum();
        for (int h = 1; h <= maxHarmonic; ++h) {
            c[h] = partial(1.0 / h, 0.5);
        }
        for (int m = 1; m * ratio <= maxHarmonic; m += 2) {
            c[m * ratio] += partial(mix / m);
        }
        f.push_back(smoothed(c));
    }
    return f;
}

// --- wave bank 2: organs, voices and instruments ---------------------------------------------

Family drawbarOrgans(int n) {
    // Drawbar footages as harmonics of the lowest one: 16', 5 1/3', 8', 4', 2 2/3', 2', 1 3/5',
    // 1 1/3', 1'.
    constexpr std::array<int, 9> harmonics = {1, 3, 2, 4, 6, 8, 10, 12, 16};
    constexpr std::array<std::string_view, 16> classics = {
        "888000000", "886000000", "808000000", "888800000", "888888888", "800000888",
        "868000000", "838000000", "688600000", "888000008", "008800000", "848000000",
        "876543211", "008888000", "886600004", "808808008"};
    FactoryRandom random(0x0E6A11);
    std::array<double, maxHarmonic + 1> phases{};
    for (double& p : phases) {
        p = random.uniform();
    }
    Family f;
    for (int k = 0; k < n; ++k) {
        std::array<int, 9> levels{};
        if (k < static_cast<int>(classics.size())) {
            for (int d = 0; d < 9; ++d) {
                levels[d] = classics[k][d] - '0';
            }
        } else {
            levels[0] = 4 + static_cast<int>(random.uniform() * 5);
            for (int d = 1; d < 9; ++d) {
                levels[d] = static_cast<int>(random.uniform() * 9) * (random.uniform() < 0.7);
            }
        }
        Spectrum c = emptySpectrum();
        for (int d = 0; d < 9; ++d) {
            if (levels[d] > 0) {
                const int h = harmonics[d];
                c[h] += partial(std::pow(10.0, -(8 - levels[d]) * 3.0 / 20.0), phases[h]);
            }
        }
        f.push_back(c);
    }
    return f;
}

struct Vowel {
    std::array<double, 3> formants;
};

// Voiced vowels over a fundamental: a glottal source falling with frequency, shaped by three
// formant peaks. The vowels a, e, i, o, u follow one another and the last leads back to a.
Family vowelMorph(int n, double fundamental, const std::array<Vowel, 5>& vowels) {
    constexpr std::array<double, 3> gains = {1.0, 0.5, 0.25};
    constexpr std::array<double, 3> bandwidths = {90.0, 110.0, 160.0};
    Family f;
    for (int k = 0; k < n; ++k) {
        const double position = 5.0 * k / n;
        const int from = static_cast<int>(position) % 5;
        const int to = (from + 1) % 5;
        const double t = position - std::floor(position);
        Spectrum c = emptySpectrum();
        for (int h = 1; h <= maxHarmonic; ++h) {
            const double frequency = h * fundamental;
            double gain = 0.02;
            for (int m = 0; m < 3; ++m) {
                const double formant =
                    (1.0 - t) * vowels[from].formants[m] + t * vowels[to].formants[m];
                const double x = (frequency - formant) / (bandwidths[m] / 2.0);
                gain += gains[m] / (1.0 + x * x);
            }
            c[h] = partial(gain / std::pow(h, 1.1), 0.0);
        }
        f.push_back(c);
    }
    return f;
}

Family instrumentMorph(int n) {
    const std::vector<std::vector<double>> instruments = {
        {1, 0.25, 0.1, 0.05, 0.02, 0.01},                                          // flute
        {1, 0.02, 0.6, 0.03, 0.35, 0.02, 0.25, 0.02, 0.15, 0.02, 0.1, 0.01, 0.06}, // clarinet
        {0.45, 0.8, 1, 0.7, 0.4, 0.35, 0.25, 0.2, 0.12, 0.1, 0.06, 0.04},          // oboe
        {0.7, 1, 0.8, 0.65, 0.55, 0.5, 0.35, 0.3, 0.25, 0.2, 0.15, 0.12, 0.1},     // saxophone
        {0.35, 0.7, 0.95, 1, 0.85, 0.7, 0.55, 0.45, 0.35, 0.28, 0.22, 0.17, 0.13}, // trumpet
        {1, 0.7, 0.4, 0.25, 0.12, 0.07, 0.04, 0.02},                               // horn
        {1, 0.6, 0.55, 0.35, 0.45, 0.3, 0.2, 0.25, 0.15, 0.12, 0.1, 0.08, 0.07},   // violin
        {1, 0.9, 0.5, 0.45, 0.3, 0.28, 0.15, 0.12, 0.1, 0.06},                     // cello
        {0.3, 0.6, 0.8, 1, 0.75, 0.5, 0.35, 0.2, 0.12, 0.08},                      // bassoon
        {1, 0.5, 0.3, 0.2, 0.1, 0.05, 0.03},                                       // organ pipe
    };
    const auto amplitude = [&instruments](std::size_t which, int h) {
        const std::vector<double>& table = instruments[which];
        const auto size = static_cast<int>(table.size());
        if (h <= size) {
            return table[h - 1];
        }
        return h <= 48 ? table.back() * std::pow(0.7, h - size) : 0.0;
    };
    FactoryRandom random(0x1A57);
    std::array<double, maxHarmonic + 1> phases{};
    for (double& p : phases) {
        p = random.uniform();
    }
    Family f;
    const double last = static_cast<double>(instruments.size() - 1);
    for (int k = 0; k < n; ++k) {
        const double position = last * step(k, n);
        const auto from = static_cast<std::size_t>(std::min(std::floor(position), last - 1));
        const double t = position - static_cast<double>(from);
        Spectrum c = emptySpectrum();
        for (int h = 1; h <= maxHarmonic; ++h) {
            c[h] = partial((1.0 - t) * amplitude(from, h) + t * amplitude(from + 1, h), phases[h]);
        }
        f.push_back(c);
    }
    return f;
}

// --- wave bank 3: digital shapes -------------------------------------------------------------

Family frequencyModulation() {
    constexpr std::array<int, 6> ratios = {1, 2, 3, 4, 5, 7};
    Family f;
    for (const int ratio : ratios) {
        for (int j = 0; j < 12; ++j) {
            // higher ratios spread further: their index stops earlier
            const double index = sweep(0.3, std::min(7.5, 12.0 / ratio), step(j, 12));
            f.push_back(spectrumOf([ratio, index](double t) {
                return std::sin(2.0 * pi * t + index * std::sin(2.0 * pi * ratio * t));
            }));
        }
    }
    return f;
}

Family resonance(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double r = 1.0 + 9.0 * step(k, n);
        f.push_back(
            smoothed(spectrumOf([r](double t) { return (1.0 - t) * std::sin(2.0 * pi * r * t); })));
    }
    return f;
}

Family spectralScan(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double centre = sweep(1.0, 12.0, step(k, n));
        Spectrum c = emptySpectrum();
        for (int h = 1; h <= maxHarmonic; ++h) {
            const double x = (h - centre) / 1.5;
            c[h] = partial(std::exp(-x * x) + (h == 1 ? 0.5 : 0.0), 0.25 * h);
        }
        f.push_back(c);
    }
    return f;
}

Family randomSpectra(int n) {
    FactoryRandom random(0x5EC7A);
    Family f;
    for (int k = 0; k < n; ++k) {
        const double tilt = 0.6 + 1.4 * step(k, n);
        Spectrum c = emptySpectrum();
        c[1] = partial(1.0, random.uniform());
        for (int h = 2; h <= maxHarmonic; ++h) {
            if (random.uniform() < 0.6) {
                const double u = random.uniform();
                c[h] = partial(u * u / std::pow(h, tilt), random.uniform());
            }
        }
        f.push_back(c);
    }
    return f;
}

Family steppedSine(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double levels = 2.0 + k;
        f.push_back(smoothed(spectrumOf(
            [levels](double t) { return std::round(std::sin(2.0 * pi * t) * levels) / levels; })));
    }
    return f;
}

Family wavefolder(int n) {
    Family f;
    for (int k = 0; k < n; ++k) {
        const double gain = 1.0 + 4.0 * step(k, n);
        f.push_back(spectrumOf(
            [gain](double t) { return std::sin(pi / 2.0 * gain * std::sin(2.0 * pi * t)); }));
    }
    return f;
}

Family familiesOf(int index) {
    std::vector<Family> parts;
    switch (index) {
    case 0:
        parts = {brightnessSweep(36), pulseWidths(36),    hardSync(35),      resonantSaw(35),
                 shapeMorph(35),      overdrivenSine(35), twoOscillators(35)};
        break;
    case 1: {
        const std::array<Vowel, 5> male = {Vowel{{730, 1090, 2440}}, Vowel{{530, 1840, 2480}},
                                           Vowel{{270, 2290, 3010}}, Vowel{{570, 840, 2410}},
                                           Vowel{{300, 870, 2240}}};
        const std::array<Vowel, 5> female = {Vowel{{850, 1220, 2810}}, Vowel{{610, 2330, 2990}},
                                             Vowel{{310, 2790, 3310}}, Vowel{{590, 920, 2710}},
                                             Vowel{{370, 950, 2670}}};
        parts = {drawbarOrgans(40), vowelMorph(60, 110.0, male), vowelMorph(60, 220.0, female),
                 instrumentMorph(87)};
        break;
    }
    default:
        parts = {frequencyModulation(), resonance(40),   spectralScan(40),
                 randomSpectra(40),     steppedSine(25), wavefolder(30)};
        break;
    }
    Family all;
    for (const Family& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

} // namespace

std::vector<std::int16_t> FactoryWaves::basicCycle(int which) {
    std::vector<std::int16_t> out(cycleLength, 0);
    for (int i = 0; i < cycleLength; ++i) {
        const double angle = 2.0 * pi * i / cycleLength;
        long v = 0;
        switch (which) {
        case 0: // sine: 0 at the start, +32767 a quarter in, -32767 three quarters in
            v = std::lround(32767.0 * std::sin(angle));
            break;
        case 1: // square
            v = i < cycleLength / 2 ? 32767 : -32767;
            break;
        case 2: // rising sawtooth from -32512 to 32765
            v = -32512 + std::lround(i * 65277.0 / (cycleLength - 1));
            break;
        case 3: { // triangle in phase with the sine, peaks +-32766
            const double q = static_cast<double>(i) / (cycleLength / 4);
            const double shape = q <= 1.0 ? q : (q <= 3.0 ? 2.0 - q : q - 4.0);
            v = std::lround(32766.0 * shape);
            break;
        }
        default: // full-wave rectified sine, two humps, centred
            v = std::lround(32767.0 * (2.0 * std::abs(std::sin(angle)) - 1.0));
            break;
        }
        out[i] = static_cast<std::int16_t>(v);
    }
    return out;
}

std::vector<std::int16_t> FactoryWaves::bank(int index) {
    std::vector<std::int16_t> out(65536, 0);
    auto cursor = out.begin();
    for (int b = 0; b < basicCount; ++b) {
        const std::vector<std::int16_t> cycle = basicCycle(b);
        cursor = std::copy(cycle.begin(), cycle.end(), cursor);
    }
    const Family waves = familiesOf(index);
    for (std::size_t w = 0; w < waves.size() && w < cycleCount - basicCount; ++w) {
        const std::vector<std::int16_t> cycle = toFullScale(synthesize(waves[w]));
        cursor = std::copy(cycle.begin(), cycle.end(), cursor);
    }
    return out;
}
