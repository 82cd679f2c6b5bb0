#include "wavetable/WaveResynthesis.h"

#include "wavetable/PitchPath.h"

#include "audio/LoSample.h"
#include "device/DvVaneto.h"
#include "wavetable/PeriodicResampler.h"
#include "wavetable/PitchTracker.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WavetableSource.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace {

constexpr std::size_t waveLength = DvVaneto::waveLength;
// Where a sound begins, in 16-bit units, as the import's --start auto finds it.
constexpr double audible = 32768.0 * LoSample::audibleLevel;
// The half-width of the interpolation kernel, in samples of the slower of the two rates.
constexpr int kernelHalfWidth = 16;
// Frames read at once in the level pass.
constexpr std::size_t levelPiece = 1 << 16;

struct Span {
    std::uint64_t first = 0; // frames first ... last
    std::uint64_t last = 0;
};

// The relative spectral error, in %, of a slot's harmonics 1 ... 64 against the recording's
// magnitudes at its moment.
double fitOf(const WaveHarmonics::Set& slot,
             const std::array<double, WaveHarmonics::count + 1>& recording) {
    double error = 0.0;
    double energy = 0.0;
    for (std::size_t h = 1; h <= WaveResynthesis::fitHarmonics && h < recording.size(); ++h) {
        const double difference = slot[h].magnitude - recording[h];
        error += difference * difference;
        energy += recording[h] * recording[h];
    }
    return energy > 0.0 ? 100.0 * std::sqrt(error / energy) : 0.0;
}

// The frames from the first to the last at or above -60 dBFS; false when none is.
bool audibleSpan(WavetableSource& source, Span& span, std::string& error,
                 const std::atomic<bool>* stop) {
    std::vector<double> piece;
    bool found = false;
    for (std::uint64_t at = 0; at < source.frameCount(); at += levelPiece) {
        if (stop != nullptr && stop->load()) {
            error = "stopped";
            return false;
        }
        if (!source.readFrames(at, levelPiece, piece, error)) {
            return false;
        }
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (std::abs(piece[i]) >= audible) {
                if (!found) {
                    span.first = at + i;
                    found = true;
                }
                span.last = at + i;
            }
        }
        if (piece.empty()) {
            break;
        }
    }
    if (!found) {
        error = "it never reaches -60 dBFS";
    }
    return found;
}

// Reads count frames from `first` (which may lie before 0 or past the end: silence there).
bool readAround(WavetableSource& source, std::int64_t first, std::size_t count,
                std::vector<double>& out, std::string& error) {
    out.assign(count, 0.0);
    const std::int64_t from = std::max<std::int64_t>(first, 0);
    const std::int64_t to = std::min<std::int64_t>(first + static_cast<std::int64_t>(count),
                                                   static_cast<std::int64_t>(source.frameCount()));
    if (to <= from) {
        return true;
    }
    std::vector<double> part;
    if (!source.readFrames(static_cast<std::uint64_t>(from), static_cast<std::size_t>(to - from),
                           part, error)) {
        return false;
    }
    std::copy(part.begin(), part.end(), out.begin() + (from - first));
    return true;
}

// The first frame of a stretch of `length` frames centred on `at`, kept inside lo ... hi when
// the stretch fits there.
std::int64_t centred(double at, std::size_t length, const Span& inside) {
    std::int64_t first =
        static_cast<std::int64_t>(std::floor(at)) - static_cast<std::int64_t>(length / 2);
    const auto lo = static_cast<std::int64_t>(inside.first);
    const auto hi = static_cast<std::int64_t>(inside.last) + 1 - static_cast<std::int64_t>(length);
    if (hi >= lo) {
        first = std::clamp(first, lo, hi);
    }
    return first;
}

// One period of `period` samples beginning at position `start` of `signal`, sampled at
// cycleLength points by a windowed sinc (Blackman), low-passed below the slower rate's Nyquist.
// The kernel is tabulated for the period's cutoff (again only when that changes) and read with
// linear interpolation.
struct Kernel {
    double cutoff = 0.0;
    std::vector<double> table;
};

