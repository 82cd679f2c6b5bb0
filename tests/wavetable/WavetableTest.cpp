// Waves into slots and back out: periodic resampling against SciPy, the frame size a file
// states, the layout a bank file carries, export and import of whole tables.
#include "files/BankFile.h"
#include "audio/WaveFileWriter.h"
#include "device/DvVaneto.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveOperations.h"
#include "wavetable/WavetableExport.h"
#include "wavetable/WavetableImport.h"
#include "wavetable/WavetableSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Values = std::vector<std::int16_t>;

class WavetableTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vaneto-wt-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path wav(const std::string& name, const Values& values,
                 std::vector<WaveFileWriter::Chunk> chunks = {}) {
        WaveFileWriter writer(dir / name);
        writer.writeMono16(values.data(), values.size(), 44100, chunks);
        writer.close();
        return dir / name;
    }

    Values slots(const DvVaneto& store, int bank, int first, int count) {
        const auto data = store.bankData(bank).subspan(static_cast<std::size_t>(first) * 256,
                                                       static_cast<std::size_t>(count) * 256);
        return Values(data.begin(), data.end());
    }

    fs::path dir;
};

WaveFileWriter::Chunk chunk(const char (&id)[5], std::vector<std::uint8_t> bytes) {
    WaveFileWriter::Chunk c;
    std::copy_n(id, 4, c.id.begin());
    c.bytes = std::move(bytes);
    return c;
}

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// scipy.signal.resample of the values to 256, rounded half away from zero as the import rounds.
std::vector<long> scipyResample(const Values& values, const fs::path& dir) {
    const fs::path input = dir / "scipy-in.txt";
    {
        std::ofstream out(input);
        for (const std::int16_t v : values) {
            out << v << '\n';
        }
    }
    const std::string command =
        "/usr/bin/python3 -c 'import numpy as n, scipy.signal as s, sys; "
        "y = s.resample(n.loadtxt(sys.argv[1]), 256); "
        "print(\"\\n\".join(str(int(v)) for v in n.sign(y) * n.floor(n.abs(y) + 0.5)))' " +
        input.string();
    FILE* pipe = ::popen(command.c_str(), "r");
    std::vector<long> result;
    long v = 0;
    while (pipe != nullptr && std::fscanf(pipe, "%ld", &v) == 1) {
        result.push_back(v);
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    return result;
}

TEST_F(WavetableTest, CyclesAreResampledAsScipyDoesAndWrittenUnfaded) {
    // 256 values come in exactly; 600 (down, an even Nyquist bin) and 4 (up, halved into the
    // pair) within 1 LSB of SciPy. Rich cycles, so that the bins at the edge carry energy.
    Values c256(256), c600(600);
    for (int i = 0; i < 256; ++i) {
        c256[i] = static_cast<std::int16_t>((i * 7919) % 60001 - 30000);
    }
    for (int i = 0; i < 600; ++i) {
        c600[i] = static_cast<std::int16_t>((i * 104729) % 40001 - 20000);
    }
    const Values c4 = {1000, -20000, 30000, 5};
    DvVaneto store;
    ASSERT_TRUE(WavetableImport::importCycle(wav("c256.wav", c256), store, 1, 0, false).ok);
    ASSERT_TRUE(WavetableImport::importCycle(wav("c600.wav", c600), store, 1, 1, false).ok);
    ASSERT_TRUE(WavetableImport::importCycle(wav("c4.wav", c4), store, 1, 255, false).ok);
    EXPECT_EQ(slots(store, 1, 0, 1), c256) << "a cycle of 256 is a slot as it is: no fade";
    EXPECT_FALSE(store.isSingleSample(1));
    EXPECT_EQ(store.sampleName(1, 1), "c600.wav");
    EXPECT_EQ(store.sampleName(1, 255), "c4.wav");
    for (const auto& [values, slot] : {std::pair{c600, 1}, std::pair{c4, 255}}) {
        const std::vector<long> expected = scipyResample(values, dir);
        ASSERT_EQ(expected.size(), 256u) << "python3-scipy is needed: run scripts/install-deps";
        const Values got = slots(store, 1, slot, 1);
        for (std::size_t i = 0; i < 256; ++i) {
            EXPECT_NEAR(got[i], expected[i], 1) << "slot " << slot + 1 << " value " << i;
        }
    }
    // A one-value cycle is no cycle; nothing changes.
    const auto one = WavetableImport::importCycle(wav("c1.wav", {5}), store, 1, 3, false);
    EXPECT_FALSE(one.ok);
    EXPECT_EQ(store.sampleName(1, 3), "Sample 4 (in Bank 2)");
}

TEST_F(WavetableTest, AFullScaleSquareOvershootsAndFitScalesInsteadOfClamping) {
    Values square(2048);
    for (int i = 0; i < 2048; ++i) {
        square[i] = i < 1024 ? 32767 : -32768;
    }
    const fs::path file = wav("square.wav", square);
    DvVaneto store;
    const auto clamped = WavetableImport::importCycle(file, store, 0, 0, false);
    EXPECT_GT(clamped.clamped, 10u);
    EXPECT_EQ(*std::max_element(store.bankData(0).begin(), store.bankData(0).begin() + 256), 32767);
    const auto fitted = WavetableImport::importCycle(file, store, 0, 0, true);
    EXPECT_EQ(fitted.clamped, 0u);
    EXPECT_NEAR(fitted.gain, 32767.0 / 38500.0, 0.02);
    const auto wave = slots(store, 0, 0, 1);
    EXPECT_GE(*std::max_element(wave.begin(), wave.end()), 32766);
}

TEST_F(WavetableTest, FrameSizeComesFromTheFileInAFixedOrderOrIsRefused) {
    const Values frames(8192, 100);
    std::vector<std::uint8_t> srge, cue, smpl;
    put32(srge, 1);
    put32(srge, 512);
    // Cue points at 0, 1024, 2048 ... (sample offset is the sixth field).
    put32(cue, 8);
    for (std::uint32_t i = 0; i < 8; ++i) {
        for (const std::uint32_t v : {i, i * 1024, 0x61746164u, 0u, 0u, i * 1024}) {
            put32(cue, v);
        }
    }
    smpl.assign(28, 0);
    put32(smpl, 1);
    put32(smpl, 0);
    for (const std::uint32_t v : {0u, 0u, 0u, 4095u, 0u, 0u}) {
        put32(smpl, v);
    }
    const std::string clmText = "<!>2048 01000000 wavetable";
    const auto clm = chunk("clm ", {clmText.begin(), clmText.end()});
    struct Case {
        std::vector<WaveFileWriter::Chunk> chunks;
        std::size_t explicitSize;
        std::size_t expected;
    };
    const Case cases[] = {
        {{chunk("smpl", smpl), chunk("cue ", cue), chunk("uhWT", {}), clm, chunk("srge", srge)},
         0,
         512},
        {{chunk("smpl", smpl), chunk("cue ", cue), chunk("uhWT", {}), clm}, 0, 2048},
        {{chunk("smpl", smpl), chunk("cue ", cue), chunk("uhWT", {})}, 0, 2048},
        {{chunk("smpl", smpl), chunk("cue ", cue)}, 0, 1024},
        {{chunk("smpl", smpl)}, 0, 4096},
        {{chunk("srge", srge)}, 256, 256}, // an explicit size wins, with a note
        {{}, 0, 0},                        // nothing said: refused
        {{chunk("srge", srge)}, 3000, 0},  // does not divide 8192
    };
    for (const Case& c : cases) {
        WavetableSource source;
        std::string error;
        ASSERT_TRUE(source.open(wav("t.wav", frames, c.chunks), error)) << error;
        const auto split = source.split(c.explicitSize);
        EXPECT_EQ(split.frameSize, c.expected) << split.error;
        EXPECT_EQ(split.error.empty(), c.expected != 0);
        if (c.explicitSize == 256) {
            EXPECT_NE(split.note.find("512"), std::string::npos) << split.note;
        }
    }
    WavetableSource plain;
    std::string error;
    ASSERT_TRUE(plain.open(wav("t64.wav", Values(16384, 7)), error));
    EXPECT_EQ(plain.split(0).frameSize, 256u);
    EXPECT_EQ(plain.split(0).note, "assumed 64 frames of 256");
    EXPECT_NE(frames.size(), 0u);
    WavetableSource text;
    std::ofstream(dir / "notes.txt") << "not audio";
    EXPECT_FALSE(text.open(dir / "notes.txt", error));
    EXPECT_NE(error.find("neither WAV nor AIFF"), std::string::npos);
}

TEST_F(WavetableTest, SpreadPutsFramesAtExactSlotsAndCrossfadesBetween) {
    // 4 frames from slot 10: slots 10, 92, 174, 256 (1-based), flat levels 0, 3000, 6000, 9000.
    Values frames;
    for (int k = 0; k < 4; ++k) {
        frames.insert(frames.end(), 256, static_cast<std::int16_t>(3000 * k));
    }
    DvVaneto store;
    WavetableImport::Options options;
    options.frameSize = 256;
    options.firstSlot = 9;
    options.spread = true;
    const auto result = WavetableImport::importTable(wav("four.wav", frames), store, 3, options);
    ASSERT_TRUE(result.ok) << result.error;
    const auto values = store.bankData(3);
    EXPECT_EQ(values[9 * 256], 0);
    EXPECT_EQ(values[91 * 256], 3000);
    EXPECT_EQ(values[173 * 256 + 100], 6000);
    EXPECT_EQ(values[255 * 256 + 255], 9000);
    EXPECT_EQ(values[50 * 256], static_cast<std::int16_t>(std::lround(3000.0 * 41 / 82)));
    EXPECT_EQ(store.sampleName(3, 91), "four.wav 2");
    EXPECT_EQ(store.sampleName(3, 8), "Sample 9 (in Bank 4)") << "before the first slot: untouched";
    // More frames than slots: the first ones are taken and the rest counted.
    options = {};
    options.firstSlot = 254;
    const auto full = WavetableImport::importTable(wav("four.wav", frames), store, 3,
                                                   {.frameSize = 256, .firstSlot = 254});
    EXPECT_EQ(full.frames, 2u);
    EXPECT_EQ(full.framesLeftOut, 2u);
}

TEST_F(WavetableTest, AFolderIsCyclesInNaturalOrderAndSkipsWhatIsNotAudio) {
    fs::create_directory(dir / "set");
    wav("set/wave10.wav", Values(256, 10));
    wav("set/wave2.wav", Values(256, 2));
    wav("set/wave1.wav", Values(256, 1));
    std::ofstream(dir / "set" / "readme.txt") << "not audio, never raw";
    DvVaneto store;
    const auto result = WavetableImport::importTable(dir / "set", store, 0, {});
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(store.bankData(0)[0], 1);
    EXPECT_EQ(store.bankData(0)[256], 2);
    EXPECT_EQ(store.bankData(0)[512], 10);
    ASSERT_EQ(result.skipped.size(), 1u);
    EXPECT_NE(result.skipped[0].find("readme.txt"), std::string::npos);
    fs::create_directory(dir / "empty");
    EXPECT_FALSE(WavetableImport::importTable(dir / "empty", store, 0, {}).ok);
}

TEST_F(WavetableTest, AFolderSkipsACompressedFileThatDecodesToNothing) {
    // A FLAC cut after its metadata: its header promises 441 frames, its stream holds none.
    fs::create_directory(dir / "set");
    wav("set/wave1.wav", Values(256, 1));
    const fs::path full = dir / "full.flac";
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 -b 16 '" + full.string() +
                           "' synth 0.01 sine 440 2>/dev/null")
                              .c_str()),
              0);
    std::ifstream in(full, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::size_t end = 4;
    for (bool last = false; !last && end + 4 <= bytes.size();) {
        last = (bytes[end] & 0x80) != 0;
        end +=
            4 + ((std::size_t(std::uint8_t(bytes[end + 1])) << 16) |
                 (std::size_t(std::uint8_t(bytes[end + 2])) << 8) | std::uint8_t(bytes[end + 3]));
    }
    std::ofstream(dir / "set" / "wave2.flac", std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(end));
    DvVaneto store;
    const auto result = WavetableImport::importTable(dir / "set", store, 0, {});
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.skipped.size(), 1u);
    EXPECT_NE(result.skipped[0].find("wave2.flac"), std::string::npos) << result.skipped[0];
}

