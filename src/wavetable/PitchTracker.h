#pragma once

#include <complex>
#include <cstddef>
#include <map>
#include <memory>
#include <span>
#include <vector>

template <typename T> class kissfft;

// The period of a sound at a moment, by YIN: the difference of a window with itself shifted by
// each lag, cumulative mean normalized; the first lag whose normalized difference falls below an
// absolute threshold, followed down to its local minimum and refined by a parabola through it
// and its neighbours. Taking the first dip rather than the deepest keeps a period from being
// taken for a multiple of itself. The differences come from an autocorrelation by FFT.
//
// One tracker serves any number of windows; it keeps its transforms.
class PitchTracker {
public:
    // A lag is a period when its normalized difference falls below this.
    static constexpr double absoluteThreshold = 0.15;

    PitchTracker();
    ~PitchTracker();
    PitchTracker(const PitchTracker&) = delete;
    PitchTracker& operator=(const PitchTracker&) = delete;

    // The period, in samples with a fraction, of the `window` values from the start of `signal`
    // compared with themselves shifted by lowLag ... highLag (signal holds at least window +
    // highLag values; 2 <= lowLag < highLag). 0 when no lag falls below the threshold: the
    // window has no pitch.
    double period(std::span<const double> signal, std::size_t window, std::size_t lowLag,
                  std::size_t highLag);

    // Every dip of the normalized difference in lowLag ... highLag as a candidate period, with
    // the probability that it is the period (pYIN's way: the chance, over a spread of thresholds,
    // that it is the first dip below the threshold, and a small share for any dip that never
    // comes first). The probabilities sum to the chance that the window has a pitch at all (the
    // most probable eight are kept).
    static constexpr std::size_t mostCandidates = 8;
    struct Candidate {
        double period = 0.0;
        double probability = 0.0;
    };
    std::vector<Candidate> candidates(std::span<const double> signal, std::size_t window,
                                      std::size_t lowLag, std::size_t highLag);

private:
    // The normalized difference of each lag up to highLag + 1; false for lags out of reach.
    bool normalize(std::span<const double> signal, std::size_t window, std::size_t lowLag,
                   std::size_t highLag);
    // The dip that begins at `lag`, followed down to its minimum, refined by a parabola.
    double dipFrom(std::size_t& lag, std::size_t highLag) const;

    struct Transforms;
    Transforms& transformsOf(std::size_t size);

    std::map<std::size_t, std::unique_ptr<Transforms>> transforms_;
    std::vector<std::complex<double>> a_, x_, product_;
    std::vector<double> normalized_;
};