void resamplePeriod(const std::vector<double>& signal, double start, double period,
                    std::vector<double>& out, Kernel& tabulated) {
    constexpr int steps = 256; // table entries per sample of the source
    const std::size_t points = WaveResynthesis::cycleLength;
    const double step = period / static_cast<double>(points);
    const double cutoff = std::min(1.0, 1.0 / step);
    const double reach = kernelHalfWidth / cutoff;
    const auto entries = static_cast<std::size_t>(std::ceil(reach * steps)) + 2;
    std::vector<double>& kernel = tabulated.table;
    if (tabulated.cutoff != cutoff) {
        kernel.resize(entries);
    }
    for (std::size_t e = tabulated.cutoff == cutoff ? entries : 0; e < entries; ++e) {
        const double x = static_cast<double>(e) / steps;
        const double u = x * cutoff;
        const double sinc =
            u == 0.0 ? 1.0 : std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
        const double w = x >= reach ? 0.0
                                    : 0.42 + 0.5 * std::cos(std::numbers::pi * x / reach) +
                                          0.08 * std::cos(2.0 * std::numbers::pi * x / reach);
        kernel[e] = cutoff * sinc * w;
    }
    tabulated.cutoff = cutoff;
    out.assign(points, 0.0);
    const auto last = static_cast<std::int64_t>(signal.size()) - 1;
    for (std::size_t i = 0; i < points; ++i) {
        const double at = start + static_cast<double>(i) * step;
        const std::int64_t lo =
            std::max<std::int64_t>(static_cast<std::int64_t>(std::ceil(at - reach)), 0);
        const std::int64_t hi =
            std::min<std::int64_t>(static_cast<std::int64_t>(std::floor(at + reach)), last);
        double sum = 0.0;
        for (std::int64_t n = lo; n <= hi; ++n) {
            const double position = std::abs(at - static_cast<double>(n)) * steps;
            const auto e = static_cast<std::size_t>(position);
            const double fraction = position - static_cast<double>(e);
            const double h =
                e + 1 < entries ? kernel[e] + fraction * (kernel[e + 1] - kernel[e]) : 0.0;
            sum += signal[static_cast<std::size_t>(n)] * h;
        }
        out[i] = sum;
    }
}

// The harmonics turned by `shift` values (the wave read from shift on).
void turn(WaveHarmonics::Set& set, double shift) {
    for (std::size_t k = 1; k < set.size(); ++k) {
        set[k].phase += 2.0 * std::numbers::pi * static_cast<double>(k) * shift / waveLength;
    }
}

// The shift (in values, with a fraction) at which a wave lines up best with the one before:
// the greatest circular cross-correlation of their harmonics.
double bestShift(const WaveHarmonics::Set& wave, const WaveHarmonics::Set& previous,
                 WaveHarmonics& harmonics) {
    // c(s) = sum over harmonics of m m' cos(phase + 2 pi h s / N - phase'): a wave of N values
    // whose harmonic h is m m' at phase - phase', made by the resampler from its bins.
    std::vector<double> correlation(waveLength);
    WaveHarmonics::Set product{};
    for (std::size_t h = 1; h < WaveHarmonics::count; ++h) {
        product[h] = {wave[h].magnitude * previous[h].magnitude, wave[h].phase - previous[h].phase};
    }
    harmonics.synthesize(product, correlation);
    const std::size_t best = static_cast<std::size_t>(
        std::max_element(correlation.begin(), correlation.end()) - correlation.begin());
    const double before = correlation[(best + waveLength - 1) % waveLength];
    const double here = correlation[best];
    const double after = correlation[(best + 1) % waveLength];
    const double curve = before - 2.0 * here + after;
    const double fraction = curve < 0.0 ? 0.5 * (before - after) / curve : 0.0;
    return static_cast<double>(best) + std::clamp(fraction, -0.5, 0.5);
}

} // namespace

WaveResynthesis::Result WaveResynthesis::make(const std::filesystem::path& path,
                                              const Options& options) {
    WavetableSource source;
    Result result;
    if (!source.open(path, result.error)) {
        return result;
    }
    return make(source, path.filename().string(), options);
}

