#include "EditorFixture.h"

#include "files/BankFile.h"

#include "midi/LoMidiFileReader.h"
#include "midi/LoMidiFileWriter.h"

#include <gmock/gmock.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class FileCommandsTest : public EditorFixture {
protected:
    FileCommandsTest()
        : folder(fs::temp_directory_path() /
                 ("vaneto-app-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~FileCommandsTest() override { fs::remove_all(folder); }

    std::string path(const std::string& name) const { return (folder / name).string(); }
    void run(void (VanetoEditorController::*command)(), const std::string& file) {
        view.files.push_back(file);
        (controller.*command)();
    }
    static std::vector<LoMidiEventList> tracksOf(const std::string& file, int& trackCount) {
        LoMidiFileReader reader{fs::path(file)};
        trackCount = reader.trackCount();
        std::vector<LoMidiEventList> tracks;
        for (LoMidiEventList list; !reader.readTrack(list).empty();) {
            tracks.push_back(list);
        }
        return tracks;
    }
    // A content unlike any factory bank.
    void fillWithRamp(int bank, int step) {
        std::vector<std::int16_t> ramp(65536);
        for (std::size_t i = 0; i < ramp.size(); ++i) {
            ramp[i] = static_cast<std::int16_t>(i * step);
        }
        write([&](DvVaneto& s) { s.insertSample(ramp.data(), ramp.size(), bank, 0); });
    }

    const fs::path folder;
};

LoMidiEvent event(std::vector<std::uint8_t> bytes, std::int32_t delay = 0) {
    LoMidiEvent made(delay);
    made.bytes = std::move(bytes);
    return made;
}

TEST_F(FileCommandsTest, SelectedBankIsOneTrackOnChannelZeroAndOpensBackWithoutAQuestion) {
    selectBank(3);
    fillWithRamp(3, 7);
    write([&](DvVaneto& s) { s.setBankName("Ramp", 3); });
    write([&](DvVaneto& s) { s.setSampleName("ramp.wav", 3, 0); });
    const auto saved = values(3);
    view.setListSelection(EditorView::ChannelList, 5);
    run(&VanetoEditorController::saveToDisk, path("one.mid"));

    int trackCount = 0;
    const auto tracks = tracksOf(path("one.mid"), trackCount);
    EXPECT_EQ(trackCount, 1);
    ASSERT_EQ(tracks.size(), 1u);
    ASSERT_EQ(tracks[0].size(), 8u);
    std::vector<int> kinds;
    for (const auto& e : tracks[0]) {
        kinds.push_back(e.bytes[0] == 0xFF ? e.bytes[1] : e.bytes[0]);
    }
    EXPECT_THAT(kinds, ElementsAre(0x51, 0x58, 0x02, 0x03, 0x04, 0x7F, 0xF0, 0xF0));
    EXPECT_EQ(tracks[0][7].bytes[4], 0x20) << "bank files always carry channel 0";

    controller.resetToDefault();
    run(&VanetoEditorController::openFromDisk, path("one.mid"));
    EXPECT_TRUE(view.log().empty()); // no beep, no box
    EXPECT_EQ(values(3), saved);
    EXPECT_EQ(view.items(EditorView::BankList)[3], "Ramp");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "ramp.wav");
}

TEST_F(FileCommandsTest, AllBanksAreEightTracksAndEachLoadsIntoItsOwnBank) {
    view.setChecked(EditorView::AllBanksOption, true);
    std::vector<std::vector<std::int16_t>> saved;
    for (int bank = 0; bank < 7; ++bank) {
        fillWithRamp(bank, bank + 1);
        write([&](DvVaneto& s) { s.setBankName("Saved " + std::to_string(bank + 1), bank); });
        saved.push_back(values(bank));
    }
    run(&VanetoEditorController::saveToDisk, path("all.mid"));
    int trackCount = 0;
    EXPECT_EQ(tracksOf(path("all.mid"), trackCount).size(), 8u);
    EXPECT_EQ(trackCount, 8);

    for (int bank = 0; bank < 7; ++bank) {
        write([&](DvVaneto& s) { s.resetBank(bank); });
    }
    selectBank(6);
    run(&VanetoEditorController::openFromDisk, path("all.mid"));
    EXPECT_TRUE(view.log().empty());
    for (int bank = 0; bank < 7; ++bank) {
        EXPECT_EQ(values(bank), saved[bank]) << "bank " << bank + 1;
        EXPECT_EQ(view.items(EditorView::BankList)[bank], "Saved " + std::to_string(bank + 1));
    }
}

