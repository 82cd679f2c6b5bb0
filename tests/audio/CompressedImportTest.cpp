// FLAC, Ogg Vorbis, Opus and MP3 made by sox and ffmpeg, imported as "Open..." imports: FLAC
// value for value as the WAV it was made from, the lossy formats close to it; files that only
// look like audio to libsndfile keep the raw path; a damaged FLAC changes nothing.
#include "AudioTestFiles.h"

#include "files/SampleImport.h"
#include "audio/LoSndfileDecoder.h"
#include "device/DvVaneto.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace audiotest;
using Outcome = SampleImport::Outcome;

namespace {

bool ffmpeg(const std::string& arguments) {
    return std::system(("ffmpeg -loglevel error -y " + arguments + " 2>/dev/null").c_str()) == 0;
}

// The best normalized correlation of b against a over lags 0 ... maxLag (a decoder's delay).
double bestCorrelation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b,
                       std::size_t maxLag) {
    double best = 0;
    for (std::size_t lag = 0; lag <= maxLag; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t i = 0; i + lag < b.size() && i < a.size(); ++i) {
            ab += double(a[i]) * b[i + lag];
            aa += double(a[i]) * a[i];
            bb += double(b[i + lag]) * b[i + lag];
        }
        if (aa > 0 && bb > 0) {
            best = std::max(best, ab / std::sqrt(aa * bb));
        }
    }
    return best;
}

TEST(CompressedImport, FlacEqualsItsWavAndLossyFormatsComeClose) {
    TempDir dir;
    const auto at = [&dir](const char* name) { return "'" + (dir / name).string() + "'"; };
    ASSERT_TRUE(sox("-n -r 48000 -c 2 -b 24 " + at("s24.wav") + " synth 1 pluck 220 gain -6"));
    ASSERT_TRUE(sox(at("s24.wav") + " -b 16 -c 1 " + at("m16.wav")));
    ASSERT_TRUE(sox(at("s24.wav") + " -b 8 " + at("s8.wav")));
    for (const char* name : {"s24", "m16", "s8"}) {
        const std::string wav = std::string(name) + ".wav", flac = std::string(name) + ".flac";
        ASSERT_TRUE(sox(at(wav.c_str()) + " " + at(flac.c_str())));
        const auto fromWav = SampleImport::load(dir / wav);
        const auto fromFlac = SampleImport::load(dir / flac);
        EXPECT_EQ(fromFlac.outcome, Outcome::importedCompressed) << name;
        EXPECT_EQ(fromFlac.values, fromWav.values) << name;
        EXPECT_EQ(fromFlac.sourceBits, fromWav.sourceBits) << name;
    }
    const auto reference = SampleImport::load(dir / "s24.wav").values;
    ASSERT_TRUE(ffmpeg("-i " + at("s24.wav") + " -b:a 192k " + at("s.mp3")));
    ASSERT_TRUE(ffmpeg("-i " + at("s24.wav") + " -c:a libvorbis " + at("s.ogg")));
    ASSERT_TRUE(ffmpeg("-i " + at("s24.wav") + " -c:a libopus " + at("s.opus")));
    for (const char* name : {"s.mp3", "s.ogg", "s.opus"}) {
        const auto lossy = SampleImport::load(dir / name);
        EXPECT_EQ(lossy.outcome, Outcome::importedCompressed) << name;
        EXPECT_EQ(lossy.sourceBits, 0) << name;
        // One second at 44100 Hz, give or take the decoder's delay and padding.
        EXPECT_NEAR(double(lossy.values.size()), 44100.0, 2500.0) << name;
        EXPECT_GT(bestCorrelation(reference, lossy.values, 2500), 0.99) << name;
    }
}