WaveResynthesis::Result WaveResynthesis::make(WavetableSource& source, const std::string& name,
                                              const Options& options) {
    Result result;
    result.firstSlot = std::clamp(options.firstSlot, 0, DvVaneto::wavesPerBank - 1);
    const double rate = source.rate();
    const auto refuse = [&](const std::string& why) {
        result.error = name + ": " + why;
        return result;
    };
    if (!(rate > 0) || source.frameCount() == 0) {
        return refuse("it holds no sound");
    }
    Span span;
    std::string error;
    if (!options.start || !options.end) {
        if (!audibleSpan(source, span, error, options.stop)) {
            return refuse(error);
        }
    }
    const double frames = static_cast<double>(source.frameCount());
    if (options.start) {
        span.first = static_cast<std::uint64_t>(std::clamp(*options.start * rate, 0.0, frames - 1));
    }
    if (options.end) {
        span.last = static_cast<std::uint64_t>(std::clamp(*options.end * rate, 0.0, frames - 1));
    }
    if (span.first >= span.last) {
        return refuse("the start is at or after the end");
    }
    result.startSeconds = static_cast<double>(span.first) / rate;
    result.endSeconds = static_cast<double>(span.last) / rate;

    const int slots = DvVaneto::wavesPerBank - result.firstSlot;
    const auto maxLag = static_cast<std::size_t>(std::ceil(rate / lowestHz));
    // The coarse estimate at half the rate where that still holds 2000 Hz well (the fine one
    // is at the file's rate).
    const std::size_t coarseStep = rate >= 32000 ? 2 : 1;
    const std::size_t coarseMax = (maxLag + coarseStep - 1) / coarseStep;
    const auto coarseMin =
        std::max<std::size_t>(2, static_cast<std::size_t>(rate / coarseStep / highestHz));
    std::vector<double> coarse;
    PitchTracker tracker;
    PeriodicResampler down(cycleLength, waveLength);
    WaveHarmonics harmonics;
    std::vector<double> window, cycle, wave(waveLength);
    // The last window read from the file, kept for the windows and cycles that lie inside it.
    std::vector<double> held, piece;
    std::int64_t heldFirst = 0;
    const auto readWindow = [&](std::int64_t first, std::size_t count, std::vector<double>& out) {
        if (first >= heldFirst && first + static_cast<std::int64_t>(count) <=
                                      heldFirst + static_cast<std::int64_t>(held.size())) {
            const auto from = held.begin() + (first - heldFirst);
            out.assign(from, from + static_cast<std::ptrdiff_t>(count));
            return true;
        }
        if (!readAround(source, first, count, out, error)) {
            return false;
        }
        held = out;
        heldFirst = first;
        return true;
    };
    Kernel kernel;
    std::vector<WaveHarmonics::Set> sets(static_cast<std::size_t>(slots));
    std::vector<double> periods(static_cast<std::size_t>(slots), 0.0);
    // Harmonics of one period of `period` samples centred on frame `at`.
    const auto cycleAt = [&](double at, double period, WaveHarmonics::Set& set) {
        const auto reach =
            static_cast<std::size_t>(
                std::ceil(period / 2 + kernelHalfWidth * std::max(1.0, period / cycleLength))) +
            2;
        const std::int64_t first =
            static_cast<std::int64_t>(std::floor(at)) - static_cast<std::int64_t>(reach);
        if (!readWindow(first, 2 * reach + 1, piece)) {
            return false;
        }
        resamplePeriod(piece, at - period / 2 - static_cast<double>(first), period, cycle, kernel);
        down.resample(cycle, wave);
        set = harmonics.analyse(std::span<const double>(wave));
        set[0] = {};
        set[WaveHarmonics::count] = {};
        return true;
    };
    // First the candidates at every slot's moment, over the longest period, decoded into one
    // track; then three periods at the track's pitch for each slot's own period.
    std::vector<std::vector<PitchTracker::Candidate>> candidates(static_cast<std::size_t>(slots));
    for (int k = 0; k < slots; ++k) {
        if (options.stop != nullptr && options.stop->load()) {
            return refuse("stopped");
        }
        const double at =
            slots == 1 ? (static_cast<double>(span.first) + static_cast<double>(span.last)) / 2
                       : static_cast<double>(span.first) +
                             static_cast<double>(k) * static_cast<double>(span.last - span.first) /
                                 (slots - 1);
        result.moments.push_back(at / rate);
        const std::size_t coarseLength = (2 * coarseMax + 1) * coarseStep + 1;
        const std::int64_t first = centred(at, coarseLength, span);
        if (!readAround(source, first, coarseLength, window, error)) {
            return refuse(error);
        }
        coarse.resize(coarseMax * 2 + 1);
        for (std::size_t i = 0; i < coarse.size(); ++i) {
            // Halved by averaging each pair (a gentle low-pass before the new rate's Nyquist).
            const std::size_t j = i * coarseStep;
            coarse[i] = coarseStep == 1 ? window[j] : 0.5 * (window[j] + window[j + 1]);
        }
        auto& found = candidates[static_cast<std::size_t>(k)];
        found = tracker.candidates(coarse, coarseMax, coarseMin, coarseMax - 1);
        for (auto& candidate : found) {
            candidate.period *= static_cast<double>(coarseStep);
        }
    }
    const std::vector<double> track = PitchPath::decode(candidates);
    result.fit.assign(static_cast<std::size_t>(slots), std::numeric_limits<double>::quiet_NaN());
    for (int k = 0; k < slots; ++k) {
        if (options.stop != nullptr && options.stop->load()) {
            return refuse("stopped");
        }
        double at = result.moments[static_cast<std::size_t>(k)] * rate;
        double period = track[static_cast<std::size_t>(k)];
        if (period > 0) {
            const auto near = static_cast<std::size_t>(period);
            const std::size_t length = 3 * near + near * 5 / 4 + 2;
            const std::int64_t first = centred(at, length, span);
            // At the range's ends the window stays inside: its middle is the moment taken.
            const double middle = static_cast<double>(first) + static_cast<double>(length) / 2;
            if (std::abs(middle - at) > 1.0) {
                at = middle;
                result.moments[static_cast<std::size_t>(k)] = at / rate;
            }
            if (!readWindow(first, length, window)) {
                return refuse(error);
            }
            const double fine = tracker.period(
                window, 3 * near, std::max<std::size_t>(2, near * 4 / 5), near * 5 / 4);
            period = fine > 0 ? fine : period;
        }
        periods[static_cast<std::size_t>(k)] = period;
        if (period > 0) {
            // The slot's own period, and the recording's magnitudes over three periods at its
            // moment: the spectral mode takes those, and every slot's fit is measured by them.
            auto& set = sets[static_cast<std::size_t>(k)];
            WaveHarmonics::Set side{};
            std::array<double, WaveHarmonics::count + 1> sum{};
            for (const double offset : {-period, period, 0.0}) {
                if (!cycleAt(at + offset, period, offset == 0.0 ? set : side)) {
                    return refuse(error);
                }
                const auto& measured = offset == 0.0 ? set : side;
                for (std::size_t h = 0; h < sum.size(); ++h) {
                    sum[h] += measured[h].magnitude / 3.0;
                }
            }
            if (options.mode == Mode::spectral) {
                // The phases of the middle period stay (set below).
                for (std::size_t h = 0; h < sum.size(); ++h) {
                    set[h].magnitude = sum[h];
                }
            }
            result.fit[static_cast<std::size_t>(k)] = fitOf(set, sum);
        }
    }
    // Held slots: the nearest slot with a pitch (the earlier one when two are as near).
    result.heldFrom.assign(static_cast<std::size_t>(slots), -1);
    int voiced = 0;
    for (int k = 0; k < slots; ++k) {
        if (periods[static_cast<std::size_t>(k)] > 0) {
            ++voiced;
            continue;
        }
        int best = -1;
        for (int d = 1; d < slots && best < 0; ++d) {
            if (k - d >= 0 && periods[static_cast<std::size_t>(k - d)] > 0) {
                best = k - d;
            } else if (k + d < slots && periods[static_cast<std::size_t>(k + d)] > 0) {
                best = k + d;
            }
        }
        result.heldFrom[static_cast<std::size_t>(k)] = best;
    }
    if (voiced == 0) {
        return refuse("no pitch from 30 to 2000 Hz was found in it");
    }
    // Lined up: the first voiced slot at its fundamental's upward zero crossing, every later one
    // with the one before it; in the spectral mode every slot takes the first one's phases.
    const WaveHarmonics::Set* previous = nullptr;
    const WaveHarmonics::Set* phases = nullptr;
    result.waves.assign(static_cast<std::size_t>(slots) * waveLength, 0.0);
    const auto waveOf = [&result](int k) {
        return result.waves.begin() +
               static_cast<std::ptrdiff_t>(static_cast<std::size_t>(k) * waveLength);
    };
    for (int k = 0; k < slots; ++k) {
        const double period = periods[static_cast<std::size_t>(k)];
        result.hertz.push_back(period > 0 ? rate / period : 0.0);
        if (period <= 0) {
            continue;
        }
        auto& set = sets[static_cast<std::size_t>(k)];
        if (phases == nullptr) {
            turn(set, (-std::numbers::pi / 2 - set[1].phase) * waveLength / (2 * std::numbers::pi));
            phases = &set;
        } else if (options.mode == Mode::spectral) {
            for (std::size_t h = 1; h < set.size(); ++h) {
                set[h].phase = (*phases)[h].phase;
            }
        } else {
            turn(set, bestShift(set, *previous, harmonics));
        }
        harmonics.synthesize(set, wave);
        previous = &set;
        std::copy(wave.begin(), wave.end(), waveOf(k));
    }
    for (int k = 0; k < slots; ++k) {
        if (const int from = result.heldFrom[static_cast<std::size_t>(k)]; from >= 0) {
            std::copy(waveOf(from), waveOf(from + 1), waveOf(k));
        }
    }
    double peak = 0.0;
    for (const double v : result.waves) {
        peak = std::max(peak, std::abs(v));
    }
    const double gain = peak > 0 ? 32767.0 / peak : 1.0;
    for (double& v : result.waves) {
        v *= gain;
    }
    for (const double moment : result.moments) {
        char text[32];
        std::snprintf(text, sizeof text, " %.3f s", moment);
        result.names.push_back(name + text);
    }
    result.ok = true;
    return result;
}

