#include "EditorFixture.h"

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

namespace {

const char* const wrongFormatText = "This file contains no sound bank(s)\nfor a Tiruk Vaneto.";

class FileCommandsTest : public EditorFixture {
protected:
    FileCommandsTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 (std::string("vaneto-app-") + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~FileCommandsTest() override {
        std::error_code error;
        fs::remove_all(folder, error);
    }

    std::string path(const std::string& name) const { return (folder / name).string(); }

    void save(const std::string& file) {
        view.chooseFiles({file});
        controller.saveToDisk();
    }
    void open(const std::string& file) {
        view.chooseFiles({file});
        controller.openFromDisk();
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

    static void writeTrack(const std::string& file, const LoMidiEventList& events) {
        LoMidiFileWriter writer(fs::path(file), 24, 120);
        writer.writeTrack(events, true);
    }

    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // A bank content that differs from every factory bank.
    void fillWithRamp(int bank, std::int16_t step) {
        std::vector<std::int16_t> values(65536);
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = static_cast<std::int16_t>(i * step);
        }
        store().insertSample(values.data(), values.size(), bank, 0);
    }

    std::vector<std::int16_t> valuesOf(int bank) {
        const auto data = store().bankData(bank);
        return std::vector<std::int16_t>(data.begin(), data.end());
    }

    fs::path folder;
};

LoMidiEvent event(std::vector<std::uint8_t> bytes, std::int32_t delay = 0) {
    LoMidiEvent made(delay);
    made.bytes = std::move(bytes);
    return made;
}

TEST_F(FileCommandsTest, SelectedBankMakesOneTrackOnChannelZeroAndOpensWithoutAQuestion) {
    selectBank(3);
    fillWithRamp(3, 7);
    store().setBankName("Ramp", 3);
    store().setSampleName("ramp.wav", 3, 0);
    const auto saved = valuesOf(3);
    view.setListSelection(EditorView::ChannelList, 5); // bank files ignore the channel
    save(path("one.mid"));
    EXPECT_TRUE(view.messageBoxes().empty());

    int trackCount = 0;
    const auto tracks = tracksOf(path("one.mid"), trackCount);
    EXPECT_EQ(trackCount, 1);
    ASSERT_EQ(tracks.size(), 1u);
    const auto& track = tracks[0];
    ASSERT_EQ(track.size(), 8u);
    const std::vector<std::uint8_t> kinds = {0x51, 0x58, 0x02, 0x03, 0x04, 0x7F};
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(track[i].bytes[0], 0xFF);
        EXPECT_EQ(track[i].bytes[1], kinds[i]);
    }
    EXPECT_EQ(track[0].bytes, (std::vector<std::uint8_t>{0xFF, 0x51, 0x07, 0xA1, 0x20}));
    EXPECT_EQ(track[1].bytes, (std::vector<std::uint8_t>{0xFF, 0x58, 0x04, 0x02, 0x18, 0x08}));
    EXPECT_EQ(std::string(track[3].bytes.begin() + 2, track[3].bytes.end()), "Ramp");
    EXPECT_EQ(track[6].bytes, (std::vector<std::uint8_t>{0xF0, 0x31, 0x0D, 0x79, 0x03, 0xF7}));
    EXPECT_EQ(track[7].bytes[2], 0x43);
    EXPECT_EQ(track[7].bytes[4], 0x20);
    EXPECT_EQ(track[7].delay(), 6000);

    controller.resetToDefault();
    ASSERT_NE(valuesOf(3), saved);
    open(path("one.mid"));
    EXPECT_EQ(view.beeps(), 0);
    EXPECT_TRUE(view.messageBoxes().empty());
    EXPECT_EQ(valuesOf(3), saved);
    EXPECT_EQ(store().sampleName(3, 0), "ramp.wav");
    EXPECT_EQ(view.items(EditorView::BankList)[3], "Ramp");
    EXPECT_EQ(view.text(EditorView::BankNameEdit), "Ramp");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "ramp.wav");
}

TEST_F(FileCommandsTest, AllBanksMakeEightTracksAndLoadIntoTheirOwnBanks) {
    view.setChecked(EditorView::AllBanksOption, true);
    for (int bank = 0; bank < 7; ++bank) {
        fillWithRamp(bank, static_cast<std::int16_t>(bank + 1));
        store().setBankName("Saved " + std::to_string(bank + 1), bank);
    }
    std::vector<std::vector<std::int16_t>> saved;
    for (int bank = 0; bank < 7; ++bank) {
        saved.push_back(valuesOf(bank));
    }
    save(path("all.mid"));
    int trackCount = 0;
    const auto tracks = tracksOf(path("all.mid"), trackCount);
    EXPECT_EQ(trackCount, 8);
    ASSERT_EQ(tracks.size(), 8u);
    EXPECT_EQ(tracks[0].size(), 3u);
    for (int bank = 0; bank < 7; ++bank) {
        ASSERT_EQ(tracks[bank + 1].size(), 5u);
        EXPECT_EQ(tracks[bank + 1][4].bytes[2], 0x40 | bank);
        store().resetBank(bank);
    }

    selectBank(6);
    open(path("all.mid"));
    EXPECT_EQ(view.beeps(), 0);
    EXPECT_TRUE(view.messageBoxes().empty());
    for (int bank = 0; bank < 7; ++bank) {
        EXPECT_EQ(valuesOf(bank), saved[bank]) << "bank " << bank + 1;
        EXPECT_EQ(view.items(EditorView::BankList)[bank], "Saved " + std::to_string(bank + 1));
    }
    EXPECT_EQ(view.listSelection(EditorView::BankList), 6);
}

