// `vaneto make`, `list` and `export` end to end: the built program on audio files made by sox,
// its bank files read back by the MIDI file reader and the bank store.

#include "CliRunner.h"

#include "RecordingEditorView.h"
#include "audio/WaveFileWriter.h"
#include "device/DvVaneto.h"
#include "editor/VanetoEditorController.h"
#include "files/BankFile.h"
#include "files/SampleImport.h"
#include "midi/LoMidiFileReader.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

using clitest::Bytes;
using clitest::Folder;

namespace {

std::unique_ptr<DvVaneto> loadedStore(const std::filesystem::path& file, std::vector<int>& banks) {
    auto store = std::make_unique<DvVaneto>();
    EXPECT_EQ(BankFile::load(file, *store, banks), BankFile::ReadResult::ok) << file;
    return store;
}

std::vector<std::int16_t> values(const DvVaneto& store, int bank) {
    const auto span = store.bankData(bank);
    return {span.begin(), span.end()};
}

std::vector<LoMidiEventList> tracksOf(const std::filesystem::path& file, int& trackCount) {
    LoMidiFileReader reader(file);
    EXPECT_TRUE(reader.isMidiFile());
    trackCount = reader.trackCount();
    std::vector<LoMidiEventList> tracks;
    for (int guard = 0; guard < 100; ++guard) {
        LoMidiEventList list;
        reader.readTrack(list);
        if (list.empty()) {
            break;
        }
        tracks.push_back(list);
    }
    return tracks;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

} // namespace

TEST(CliMake, ImportsEachAudioFormatAsTheEditorDoesAndWritesAllSevenBanks) {
    Folder folder;
    // Plain 16-bit WAV, 24-bit stereo WAV with the extensible header sox writes, 8-bit AIFF.
    ASSERT_TRUE(folder.sox("-n -r 44100 -c 1 -b 16 -t wavpcm plain.wav synth 0.3 sine 440"));
    ASSERT_TRUE(folder.sox("-n -r 48000 -c 2 -b 24 -t wav wide.wav synth 2 sawtooth 110 gain -6"));
    ASSERT_TRUE(folder.sox("-n -r 22050 -c 1 -b 8 tone.aiff synth 0.5 square 220"));

    const clitest::Run run =
        folder.vaneto({"make", "banks.mid", "--bank", "1", "plain.wav", "--bank", "3", "wide.wav",
                       "--bank", "7", "tone.aiff", "--name", "3", "Saw"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    // Where each sound came from, and that the long one was cut.
    EXPECT_EQ(run.err,
              "vaneto make: bank 1: plain.wav: WAV, 44100 Hz, 1 channel, 16-bit, 0.300 s\n"
              "vaneto make: bank 3: wide.wav: WAV, 48000 Hz, 2 channels, 24-bit, 2.000 s, cut to "
              "1.486 s\n"
              "vaneto make: bank 7: tone.aiff: AIFF, 22050 Hz, 1 channel, 8-bit, 0.500 s\n");

    // The layout: a conductor track, then one five-event track per bank, in bank order.
    int trackCount = 0;
    const std::vector<LoMidiEventList> tracks = tracksOf(folder / "banks.mid", trackCount);
    EXPECT_EQ(trackCount, 8);
    ASSERT_EQ(tracks.size(), 8u);
    EXPECT_EQ(tracks[0].size(), 3u);
    DvVaneto identify;
    for (int bank = 0; bank < 7; ++bank) {
        EXPECT_EQ(tracks[bank + 1].size(), 5u);
        EXPECT_EQ(identify.identifyBank(tracks[bank + 1]), bank);
    }

    // Every bank holds what the editor's import pipeline makes of the same file.
    std::vector<int> banks;
    const auto store = loadedStore(folder / "banks.mid", banks);
    EXPECT_EQ(banks, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    DvVaneto expected;
    for (const auto& [bank, file] :
         {std::pair{0, "plain.wav"}, {2, "wide.wav"}, {6, "tone.aiff"}}) {
        const SampleImport::Result result = SampleImport::importInto(folder / file, expected, bank);
        ASSERT_TRUE(SampleImport::isImported(result.outcome)) << file;
        EXPECT_EQ(values(*store, bank), values(expected, bank)) << file;
        EXPECT_EQ(store->sampleName(bank, 0), file);
    }
    EXPECT_EQ(store->bankName(2), "Saw");
    EXPECT_EQ(values(*store, 1), values(expected, 1)); // untouched banks stay factory banks

    // list: one line per bank track.
    const clitest::Run list = folder.vaneto({"list", "banks.mid"});
    ASSERT_EQ(list.status, 0) << list.err;
    const std::vector<std::string> rows = lines(list.out);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].rfind("1\tBank 1\tplain.wav\t65536\t", 0), 0u) << rows[0];
    EXPECT_EQ(rows[2].rfind("3\tSaw\twide.wav\t65536\t-6.", 0), 0u) << rows[2];
    EXPECT_EQ(rows[6].rfind("7\tBank 7\ttone.aiff\t65536\t", 0), 0u) << rows[6];
}

TEST(CliMake, SingleBankLayoutAndLoadingIntoTheBankTheFileNames) {
    Folder folder;
    ASSERT_TRUE(folder.sox("-n -r 44100 -c 1 -b 16 kick.wav synth 0.2 sine 60"));
    ASSERT_EQ(folder.vaneto({"make", "one.mid", "--bank", "5", "kick.wav", "--single", "5"}).status,
              0);
    int trackCount = 0;
    EXPECT_EQ(tracksOf(folder / "one.mid", trackCount).size(), 1u);
    EXPECT_EQ(trackCount, 1);

    const clitest::Run list = folder.vaneto({"list", "one.mid", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("\"bank\": 5, \"name\": \"Bank 5\", \"sample\": \"kick.wav\", "
                            "\"values\": 65536, \"peakDbfs\": "),
              std::string::npos)
        << list.out;

    // --from puts the single track back into bank 5, whatever else happens around it; the
    // options apply in order, so a rename before --from is overwritten by the file's name.
    ASSERT_EQ(folder
                  .vaneto({"make", "again.mid", "--name", "5", "Lost", "--from", "one.mid",
                           "--sample-name", "2", "-dash-", "--name", "1", "Kept"})
                  .status,
              0);
    std::vector<int> banks;
    const auto store = loadedStore(folder / "again.mid", banks);
    std::vector<int> oneBanks;
    const auto one = loadedStore(folder / "one.mid", oneBanks);
    EXPECT_EQ(oneBanks, std::vector<int>{4});
    EXPECT_EQ(values(*store, 4), values(*one, 4));
    EXPECT_EQ(store->bankName(4), "Bank 5");
    EXPECT_EQ(store->sampleName(4, 0), "kick.wav");
    EXPECT_EQ(store->sampleName(1, 0), "-dash-");
    EXPECT_EQ(store->bankName(0), "Kept");
}

TEST(CliExport, WavGoesBackThroughMakeUnchangedAndSyxIsTheBankDump) {
    Folder folder;
    ASSERT_TRUE(folder.sox("-n -r 32000 -c 2 -b 16 voice.wav synth 1 pluck 330 gain -2"));
    ASSERT_EQ(folder.vaneto({"make", "a.mid", "--bank", "2", "voice.wav"}).status, 0);

    // A factory bank and an imported one, each out to WAV and back in through make.
    for (const int bank : {2, 6}) {
        SCOPED_TRACE(bank);
        const std::string n = std::to_string(bank);
        ASSERT_EQ(folder.vaneto({"export", "a.mid", "--bank", n, "b.wav"}).status, 0);
        ASSERT_EQ(folder.vaneto({"make", "b.mid", "--bank", "4", "b.wav"}).status, 0);
        std::vector<int> banks;
        const auto original = loadedStore(folder / "a.mid", banks);
        const auto copy = loadedStore(folder / "b.mid", banks);
        EXPECT_EQ(values(*copy, 3), values(*original, bank - 1));
        EXPECT_EQ(std::filesystem::file_size(folder / "b.wav"), 44u + 2 * 65536);
    }

    // The System Exclusive bytes are exactly the bank dump on the chosen channel.
    std::vector<int> banks;
    const auto store = loadedStore(folder / "a.mid", banks);
    for (const auto& [channel, nibble] : {std::pair{"", 0}, {"16", 15}}) {
        std::vector<std::string> args = {"export", "a.mid", "--bank", "2", "dump.SYX"};
        if (*channel != '\0') {
            args.insert(args.end(), {"--channel", channel});
        }
        ASSERT_EQ(folder.vaneto(args).status, 0);
        Bytes expected;
        for (const LoMidiEvent& event : store->bankDump(1, nibble)) {
            expected.insert(expected.end(), event.bytes.begin(), event.bytes.end());
        }
        EXPECT_EQ(clitest::readBytes(folder / "dump.SYX"), expected) << "channel " << channel;
    }
}

TEST(CliList, ADamagedFileIsNamedAndItsWholeBanksStillListed) {
    Folder folder;
    ASSERT_EQ(folder.vaneto({"make", "all.mid"}).status, 0);
    // Cut inside the last bank's data message.
    Bytes bytes = clitest::readBytes(folder / "all.mid");
    bytes.resize(bytes.size() - 1000);
    clitest::writeBytes(folder / "cut.mid", bytes);
    const clitest::Run run = folder.vaneto({"list", "cut.mid"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 6);
    EXPECT_EQ(run.err, "vaneto list: cut.mid is damaged: reading stopped at track 8 of 8; banks "
                       "read whole: 1, 2, 3, 4, 5, 6\n");
}

TEST(CliPlay, WhatReachesTheDeviceIsTheBankValueForValue) {
    Folder folder;
    ASSERT_TRUE(folder.sox("-n -r 22050 -c 1 -b 16 tone.wav synth 0.5 sine 440"));
    // ALSA's file plugin: a null device that writes every frame played to a file.
    const std::string device = "file:FILE=" + (folder / "played.raw").string() + ",FORMAT=raw";
    const clitest::Run played =
        folder.vaneto({"play", "tone.wav", "--bank", "5", "--device", device});
    ASSERT_EQ(played.status, 0) << played.err;
    ASSERT_EQ(folder.vaneto({"make", "t.mid", "--bank", "5", "tone.wav"}).status, 0);
    std::vector<int> banks;
    const auto store = loadedStore(folder / "t.mid", banks);
    const auto bank = values(*store, 4);
    const Bytes bytes = clitest::readBytes(folder / "played.raw");
    ASSERT_EQ(bytes.size(), 2 * bank.size());
    for (std::size_t i = 0; i < bank.size(); ++i) {
        ASSERT_EQ(static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)), bank[i]) << i;
    }

    const clitest::Run missing =
        folder.vaneto({"play", "t.mid", "--bank", "5", "--device", "hw:99,0"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("vaneto play: cannot open the audio output \"hw:99,0\": ", 0), 0u)
        << missing.err;
}

TEST(CliAndEditor, BankFilesAreTheEditorsByteForByteAndOpenWithoutAQuestion) {
    Folder folder;
    ASSERT_TRUE(folder.sox("-n -r 48000 -c 2 -b 16 kick.wav synth 0.3 sine 80 gain -1"));
    ASSERT_EQ(folder.vaneto({"make", "one.mid", "--bank", "5", "kick.wav", "--single", "5"}).status,
              0);
    ASSERT_EQ(folder.vaneto({"make", "all.mid", "--bank", "5", "kick.wav"}).status, 0);

    // The editor imports the same file into bank 5 and saves it both ways.
    VirtualClock clock;
    auto service = std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{});
    {
        RecordingEditorView view;
        VanetoEditorController editor(view, service, clock);
        editor.initDialog();
        view.setListSelection(EditorView::BankList, 4);
        editor.showSelectedBank();
        view.script({}, {(folder / "kick.wav").string()});
        editor.importSample();
        for (const auto& [selectedOnly, name] :
             {std::pair{true, "editor-one.mid"}, {false, "editor-all.mid"}}) {
            view.setChecked(EditorView::SelectedBankOption, selectedOnly);
            view.setChecked(EditorView::AllBanksOption, !selectedOnly);
            view.script({}, {(folder / name).string()});
            editor.saveToDisk();
        }
        EXPECT_TRUE(view.boxes().empty());
    }
    EXPECT_EQ(clitest::readBytes(folder / "one.mid"),
              clitest::readBytes(folder / "editor-one.mid"));
    EXPECT_EQ(clitest::readBytes(folder / "all.mid"),
              clitest::readBytes(folder / "editor-all.mid"));

    // Opened in the editor with bank 5 selected, the single-bank file loads without a question.
    RecordingEditorView view;
    VanetoEditorController editor(view, service, clock);
    editor.initDialog();
    view.setListSelection(EditorView::BankList, 4);
    editor.showSelectedBank();
    view.clearLog();
    view.script({}, {(folder / "one.mid").string()});
    editor.openFromDisk();
    EXPECT_TRUE(view.boxes().empty());
    EXPECT_TRUE(view.logged("beep").empty());
    std::vector<int> banks;
    const auto store = loadedStore(folder / "one.mid", banks);
    EXPECT_EQ(values(editor.banks(), 4), values(*store, 4));
    EXPECT_EQ(editor.banks().sampleName(4, 0), "kick.wav");
    EXPECT_NE(values(editor.banks(), 4), values(DvVaneto(), 4));
}

// A wavetable session as a user has it: a 64-frame table spread over a bank, listed, exported
// for a synth that reads frames of 2048 and read back from that file.
TEST(CliWavetable, SpreadListExportAndBack) {
    clitest::Folder folder;
    std::vector<std::int16_t> frames(64 * 256);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double k = 1 + static_cast<double>(i / 256 % 8);
        frames[i] = static_cast<std::int16_t>(
            std::lround(20000 * std::sin(2 * 3.141592653589793 * k * (i % 256) / 256.0)));
    }
    {
        WaveFileWriter writer(folder / "t64.wav");
        writer.writeMono16(frames.data(), frames.size(), 44100);
    }
    const clitest::Run made = folder.vaneto({"make", "t.mid", "--table", "2", "t64.wav", "--spread",
                                             "--slot-name", "2", "3", "between"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("assumed 64 frames of 256"), std::string::npos) << made.err;
    const clitest::Run listed = folder.vaneto({"list", "t.mid", "--slots", "2"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 256);
    EXPECT_NE(listed.out.find("\n3\tbetween\t"), std::string::npos) << listed.out.substr(0, 300);
    EXPECT_NE(listed.out.find("\n256\tt64.wav 64\t"), std::string::npos);
    const clitest::Run exported =
        folder.vaneto({"export", "t.mid", "--bank", "2", "t2048.wav", "--frame", "2048"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const clitest::Run back = folder.vaneto(
        {"make", "back.mid", "--from", "t.mid", "--table", "2", "t2048.wav", "--one-sample", "5"});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_NE(back.err.find("frames of 2048, from its srge chunk"), std::string::npos) << back.err;
    // The one-shot import of a bank that holds waves makes it one sample, and says so.
    const clitest::Run oneShot =
        folder.vaneto({"make", "o.mid", "--from", "t.mid", "--bank", "2", "t64.wav"});
    EXPECT_NE(oneShot.err.find("the bank held 256 waves: it now holds one sample"),
              std::string::npos)
        << oneShot.err;
}

TEST(CliWavetable, FormulasFillTheirRangeAndNameItsSlots) {
    clitest::Folder folder;
    const clitest::Run made =
        folder.vaneto({"make", "f.mid", "--formula", "3", "sin(2*pi*x)*(1-t)", "--slots", "2-5",
                       "--op", "3", "gain=-6.0206", "--slots", "4-5"});
    ASSERT_EQ(made.status, 0) << made.err;
    const clitest::Run listed = folder.vaneto({"list", "f.mid", "--slots", "3"});
    EXPECT_NE(listed.out.find("\n2\tsin(2*pi*x)*(1-t)\t"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\n6\tSample 6 (in Bank 3)\t"), std::string::npos);
    DvVaneto store;
    std::vector<int> banks;
    ASSERT_EQ(BankFile::load(folder / "f.mid", store, banks), BankFile::ReadResult::ok);
    const auto values = store.bankData(2);
    EXPECT_EQ(values[256 + 64], 32767);         // slot 2, a quarter of the way
    EXPECT_EQ(values[3 * 256 + 64], 10922 / 2); // slot 4: a third, then halved
    EXPECT_EQ(values[4 * 256 + 64], 0);         // slot 5, silence
}

TEST(CliWavetable, ResynthFromASlotOnAndItsRefusals) {
    clitest::Folder folder;
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 '" + (folder / "sweep.flac").string() +
                           "' synth 3 sawtooth 100-400 2>/dev/null")
                              .c_str()),
              0);
    const clitest::Run made =
        folder.vaneto({"make", "r.mid", "--table", "2", "sweep.flac", "--resynth", "--first-slot",
                       "200", "--report", "r.tsv"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("vaneto make: bank 2: 10"), std::string::npos) << made.err;
    EXPECT_NE(made.err.find("% at the median"), std::string::npos) << made.err;
    // The report: a header, then slot, moment, pitch and fit for each of the 57 slots filled.
    std::istringstream report(clitest::readText(folder / "r.tsv"));
    std::string line;
    std::getline(report, line);
    EXPECT_EQ(line, "slot\tseconds\thz\tfit");
    int lines = 0;
    for (int slot = 0, hz = 0; std::getline(report, line); ++lines) {
        ASSERT_EQ(std::sscanf(line.c_str(), "%d\t%*f\t%d", &slot, &hz), 2) << line;
        EXPECT_EQ(slot, 200 + lines);
        EXPECT_TRUE(hz >= 95 && hz <= 405) << line;
    }
    EXPECT_EQ(lines, 57);
    std::vector<int> banks;
    const auto store = loadedStore(folder / "r.mid", banks);
    const DvVaneto factory;
    const auto before = [](const DvVaneto& s) { return s.bankData(1).first(199 * 256); };
    EXPECT_TRUE(std::ranges::equal(before(*store), before(factory)));
    EXPECT_FALSE(store->isSingleSample(1));
    EXPECT_EQ(store->sampleName(1, 199).rfind("sweep.flac 0.0", 0), 0u)
        << store->sampleName(1, 199);
    for (const std::vector<std::string>& refused : {std::vector<std::string>{"--resynth", "--fit"},
                                                    {"--resynth", "--start", "2", "--end", "1"},
                                                    {"--start", "1"},
                                                    {"--report", "x.tsv"}}) {
        std::vector<std::string> words = {"make", "x.mid", "--table", "2", "sweep.flac"};
        words.insert(words.end(), refused.begin(), refused.end());
        EXPECT_EQ(folder.vaneto(words).status, 2) << refused[1];
    }
    ASSERT_EQ(std::system(("sox -n -r 44100 -c 1 '" + (folder / "noise.wav").string() +
                           "' synth 1 whitenoise 2>/dev/null")
                              .c_str()),
              0);
    EXPECT_EQ(folder.vaneto({"make", "n.mid", "--table", "2", "noise.wav", "--resynth"}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "n.mid"));
}
