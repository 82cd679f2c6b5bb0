#include "AudioTestFiles.h"

#include "files/SampleImport.h"
#include "audio/LoWaveFileReader.h"
#include "device/DvVaneto.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <sstream>

using namespace audiotest;
using Outcome = SampleImport::Outcome;
using Values = std::vector<std::int16_t>;

namespace {

struct Decoded {
    int channels = 0;
    std::vector<std::int32_t> samples; // interleaved, left-justified in 32 bits
};

// Lets sox decode a file on its own, into left-justified signed 32-bit samples.
Decoded decodeWithSox(const std::filesystem::path& file, int channels) {
    const auto raw = file.string() + ".raw";
    Decoded out;
    out.channels = channels;
    if (!sox("'" + file.string() + "' -t raw -e signed -b 32 -L '" + raw + "'")) {
        return out;
    }
    const Bytes bytes = readFile(raw);
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        out.samples.push_back(
            static_cast<std::int32_t>(bytes[i] | (bytes[i + 1] << 8) | (bytes[i + 2] << 16) |
                                      (static_cast<std::uint32_t>(bytes[i + 3]) << 24)));
    }
    return out;
}

// The bank values the conversion arithmetic predicts for a file of the given container width
// and rate: channels averaged toward zero, linear interpolation (0 past the end), the depth
// scaled by a power of two toward zero.
Values predict(const Decoded& in, int containerBytes, double rate) {
    const int shift = 32 - 8 * containerBytes;
    const std::size_t frames = in.samples.size() / in.channels;
    std::vector<std::int32_t> mono(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        std::int64_t sum = 0;
        for (int c = 0; c < in.channels; ++c) {
            sum += in.samples[f * in.channels + c] >> shift;
        }
        mono[f] = static_cast<std::int32_t>(sum / in.channels);
    }
    const double ratio = rate / 44100.0;
    const auto outFrames =
        static_cast<std::size_t>(static_cast<double>(frames * containerBytes) / ratio) /
        containerBytes;
    Values out;
    for (std::size_t i = 0; i < outFrames && out.size() < SampleImport::bankValues; ++i) {
        const double pos = static_cast<double>(i) * ratio;
        const auto n = static_cast<std::size_t>(pos);
        const double a = n < frames ? mono[n] : 0;
        const double b = n + 1 < frames ? mono[n + 1] : 0;
        const auto r = static_cast<std::int64_t>(a + (b - a) * (pos - static_cast<double>(n)));
        const int scale = 16 - 8 * containerBytes;
        out.push_back(static_cast<std::int16_t>(scale >= 0 ? r * (1 << scale) : r / (1 << -scale)));
    }
    return out;
}

class SampleImportTest : public ::testing::Test {
protected:
    // A file made by sox from a few partials and noise, different on every channel.
    std::filesystem::path make(const std::string& name, const std::string& options, int channels,
                               double seconds) {
        const auto path = dir / name;
        std::ostringstream synth;
        synth << "-n " << options << " '" << path.string() << "' synth " << seconds;
        const char* tones[] = {" sine 440", " square 97", " whitenoise", " sawtooth 3000"};
        for (int c = 0; c < channels; ++c) {
            synth << tones[c % 4];
        }
        synth << " gain -2";
        EXPECT_TRUE(sox(synth.str())) << synth.str();
        return path;
    }
    static Values bankPrefix(const DvVaneto& store, int bank, std::size_t count) {
        const auto data = store.bankData(bank);
        return Values(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(count));
    }

    TempDir dir;
    DvVaneto store;
};