TEST_F(FileCommandsTest, ASingleBankForAnotherBankAsksBeforeOverwriting) {
    selectBank(2);
    fillWithRamp(2, 3);
    store().setBankName("Source", 2);
    const auto source = valuesOf(2);
    save(path("bank3.mid"));

    selectBank(5);
    store().setBankName("Target", 5);
    const auto target = valuesOf(5);
    view.answerMessageBoxes({EditorView::IdNo, EditorView::IdYes});
    open(path("bank3.mid"));
    EXPECT_EQ(view.beeps(), 1);
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    const auto question = view.messageBoxes()[0];
    EXPECT_EQ(question.text, "The file contains data for bank: \"Source\".\n"
                             "Do you want to overwrite bank: \"Target\"?");
    EXPECT_EQ(question.caption, "VanetoEditor");
    EXPECT_EQ(question.buttons, EditorView::Buttons::YesNo);
    EXPECT_EQ(question.icon, EditorView::Icon::Question);
    EXPECT_EQ(valuesOf(5), target);
    EXPECT_EQ(store().bankName(5), "Target");

    open(path("bank3.mid"));
    EXPECT_EQ(view.beeps(), 2);
    EXPECT_EQ(valuesOf(5), source);
    EXPECT_EQ(store().bankName(5), "Source");
    EXPECT_EQ(view.items(EditorView::BankList)[5], "Source");
    EXPECT_EQ(valuesOf(2), source);
}