TEST_F(WavetableTest, ExportedTablesComeBackExactlyAt256AndWithin2LsbThrough2048Float) {
    DvVaneto factory;
    const auto bank = factory.bankData(0);
    for (const std::size_t frame : {std::size_t{256}, std::size_t{2048}}) {
        const fs::path file = dir / ("table" + std::to_string(frame) + ".wav");
        std::string error;
        ASSERT_TRUE(WavetableExport::write(file, bank, frame, error)) << error;
        DvVaneto store;
        const auto result = WavetableImport::importTable(file, store, 4, {});
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.frames, 256u);
        int worst = 0;
        for (std::size_t i = 0; i < bank.size(); ++i) {
            worst = std::max(worst, std::abs(store.bankData(4)[i] - bank[i]));
        }
        EXPECT_LE(worst, frame == 256 ? 0 : 2) << "frames of " << frame;
    }
}

TEST(WaveBankLayout, FollowsTheNamesABankFileCarriesAndSavesAllOfThem) {
    DvVaneto store;
    store.setSingleSample(2, false);
    for (int s = 0; s < 256; ++s) {
        store.setSampleName("w" + std::to_string(s + 1), 2, s);
    }
    LoMidiEventList track;
    BankFile::appendBankTrack(track, store, 2);
    DvVaneto opened;
    ASSERT_TRUE(opened.loadBank(track, 2));
    EXPECT_FALSE(opened.isSingleSample(2));
    EXPECT_EQ(opened.sampleName(2, 255), "w256");
    LoMidiEventList again;
    BankFile::appendBankTrack(again, opened, 2);
    EXPECT_EQ(again[2].bytes, track[2].bytes) << "all 256 names saved again";
    // A single-sample bank's track, with its one name, gives the single-sample layout again,
    // and a one-shot import into a wavetable bank does the same.
    LoMidiEventList single;
    BankFile::appendBankTrack(single, DvVaneto(), 2);
    ASSERT_TRUE(opened.loadBank(single, 2));
    EXPECT_TRUE(opened.isSingleSample(2));
    EXPECT_EQ(opened.sampleName(2, 255), "w256") << "slots the track does not name keep theirs";
}