std::string WaveResynthesis::Result::summary() const {
    double low = 0.0;
    double high = 0.0;
    for (const double hz : hertz) {
        if (hz > 0) {
            low = low == 0.0 ? hz : std::min(low, hz);
            high = std::max(high, hz);
        }
    }
    char text[160];
    std::snprintf(text, sizeof text, "%.1f - %.1f Hz over %.3f - %.3f s", low, high, startSeconds,
                  endSeconds);
    std::string summary = text;
    // The fit: the median slot's and the worst, with its slot.
    std::vector<double> fits;
    std::size_t worst = 0;
    for (std::size_t k = 0; k < fit.size(); ++k) {
        if (!std::isnan(fit[k])) {
            fits.push_back(fit[k]);
            if (std::isnan(fit[worst]) || fit[k] > fit[worst]) {
                worst = k;
            }
        }
    }
    if (!fits.empty()) {
        std::nth_element(fits.begin(), fits.begin() + static_cast<std::ptrdiff_t>(fits.size() / 2),
                         fits.end());
        std::snprintf(text, sizeof text, "; fit %.2f %% at the median, %.2f %% at worst (slot %d)",
                      fits[fits.size() / 2], fit[worst], firstSlot + static_cast<int>(worst) + 1);
        summary += text;
    }
    // Runs of held slots, numbered from 1 as the user numbers them.
    for (std::size_t k = 0; k < heldFrom.size();) {
        if (heldFrom[k] < 0) {
            ++k;
            continue;
        }
        std::size_t end = k;
        while (end + 1 < heldFrom.size() && heldFrom[end + 1] >= 0) {
            ++end;
        }
        const int first = firstSlot + static_cast<int>(k) + 1;
        const int last = firstSlot + static_cast<int>(end) + 1;
        std::snprintf(text, sizeof text, "; slot%s %d%s held from %.1f s", first == last ? "" : "s",
                      first, first == last ? "" : ("-" + std::to_string(last)).c_str(),
                      moments[static_cast<std::size_t>(heldFrom[k])]);
        summary += text;
        k = end + 1;
    }
    return summary;
}