TEST_F(FileCommandsTest, AChoiceOfBanksIsAConductorTrackAndThoseBanksInOrder) {
    std::string error;
    ASSERT_TRUE(BankFile::save(path("two.mid"), store(), {5, 1, 5}, error)) << error;
    std::vector<BankFile::Track> tracks;
    int trackCount = 0;
    ASSERT_EQ(BankFile::read(path("two.mid"), tracks, trackCount), BankFile::ReadResult::ok);
    EXPECT_EQ(trackCount, 3);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].bank, 1);
    EXPECT_EQ(tracks[1].bank, 5);
    ASSERT_TRUE(BankFile::save(path("one.mid"), store(), {3}, error)) << error;
    ASSERT_EQ(BankFile::read(path("one.mid"), tracks, trackCount), BankFile::ReadResult::ok);
    EXPECT_EQ(trackCount, 1);
}

TEST_F(FileCommandsTest, ABankFileForAnotherBankAsksBeforeOverwriting) {
    selectBank(2);
    fillWithRamp(2, 3);
    write([&](DvVaneto& s) { s.setBankName("Source", 2); });
    const auto source = values(2);
    run(&VanetoEditorController::saveToDisk, path("bank3.mid"));

    selectBank(5);
    write([&](DvVaneto& s) { s.setBankName("Target", 5); });
    const auto target = values(5);
    view.script({EditorView::IdNo, EditorView::IdYes});
    run(&VanetoEditorController::openFromDisk, path("bank3.mid"));
    EXPECT_THAT(view.log(), ElementsAre("beep", "box VanetoEditor"));
    EXPECT_EQ(view.boxes()[0].text, "The file contains data for bank: \"Source\".\n"
                                    "Do you want to overwrite bank: \"Target\"?");
    EXPECT_EQ(view.boxes()[0].buttons, EditorView::Buttons::YesNo);
    EXPECT_EQ(view.boxes()[0].icon, EditorView::Icon::Question);
    EXPECT_EQ(values(5), target);
    EXPECT_EQ(store().bankName(5), "Target");

    run(&VanetoEditorController::openFromDisk, path("bank3.mid"));
    EXPECT_EQ(values(5), source);
    EXPECT_EQ(view.items(EditorView::BankList)[5], "Source");
    EXPECT_EQ(values(2), source);
}

TEST_F(FileCommandsTest, FilesWithoutABankOfOursChangeNoBank) {
    std::vector<std::uint8_t> bank9(5 + 4 * 100, 0x00);
    bank9[0] = 0xF0, bank9[1] = 0x31, bank9[2] = 0x49, bank9[3] = 0x66, bank9[4] = 0x20;
    bank9.push_back(0xF7);
    const struct {
        const char* name;
        LoMidiEventList events;
        bool refused;
    } cases[] = {
        {"foreign.mid", {event({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7})}, true},
        {"bank9.mid", {event({0xF0, 0x31, 0x0D, 0x79, 0x09, 0xF7}), event(bank9, 6000)}, true},
        {"names-only.mid", {event({0xFF, 0x03, 'N', 'a', 'm', 'e'})}, false},
    };
    const auto before = values(1);
    selectBank(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoMidiFileWriter(fs::path(path(c.name)), 24, 120).writeTrack(c.events, true);
        view.clearLog();
        run(&VanetoEditorController::openFromDisk, path(c.name));
        if (c.refused) {
            ASSERT_THAT(view.log(), ElementsAre("box Wrong File Format"));
            EXPECT_EQ(view.boxes()[0].text,
                      "This file contains no sound bank(s)\nfor a Tiruk Vaneto.");
            EXPECT_EQ(view.boxes()[0].icon, EditorView::Icon::Information);
        } else {
            EXPECT_TRUE(view.log().empty());
        }
        EXPECT_EQ(values(1), before);
        for (int bank = 0; bank < 7; ++bank) {
            EXPECT_EQ(store().bankName(bank), "Bank " + std::to_string(bank + 1));
        }
    }
    // A good bank track before a foreign one: no bank changes either.
    fillWithRamp(2, 5);
    write([&](DvVaneto& s) { s.setBankName("Ramp", 2); });
    LoMidiEventList good = {store().metaEvent(0x03, 2)};
    for (auto& e : store().bankDump(2, 0)) {
        good.push_back(e);
    }
    write([&](DvVaneto& s) { s.resetBank(2); });
    const auto factory = values(2);
    {
        LoMidiFileWriter writer(fs::path(path("mixed.mid")), 24, 120);
        writer.writeTrack(good, true);
        writer.writeTrack(cases[0].events, true);
    }
    run(&VanetoEditorController::openFromDisk, path("mixed.mid"));
    EXPECT_EQ(view.boxes().back().caption, "Wrong File Format");
    EXPECT_EQ(store().bankName(2), "Bank 3");
    EXPECT_EQ(values(2), factory);

    const auto boxes = view.boxes().size();
    run(&VanetoEditorController::openFromDisk, path("missing.mid"));
    EXPECT_EQ(view.boxes().size(), boxes) << "a file that cannot be opened is no bank file";
}