TEST_F(SampleImportTest, SoxFilesImportValueForValue) {
    struct Case {
        const char* name;
        const char* options;
        int channels, containerBytes;
        double rate, seconds;
        Outcome outcome;
    } cases[] = {
        {"u8-mono-22050.wav", "-t wav -r 22050 -c 1 -b 8", 1, 1, 22050, 1.6, Outcome::importedWave},
        {"s16-stereo-44100.wav", "-t wav -r 44100 -c 2 -b 16", 2, 2, 44100, 1.6,
         Outcome::importedWave},
        {"s24-stereo-48000.wav", "-t wav -r 48000 -c 2 -b 24", 2, 3, 48000, 1.6,
         Outcome::importedWave},
        {"s32-mono-96000.wav", "-t wav -r 96000 -c 1 -b 32", 1, 4, 96000, 1.6,
         Outcome::importedWave},
        {"s16-3ch-48000.wav", "-t wav -r 48000 -c 3 -b 16", 3, 2, 48000, 0.3,
         Outcome::importedWave},
        {"s24-3ch-22050.wav", "-t wav -r 22050 -c 3 -b 24", 3, 3, 22050, 0.5,
         Outcome::importedWave},
        {"u8-stereo-96000.wav", "-t wav -r 96000 -c 2 -b 8", 2, 1, 96000, 0.2,
         Outcome::importedWave},
        {"pcm-s24-stereo-48000.wav", "-t wavpcm -r 48000 -c 2 -b 24", 2, 3, 48000, 1.6,
         Outcome::importedWave},
        {"pcm-s16-mono-22050.wav", "-t wavpcm -r 22050 -c 1 -b 16", 1, 2, 22050, 0.1,
         Outcome::importedWave},
        {"pcm-s32-3ch-44100.wav", "-t wavpcm -r 44100 -c 3 -b 32", 3, 4, 44100, 0.4,
         Outcome::importedWave},
        {"s8-mono-44100.aiff", "-t aiff -r 44100 -c 1 -b 8", 1, 1, 44100, 1.6,
         Outcome::importedAiff},
        {"s16-stereo-48000.aiff", "-t aiff -r 48000 -c 2 -b 16", 2, 2, 48000, 0.5,
         Outcome::importedAiff},
        {"s24-3ch-96000.aiff", "-t aiff -r 96000 -c 3 -b 24", 3, 3, 96000, 1.6,
         Outcome::importedAiff},
    };
    int bank = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = make(c.name, c.options, c.channels, c.seconds);
        const Values expected = predict(decodeWithSox(path, c.channels), c.containerBytes, c.rate);
        ASSERT_FALSE(expected.empty());

        const auto result = SampleImport::importInto(path, store, bank);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.values, expected);
        const Bytes bytes = readFile(path);
        EXPECT_EQ(SampleImport::load(std::span(bytes), c.name).values, expected);
        EXPECT_EQ(store.sampleName(bank, 0), c.name);
        // The store keeps the values between its forced first 0 and the fade of the last 15.
        const std::size_t n = expected.size();
        const Values kept = bankPrefix(store, bank, n - 16);
        EXPECT_EQ(Values(kept.begin() + 1, kept.end()),
                  Values(expected.begin() + 1, expected.end() - 16));
        bank = (bank + 1) % store.bankCount();
    }
    // sox writes the extensible header above 16 bits; the plain one only when told to.
    EXPECT_EQ(LoWaveFileReader(dir / "s24-stereo-48000.wav").getFormatTag(), 0xFFFE);
    EXPECT_EQ(LoWaveFileReader(dir / "pcm-s24-stereo-48000.wav").getFormatTag(), 1);
}