TEST_F(FileCommandsTest, FilesThatHoldNoBankOfOursAreRefusedWithoutTouchingAnyBank) {
    std::vector<std::vector<std::int16_t>> before;
    for (int bank = 0; bank < 7; ++bank) {
        before.push_back(valuesOf(bank));
    }
    std::vector<std::uint8_t> bank9(5 + 4 * 100, 0x00);
    bank9[0] = 0xF0, bank9[1] = 0x31, bank9[2] = 0x49, bank9[3] = 0x66, bank9[4] = 0x20;
    bank9.push_back(0xF7);
    struct Case {
        const char* name;
        LoMidiEventList events;
        bool refused;
    } cases[] = {
        {"foreign.mid", {event({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7})}, true},
        {"announce-only.mid", {event({0xF0, 0x31, 0x0D, 0x79, 0x00, 0xF7})}, true},
        {"bank9.mid", {event({0xF0, 0x31, 0x0D, 0x79, 0x09, 0xF7}), event(bank9, 6000)}, true},
        {"names-only.mid", {event({0xFF, 0x03, 'N', 'a', 'm', 'e'})}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeTrack(path(c.name), c.events);
        const auto boxes = view.messageBoxes().size();
        selectBank(1);
        open(path(c.name));
        EXPECT_EQ(view.beeps(), 0);
        if (c.refused) {
            ASSERT_EQ(view.messageBoxes().size(), boxes + 1);
            const auto box = view.messageBoxes().back();
            EXPECT_EQ(box.text, wrongFormatText);
            EXPECT_EQ(box.caption, "Wrong File Format");
            EXPECT_EQ(box.buttons, EditorView::Buttons::Ok);
            EXPECT_EQ(box.icon, EditorView::Icon::Information);
        } else {
            EXPECT_EQ(view.messageBoxes().size(), boxes);
        }
        for (int bank = 0; bank < 7; ++bank) {
            EXPECT_EQ(valuesOf(bank), before[bank]);
            EXPECT_EQ(store().bankName(bank), "Bank " + std::to_string(bank + 1));
        }
    }
}

TEST_F(FileCommandsTest, CancelledDialogsAndUnreadableFilesChangeNothing) {
    controller.saveToDisk(); // no file chosen
    controller.openFromDisk();
    controller.importSample();
    EXPECT_EQ(view.fileDialogs(), 3);
    EXPECT_TRUE(view.messageBoxes().empty());
    EXPECT_TRUE(fs::is_empty(folder));

    // Not a MIDI file at all: nothing happens, as before.
    std::ofstream(path("text.mid")) << "hello";
    open(path("text.mid"));
    EXPECT_TRUE(view.messageBoxes().empty());

    // A file that cannot be opened is named with the reason.
    open(path("missing.mid"));
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_THAT(view.messageBoxes()[0].text, ::testing::HasSubstr("\"missing.mid\""));
    EXPECT_THAT(view.messageBoxes()[0].text, ::testing::HasSubstr("No such file"));
}

TEST_F(FileCommandsTest, AFailedSaveLeavesTheOldFileAsItWas) {
    const std::string file = path("keep.mid");
    std::ofstream(file, std::ios::binary) << "the old bank file";
    view.setChecked(EditorView::AllBanksOption, true);

    // Writes beyond 100000 bytes fail, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    save(file);
    setrlimit(RLIMIT_FSIZE, &old);

    ASSERT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_THAT(view.messageBoxes()[0].text, ::testing::HasSubstr("could not be saved"));
    EXPECT_EQ(contents(file), "the old bank file");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "no temporary file is left behind";

    // A folder that does not exist is reported too.
    save(path("no/such/folder/x.mid"));
    EXPECT_EQ(view.messageBoxes().size(), 2u);

    // And the same save succeeds once the disk has room, replacing the old file.
    save(file);
    EXPECT_EQ(view.messageBoxes().size(), 2u);
    int trackCount = 0;
    EXPECT_EQ(tracksOf(file, trackCount).size(), 8u);
}

TEST_F(FileCommandsTest, ImportNamesTheSlotAfterTheFileOrExplainsWhyNot) {
    selectBank(4);
    const auto before = valuesOf(4);
    const auto other = valuesOf(3);

    view.chooseFiles({path("missing.wav")});
    controller.importSample();
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_THAT(view.messageBoxes()[0].text, ::testing::HasSubstr("\"missing.wav\""));
    EXPECT_THAT(view.messageBoxes()[0].text, ::testing::HasSubstr("No such file"));
    EXPECT_EQ(valuesOf(4), before);
    EXPECT_EQ(store().sampleName(4, 0), "Sample 1 (in Bank 5)");

    // A RIFF WAVE of a compressed kind is refused with the format message.
    const unsigned char adpcm[] = {'R', 'I', 'F',  'F',  36,  0,   0,    0,    'W', 'A', 'V',
                                   'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   2,   0,
                                   1,   0,   0x44, 0xAC, 0,   0,   0x88, 0x58, 1,   0,   2,
                                   0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
    std::ofstream(path("adpcm.wav"), std::ios::binary)
        .write(reinterpret_cast<const char*>(adpcm), sizeof adpcm);
    view.chooseFiles({path("adpcm.wav")});
    controller.importSample();
    ASSERT_EQ(view.messageBoxes().size(), 2u);
    EXPECT_EQ(view.messageBoxes()[1].text,
              "VanetoEditor supports only pcm (no compression) formats (*.aif or *.wav).");
    EXPECT_EQ(view.messageBoxes()[1].caption, "Wrong File Format");
    EXPECT_EQ(valuesOf(4), before);

    // Anything else is raw 16-bit data: 1001 bytes give 500 values.
    std::string raw(1001, '\0');
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
        raw[i] = 0x10, raw[i + 1] = 0x27; // 10000
    }
    std::ofstream(path("noise.raw"), std::ios::binary) << raw;
    const auto listBefore = view.items(EditorView::BankList);
    view.chooseFiles({path("noise.raw")});
    controller.importSample();
    EXPECT_EQ(view.messageBoxes().size(), 2u);
    EXPECT_EQ(store().sampleName(4, 0), "noise.raw");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "noise.raw");
    EXPECT_EQ(view.items(EditorView::BankList), listBefore);
    const auto values = valuesOf(4);
    EXPECT_EQ(values[0], 0);
    EXPECT_EQ(values[100], 10000);
    EXPECT_EQ(values[499], 0);
    EXPECT_EQ(values[500], 0);
    EXPECT_EQ(valuesOf(3), other) << "only the selected bank changes";
}

TEST_F(FileCommandsTest, ImportOfAWaveMadeBySoxFillsTheSelectedBank) {
    const std::string wave = path("kick.wav");
    const std::string command =
        "sox -q -n -r 48000 -c 2 -b 24 '" + wave + "' synth 0.5 sine 220 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "sox is not available";
    }
    selectBank(0);
    view.chooseFiles({wave});
    controller.importSample();
    EXPECT_TRUE(view.messageBoxes().empty());
    EXPECT_EQ(store().sampleName(0, 0), "kick.wav");
    const auto values = valuesOf(0);
    // Half a second at 44100 Hz, then silence up to the end of the bank.
    int loud = 0;
    for (std::size_t i = 0; i < 22050; ++i) {
        loud += values[i] > 10000 || values[i] < -10000;
    }
    EXPECT_GT(loud, 1000);
    EXPECT_EQ(values[22060], 0);
    EXPECT_EQ(values[65535], 0);
}

} // namespace
