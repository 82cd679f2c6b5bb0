#include "audio/LoSample.h"
#include "audio/LoSampleConverter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

LoSample sampleOf(std::uint16_t channels, std::uint16_t bits, std::vector<std::uint8_t> bytes,
                  bool unsignedFlag = false) {
    LoSample s(44100.0, channels, bits, unsignedFlag);
    s.bytes = std::move(bytes);
    return s;
}

TEST(LoSample, DefaultAndSettersKeepWidthSignShiftAndFlagConsistent) {
    LoSample s;
    EXPECT_EQ(s.frameCount(), 0u);
    EXPECT_EQ(s.getChannels(), 2);
    EXPECT_EQ(s.getBitsPerSample(), 16);
    EXPECT_EQ(s.getSampleRate(), 44100.0);

    s.setBitsPerSample(24);
    s.setUnsigned8(true); // the flag makes the sample 8 bits wide
    EXPECT_EQ(s.getBitsPerSample(), 8);
    EXPECT_EQ(s.getBytesPerSample(), 1);
    s.setBitsPerSample(8);
    EXPECT_TRUE(s.isUnsigned8()); // 8 bits keep the flag
    s.setBitsPerSample(16);
    EXPECT_FALSE(s.isUnsigned8());
    s.setUnsigned8(false);
    EXPECT_EQ(s.getBitsPerSample(), 16);

    EXPECT_EQ(LoSample(44100, 1, 24, true).getBitsPerSample(), 8);
    EXPECT_EQ(LoSampleConverter(44100, 2, 16, true).bitsPerSample, 8);
    EXPECT_EQ(LoSampleConverter(44100, 2, 16, false).bitsPerSample, 16);
}

TEST(LoSample, FrameCountIgnoresPartialFramesAndDegenerateLayouts) {
    struct Case {
        std::uint16_t channels, bits;
        std::size_t bytes;
        std::uint32_t frames;
    } cases[] = {
        {1, 16, 5, 2},  {2, 16, 8, 2},   {2, 16, 7, 1},
        {3, 24, 18, 2}, {0, 16, 100, 0}, // no channels
        {2, 0, 100, 0},                  // no bytes per sample
        {1, 12, 6, 3},                   // a 12-bit sample takes 2 bytes
    };
    for (const Case& c : cases) {
        const LoSample s = sampleOf(c.channels, c.bits, std::vector<std::uint8_t>(c.bytes, 0));
        EXPECT_EQ(s.frameCount(), c.frames) << c.channels << " ch " << c.bits << " bits";
    }
}

TEST(LoSample, GetValueSignExtendsEveryWidth) {
    struct Case {
        std::uint16_t bits;
        bool unsignedFlag;
        std::vector<std::uint8_t> bytes;
        std::int32_t value;
    } cases[] = {
        {24, false, {0x00, 0x00, 0x80}, -8388608},
        {24, false, {0xFF, 0xFF, 0x7F}, 8388607},
        {32, false, {0x00, 0x00, 0x00, 0x80}, INT32_MIN},
        {32, false, {0xFE, 0xFF, 0xFF, 0xFF}, -2},
        {16, false, {0x34, 0x12}, 0x1234},
        {12, false, {0xF0, 0xFF}, -16}, // whole container, low bits kept
        {8, true, {0x80}, 0},
        {8, true, {0x00}, -128},
        {8, true, {0xFF}, 127},
        {8, false, {0x80}, -128},
        {8, false, {0x00}, 0},
        {8, false, {0xFF}, -1},
        {40, false, {1, 2, 3, 4, 5}, 0}, // wider than 32 bits reads as 0
    };
    for (const Case& c : cases) {
        const LoSample s = sampleOf(1, c.bits, c.bytes, c.unsignedFlag);
        EXPECT_EQ(s.getValue(0, 0), c.value) << c.bits << " bits, first byte " << int(c.bytes[0]);
    }
}

TEST(LoSample, ChannelBeyondLastReadsLastAndPositionsOutsideReadZero) {
    const LoSample s = sampleOf(2, 16, {0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00});
    EXPECT_EQ(s.getValue(1, 0), 3);
    EXPECT_EQ(s.getValue(1, 5), 4);
    EXPECT_EQ(s.getValue(2, 0), 0);
    EXPECT_EQ(s.getValue(-1, 0), 0);
}

} // namespace
