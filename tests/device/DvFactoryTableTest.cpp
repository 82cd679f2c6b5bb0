#include "device/DvFactoryTable.h"
#include "device/DvVaneto.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int cycle = 256;

std::span<const std::int16_t> cycleOf(int bank, int slot) {
    return DvFactoryTable::bank(bank).subspan(static_cast<std::size_t>(slot) * cycle, cycle);
}

// The harmonic (1 ... 128) with the largest magnitude in one cycle.
int strongestHarmonic(std::span<const std::int16_t> values) {
    static const auto table = [] {
        std::vector<double> cosines(cycle), sines(cycle);
        for (int i = 0; i < cycle; ++i) {
            cosines[i] = std::cos(2 * 3.14159265358979323846 * i / cycle);
            sines[i] = std::sin(2 * 3.14159265358979323846 * i / cycle);
        }
        return std::pair(cosines, sines);
    }();
    int best = 0;
    double bestPower = -1;
    for (int h = 1; h <= cycle / 2; ++h) {
        double re = 0, im = 0;
        for (int i = 0; i < cycle; ++i) {
            re += values[i] * table.first[(h * i) % cycle];
            im += values[i] * table.second[(h * i) % cycle];
        }
        if (re * re + im * im > bestPower) {
            bestPower = re * re + im * im;
            best = h;
        }
    }
    return best;
}

TEST(DvFactoryTable, EveryBankEndsInSilence) {
    EXPECT_TRUE(DvFactoryTable::bank(-1).empty());
    EXPECT_TRUE(DvFactoryTable::bank(7).empty());
    for (int b = 0; b < 7; ++b) {
        const auto bank = DvFactoryTable::bank(b);
        ASSERT_EQ(bank.size(), 65536u);
        EXPECT_TRUE(std::all_of(bank.begin() + 64512, bank.end(), [](auto v) { return v == 0; }))
            << "bank " << b;
    }
}

TEST(DvFactoryTable, WaveBanksBeginWithTheSameFiveBasicCycles) {
    const auto sine = cycleOf(0, 0);
    EXPECT_EQ(sine[0], 0);
    EXPECT_EQ(sine[64], 32767);
    EXPECT_EQ(sine[192], -32767);
    EXPECT_EQ(sine[32], 23170); // 32767 * sin(pi / 4)

    const auto square = cycleOf(0, 1);
    EXPECT_TRUE(
        std::all_of(square.begin(), square.begin() + 128, [](auto v) { return v > 30000; }));
    EXPECT_TRUE(std::all_of(square.begin() + 128, square.end(), [](auto v) { return v < -30000; }));

    const auto saw = cycleOf(0, 2);
    EXPECT_EQ(saw.front(), -32512);
    EXPECT_EQ(saw.back(), 32765);
    EXPECT_TRUE(std::is_sorted(saw.begin(), saw.end()));

    const auto triangle = cycleOf(0, 3);
    EXPECT_EQ(*std::max_element(triangle.begin(), triangle.end()), 32766);
    EXPECT_EQ(triangle[64], 32766);
    EXPECT_EQ(triangle[192], -32766);

    // two equal humps, each rising from a trough to a peak and back
    const auto rectified = cycleOf(0, 4);
    EXPECT_EQ(rectified[64], rectified[192]);
    EXPECT_EQ(rectified[0], rectified[128]);
    EXPECT_LT(rectified[0], rectified[64]);
    EXPECT_EQ(strongestHarmonic(rectified), 2);

    for (int b = 1; b < 3; ++b) {
        for (int slot = 0; slot < 5; ++slot) {
            EXPECT_TRUE(std::ranges::equal(cycleOf(b, slot), cycleOf(0, slot)))
                << "bank " << b << " cycle " << slot;
        }
    }
}

TEST(DvFactoryTable, WaveBanksHoldVariedMostlyLoudCyclesWithLowStrongPartials) {
    int fullScale = 0;
    for (int b = 0; b < 3; ++b) {
        SCOPED_TRACE(b);
        int lowPartial = 0;
        for (int slot = 0; slot < 252; ++slot) {
            const auto c = cycleOf(b, slot);
            const auto [low, high] = std::minmax_element(c.begin(), c.end());
            fullScale += *high == 32767 || *low == -32768;
            EXPECT_GT(*high - *low, 10000) << "cycle " << slot;
            if (slot >= 5) {
                lowPartial += strongestHarmonic(c) <= 8;
                if (slot > 5) {
                    EXPECT_FALSE(std::ranges::equal(c, cycleOf(b, slot - 1))) << "cycle " << slot;
                }
            }
        }
        EXPECT_GT(lowPartial, 247 / 2);
        // the three banks differ beyond their first five cycles
        EXPECT_FALSE(std::ranges::equal(cycleOf(b, 100), cycleOf((b + 1) % 3, 100)));
    }
    EXPECT_GT(fullScale, 3 * 252 / 2);
}

TEST(DvFactoryTable, SoundBanksAreDistinctAudibleAndStartAndEndWithoutAClick) {
    for (int b = 3; b < 7; ++b) {
        SCOPED_TRACE(b);
        const auto sound = DvFactoryTable::bank(b).first(64512);
        double energy = 0;
        for (const auto v : sound) {
            energy += static_cast<double>(v) * v;
        }
        EXPECT_GT(std::sqrt(energy / sound.size()), 1000.0);
        // from 0 it rises over several values, and the last 5 ms are all but silent
        EXPECT_EQ(sound.front(), 0);
        for (std::size_t i = 0; i < 8; ++i) {
            EXPECT_LT(std::abs(sound[i]), 1000) << i;
        }
        for (std::size_t i = 0; i < 220; ++i) {
            EXPECT_LT(std::abs(sound[sound.size() - 1 - i]), 500) << i;
        }
        EXPECT_EQ(sound.back(), 0);
        for (int other = b + 1; other < 7; ++other) {
            EXPECT_FALSE(std::ranges::equal(sound, DvFactoryTable::bank(other).first(64512)));
        }
    }
}

TEST(DvFactoryTable, IsWhatADefaultStoreStartsWithAndResetsTo) {
    DvVaneto store;
    const std::vector<std::int16_t> nothing;
    store.loadBank({}, 5);
    store.insertSample(nothing.data(), 0, 5, 0);
    store.resetBank(5);
    for (int b = 0; b < 7; ++b) {
        EXPECT_TRUE(std::ranges::equal(store.bankData(b), DvFactoryTable::bank(b))) << b;
    }
}

} // namespace
