#include "midiout/SysexPacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(SysexPacerTest, ChunksCoverTheMessageInOrder) {
    const struct {
        std::size_t length;
        std::size_t chunkSize;
        std::size_t chunks;
        std::size_t lastLength;
    } cases[] = {
        {262150, 256, 1025, 6}, {6, 256, 1, 6},       {256, 256, 1, 256},
        {257, 256, 2, 1},       {6000, 256, 24, 112}, {10, 1, 10, 1},
    };
    for (const auto& c : cases) {
        const auto chunks = SysexPacer(3125.0, c.chunkSize).schedule(c.length);
        ASSERT_EQ(chunks.size(), c.chunks) << c.length;
        std::size_t next = 0;
        for (const auto& chunk : chunks) {
            EXPECT_EQ(chunk.offset, next);
            EXPECT_LE(chunk.length, c.chunkSize);
            EXPECT_GT(chunk.length, 0u);
            next += chunk.length;
        }
        EXPECT_EQ(next, c.length);
        EXPECT_EQ(chunks.back().length, c.lastLength);
    }
    EXPECT_TRUE(SysexPacer().schedule(0).empty());
}

TEST(SysexPacerTest, HandsOverNoFasterThanTheRatePlusBacklog) {
    const SysexPacer pacer; // wire rate, 256-byte chunks, 512 bytes ahead
    const auto chunks = pacer.schedule(262150);
    EXPECT_EQ(chunks[0].dueMicroseconds, 0);
    EXPECT_EQ(chunks[1].dueMicroseconds, 0);
    EXPECT_EQ(chunks[2].dueMicroseconds, 81'920); // 256 bytes past the backlog
    EXPECT_EQ(chunks[3].dueMicroseconds, 163'840);
    std::int64_t previous = 0;
    for (const auto& chunk : chunks) {
        EXPECT_GE(chunk.dueMicroseconds, previous);
        previous = chunk.dueMicroseconds;
        // Everything handed over by the due time fits under rate * t + backlog...
        const double allowed = 3125.0 * static_cast<double>(chunk.dueMicroseconds) / 1e6 + 512;
        EXPECT_LE(static_cast<double>(chunk.offset + chunk.length), allowed + 1e-6);
        // ...and the chunk is not held back longer than needed.
        if (chunk.dueMicroseconds > 0) {
            const double earlier =
                3125.0 * static_cast<double>(chunk.dueMicroseconds - 1) / 1e6 + 512;
            EXPECT_GT(static_cast<double>(chunk.offset + chunk.length), earlier);
        }
    }
    // The last chunk goes out one backlog before the end of the wire time.
    EXPECT_EQ(chunks.back().dueMicroseconds, pacer.wireMicroseconds(262150 - 512));
    EXPECT_EQ(pacer.wireMicroseconds(262150), 83'888'000);
}

TEST(SysexPacerTest, AnInterfaceOnePercentSlowNeverOverflowsItsPage) {
    // The interface drains a one-page buffer at 99% of the wire rate from the first byte on;
    // what is in the buffer just after each hand-over must fit.
    const SysexPacer pacer;
    const double drainRate = 3125.0 * 0.99;
    double highest = 0;
    for (const auto& chunk : pacer.schedule(262150)) {
        const double drained = drainRate * static_cast<double>(chunk.dueMicroseconds) / 1e6;
        const double inBuffer = static_cast<double>(chunk.offset + chunk.length) -
                                std::min(drained, 1.0 * chunk.offset);
        highest = std::max(highest, inBuffer);
    }
    EXPECT_LE(highest, 4096.0);
    EXPECT_GT(highest, 2048.0) << "the drift over a bank is worth checking at all";
}

TEST(SysexPacerTest, RaisedRateAndOddParameters) {
    const SysexPacer fast(8 * 3125.0);
    EXPECT_EQ(fast.schedule(262150).back().dueMicroseconds,
              SysexPacer().schedule(262150).back().dueMicroseconds / 8);
    EXPECT_EQ(fast.wireMicroseconds(262150), 10'486'000);

    const SysexPacer odd(-1.0, 0, 0);
    EXPECT_EQ(odd.bytesPerSecond(), SysexPacer::wireBytesPerSecond);
    EXPECT_EQ(odd.chunkSize(), 1u);
    const auto chunks = odd.schedule(3);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].dueMicroseconds, 320); // no backlog: the first byte waits its wire time
    EXPECT_EQ(SysexPacer(std::nan("")).bytesPerSecond(), SysexPacer::wireBytesPerSecond);
}

} // namespace