TEST(WaveOperationsTest, ChangeEachWaveOrTheSpanAsAsked) {
    Values waves = {100, -200, 300, -400, 1000, 1000, 1000, 1000};
    Values together = waves;
    WaveOperations::normalize(waves, 4, false);
    EXPECT_EQ(waves, (Values{8192, -16384, 24575, -32767, 32767, 32767, 32767, 32767}));
    WaveOperations::normalize(together, 4, true);
    EXPECT_EQ(together[3], -13107);
    EXPECT_EQ(together[4], 32767);
    Values dc = {10, 20, 30, 40};
    WaveOperations::removeDc(dc, 4);
    EXPECT_EQ(dc, (Values{-15, -5, 5, 15}));
    WaveOperations::reverse(dc, 2);
    EXPECT_EQ(dc, (Values{-5, -15, 15, 5}));
    Values extreme = {-32768, 5};
    EXPECT_EQ(WaveOperations::invert(extreme), 1u);
    EXPECT_EQ(extreme, (Values{32767, -5}));

    // Morph between a sine and the same sine a quarter turn on: the crossfade dips in level
    // half way, the spectral morph keeps it and turns the phase by an eighth.
    Values table(5 * 256, 0);
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<std::int16_t>(
            std::lround(20000 * std::sin(2 * std::numbers::pi * i / 256)));
        table[4 * 256 + i] = static_cast<std::int16_t>(
            std::lround(20000 * std::cos(2 * std::numbers::pi * i / 256)));
    }
    Values spectral = table;
    WaveOperations::morphFill(table, 256, WaveOperations::Morph::crossfade);
    WaveOperations::morphFill(spectral, 256, WaveOperations::Morph::spectral);
    WaveHarmonics harmonics;
    const auto middle = std::span<const std::int16_t>(table).subspan(2 * 256, 256);
    const auto turned = std::span<const std::int16_t>(spectral).subspan(2 * 256, 256);
    EXPECT_NEAR(harmonics.analyse(middle)[1].magnitude, 20000 / std::sqrt(2.0), 2);
    EXPECT_NEAR(harmonics.analyse(turned)[1].magnitude, 20000, 2);
    EXPECT_NEAR(harmonics.analyse(turned)[1].phase, -std::numbers::pi / 4, 1e-3);
}

TEST(WaveHarmonicsTest, SettingOneHarmonicKeepsTheOthers) {
    Values wave(256);
    for (int i = 0; i < 256; ++i) {
        wave[i] = static_cast<std::int16_t>(std::lround(
            10000 * std::cos(2 * std::numbers::pi * 3 * i / 256 + 0.5) + 500 * ((i & 1) ? -1 : 1)));
    }
    WaveHarmonics harmonics;
    auto set = harmonics.analyse(wave);
    EXPECT_NEAR(set[3].magnitude, 10000, 1);
    EXPECT_NEAR(set[3].phase, 0.5, 1e-3);
    EXPECT_NEAR(set[128].magnitude, 500, 1);
    EXPECT_EQ(harmonics.setHarmonic(wave, 5, {2000, 1.0}), 0u);
    set = harmonics.analyse(wave);
    EXPECT_NEAR(set[5].magnitude, 2000, 1);
    EXPECT_NEAR(set[5].phase, 1.0, 1e-3);
    EXPECT_NEAR(set[3].magnitude, 10000, 1);
}

} // namespace