TEST(CompressedImport, MpegEvidenceIsThreeFramesOfOneKind) {
    // MPEG 1 layer III at 128 kbit/s: 417 bytes a frame at 44100 Hz, 384 at 48000 Hz.
    const auto frames = [](std::initializer_list<std::uint8_t> rateBytes) {
        Bytes bytes;
        for (const std::uint8_t rate : rateBytes) {
            Bytes frame(rate == 0x90 ? 417 : 384, 0);
            frame[0] = 0xFF;
            frame[1] = 0xFB;
            frame[2] = rate;
            append(bytes, frame);
        }
        return bytes;
    };
    EXPECT_TRUE(LoSndfileDecoder::startsWithMpegFrames(frames({0x90, 0x90, 0x90})));
    EXPECT_TRUE(LoSndfileDecoder::startsWithMpegFrames(frames({0x94, 0x94, 0x94})));
    EXPECT_FALSE(LoSndfileDecoder::startsWithMpegFrames(frames({0x90, 0x94, 0x90})));
    EXPECT_FALSE(LoSndfileDecoder::startsWithMpegFrames(frames({0x90, 0x90})));
}

TEST(CompressedImport, LookalikesStayRawAndDamageChangesNothing) {
    TempDir dir;
    writeFile(dir / "ffff.bin", {0xFF, 0xFF, 0x00, 0x00, 1, 2, 3, 4});
    ASSERT_TRUE(sox("-n -r 8000 -c 1 '" + (dir / "tone.au").string() + "' synth 0.1 sine 300"));
    for (const char* name : {"ffff.bin", "tone.au"}) {
        EXPECT_EQ(SampleImport::load(dir / name).outcome, Outcome::importedRaw) << name;
    }
    ASSERT_TRUE(
        sox("-n -r 48000 -c 2 -b 16 '" + (dir / "long.flac").string() + "' synth 3 pluck 220"));
    Bytes cut = readFile(dir / "long.flac");
    cut.resize(cut.size() / 4);
    writeFile(dir / "cut.flac", cut);
    DvVaneto store;
    const auto before = store.bankData(2);
    const std::vector<std::int16_t> copy(before.begin(), before.end());
    const auto result = SampleImport::importInto(dir / "cut.flac", store, 2);
    EXPECT_EQ(result.outcome, Outcome::damaged);
    EXPECT_FALSE(result.reason.empty());
    const auto after = store.bankData(2);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), copy.begin()));
    EXPECT_EQ(store.sampleName(2, 0), "Sample 1 (in Bank 3)");
}

} // namespace

namespace {

TEST(ImportPart, StartCutsWhereAsked_AutoFindsTheSound_LevelsAreExact) {
    TempDir dir;
    const auto at = [&dir](const char* name) { return "'" + (dir / name).string() + "'"; };
    ASSERT_TRUE(sox("-n -r 48000 -c 2 -b 24 " + at("quiet.wav") + " trim 0 1.25"));
    ASSERT_TRUE(sox("-n -r 48000 -c 2 -b 24 " + at("tone.wav") + " synth 2 sine 440 gain -12"));
    ASSERT_TRUE(sox(at("quiet.wav") + " " + at("tone.wav") + " " + at("long.wav")));
    ASSERT_TRUE(sox(at("long.wav") + " " + at("long.flac")));
    ASSERT_TRUE(sox(at("long.wav") + " " + at("cut.wav") + " trim 60000s"));
    const auto cut = SampleImport::load(dir / "cut.wav").values;
    SampleImport::Options start;
    start.startSeconds = 1.25;
    EXPECT_EQ(SampleImport::load(dir / "long.wav", start).values, cut);
    EXPECT_EQ(SampleImport::load(dir / "long.flac", start).values, cut);
    SampleImport::Options automatic;
    automatic.startAuto = true;
    const auto found = SampleImport::load(dir / "long.flac", automatic);
    EXPECT_EQ(found.startFrame, 60001u) << "the sine starts at 0, the next value is audible";
    start.startSeconds = 3.5;
    EXPECT_EQ(SampleImport::load(dir / "long.wav", start).outcome, Outcome::startPastEnd);

    SampleImport::Options level;
    level.normalize = true;
    level.normalizeDb = -6.0;
    const auto normalized = SampleImport::load(dir / "cut.wav", level).values;
    const auto peak = *std::max_element(normalized.begin(), normalized.end());
    EXPECT_NEAR(peak, 32767 * std::pow(10.0, -6.0 / 20), 1);
    SampleImport::Options gain;
    gain.gainDb = 20 * std::log10(2.0);
    const auto doubled = SampleImport::load(dir / "cut.wav", gain).values;
    for (std::size_t i = 0; i < cut.size(); i += 997) {
        EXPECT_EQ(doubled[i], 2 * cut[i]) << i;
    }
}

} // namespace
