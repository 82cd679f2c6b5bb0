// A wave as a tone: the pitch of the note, and nothing but its harmonics (no aliases) from the
// lowest note to the highest.
#include "wavetable/WaveTone.h"
#include "device/DvVaneto.h"
#include "wavetable/PeriodicResampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace {

TEST(WaveToneTest, NotesByNameAndNumber) {
    EXPECT_EQ(WaveTone::parseNote("A4"), 69);
    EXPECT_EQ(WaveTone::parseNote("A3"), 57);
    EXPECT_EQ(WaveTone::parseNote("C#4"), 61);
    EXPECT_EQ(WaveTone::parseNote("Bb2"), 46);
    EXPECT_EQ(WaveTone::parseNote("C-1"), 0);
    EXPECT_EQ(WaveTone::parseNote("127"), 127);
    for (const char* bad : {"", "H2", "A", "128", "G9#", "G#9", "A3x", "-1"}) {
        EXPECT_FALSE(WaveTone::parseNote(bad)) << bad;
    }
    EXPECT_DOUBLE_EQ(WaveTone::frequencyOf(57), 220.0);
}

// The magnitude spectrum (dB) of n values from `at`, under a 4-term Blackman-Harris window
// (side lobes below -92 dB, main lobe 4 bins either side).
std::vector<double> spectrumDb(const std::vector<std::int16_t>& tone, std::size_t at,
                               std::size_t n) {
    std::vector<double> windowed(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
        const double w =
            0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
        windowed[i] = tone[at + i] * w;
    }
    std::vector<std::complex<double>> bins(n / 2 + 1);
    PeriodicResampler(n, 256).spectrum(windowed, bins);
    std::vector<double> db(bins.size());
    for (std::size_t k = 0; k < bins.size(); ++k) {
        db[k] = 20 * std::log10(std::abs(bins[k]) + 1e-9);
    }
    return db;
}

TEST(WaveToneTest, PitchWithinACentAndEverythingButHarmonics60DbDown) {
    // The factory square (slot 2 of bank 1): odd harmonics all the way up, the hardest case
    // for aliasing.
    const DvVaneto store;
    const auto square = store.bankData(0).subspan(256, 256);
    constexpr std::size_t n = 1 << 17;
    const double binHz = WaveTone::outputRate / n;
    for (const char* name : {"C0", "A3", "C8"}) {
        const double f = WaveTone::frequencyOf(*WaveTone::parseNote(name));
        const auto tone = WaveTone::render(square, f, 3.5);
        const std::vector<double> db = spectrumDb(tone, 22050, n);
        // The pitch from a harmonic high enough to measure finely (an odd one, which the
        // square holds), its peak placed by a parabola through three bins.
        const int h = f < 100 ? 31 : 1;
        const auto k = static_cast<std::size_t>(std::lround(h * f / binHz));
        std::size_t peak = k - 3;
        for (std::size_t i = k - 3; i <= k + 3; ++i) {
            peak = db[i] > db[peak] ? i : peak;
        }
        const double offset =
            0.5 * (db[peak - 1] - db[peak + 1]) / (db[peak - 1] - 2 * db[peak] + db[peak + 1]);
        const double measured = (static_cast<double>(peak) + offset) * binHz / h;
        EXPECT_LT(std::abs(1200 * std::log2(measured / f)), 1.0) << name;

        const auto fundamental = static_cast<std::size_t>(std::lround(f / binHz));
        double top = db[fundamental];
        for (std::size_t i = fundamental - 4; i <= fundamental + 4; ++i) {
            top = std::max(top, db[i]);
        }
        double worst = -1000;
        std::size_t worstBin = 0;
        for (std::size_t i = 2; i < db.size(); ++i) {
            const double harmonic = static_cast<double>(i) * binHz / f;
            const double away = std::abs(harmonic - std::round(harmonic)) * f / binHz;
            if (away > 6 && db[i] > worst) {
                worst = db[i];
                worstBin = i;
            }
        }
        EXPECT_LT(worst, top - 60)
            << name << ": " << worstBin * binHz << " Hz is only " << top - worst << " dB down";
    }
}

} // namespace
