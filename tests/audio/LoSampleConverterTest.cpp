#include "audio/LoSampleConverter.h"
#include "audio/LoSample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

namespace {

const LoSampleConverter toBank(44100, 1, 16, false);

LoSample sample16(double rate, std::uint16_t channels, const std::vector<std::int16_t>& values) {
    LoSample s(rate, channels, 16, false);
    for (std::int16_t v : values) {
        s.bytes.push_back(static_cast<std::uint8_t>(v));
        s.bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
    }
    return s;
}

LoSample sampleBytes(double rate, std::uint16_t channels, std::uint16_t bits, bool unsignedFlag,
                     std::vector<std::uint8_t> bytes) {
    LoSample s(rate, channels, bits, unsignedFlag);
    s.bytes = std::move(bytes);
    return s;
}

std::vector<std::int16_t> values16(const LoSample& s) {
    std::vector<std::int16_t> out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        out.push_back(static_cast<std::int16_t>(s.bytes[i] | (s.bytes[i + 1] << 8)));
    }
    return out;
}

std::vector<std::int16_t> convertToBank(const LoSample& in) {
    LoSample out;
    toBank.convert(out, in);
    EXPECT_EQ(out.getSampleRate(), 44100.0);
    EXPECT_EQ(out.getChannels(), 1);
    EXPECT_EQ(out.getBitsPerSample(), 16);
    EXPECT_FALSE(out.isUnsigned8());
    return values16(out);
}

using V = std::vector<std::int16_t>;

TEST(LoSampleConverter, ConvertsToBankFormatWithTruncatingArithmetic) {
    struct Case {
        const char* what;
        LoSample in;
        V expected;
    } cases[] = {
        {"identity", sample16(44100, 1, {5, -7, 32767}), {5, -7, 32767}},
        {"stereo average toward zero",
         sample16(44100, 2, {1000, 2000, -3, 0, 100, -101}),
         {1500, -1, 0}},
        {"three channels", sample16(44100, 3, {1, 1, 0, -2, -2, -1}), {0, -1}},
        {"upsampling interpolates toward 0 past the end",
         sample16(22050, 1, {100, 200}),
         {100, 150, 200, 100}},
        {"unsigned 8-bit", sampleBytes(44100, 1, 8, true, {0x80, 0xFF, 0x00}), {0, 32512, -32768}},
        {"signed 8-bit", sampleBytes(44100, 1, 8, false, {0x7F, 0x80}), {32512, -32768}},
        {"24-bit divides by 256 toward zero",
         sampleBytes(44100, 1, 24, false, {0xE8, 0x03, 0x00, 0x18, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF}),
         {3, -3, 0}},
        {"32-bit divides by 65536 toward zero",
         sampleBytes(44100, 1, 32, false, {0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00, 0xFE, 0xFF}),
         {1, -1}},
        {"12-bit scales by its container",
         sampleBytes(44100, 1, 12, false, {0xF0, 0x7F, 0x00, 0x80}),
         {32752, -32768}},
        {"20-bit scales by its container",
         sampleBytes(44100, 1, 20, false, {0xF0, 0xFF, 0x7F}),
         {32767}},
        {"empty input", sample16(48000, 2, {}), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(convertToBank(c.in), c.expected) << c.what;
    }
}

TEST(LoSampleConverter, OddTrailingByteOfIdentityBecomesZero) {
    LoSample in = sample16(44100, 1, {0x1234});
    in.bytes.push_back(0x55);
    LoSample out;
    toBank.convert(out, in);
    EXPECT_EQ(out.bytes, (std::vector<std::uint8_t>{0x34, 0x12, 0x00}));
}

TEST(LoSampleConverter, DownsamplingSizeComesFromTheDoubleQuotient) {
    LoSample out;
    toBank.convert(out, LoSample(sample16(48000, 1, V(48000, 1000))));
    EXPECT_EQ(out.size(), 88199u); // 96000 / (48000 / 44100) falls just below 88200
    EXPECT_EQ(out.frameCount(), 44099u);
    EXPECT_EQ(out.bytes.back(), 0);
    toBank.convert(out, LoSample(sample16(48000, 1, V(2400, 1000))));
    EXPECT_EQ(out.size(), 4410u);
    // Stereo halves the byte count before the rate stage.
    toBank.convert(out, LoSample(sample16(48000, 2, V(96000, 1000))));
    EXPECT_EQ(out.size(), 88199u);
}

TEST(LoSampleConverter, InputsWithoutReadableAudioGiveAnEmptyResult) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        LoSample in;
    } cases[] = {
        {"rate 0", sample16(0, 1, V(100, 1))},
        {"negative rate", sample16(-44100, 1, V(100, 1))},
        {"infinite rate", sample16(inf, 1, V(100, 1))},
        {"NaN rate", sample16(nan, 1, V(100, 1))},
        {"no channels", sampleBytes(44100, 0, 16, false, std::vector<std::uint8_t>(100, 1))},
        {"no bits", sampleBytes(44100, 1, 0, false, std::vector<std::uint8_t>(100, 1))},
        {"64 bits", sampleBytes(44100, 1, 64, false, std::vector<std::uint8_t>(800, 1))},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(convertToBank(c.in).empty()) << c.what;
    }
    // A tiny positive rate would ask for more than 32 bits of output: the size is capped,
    // and a frame limit keeps the work to what is needed.
    LoSample out;
    toBank.convert(out, sample16(1e-9, 1, {1000, 2000}), 10);
    EXPECT_EQ(values16(out), V(10, 1000));
}

