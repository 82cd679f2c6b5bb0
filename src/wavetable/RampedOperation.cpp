#include "wavetable/RampedOperation.h"

#include "wavetable/WaveFormula.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveOperations.h"
#include "wavetable/WaveQuantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <kissfft.hh>
#include <numbers>
#include <vector>

namespace {

using Kind = RampedOperation::Kind;
using Complex = std::complex<double>;
constexpr std::size_t n = RampedOperation::waveLength;
constexpr double fullScale = 32767.0;
constexpr double twoPi = 2.0 * std::numbers::pi;

constexpr RampedOperation::Info table[] = {
    {Kind::gain, "gain", "dB", true, -96, 96, -12, 0, 1, "a level in dB"},
    {Kind::lowpass, "lowpass", "harmonics", true, 0, 128, 128, 4, 0,
     "harmonics above the cutoff removed"},
    {Kind::align, "align", "", false, 0, 0, 0, 0, 0, "each slot turned to match the one before"},
    {Kind::normalize, "normalize", "", false, 0, 0, 0, 0, 0, "each slot's peak to full scale"},
    {Kind::dc, "dc", "", false, 0, 0, 0, 0, 0, "each slot's mean removed"},
    {Kind::reverse, "reverse", "", false, 0, 0, 0, 0, 0, "each slot back to front"},
    {Kind::invert, "invert", "", false, 0, 0, 0, 0, 0, "each slot upside down"},
    {Kind::warp, "warp", "", true, 0.05, 20, 1, 3, 2, "the phase bent: the wave read at x^amount"},
    {Kind::fold, "fold", "", true, 0, 64, 1, 4, 2, "the wave driven into a wavefolder"},
};

std::optional<double> number(std::string_view text) {
    const std::string word(text);
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string amountText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Each wave of the range in doubles, changed by `change(wave, amount)`, then quantized back.
template <typename Change>
std::size_t perWave(const RampedOperation::Operation& op, std::span<std::int16_t> waves,
                    Change change) {
    const std::size_t count = waves.size() / n;
    WaveQuantizer quantizer;
    std::array<double, n> wave{};
    for (std::size_t s = 0; s < count; ++s) {
        const double t = count == 1 ? 0.0 : static_cast<double>(s) / double(count - 1);
        const auto values = waves.subspan(s * n, n);
        std::copy(values.begin(), values.end(), wave.begin());
        change(wave, op.from + (op.to - op.from) * t);
        quantizer.apply(wave, values);
    }
    return quantizer.clamped;
}

// Each slot turned by the fractional shift that best matches the slot before it as already
// aligned: the peak of the circular cross-correlation, found on the whole values by one
// transform and then refined on the correlation's own trigonometric polynomial.
std::size_t align(std::span<std::int16_t> waves) {
    const std::size_t count = waves.size() / n;
    if (count < 2) {
        return 0;
    }
    WaveHarmonics harmonics;
    kissfft<double> forward(n, false);
    WaveQuantizer quantizer;
    constexpr int top = WaveHarmonics::count; // its phase is a sign: it takes no fraction
    WaveHarmonics::Set before = harmonics.analyse(waves.first(n));
    std::array<double, n> wave{};
    std::array<Complex, n> cross{};
    std::array<Complex, n> sums{};
    for (std::size_t s = 1; s < count; ++s) {
        const auto values = waves.subspan(s * n, n);
        WaveHarmonics::Set set = harmonics.analyse(values);
        // f(d) = sum over k of c_k cos(theta_k - w_k d): how well the wave moved on by d
        // values matches the one before.
        std::array<double, top> c{};
        std::array<double, top> theta{};
        cross.fill({});
        for (int k = 1; k < top; ++k) {
            c[k] = set[k].magnitude * before[k].magnitude;
            theta[k] = set[k].phase - before[k].phase;
            cross[static_cast<std::size_t>(k)] = std::polar(c[k], theta[k]);
        }
        forward.transform(cross.data(), sums.data());
        std::size_t best = 0;
        for (std::size_t d = 1; d < n; ++d) {
            if (sums[d].real() > sums[best].real()) {
                best = d;
            }
        }
        double shift = static_cast<double>(best);
        for (int step = 0; step < 6; ++step) {
            double slope = 0.0;
            double bend = 0.0;
            for (int k = 1; k < top; ++k) {
                const double w = twoPi * k / double(n);
                const double angle = theta[k] - w * shift;
                slope += c[k] * w * std::sin(angle);
                bend -= c[k] * w * w * std::cos(angle);
            }
            if (bend >= 0.0) {
                break; // not at a peak: the whole value stands
            }
            const double next =
                std::clamp(shift - slope / bend, double(best) - 0.5, double(best) + 0.5);
            const bool settled = std::abs(next - shift) < 1e-9;
            shift = next;
            if (settled) {
                break;
            }
        }
        for (int k = 1; k < top; ++k) {
            set[k].phase -= twoPi * k * shift / double(n);
        }
        if (std::lround(shift) % 2 != 0) {
            set[top].phase += std::numbers::pi;
        }
        harmonics.synthesize(set, wave);
        quantizer.apply(wave, values);
        before = set;
    }
    return quantizer.clamped;
}

} // namespace

std::span<const RampedOperation::Info> RampedOperation::kinds() {
    return table;
}

const RampedOperation::Info& RampedOperation::info(Kind kind) {
    return table[static_cast<std::size_t>(kind)];
}

std::optional<RampedOperation::Operation> RampedOperation::parse(std::string_view text,
                                                                 std::string& error) {
    const auto equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const auto found = std::find_if(std::begin(table), std::end(table),
                                    [&](const Info& i) { return i.name == name; });
    if (found == std::end(table)) {
        std::string known;
        for (const Info& i : table) {
            known += (known.empty() ? "" : ", ") + std::string(i.name);
        }
        error = "no operation '" + std::string(name) + "' (there are " + known + ")";
        return std::nullopt;
    }
    const Info& kind = *found;
    Operation op{kind.kind, 0.0, 0.0};
    if (!kind.hasAmount) {
        if (equals != std::string_view::npos) {
            error = std::string(kind.name) + " takes no amount";
            return std::nullopt;
        }
        return op;
    }
    const std::string usage = std::string(kind.name) + "=A or " + std::string(kind.name) + "=A:B";
    if (equals == std::string_view::npos) {
        error = std::string(kind.name) + " needs an amount: " + usage;
        return std::nullopt;
    }
    const std::string_view amounts = text.substr(equals + 1);
    const auto colon = amounts.find(':');
    const auto from = number(amounts.substr(0, colon));
    const auto to = colon == std::string_view::npos ? from : number(amounts.substr(colon + 1));
    const auto inRange = [&](std::optional<double> v) {
        return v && *v >= kind.lowest && *v <= kind.highest;
    };
    if (!inRange(from) || !inRange(to)) {
        error = std::string(kind.name) + " takes amounts from " + amountText(kind.lowest) + " to " +
                amountText(kind.highest) + ", as " + usage + ", not '" + std::string(amounts) + "'";
        return std::nullopt;
    }
    op.from = *from;
    op.to = *to;
    return op;
}

std::string RampedOperation::describe(const Operation& op) {
    const Info& kind = info(op.kind);
    if (!kind.hasAmount) {
        return std::string(kind.name);
    }
    std::string text = std::string(kind.name) + " " + amountText(op.from);
    if (op.to != op.from) {
        text += " to " + amountText(op.to);
    }
    return kind.unit.empty() ? text : text + " " + std::string(kind.unit);
}

std::size_t RampedOperation::apply(const Operation& op, std::span<std::int16_t> waves) {
    waves = waves.first(waves.size() / n * n);
    switch (op.kind) {
    case Kind::gain:
        return perWave(op, waves, [](std::array<double, n>& wave, double db) {
            const double gain = std::pow(10.0, db / 20.0);
            for (double& v : wave) {
                v *= gain;
            }
        });
    case Kind::lowpass: {
        WaveHarmonics harmonics;
        return perWave(op, waves, [&](std::array<double, n>& wave, double cutoff) {
            WaveHarmonics::Set set = harmonics.analyse(wave);
            for (long k = std::max(0L, std::lround(cutoff)) + 1; k <= WaveHarmonics::count; ++k) {
                set[static_cast<std::size_t>(k)] = {};
            }
            harmonics.synthesize(set, wave);
        });
    }
    case Kind::align:
        return align(waves);
    case Kind::normalize:
        return WaveOperations::normalize(waves, n, false);
    case Kind::dc:
        return WaveOperations::removeDc(waves, n);
    case Kind::reverse:
        WaveOperations::reverse(waves, n);
        return 0;
    case Kind::invert:
        return WaveOperations::invert(waves);
    case Kind::warp:
        return perWave(op, waves, [](std::array<double, n>& wave, double power) {
            const std::array<double, n> before = wave;
            for (std::size_t i = 0; i < n; ++i) {
                const double at = double(n) * std::pow(static_cast<double>(i) / double(n), power);
                const auto left = static_cast<std::size_t>(at);
                const double part = at - static_cast<double>(left);
                wave[i] = (1.0 - part) * before[left % n] + part * before[(left + 1) % n];
            }
        });
    case Kind::fold:
        return perWave(op, waves, [](std::array<double, n>& wave, double drive) {
            for (double& v : wave) {
                v = fullScale * WaveFormula::fold(drive * v / fullScale);
            }
        });
    }
    return 0;
}
