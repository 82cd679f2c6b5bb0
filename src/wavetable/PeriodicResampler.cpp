#include "wavetable/PeriodicResampler.h"

#include <algorithm>
#include <cmath>
#include <kissfft.hh>
#include <numbers>

namespace {

// KissFFT factors a length into radices; a prime factor above this is computed in O(N x p) by
// its generic butterfly, slower than summing the few bins a wave needs directly.
constexpr std::size_t largestFastFactor = 64;

std::size_t largestPrimeFactor(std::size_t n) {
    std::size_t largest = 1;
    for (std::size_t p = 2; p * p <= n; ++p) {
        while (n % p == 0) {
            largest = p;
            n /= p;
        }
    }
    return std::max(largest, n);
}

} // namespace

PeriodicResampler::PeriodicResampler(std::size_t inputLength, std::size_t outputLength)
    : inputLength_(inputLength), outputLength_(outputLength), method_(Method::direct),
      copies_(inputLength == outputLength) {
    if (inputLength_ == 0 || outputLength_ == 0) {
        return;
    }
    // Short periods are summed directly (and need no plan).
    if (inputLength_ < 16) {
        method_ = Method::direct;
    } else if (inputLength_ % 2 == 0 && largestPrimeFactor(inputLength_ / 2) <= largestFastFactor) {
        method_ = Method::realTransform;
        forward_ = std::make_unique<kissfft<double>>(inputLength_ / 2, false);
        work_.resize(inputLength_ / 2);
    } else if (largestPrimeFactor(inputLength_) <= largestFastFactor) {
        method_ = Method::complexTransform;
        forward_ = std::make_unique<kissfft<double>>(inputLength_, false);
        work_.resize(2 * inputLength_);
    }
    if (method_ == Method::direct) {
        twiddles_.resize(inputLength_);
        for (std::size_t j = 0; j < inputLength_; ++j) {
            const double angle = -2.0 * std::numbers::pi * static_cast<double>(j) /
                                 static_cast<double>(inputLength_);
            twiddles_[j] = {std::cos(angle), std::sin(angle)};
        }
    }
    inverse_ = std::make_unique<kissfft<double>>(outputLength_, true);
    bins_.resize(std::min(inputLength_, outputLength_) / 2 + 1);
    full_.resize(outputLength_);
    back_.resize(outputLength_);
}

PeriodicResampler::~PeriodicResampler() = default;

void PeriodicResampler::spectrum(std::span<const double> in, std::span<std::complex<double>> bins) {
    const std::size_t n = inputLength_;
    const std::size_t count = std::min(bins.size(), n / 2 + 1);
    if (in.size() < n || count == 0) {
        return;
    }
    if (method_ == Method::realTransform) {
        forward_->transform_real(in.data(), work_.data());
        // Bin 0 and bin N/2 come packed into the first value.
        bins[0] = work_[0].real();
        for (std::size_t k = 1; k < count; ++k) {
            bins[k] = k == n / 2 ? std::complex<double>(work_[0].imag()) : work_[k];
        }
    } else if (method_ == Method::complexTransform) {
        std::complex<double>* input = work_.data() + n;
        std::copy(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(n), input);
        forward_->transform(input, work_.data());
        std::copy_n(work_.begin(), count, bins.begin());
    } else {
        // Each bin summed directly; the angle's index k x j stays exact modulo N.
        for (std::size_t k = 0; k < count; ++k) {
            std::complex<double> sum = 0.0;
            std::size_t index = 0;
            for (std::size_t j = 0; j < n; ++j) {
                sum += in[j] * twiddles_[index];
                index += k;
                if (index >= n) {
                    index -= n;
                }
            }
            bins[k] = sum;
        }
    }
}

void PeriodicResampler::resample(std::span<const double> in, std::span<double> out) {
    const std::size_t n = inputLength_;
    const std::size_t m = outputLength_;
    if (in.size() < n || out.size() < m) {
        return;
    }
    if (copies_) {
        std::copy_n(in.begin(), m, out.begin());
        return;
    }
    spectrum(in, bins_);
    const std::size_t shared = std::min(n, m);
    if (shared % 2 == 0) {
        bins_[shared / 2] *= m < n ? 2.0 : 0.5;
    }
    // The whole spectrum at M, Hermitian, with the harmonics both lengths hold; a harmonic at
    // M's own Nyquist counts with its real part.
    std::fill(full_.begin(), full_.end(), std::complex<double>());
    full_[0] = bins_[0].real();
    for (std::size_t k = 1; k < bins_.size(); ++k) {
        if (2 * k == m) {
            full_[k] = bins_[k].real();
        } else {
            full_[k] = bins_[k];
            full_[m - k] = std::conj(bins_[k]);
        }
    }
    inverse_->transform(full_.data(), back_.data());
    const double scale = 1.0 / static_cast<double>(n);
    for (std::size_t i = 0; i < m; ++i) {
        out[i] = back_[i].real() * scale;
    }
}
