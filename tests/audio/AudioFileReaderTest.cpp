#include "AudioTestFiles.h"

#include "audio/LoAiffFileReader.h"
#include "audio/LoFloat80.h"
#include "audio/LoSample.h"
#include "audio/LoWaveFileReader.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace audiotest;

namespace {

class AudioFileReaderTest : public ::testing::Test {
protected:
    std::filesystem::path file(const Bytes& bytes) {
        const auto path = dir / ("f" + std::to_string(count++));
        writeFile(path, bytes);
        return path;
    }
    TempDir dir;
    int count = 0;
};

Bytes ramp(std::size_t n) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return out;
}

TEST_F(AudioFileReaderTest, WaveReadsFormatAndDataPastOtherChunks) {
    const Bytes data = ramp(400);
    const Bytes list = {'I', 'N', 'F', 'O', 'x'}; // odd size, padded
    Bytes manyChunks = riff({chunk("fmt ", fmtData(1, 2, 48000, 16), false)});
    for (int i = 0; i < 1000; ++i) {
        append(manyChunks, chunk("junk", {}, false));
    }
    append(manyChunks, chunk("big ", Bytes(100000, 0), false)); // passed by seeking
    append(manyChunks, chunk("data", data, false));
    for (const Bytes& bytes :
         {wav(2, 48000, 16, data), manyChunks,
          riff({chunk("LIST", list, false), chunk("fmt ", fmtData(1, 2, 48000, 16), false),
                chunk("LIST", list, false), chunk("data", data, false)})}) {
        LoWaveFileReader reader(file(bytes));
        EXPECT_TRUE(reader.isRecognized());
        EXPECT_TRUE(reader.isSupported());
        LoSample s(1, 1, 8, true);
        reader.readSample(s, 0);
        EXPECT_EQ(s.getSampleRate(), 48000.0);
        EXPECT_EQ(s.getChannels(), 2);
        EXPECT_EQ(s.getBitsPerSample(), 16);
        EXPECT_FALSE(s.isUnsigned8());
        EXPECT_EQ(s.bytes, data);
        reader.readSample(s, 0); // reads anew
        EXPECT_EQ(s.bytes, data);
    }
}

TEST_F(AudioFileReaderTest, WaveEightBitIsUnsignedAndRateIsUnsigned32) {
    LoWaveFileReader reader(file(wav(1, 0xFFFFFFFF, 8, {0x80, 0x00})));
    LoSample s;
    reader.readSample(s, 0);
    EXPECT_TRUE(s.isUnsigned8());
    EXPECT_EQ(s.getValue(0, 0), 0);
    EXPECT_EQ(s.getValue(1, 0), -128);
    EXPECT_EQ(s.getSampleRate(), 4294967295.0);
}

