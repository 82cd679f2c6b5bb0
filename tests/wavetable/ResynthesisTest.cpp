// Recordings made into wavetables, on sounds whose true cycle at every moment is known.
#include "audio/WaveFileWriter.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveResynthesis.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <random>

namespace fs = std::filesystem;

namespace {

constexpr double pi = std::numbers::pi;
constexpr std::uint32_t rate = 48000;

// seconds of a sound (at most full scale) written as a 32-bit float WAV.
fs::path writeSound(const std::string& name, double seconds,
                    const std::function<double(double)>& at) {
    const fs::path path = fs::temp_directory_path() / (std::to_string(::getpid()) + name);
    std::vector<float> values(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<float>(at(static_cast<double>(i) / rate));
    }
    WaveFileWriter writer(path);
    EXPECT_TRUE(writer.writeMonoFloat32(values, rate));
    return path;
}

double cents(double hz, double truth) {
    return 1200.0 * std::abs(std::log2(hz / truth));
}

std::span<const double> slot(const WaveResynthesis::Result& result, std::size_t k) {
    return std::span<const double>(result.waves).subspan(k * 256, 256);
}

double correlation(std::span<const double> a, std::span<const double> b) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

// A band-limited sawtooth gliding two octaves, 110 to 440 Hz over 4 s: every slot the same
// shape, each at its moment's pitch, each lined up with the one before.
TEST(Resynthesis, AGlideKeepsItsShapeAndFollowsThePitch) {
    const double seconds = 4.0;
    const auto hz = [&](double t) { return 110.0 * std::pow(4.0, t / seconds); };
    const fs::path path = writeSound("glide.wav", seconds, [&](double t) {
        const double phase =
            2 * pi * 110.0 * seconds / std::log(4.0) * (std::pow(4.0, t / seconds) - 1);
        double v = 0;
        for (int h = 1; h <= 45; ++h) {
            v += std::sin(h * phase) / h;
        }
        return 0.5 * v;
    });
    const WaveResynthesis::Result result = WaveResynthesis::make(path, {});
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.waves.size(), 256u * 256u);
    double worstCents = 0, worstNeighbour = 1;
    for (std::size_t k = 0; k < 256; ++k) {
        ASSERT_GT(result.hertz[k], 0) << k;
        worstCents = std::max(worstCents, cents(result.hertz[k], hz(result.moments[k])));
        if (k > 0) {
            worstNeighbour =
                std::min(worstNeighbour, correlation(slot(result, k), slot(result, k - 1)));
        }
    }
    std::printf("glide: worst pitch error %.2f cents, worst neighbour correlation %.5f\n",
                worstCents, worstNeighbour);
    EXPECT_LT(worstCents, 15.0);
    EXPECT_GT(worstNeighbour, 0.99);
    EXPECT_EQ(
        result.names[0], path.filename().string() + " " + [&] {
            char text[16];
            std::snprintf(text, sizeof text, "%.3f s", result.moments[0]);
            return std::string(text);
        }());
    fs::remove(path);
}