TEST_F(FileCommandsTest, AFailedSaveLeavesTheOldFileAsItWas) {
    const std::string file = path("keep.mid");
    std::ofstream(file) << "the old bank file";
    view.setChecked(EditorView::AllBanksOption, true);
    // Writes beyond 100000 bytes fail, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    run(&VanetoEditorController::saveToDisk, file);
    setrlimit(RLIMIT_FSIZE, &old);

    ASSERT_EQ(view.boxes().size(), 1u);
    EXPECT_THAT(view.boxes()[0].text, HasSubstr("could not be saved"));
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the old bank file");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "no temporary file left";

    run(&VanetoEditorController::saveToDisk, path("no/such/folder/x.mid"));
    EXPECT_EQ(view.boxes().size(), 2u);
    run(&VanetoEditorController::saveToDisk, file);
    EXPECT_EQ(view.boxes().size(), 2u);
    int trackCount = 0;
    EXPECT_EQ(tracksOf(file, trackCount).size(), 8u);
}

TEST_F(FileCommandsTest, ImportNamesTheSlotAfterTheFileOrSaysWhyNot) {
    selectBank(4);
    const auto before = values(4);
    const auto other = values(3);
    run(&VanetoEditorController::importSample, path("missing.wav"));
    ASSERT_EQ(view.boxes().size(), 1u);
    EXPECT_THAT(view.boxes()[0].text, HasSubstr("\"missing.wav\" could not be opened:\nNo such"));

    const unsigned char adpcm[] = {'R', 'I', 'F',  'F',  36,  0,   0,    0,    'W', 'A', 'V',
                                   'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   2,   0,
                                   1,   0,   0x44, 0xAC, 0,   0,   0x88, 0x58, 1,   0,   2,
                                   0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    std::ofstream(path("adpcm.wav"), std::ios::binary)
        .write(reinterpret_cast<const char*>(adpcm), sizeof adpcm);
    run(&VanetoEditorController::importSample, path("adpcm.wav"));
    ASSERT_EQ(view.boxes().size(), 2u);
    EXPECT_EQ(view.boxes()[1].text,
              "VanetoEditor supports only pcm (no compression) formats (*.aif or *.wav).");
    EXPECT_EQ(view.boxes()[1].caption, "Wrong File Format");
    EXPECT_EQ(values(4), before);
    EXPECT_EQ(store().sampleName(4, 0), "Sample 1 (in Bank 5)");

    // Anything else is raw 16-bit data: 1001 bytes give 500 values.
    std::string raw(1001, '\0');
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
        raw[i] = 0x10, raw[i + 1] = 0x27; // 10000
    }
    std::ofstream(path("noise.raw"), std::ios::binary) << raw;
    run(&VanetoEditorController::importSample, path("noise.raw"));
    EXPECT_EQ(view.boxes().size(), 2u);
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "noise.raw");
    const auto now = values(4);
    EXPECT_EQ(now[100], 10000);
    EXPECT_EQ(now[499], 0);
    EXPECT_EQ(now[500], 0);
    EXPECT_EQ(values(3), other);
}

TEST_F(FileCommandsTest, ImportOfAWaveMadeBySoxFillsTheSelectedBank) {
    const std::string wave = path("kick.wav");
    if (std::system(("sox -q -n -r 48000 -c 2 -b 24 '" + wave + "' synth 0.5 sine 220").c_str())) {
        GTEST_SKIP() << "sox is not available";
    }
    run(&VanetoEditorController::importSample, wave);
    EXPECT_TRUE(view.boxes().empty());
    EXPECT_EQ(store().sampleName(0, 0), "kick.wav");
    const auto now = values(0);
    EXPECT_GT(std::count_if(now.begin(), now.begin() + 22050, [](int v) { return v > 10000; }),
              1000);
    EXPECT_EQ(now[22060], 0);
}

} // namespace