TEST_F(AudioFileReaderTest, WaveFormatTagsDecideSupport) {
    auto extensible = [](const Bytes& guid) {
        Bytes fmt = fmtData(0xFFFE, 2, 48000, 24);
        le16(fmt, 22);     // extension size
        le16(fmt, 24);     // valid bits
        le32(fmt, 3);      // channel mask
        append(fmt, guid); // sub-format
        return riff({chunk("fmt ", fmt, false), chunk("data", ramp(60), false)});
    };
    const Bytes pcmGuid = {0x01, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    Bytes floatGuid = pcmGuid;
    floatGuid[0] = 0x03;
    struct Case {
        const char* what;
        Bytes bytes;
        bool recognized, supported;
    } cases[] = {
        {"pcm", wav(1, 8000, 16, ramp(4)), true, true},
        {"float", riff({chunk("fmt ", fmtData(3, 1, 8000, 32), false)}), true, false},
        {"extensible pcm", extensible(pcmGuid), true, true},
        {"extensible float", extensible(floatGuid), true, false},
        {"extensible cut short", riff({chunk("fmt ", fmtData(0xFFFE, 2, 48000, 24), false)}), true,
         false},
        {"no fmt chunk", riff({chunk("data", ramp(4), false)}), true, false},
        {"RIFF of another form", riff({chunk("fmt ", fmtData(1, 1, 8000, 16), false)}, "AVI "),
         false, false},
        {"too short", {'R', 'I', 'F', 'F', 0}, false, false},
    };
    for (const Case& c : cases) {
        LoWaveFileReader reader(file(c.bytes));
        EXPECT_EQ(reader.isRecognized(), c.recognized) << c.what;
        EXPECT_EQ(reader.isSupported(), c.supported) << c.what;
    }
    LoWaveFileReader reader(file(extensible(pcmGuid)));
    LoSample s;
    reader.readSample(s, 0);
    EXPECT_EQ(s.getBitsPerSample(), 24);
    EXPECT_EQ(s.getChannels(), 2);
    EXPECT_EQ(s.bytes, ramp(60));
}

TEST_F(AudioFileReaderTest, ByteLimitsCountSoundBytes) {
    const Bytes data = ramp(1000);
    struct Case {
        std::uint32_t limit;
        std::size_t wav, aiff;
    } cases[] = {{100, 100, 100}, {5000, 1000, 1000}, {0, 1000, 1000}, {999, 999, 998}};
    const auto wavPath = file(wav(1, 44100, 16, data));
    const auto aiffPath = file(aiff(1, 44100, 16, data));
    for (const Case& c : cases) {
        LoSample s;
        LoWaveFileReader(wavPath).readSample(s, c.limit);
        EXPECT_EQ(s.size(), c.wav) << c.limit;
        LoAiffFileReader(aiffPath).readSample(s, c.limit);
        EXPECT_EQ(s.size(), c.aiff) << c.limit; // whole samples only
    }
}

TEST_F(AudioFileReaderTest, WaveWithoutDataOrFormat) {
    LoSample s(1, 1, 8, true);
    s.bytes = {1, 2, 3};
    LoWaveFileReader(file(riff({chunk("fmt ", fmtData(1, 2, 22050, 16), false)}))).readSample(s, 0);
    EXPECT_EQ(s.getSampleRate(), 22050.0);
    EXPECT_EQ(s.getChannels(), 2);
    EXPECT_TRUE(s.empty());
    LoWaveFileReader(file(riff({chunk("data", ramp(10), false)}))).readSample(s, 0);
    EXPECT_EQ(s.getSampleRate(), 0.0);
    EXPECT_EQ(s.getChannels(), 0);
    EXPECT_EQ(s.getBitsPerSample(), 0);
    EXPECT_TRUE(s.empty());
}

TEST_F(AudioFileReaderTest, AiffSkipsTheSoundOffsetAndKeepsWholeSamples) {
    const Bytes samples = {0x00, 0x01, 0x00, 0x02};
    LoSample s;
    LoAiffFileReader reader(file(form({chunk("COMM", commData(2, 16, float80(8000)), true),
                                       chunk("SSND", ssndData(samples, 4), true)})));
    reader.readSample(s, 0);
    EXPECT_EQ(s.bytes, (Bytes{0x01, 0x00, 0x02, 0x00}));
    EXPECT_EQ(s.getChannels(), 2);

    // A sample depth of 12 bits keeps 2-byte containers; a trailing partial one is dropped.
    LoAiffFileReader(file(aiff(1, 8000, 12, {0x12, 0x30, 0xAB}))).readSample(s, 0);
    EXPECT_EQ(s.bytes, (Bytes{0x30, 0x12}));
}

TEST_F(AudioFileReaderTest, AiffRateCutInsideItsBytesCountsMissingBytesAsZero) {
    Bytes bytes = form({chunk("COMM", commData(1, 16, float80(44100)), true)});
    bytes.resize(bytes.size() - 8); // keep 40 0E of the rate
    LoSample s;
    LoAiffFileReader(file(bytes)).readSample(s, 0);
    EXPECT_EQ(s.getSampleRate(), 32768.0);
    EXPECT_TRUE(s.empty());
}

TEST(LoFloat80, ConvertsStoredRatesExactly) {
    for (std::uint32_t rate : {8000u, 11025u, 22050u, 44100u, 48000u, 96000u, 1u, 192000u}) {
        LoFloat80 f;
        f.bytes = float80(rate);
        EXPECT_EQ(f.toDouble(), static_cast<double>(rate));
    }
    LoFloat80 f;
    EXPECT_EQ(f.bytes.size(), 10u);
    EXPECT_EQ(f.toDouble(), 0.0);
    f.bytes = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(f.toDouble(), 44100.0);
    f.bytes[0] |= 0x80;
    EXPECT_EQ(f.toDouble(), -44100.0);
    f.bytes = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}; // extended infinity
    EXPECT_TRUE(std::isinf(f.toDouble()));
}

} // namespace
