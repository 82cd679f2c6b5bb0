// Every command that fails, whether at its start or half-way, leaves every bank, every name and
// every file on disk exactly as they were.
#include "EditorFixture.h"

#include "midi/LoMidiFileWriter.h"

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

namespace {

// All that the editor holds, and all that a folder holds.
struct Snapshot {
    std::vector<std::vector<std::int16_t>> values;
    std::vector<std::string> names;
    std::map<std::string, std::string> files;

    bool operator==(const Snapshot&) const = default;
};

class NothingLostTest : public EditorFixture {
protected:
    NothingLostTest()
        : folder(fs::temp_directory_path() /
                 ("vaneto-lost-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        // Banks and names unlike the factory ones, so that a reset would show too.
        for (int bank = 0; bank < store().bankCount(); ++bank) {
            std::vector<std::int16_t> ramp(65536);
            for (std::size_t i = 0; i < ramp.size(); ++i) {
                ramp[i] = static_cast<std::int16_t>(i * (bank + 3));
            }
            write([&](DvVaneto& s) { s.insertSample(ramp.data(), ramp.size(), bank, 0); });
            write([&](DvVaneto& s) { s.setBankName("Mine " + std::to_string(bank), bank); });
            write([&](DvVaneto& s) { s.setSampleName("take " + std::to_string(bank), bank, 0); });
        }
    }
    ~NothingLostTest() override { fs::remove_all(folder); }

    Snapshot snapshot() {
        Snapshot shot;
        for (int bank = 0; bank < store().bankCount(); ++bank) {
            shot.values.push_back(values(bank));
            shot.names.push_back(store().bankName(bank));
            shot.names.push_back(store().sampleName(bank, 0));
        }
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_directory()) {
                shot.files[entry.path().string()] = "(folder)";
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            shot.files[entry.path().string()] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return shot;
    }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    void run(void (VanetoEditorController::*command)(), const std::string& file) {
        view.files.push_back(file);
        (controller.*command)();
    }
    // A bank file of the given tracks.
    void writeFile(const std::string& name, const std::vector<LoMidiEventList>& tracks) {
        LoMidiFileWriter writer(fs::path(path(name)), 24, 120);
        for (const auto& track : tracks) {
            writer.writeTrack(track, true);
        }
    }
    LoMidiEventList bankTrack(int bank) {
        LoMidiEventList track = {store().metaEvent(0x03, bank), store().metaEvent(0x7F, bank)};
        for (auto& e : store().bankDump(bank, 0)) {
            track.push_back(e);
        }
        return track;
    }

    const fs::path folder;
};

TEST_F(NothingLostTest, ImportThatCannotReadOrConvertTheFile) {
    fs::create_directories(folder / "a folder.wav");
    const std::string aifc = path("compressed.aifc");
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 -b 16 -t aifc -e u-law '" + aifc +
                           "' synth 0.1 sine 440 2>/dev/null")
                              .c_str()),
              0);
    selectBank(4);
    const Snapshot before = snapshot();
    for (const std::string& file : {path("missing.wav"), path("a folder.wav"), aifc}) {
        SCOPED_TRACE(file);
        run(&VanetoEditorController::importSample, file);
        EXPECT_EQ(snapshot(), before);
    }
    EXPECT_EQ(view.boxes().size(), 3u);
}

TEST_F(NothingLostTest, OpenThatFindsAForeignTrackAfterGoodOnes) {
    LoMidiEventList identity = {LoMidiEvent()};
    identity[0].bytes = {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
    LoMidiEventList bank9 = bankTrack(1);
    bank9.back().bytes[2] = 0x40 | 9; // a data message for a bank the synthesizer lacks

    // Good tracks for banks 1 to 4 from another store, then a track that is no bank of ours.
    DvVaneto other;
    const auto otherTrack = [&other](int bank) {
        LoMidiEventList track = {other.metaEvent(0x03, bank)};
        for (auto& e : other.bankDump(bank, 0)) {
            track.push_back(e);
        }
        return track;
    };
    writeFile("foreign-last.mid",
              {otherTrack(0), otherTrack(1), otherTrack(2), otherTrack(3), identity});
    writeFile("bank-9-last.mid", {otherTrack(0), otherTrack(1), bank9});

    const Snapshot before = snapshot();
    for (const std::string name : {"foreign-last.mid", "bank-9-last.mid"}) {
        SCOPED_TRACE(name);
        run(&VanetoEditorController::openFromDisk, path(name));
        EXPECT_EQ(view.boxes().back().caption, "Wrong File Format");
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(NothingLostTest, OpenOfAFileCutShortInsideItsLastBank) {
    DvVaneto other;
    std::vector<LoMidiEventList> tracks;
    for (int bank = 0; bank < 3; ++bank) {
        LoMidiEventList track = {other.metaEvent(0x03, bank)};
        for (auto& e : other.bankDump(bank, 0)) {
            track.push_back(e);
        }
        tracks.push_back(track);
    }
    writeFile("cut.mid", tracks);
    fs::resize_file(path("cut.mid"), fs::file_size(path("cut.mid")) - 100000);

    const Snapshot before = snapshot();
    run(&VanetoEditorController::openFromDisk, path("cut.mid"));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(NothingLostTest, SaveThatFailsHalfWay) {
    std::ofstream(path("old.mid")) << "yesterday's banks";
    view.setChecked(EditorView::AllBanksOption, true);
    const Snapshot before = snapshot();

    // Writes beyond 300000 bytes fail, as on a disk that fills up during the save.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 300000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    run(&VanetoEditorController::saveToDisk, path("old.mid"));
    run(&VanetoEditorController::saveToDisk, path("new.mid"));
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(view.boxes().size(), 2u);
    EXPECT_EQ(snapshot(), before) << "no half-written file, no temporary file, no change";
}

} // namespace