TEST_F(SampleImportTest, ReadingOnlyWhatTheBankNeedsGivesTheWholeFileValues) {
    struct Case {
        const char* name;
        const char* options;
        int channels;
    } cases[] = {
        {"long-96000-24-stereo.wav", "-t wav -r 96000 -c 2 -b 24", 2},
        {"long-22050-8-mono.wav", "-t wav -r 22050 -c 1 -b 8", 1},
        {"long-44100-16-mono.wav", "-t wavpcm -r 44100 -c 1 -b 16", 1},
        {"long-48000-16-3ch.aiff", "-t aiff -r 48000 -c 3 -b 16", 3},
        {"long-11025-24-stereo.aiff", "-t aiff -r 11025 -c 2 -b 24", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = make(c.name, c.options, c.channels, 12.0);
        const auto bounded = SampleImport::load(path);
        const auto whole = SampleImport::load(path, true);
        EXPECT_EQ(bounded.values.size(), SampleImport::bankValues);
        EXPECT_EQ(bounded.values, whole.values);
        EXPECT_EQ(bounded.outcome, whole.outcome);
    }
}

TEST_F(SampleImportTest, UnsupportedFilesLeaveTheBankAsItWas) {
    const Values before = bankPrefix(store, 2, 65536);
    const std::string nameBefore = store.sampleName(2, 0);
    for (const auto& [name, options] :
         {std::pair{"float.wav", "-t wav -e floating-point -b 32"},
          std::pair{"alaw.wav", "-t wav -e a-law"}, std::pair{"plain.aifc", "-t aifc -b 16"}}) {
        SCOPED_TRACE(name);
        const auto path = make(name, std::string(options) + " -r 44100 -c 1", 1, 0.1);
        const auto result = SampleImport::importInto(path, store, 2);
        EXPECT_EQ(result.outcome, Outcome::unsupported);
        EXPECT_TRUE(result.values.empty());
    }
    EXPECT_EQ(bankPrefix(store, 2, 65536), before);
    EXPECT_EQ(store.sampleName(2, 0), nameBefore);
}

TEST_F(SampleImportTest, OtherFilesAreRawLittleEndianValues) {
    struct Case {
        const char* name;
        std::size_t bytes, values;
    } cases[] = {{"odd.bin", 1001, 500}, {"big.dat", 200000, 65536}, {"empty.wav", 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes(c.bytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
        }
        writeFile(dir / c.name, bytes);
        const auto result = SampleImport::importInto(dir / c.name, store, 5);
        EXPECT_EQ(result.outcome, Outcome::importedRaw);
        ASSERT_EQ(result.values.size(), c.values);
        for (std::size_t i = 0; i < c.values; ++i) {
            ASSERT_EQ(result.values[i],
                      static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
        }
        EXPECT_EQ(store.sampleName(5, 0), c.name);
    }
    // The empty file, imported last, left the whole bank silent.
    EXPECT_EQ(bankPrefix(store, 5, 65536), Values(65536, 0));
}

TEST_F(SampleImportTest, FilesThatCannotBeOpenedChangeNothing) {
    const Values before = bankPrefix(store, 1, 65536);
    const std::string nameBefore = store.sampleName(1, 0);
    writeFile(dir / "locked.wav", Bytes(100, 1));
    ::chmod((dir / "locked.wav").c_str(), 0);
    std::filesystem::create_directory(dir / "folder.wav");
    struct Case {
        std::filesystem::path path;
        const char* reason;
    } cases[] = {
        {dir / "missing.wav", "No such file or directory"},
        {dir / "folder.wav", "a folder"},
        {dir / "locked.wav", "Permission denied"},
    };
    for (const Case& c : cases) {
        if (c.path.filename() == "locked.wav" && ::geteuid() == 0) {
            continue; // the superuser reads it anyway
        }
        const auto result = SampleImport::importInto(c.path, store, 1);
        EXPECT_EQ(result.outcome, Outcome::couldNotOpen) << c.path;
        EXPECT_EQ(result.reason, c.reason) << c.path;
    }
    EXPECT_EQ(bankPrefix(store, 1, 65536), before);
    EXPECT_EQ(store.sampleName(1, 0), nameBefore);
}

TEST_F(SampleImportTest, OnlySlotZeroOfTheChosenBankChanges) {
    std::filesystem::create_directory(dir / "drums");
    const auto path = make("drums/kick.wav", "-t wav -r 48000 -c 2 -b 24", 2, 0.2);
    DvVaneto fresh;
    const auto result = SampleImport::importInto(path, store, 4);
    EXPECT_EQ(result.outcome, Outcome::importedWave);
    EXPECT_EQ(result.sampleName, "kick.wav");
    EXPECT_EQ(store.sampleName(4, 0), "kick.wav");
    EXPECT_EQ(store.bankName(4), fresh.bankName(4));
    EXPECT_EQ(store.sampleName(4, 1), fresh.sampleName(4, 1));
    // 0.2 s at 48000 Hz: 9600 frames give 8819 values, then zeros.
    EXPECT_EQ(result.values.size(), 8819u);
    const auto bank = store.bankData(4);
    EXPECT_EQ(Values(bank.begin() + 8819, bank.end()), Values(65536 - 8819, 0));
    for (int b = 0; b < store.bankCount(); ++b) {
        if (b != 4) {
            EXPECT_EQ(bankPrefix(store, b, 65536), bankPrefix(fresh, b, 65536)) << b;
        }
    }
}

} // namespace

TEST_F(SampleImportTest, OddFilesOtherProgramsWrite) {
    using namespace audiotest;
    // A 4-bit WAV of silence: one byte per sample, unsigned with 128 as zero.
    const auto fourBit = dir / "silence4.wav";
    writeFile(fourBit, wav(1, 44100, 4, Bytes(1000, 0x80)));
    const auto silent = SampleImport::load(fourBit);
    ASSERT_EQ(silent.outcome, SampleImport::Outcome::importedWave);
    ASSERT_FALSE(silent.values.empty());
    EXPECT_TRUE(std::all_of(silent.values.begin(), silent.values.end(),
                            [](std::int16_t v) { return v == 0; }));

    // An odd-sized "fmt " chunk (19 bytes) written without its pad byte, "data" right after.
    Bytes format = fmtData(1, 1, 44100, 16);
    le16(format, 0); // extension size
    format.push_back(0);
    Bytes body = chunk("fmt ", format, false);
    body.pop_back();                                // the writer's bug: no pad byte
    const Bytes samples = {0x34, 0x12, 0xCC, 0xED}; // 0x1234, -0x1234
    const auto unpadded = dir / "unpadded.wav";
    writeFile(unpadded, riff({body, chunk("data", samples, false)}));
    const auto read = SampleImport::load(unpadded);
    ASSERT_EQ(read.outcome, SampleImport::Outcome::importedWave);
    ASSERT_GE(read.values.size(), 2u);
    EXPECT_EQ(read.values[0], 0x1234);
    EXPECT_EQ(read.values[1], -0x1234);
}
