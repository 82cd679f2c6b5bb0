// The sound browser's logic outside Qt: the listing, the details read in the background, what an
// audition plays, and a file taken as one undo step.
#include "EditorFixture.h"
#include "editor/AuditionController.h"
#include "editor/BrowserCommands.h"
#include "files/SampleImport.h"
#include "browse/SoundFolder.h"
#include "browse/SoundInfoReader.h"
#include "audio/WaveFileWriter.h"
#include "wavetable/WavetableImport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("browser-" + std::to_string(::getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    // A mono 16-bit WAV of n values of a sine.
    fs::path wave(const std::string& name, std::size_t n) const {
        std::vector<std::int16_t> values(n);
        for (std::size_t i = 0; i < n; ++i) {
            values[i] = static_cast<std::int16_t>(12000 * std::sin(0.05 * static_cast<double>(i)));
        }
        WaveFileWriter(path / name).writeMono16(values.data(), values.size(), 44100);
        return path / name;
    }
    fs::path path;
};

TEST(SoundFolderTest, FoldersFirstThenSoundsInNaturalOrderAndAFilter) {
    Folder folder;
    for (const char* name : {"take10.WAV", "take2.flac", "notes.txt", ".hidden.wav", "set.MID"}) {
        std::ofstream(folder.path / name) << "x";
    }
    fs::create_directories(folder.path / "zz");
    fs::create_directories(folder.path / "aa");
    std::vector<SoundFolder::Entry> entries;
    std::string error;
    ASSERT_TRUE(SoundFolder::list(folder.path, entries, error));
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"aa", "zz", "set.MID", "take2.flac", "take10.WAV"}));
    EXPECT_TRUE(entries[2].bankFile);
    EXPECT_EQ(SoundFolder::filter(entries, "TAKE"), (std::vector<std::size_t>{3, 4}));
    EXPECT_FALSE(SoundFolder::list(folder.path / "missing", entries, error));
}

// Thousands of files fill in on the reader's thread; a new folder leaves the old one's rest.
TEST(SoundInfoReaderTest, FillsInTheBackgroundAndANewFolderCancelsTheOld) {
    Folder folder;
    const fs::path one = folder.wave("one.wav", 4410);
    std::vector<fs::path> many;
    for (int i = 0; i < 3000; ++i) {
        many.push_back(folder.path / ("copy" + std::to_string(i) + ".wav"));
        fs::copy_file(one, many.back());
    }
    std::atomic<int> first{0}, second{0};
    std::atomic<double> seconds{0};
    SoundInfoReader reader([&](int generation, std::size_t, SoundInfoReader::Info info) {
        (generation == 1 ? first : second)++;
        seconds = info.seconds;
    });
    reader.setFolder(many);
    reader.setFolder({one, fs::path(), one});
    for (int wait = 0; wait < 500 && second < 2; ++wait) {
        ::usleep(10000);
    }
    EXPECT_EQ(second, 2);
    EXPECT_LT(first, 3000);
    EXPECT_DOUBLE_EQ(seconds, 0.1);
}

TEST(AuditionTest, HeardAsTheBankWouldHoldIt) {
    Folder folder;
    const fs::path recording = folder.wave("long.wav", 100000);
    // A one-sample bank: exactly what the import puts there.
    DvVaneto store;
    SampleImport::importInto(recording, store, 4);
    const auto sound = AuditionController::prepare({recording.string(), 4, false});
    const auto bank = store.bankData(4);
    EXPECT_FALSE(sound.tone);
    EXPECT_TRUE(std::equal(bank.begin(), bank.end(), sound.values.begin(), sound.values.end()));
    // A wave bank: a short file is one cycle, heard as a tone of the wave the import makes.
    const fs::path cycle = folder.wave("cycle.wav", 600);
    DvVaneto waves;
    WavetableImport::importCycle(cycle, waves, 1, 0, false);
    const auto tone = AuditionController::prepare({cycle.string(), 1, true});
    EXPECT_TRUE(tone.tone);
    EXPECT_TRUE(std::ranges::equal(tone.values, waves.bankData(1).first(256)));
    // A long recording into a wave bank is heard as a one-sample import, and said so.
    EXPECT_NE(AuditionController::prepare({recording.string(), 1, true}).line.find("first 1.486 s"),
              std::string::npos);
    // A damaged compressed file plays nothing and says why.
    const fs::path flac = folder.path / "cut.flac";
    ASSERT_EQ(
        std::system(("sox -n -r 48000 -c 2 '" + flac.string() + "' synth 3 pluck 220").c_str()), 0);
    fs::resize_file(flac, fs::file_size(flac) / 4);
    const auto damaged =
        AuditionController::prepare({(folder.path / "cut.flac").string(), 0, false});
    EXPECT_TRUE(damaged.values.empty());
    EXPECT_NE(damaged.line.find("nothing to hear"), std::string::npos) << damaged.line;
}

class BrowserTakeTest : public EditorFixture {};

// What is no sound is never heard: a named pipe is neither listed nor waited on, random bytes
// named .wav are not played as raw data, and a rate no sound has is refused.
TEST(AuditionTest, OnlySoundsAreHeard) {
    Folder folder;
    ASSERT_EQ(::mkfifo((folder.path / "b.mid").c_str(), 0600), 0);
    std::ofstream noise(folder.path / "noise.wav", std::ios::binary);
    for (int i = 0; i < 20000; ++i) {
        noise.put(static_cast<char>((i * 7919) % 251));
    }
    noise.close();
    std::vector<SoundFolder::Entry> entries;
    std::string error;
    ASSERT_TRUE(SoundFolder::list(folder.path, entries, error));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "noise.wav");
    const auto pipe = AuditionController::prepare({(folder.path / "b.mid").string(), 0, false});
    EXPECT_TRUE(pipe.values.empty());
    const auto raw = AuditionController::prepare({(folder.path / "noise.wav").string(), 0, false});
    EXPECT_TRUE(raw.values.empty());
    EXPECT_EQ(raw.line, "noise.wav: not a sound file");
    std::vector<std::int16_t> values(4410, 1000);
    WaveFileWriter(folder.path / "fast.wav").writeMono16(values.data(), values.size(), 4294967295u);
    EXPECT_NE(SoundInfoReader::read(folder.path / "fast.wav").error.find("which no sound has"),
              std::string::npos);
    EXPECT_NE(AuditionController::prepare({(folder.path / "fast.wav").string(), 0, true})
                  .line.find("which no sound has"),
              std::string::npos);
}

TEST_F(BrowserTakeTest, ReturnIsOneUndoStep) {
    Folder folder;
    const fs::path file = folder.wave("take.wav", 50000);
    const auto before = values(0);
    controller.browser().take(file.string());
    EXPECT_NE(values(0), before);
    EXPECT_EQ(controller.document().history().undoLabel(), "import of take.wav into bank 1");
    controller.undo();
    EXPECT_EQ(values(0), before);
    // During a transfer taking does nothing.
    view.closeGateAt("Sending Bank 1");
    controller.sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    controller.browser().take(file.string());
    EXPECT_EQ(values(0), before);
    view.openGate();
    controller.stopTransfer();
}

} // namespace