// Steady tones at the range's ends, and a square with a vibrato: no period taken for a multiple
// (a square has no even harmonics, so a cycle cut at the wrong length shows them).
TEST(Resynthesis, LowestHighestAndAVibratoHoldThePitch) {
    for (const double tone : {31.0, 1950.0}) {
        const fs::path path = writeSound("steady.wav", 1.0, [&](double t) {
            double v = 0;
            for (int h = 1; h * tone < 20000; ++h) {
                v += std::sin(2 * pi * h * tone * t) / h;
            }
            return 0.3 * v;
        });
        const WaveResynthesis::Result result = WaveResynthesis::make(path, {.firstSlot = 240});
        ASSERT_TRUE(result.ok) << result.error;
        double worst = 0;
        for (const double hz : result.hertz) {
            worst = std::max(worst, hz > 0 ? cents(hz, tone) : 1e9);
        }
        std::printf("%.0f Hz steady: worst pitch error %.2f cents\n", tone, worst);
        EXPECT_LT(worst, 5.0) << tone;
        fs::remove(path);
    }
    const auto vibrato = [](double t) { return 220.0 * (1 + 0.03 * std::sin(2 * pi * 5 * t)); };
    const fs::path path = writeSound("square.wav", 2.0, [&](double t) {
        // The phase of 220 Hz with a 3 % vibrato at 5 Hz.
        const double phase =
            2 * pi * 220.0 * (t - 0.03 / (2 * pi * 5) * (std::cos(2 * pi * 5 * t) - 1));
        double v = 0;
        for (int h = 1; h * 230 < 20000; h += 2) {
            v += std::sin(h * phase) / h;
        }
        return 0.5 * v;
    });
    const WaveResynthesis::Result result = WaveResynthesis::make(path, {.firstSlot = 192});
    ASSERT_TRUE(result.ok) << result.error;
    WaveHarmonics harmonics;
    double worstCents = 0, worstEven = -200;
    for (std::size_t k = 0; k < result.hertz.size(); ++k) {
        worstCents = std::max(worstCents, cents(result.hertz[k], vibrato(result.moments[k])));
        const auto set = harmonics.analyse(slot(result, k));
        worstEven = std::max(worstEven, 20 * std::log10(set[2].magnitude / set[1].magnitude));
    }
    std::printf(
        "square with vibrato: worst pitch error %.2f cents, strongest even harmonic %.1f dB\n",
        worstCents, worstEven);
    EXPECT_LT(worstCents, 15.0);
    EXPECT_LT(worstEven, -40.0);
    fs::remove(path);
}

// A tone whose harmonics fall off more steeply as it goes, phases fixed: the spectral mode keeps
// each slot's slope, in order, with one phase per harmonic for the whole table.
TEST(Resynthesis, TheSpectralModeKeepsEachSlopeWithOnePhaseEach) {
    const double seconds = 2.0;
    const fs::path path = writeSound("slope.wav", seconds, [&](double t) {
        double v = 0;
        for (int h = 1; h <= 20; ++h) {
            v += std::pow(h, -(1 + 2 * t / seconds)) * std::cos(2 * pi * h * 200 * t + 0.7 * h);
        }
        return 0.4 * v;
    });
    const WaveResynthesis::Result result =
        WaveResynthesis::make(path, {.mode = WaveResynthesis::Mode::spectral, .firstSlot = 128});
    ASSERT_TRUE(result.ok) << result.error;
    WaveHarmonics harmonics;
    const auto first = harmonics.analyse(slot(result, 0));
    double previousSlope = 1e9, worstPhase = 0;
    bool inOrder = true;
    for (std::size_t k = 0; k < result.hertz.size(); k += 8) {
        const auto set = harmonics.analyse(slot(result, k));
        const double slope = std::log(set[4].magnitude / set[1].magnitude) / std::log(4.0);
        const double truth = -(1 + 2 * result.moments[k] / seconds);
        EXPECT_NEAR(slope, truth, 0.1) << k;
        inOrder = inOrder && slope < previousSlope;
        previousSlope = slope;
        for (int h = 1; h <= 4; ++h) {
            worstPhase = std::max(worstPhase,
                                  std::abs(std::remainder(set[h].phase - first[h].phase, 2 * pi)));
        }
    }
    EXPECT_TRUE(inOrder);
    EXPECT_LT(worstPhase, 0.01);
    fs::remove(path);
}

TEST(Resynthesis, NoiseIsRefused) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    const fs::path path = writeSound("noise.wav", 1.0, [&](double) { return noise(random); });
    const WaveResynthesis::Result result = WaveResynthesis::make(path, {});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("no pitch"), std::string::npos) << result.error;
    fs::remove(path);
}

} // namespace

