#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

template <typename T> class kissfft;

// Resamples one period of a periodic signal from N to M values by the Fourier method: the
// input's harmonics below min(N, M) / 2 are kept as they are, the rest dropped, and the result
// is scaled by M / N so that levels stay. At the shared Nyquist harmonic min(N, M) / 2 (when
// that is a whole number), a reduction doubles the input's harmonic and takes its real part, an
// enlargement halves it into the pair of harmonics it becomes (the rule of
// scipy.signal.resample). N == M copies. The signal is taken as one loop: nothing is faded and
// the end joins the start.
//
// One resampler serves any number of periods of the same N and M; it keeps its transforms.
class PeriodicResampler {
public:
    PeriodicResampler(std::size_t inputLength, std::size_t outputLength);
    ~PeriodicResampler();
    PeriodicResampler(const PeriodicResampler&) = delete;
    PeriodicResampler& operator=(const PeriodicResampler&) = delete;

    std::size_t inputLength() const { return inputLength_; }
    std::size_t outputLength() const { return outputLength_; }

    // in holds inputLength values, out receives outputLength values.
    void resample(std::span<const double> in, std::span<double> out);

    // The transform of one period: bins 0 ... count - 1 (count at most N / 2 + 1), unscaled
    // (a constant signal c gives bin 0 = N x c).
    void spectrum(std::span<const double> in, std::span<std::complex<double>> bins);

private:
    enum class Method { realTransform, complexTransform, direct };

    std::size_t inputLength_;
    std::size_t outputLength_;
    Method method_;
    bool copies_;
    std::unique_ptr<kissfft<double>> forward_;
    std::unique_ptr<kissfft<double>> inverse_;
    std::vector<std::complex<double>> work_;
    std::vector<std::complex<double>> bins_;
    std::vector<std::complex<double>> full_;
    std::vector<std::complex<double>> back_;
    // For the direct transform: e^(-2 pi i j / N), j = 0 ... N - 1.
    std::vector<std::complex<double>> twiddles_;
};
