#include "wavetable/PitchTracker.h"

#include <kissfft.hh>

#include <algorithm>
#include <array>
#include <cmath>

struct PitchTracker::Transforms {
    explicit Transforms(std::size_t size) : forward(size, false), inverse(size, true) {}
    kissfft<double> forward;
    kissfft<double> inverse;
};

PitchTracker::PitchTracker() = default;
PitchTracker::~PitchTracker() = default;

PitchTracker::Transforms& PitchTracker::transformsOf(std::size_t size) {
    auto& slot = transforms_[size];
    if (!slot) {
        slot = std::make_unique<Transforms>(size);
    }
    return *slot;
}

bool PitchTracker::normalize(std::span<const double> signal, std::size_t window, std::size_t lowLag,
                             std::size_t highLag) {
    if (lowLag < 2 || highLag <= lowLag || window == 0 || signal.size() < window + highLag + 1) {
        return false;
    }
    const std::size_t length = window + highLag + 1;
    // The smallest size of only the factors 2, 3 and 5 (the transform's own radices) that holds
    // the stretch: far less work than the next power of two, on average.
    std::size_t size = length;
    for (;; ++size) {
        std::size_t rest = size;
        for (const std::size_t factor : {2u, 3u, 5u}) {
            while (rest % factor == 0) {
                rest /= factor;
            }
        }
        if (rest == 1) {
            break;
        }
    }
    // r(lag) = sum over j < window of x[j] x[j + lag]: the correlation of the window with the
    // whole stretch, which never wraps round at this size. Both real transforms are taken in
    // one complex one: the window as the real part, the stretch as the imaginary part.
    a_.assign(size, 0.0);
    for (std::size_t j = 0; j < length; ++j) {
        a_[j] = {j < window ? signal[j] : 0.0, signal[j]};
    }
    Transforms& t = transformsOf(size);
    product_.resize(size);
    t.forward.transform(a_.data(), product_.data());
    x_.resize(size);
    for (std::size_t k = 0; k < size; ++k) {
        const std::complex<double> z = product_[k];
        const std::complex<double> mirror = std::conj(product_[(size - k) % size]);
        const std::complex<double> windowBin = 0.5 * (z + mirror);
        const std::complex<double> stretchBin = std::complex<double>(0.0, -0.5) * (z - mirror);
        x_[k] = std::conj(windowBin) * stretchBin;
    }
    t.inverse.transform(x_.data(), product_.data());
    x_.swap(product_);
    const double scale = 1.0 / static_cast<double>(size);

    // d(lag) = e(0) + e(lag) - 2 r(lag), e(lag) the energy of the window shifted by lag.
    double first = 0.0;
    for (std::size_t j = 0; j < window; ++j) {
        first += signal[j] * signal[j];
    }
    normalized_.assign(highLag + 2, 1.0);
    double shifted = first;
    double sum = 0.0;
    for (std::size_t lag = 1; lag <= highLag + 1 && lag + window <= signal.size(); ++lag) {
        shifted +=
            signal[lag + window - 1] * signal[lag + window - 1] - signal[lag - 1] * signal[lag - 1];
        const double difference = std::max(0.0, first + shifted - 2.0 * x_[lag].real() * scale);
        sum += difference;
        normalized_[lag] = sum > 0.0 ? difference * static_cast<double>(lag) / sum : 1.0;
    }
    return true;
}

double PitchTracker::dipFrom(std::size_t& lag, std::size_t highLag) const {
    while (lag + 1 <= highLag && normalized_[lag + 1] < normalized_[lag]) {
        ++lag;
    }
    const double before = normalized_[lag - 1];
    const double here = normalized_[lag];
    const double after = normalized_[lag + 1];
    const double curve = before - 2.0 * here + after;
    const double shift = curve > 0.0 ? 0.5 * (before - after) / curve : 0.0;
    return static_cast<double>(lag) + std::clamp(shift, -0.5, 0.5);
}

double PitchTracker::period(std::span<const double> signal, std::size_t window, std::size_t lowLag,
                            std::size_t highLag) {
    if (!normalize(signal, window, lowLag, highLag)) {
        return 0.0;
    }
    for (std::size_t lag = lowLag; lag <= highLag; ++lag) {
        if (normalized_[lag] < absoluteThreshold) {
            return dipFrom(lag, highLag);
        }
    }
    return 0.0;
}

std::vector<PitchTracker::Candidate> PitchTracker::candidates(std::span<const double> signal,
                                                              std::size_t window,
                                                              std::size_t lowLag,
                                                              std::size_t highLag) {
    if (!normalize(signal, window, lowLag, highLag)) {
        return {};
    }
    // Thresholds 0.01 ... 1.00 weighted by a beta(2, 18) distribution (mean 0.1), as pYIN.
    constexpr int steps = 100;
    static const std::array<double, steps> weights = [] {
        std::array<double, steps> w{};
        double sum = 0.0;
        for (int i = 0; i < steps; ++i) {
            const double t = (i + 1) / static_cast<double>(steps);
            w[static_cast<std::size_t>(i)] = t * std::pow(1.0 - t, 17.0);
            sum += w[static_cast<std::size_t>(i)];
        }
        for (double& x : w) {
            x /= sum;
        }
        return w;
    }();
    // The dips: each local minimum below 1, with its value.
    struct Dip {
        double period;
        double value;
        double probability;
    };
    std::vector<Dip> dips;
    for (std::size_t lag = lowLag; lag <= highLag; ++lag) {
        if (normalized_[lag] < 1.0 && normalized_[lag] <= normalized_[lag - 1]) {
            std::size_t bottom = lag;
            const double period = dipFrom(bottom, highLag);
            if (bottom < highLag || normalized_[bottom] < normalized_[bottom - 1]) {
                dips.push_back({period, normalized_[bottom], 0.0});
            }
            lag = bottom;
        }
    }
    // Each threshold votes for the first dip below it.
    for (int i = 0; i < steps; ++i) {
        const double threshold = (i + 1) / static_cast<double>(steps);
        for (Dip& dip : dips) {
            if (dip.value < threshold) {
                dip.probability += weights[static_cast<std::size_t>(i)];
                break;
            }
        }
    }
    std::vector<Candidate> result;
    for (const Dip& dip : dips) {
        // A dip that is never first keeps a small share by its depth, so that continuity can
        // still choose it.
        const double floor = 0.01 * std::max(0.0, 1.0 - dip.value) * std::max(0.0, 1.0 - dip.value);
        result.push_back({dip.period, std::max(dip.probability, floor)});
    }
    // The most probable few: a rich sound ripples into many shallow dips that no track takes.
    if (result.size() > mostCandidates) {
        std::partial_sort(
            result.begin(), result.begin() + static_cast<std::ptrdiff_t>(mostCandidates),
            result.end(),
            [](const Candidate& a, const Candidate& b) { return a.probability > b.probability; });
        result.resize(mostCandidates);
    }
    return result;
}