TEST(LoSampleConverter, StagesKeepUnsignedUntilTheDepthStage) {
    const LoSample in = sampleBytes(22050, 2, 8, true, {0x80, 0x90, 0xFF, 0xFF});
    LoSample mixed;
    LoSample resampled;
    LoSample scaled;
    toBank.convertChannels(mixed, in);
    EXPECT_TRUE(mixed.isUnsigned8());
    EXPECT_EQ(mixed.bytes, (std::vector<std::uint8_t>{0x88, 0xFF}));
    toBank.convertRate(resampled, mixed);
    EXPECT_TRUE(resampled.isUnsigned8());
    // 8, (8 + 127) / 2 = 67.5 -> 67, 127, 127 / 2 = 63.5 -> 63 (toward the 0 past the end)
    EXPECT_EQ(resampled.bytes, (std::vector<std::uint8_t>{0x88, 0xC3, 0xFF, 0xBF}));
    toBank.convertDepth(scaled, resampled);
    EXPECT_FALSE(scaled.isUnsigned8());
    EXPECT_EQ(values16(scaled), (V{8 * 256, 67 * 256, 127 * 256, 63 * 256}));
    // Mono to stereo duplicates; an 8-bit unsigned target re-biases at the last stage.
    const LoSampleConverter toStereo8(44100, 2, 8, true);
    LoSample out;
    toStereo8.convert(out, sample16(44100, 1, {-32768, 256}));
    EXPECT_TRUE(out.isUnsigned8());
    EXPECT_EQ(out.bytes, (std::vector<std::uint8_t>{0x00, 0x00, 0x81, 0x81}));
}

} // namespace

namespace {

// Mixing in place (the import hands over its read buffer) gives the bytes and format of mixing
// into a fresh sample, partial trailing frame included.
TEST(LoSampleConverter, MixingInPlaceEqualsMixingIntoAFreshSample) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 3 * 3 * 7 + 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    }
    for (const auto& [channels, bits, unsignedFlag] :
         {std::tuple{3, 24, false}, {2, 8, true}, {1, 16, false}}) {
        const LoSample input =
            sampleBytes(48000, static_cast<std::uint16_t>(channels), bits, unsignedFlag, bytes);
        LoSample fresh;
        toBank.convertChannels(fresh, input);
        LoSample inPlace = input;
        toBank.convertChannels(inPlace, inPlace);
        EXPECT_EQ(inPlace.bytes, fresh.bytes) << channels;
        EXPECT_EQ(inPlace.getChannels(), fresh.getChannels());
        LoSample viaMove;
        LoSample moved = input;
        toBank.convert(viaMove, std::move(moved), 10);
        LoSample viaCopy;
        toBank.convert(viaCopy, input, 10);
        EXPECT_EQ(viaMove.bytes, viaCopy.bytes) << channels;
    }
}

} // namespace