namespace {

// A sung vowel of a synthetic voice (espeak-ng "en+f2", 2 s, made once): its waves scan without
// jumps, each one close to the one before.
TEST(Resynthesis, AVowelScansSmoothly) {
    const WaveResynthesis::Result result = WaveResynthesis::make(VANETO_VOWEL, {});
    ASSERT_TRUE(result.ok) << result.error;
    std::vector<double> neighbours;
    std::size_t held = 0;
    for (std::size_t k = 1; k < 256; ++k) {
        neighbours.push_back(correlation(slot(result, k), slot(result, k - 1)));
        held += result.heldFrom[k] >= 0 ? 1 : 0;
    }
    std::sort(neighbours.begin(), neighbours.end());
    std::printf("vowel: %s; neighbour correlation median %.4f, worst %.4f, %zu slots held\n",
                result.summary().substr(0, 40).c_str(), neighbours[neighbours.size() / 2],
                neighbours.front(), held);
    EXPECT_GT(neighbours[neighbours.size() / 2], 0.99);
    EXPECT_GT(neighbours.front(), 0.9);
    EXPECT_LT(held, 32u);
}

} // namespace

namespace {

// Band-limited saws of the given pitches mixed, as a pad's detuned unison.
double unison(const std::vector<double>& tones, double t) {
    double v = 0;
    for (const double tone : tones) {
        for (int h = 1; h * tone < 20000; ++h) {
            v += std::sin(2 * pi * h * tone * t + h) / h;
        }
    }
    return 0.25 * v / static_cast<double>(tones.size());
}

} // namespace

// Detuned unisons and a beating square: where the beating cancels the fundamental, the track
// goes on at the pitch a listener hears, never an octave up; every voiced slot within 2 %.
TEST(Resynthesis, DetunedUnisonsFollowThePitchHeard) {
    const std::vector<std::pair<std::string, std::function<double(double)>>> sounds = {
        {"two saws",
         [](double t) {
             return unison({110.0, 110.7}, t);
         }},
        {"three saws",
         [](double t) {
             return unison({220.0, 220.9, 219.2}, t);
         }},
        {"beating square", [](double t) {
             double v = 0;
             for (int h = 1; h * 131 < 20000; h += 2) {
                 v += (std::sin(2 * pi * h * 130.0 * t) + std::sin(2 * pi * h * 130.6 * t)) / h;
             }
             return 0.25 * v;
         }}};
    const std::vector<double> truths = {110.35, 220.03, 130.3};
    for (std::size_t s = 0; s < sounds.size(); ++s) {
        const fs::path path = writeSound("unison.wav", 4.0, sounds[s].second);
        const WaveResynthesis::Result result =
            WaveResynthesis::make(path, {.start = 0.5, .end = 3.5});
        ASSERT_TRUE(result.ok) << result.error;
        int wrong = 0;
        for (const double hz : result.hertz) {
            wrong += hz > 0 && std::abs(hz / truths[s] - 1) > 0.02 ? 1 : 0;
        }
        std::printf("%s: %d of %zu slots off by more than 2 %%; %s\n", sounds[s].first.c_str(),
                    wrong, result.hertz.size(), result.summary().c_str());
        EXPECT_EQ(wrong, 0) << sounds[s].first;
        fs::remove(path);
    }
}

// The fit of a slot: under 1 % for a steady band-limited saw, higher with noise over it, and 0
// where a slot takes the recording's own magnitudes (the spectral mode).
TEST(Resynthesis, TheFitSaysHowCloseEachSlotIs) {
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 1.0);
    double medians[2] = {};
    for (const double level : {0.0, 0.05}) {
        const fs::path path = writeSound(
            "fit.wav", 1.0, [&](double t) { return unison({220.0}, t) + level * noise(random); });
        const WaveResynthesis::Result result = WaveResynthesis::make(path, {.firstSlot = 200});
        ASSERT_TRUE(result.ok) << result.error;
        std::vector<double> fits(result.fit.begin(), result.fit.end());
        std::sort(fits.begin(), fits.end());
        medians[level > 0 ? 1 : 0] = fits[fits.size() / 2];
        if (level == 0.0) {
            EXPECT_LT(fits.back(), 1.0);
            const WaveResynthesis::Result spectral = WaveResynthesis::make(
                path, {.mode = WaveResynthesis::Mode::spectral, .firstSlot = 250});
            for (const double fit : spectral.fit) {
                EXPECT_NEAR(fit, 0.0, 1e-9);
            }
        }
        fs::remove(path);
    }
    std::printf("steady saw: median fit %.3f %%, with noise %.3f %%\n", medians[0], medians[1]);
    EXPECT_GT(medians[1], 2 * medians[0]);
}
