#include "files/WaveformPeaks.h"

#include <gtest/gtest.h>

#include <vector>

TEST(WaveformPeaks, ColumnsAndLevelsOfKnownSignals) {
    const std::vector<std::int16_t> silence(65536, 0);
    const auto quiet = WaveformPeaks::levels(silence);
    EXPECT_EQ(WaveformPeaks::dbfsText(quiet), "-inf dBFS");
    EXPECT_EQ(quiet.fullScale, 0u);

    // A full-scale square: every column spans the whole range, RMS at full scale.
    std::vector<std::int16_t> square(65536);
    for (std::size_t i = 0; i < square.size(); ++i) {
        square[i] = (i / 50) % 2 ? -32768 : 32767;
    }
    const auto loud = WaveformPeaks::levels(square);
    EXPECT_EQ(WaveformPeaks::dbfsText(loud), "0.00 dBFS");
    EXPECT_EQ(loud.fullScale, 65536u);
    const auto wide = WaveformPeaks::columns(square, 640);
    ASSERT_EQ(wide.size(), 640u);
    for (const auto& column : wide) {
        EXPECT_EQ(column.low, -32768);
        EXPECT_EQ(column.high, 32767);
        EXPECT_GT(column.rms, 32700.0f);
    }

    // A single spike shows in exactly one column, at -6.02 dBFS.
    std::vector<std::int16_t> spike(65536, 0);
    spike[40000] = 16384;
    const auto columns = WaveformPeaks::columns(spike, 512);
    int marked = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        marked += columns[c].high != 0 ? 1 : 0;
        if (columns[c].high != 0) {
            EXPECT_EQ(c, 40000u * 512 / 65536);
        }
    }
    EXPECT_EQ(marked, 1);
    EXPECT_EQ(WaveformPeaks::dbfsText(WaveformPeaks::levels(spike)), "-6.02 dBFS");

    // Fewer values than columns: every column still holds a value, in order.
    const std::vector<std::int16_t> few = {-5, 7, 9};
    const auto stretched = WaveformPeaks::columns(few, 8);
    ASSERT_EQ(stretched.size(), 8u);
    EXPECT_EQ(stretched.front().low, -5);
    EXPECT_EQ(stretched.back().high, 9);
    EXPECT_EQ(WaveformPeaks::summary(WaveformPeaks::levels(few)),
              "peak -71.22 dBFS \u00b7 3 values \u00b7 0.000 s at 44100 Hz \u00b7 0 at full scale");
    EXPECT_TRUE(WaveformPeaks::columns({}, 8).empty());
}
