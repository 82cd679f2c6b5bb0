#include "midi/LoMidiFileReader.h"
#include "midi/LoMidiFileWriter.h"

#include "MidiTestFiles.h"

#include <limits>
#include <map>
#include <tuple>

namespace {

using namespace miditest;
using Delays = std::vector<std::int32_t>;
using Lists = std::vector<LoMidiEventList>;

// Reads lists until an empty one, then checks that reading stays at the end. Fails instead of
// hanging when the reader does not come to an end within one list per byte of the file.
Lists readAll(const std::filesystem::path& path, LoMidiFileReader& reader) {
    std::error_code ignored;
    const std::uintmax_t limit = std::filesystem::file_size(path, ignored) + 2;
    Lists lists;
    for (LoMidiEventList list{event({1})}; lists.size() <= limit; list = {event({1})}) {
        if (reader.readTrack(list).empty()) {
            EXPECT_TRUE(reader.readTrack(list).empty()) << "reading went on after the end";
            return lists;
        }
        lists.push_back(list);
    }
    ADD_FAILURE() << "readTrack never returned an empty list";
    return lists;
}

Delays delays(const LoMidiEventList& list) {
    Delays result;
    for (const LoMidiEvent& e : list) {
        result.push_back(e.delay());
    }
    return result;
}

std::vector<std::vector<Bytes>> bytesOf(const Lists& lists) {
    std::vector<std::vector<Bytes>> result;
    for (const auto& list : lists) {
        result.emplace_back();
        for (const LoMidiEvent& e : list) {
            result.back().push_back(e.bytes);
        }
    }
    return result;
}

TEST(LoMidiFileReader, ReadsBackBankFilesWithTheirDelays) {
    TempDir dir;
    Lists all{conductorEvents()};
    Lists single{conductorEvents()};
    {
        LoMidiFileWriter writer(dir / "all.mid", 24, 120);
        writer.writeTrack(all[0], true);
        for (std::uint8_t bank = 0; bank < 7; ++bank) {
            all.push_back(bankEvents(bank));
            writer.writeTrack(all.back(), true);
        }
        for (const LoMidiEvent& e : bankEvents(5)) {
            single[0].push_back(e);
        }
        LoMidiFileWriter(dir / "one.mid", 24, 120).writeTrack(single[0], true);
    }
    LoMidiFileReader reader(dir / "all.mid");
    ASSERT_TRUE(reader.isMidiFile());
    EXPECT_EQ(reader.trackCount(), 8);
    EXPECT_EQ(reader.format(), 1);
    const Lists lists = readAll(dir / "all.mid", reader);
    EXPECT_EQ(bytesOf(lists), bytesOf(all));
    ASSERT_EQ(lists.size(), 8u);
    EXPECT_EQ(delays(lists[0]), (Delays{0, 0, 0}));
    EXPECT_EQ(delays(lists[1]), (Delays{0, 0, 6000}));
    // A later bank's announce message carries the whole time of the earlier banks.
    EXPECT_EQ(delays(lists[2]), (Delays{0, 89917, 6000}));
    EXPECT_EQ(delays(lists[7]), (Delays{0, 539500, 6000}));

    LoMidiFileReader one(dir / "one.mid");
    EXPECT_EQ(one.trackCount(), 1);
    const Lists oneLists = readAll(dir / "one.mid", one);
    EXPECT_EQ(bytesOf(oneLists), bytesOf(single));
    EXPECT_EQ(delays(oneLists.at(0)), (Delays{0, 0, 0, 0, 0, 6000}));
}

TEST(LoMidiFileReader, TurnsDeltaTimesIntoDelays) {
    TempDir dir;
    // Division 24: a first System Exclusive event at delta 29; a 1000-byte one right after the
    // 1 transmission tick of the previous; one 16 + 48 ticks after that; a 60 bpm tempo event
    // in between changes nothing.
    Bytes track{29,   0xF0, 0x04, 0x01, 0x02, 0x03, 0xF7, 0x00, 0xFF,
                0x51, 0x03, 0x0F, 0x42, 0x40, 1,    0xF0, 0x87, 0x67}; // 999 bytes follow F0
    track.resize(track.size() + 998, 0x55);
    for (std::uint8_t b : {0xF7, 64, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00}) {
        track.push_back(b);
    }
    Bytes file{'M',
               'T',
               'h',
               'd',
               0,
               0,
               0,
               6,
               0,
               0,
               0,
               1,
               0,
               24,
               'M',
               'T',
               'r',
               'k',
               0,
               0,
               std::uint8_t(track.size() >> 8),
               std::uint8_t(track.size())};
    file.insert(file.end(), track.begin(), track.end());
    writeFile(dir / "a.mid", file);
    LoMidiFileReader reader(dir / "a.mid");
    const Lists lists = readAll(dir / "a.mid", reader);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(delays(lists[0]), (Delays{605, 0, 0, 1000}));
}

TEST(LoMidiFileReader, EmptyForeignRefusedAndHugeFiles) {
    TempDir dir;
    { LoMidiFileWriter writer(dir / "empty.mid", 24, 120); }
    writeFile(dir / "text.mid", Bytes(40, 'x'));
    const std::tuple<const char*, bool, std::uint16_t> cases[] = {
        {"empty.mid", true, 1}, {"text.mid", false, 0}, {"missing.mid", false, 0}};
    for (const auto& [name, midi, tracks] : cases) {
        LoMidiFileReader reader(dir / name);
        EXPECT_EQ(reader.isMidiFile(), midi) << name;
        EXPECT_EQ(reader.trackCount(), tracks) << name;
        EXPECT_TRUE(readAll(dir / name, reader).empty()) << name;
    }

    LoMidiFileReader reader;
    reader.open(dir / "empty.mid");
    EXPECT_TRUE(reader.isMidiFile());
    reader.open(dir / "text.mid"); // refused: a file is already open
    EXPECT_FALSE(reader.isMidiFile());

    // Positions are 32-bit: a file of 2 GiB or more (sparse here) is not read at all.
    { LoMidiFileWriter(dir / "huge.mid", 24, 120).writeTrack({sysEx(10, 0)}, true); }
    std::error_code error;
    std::filesystem::resize_file(dir / "huge.mid", (std::uintmax_t{1} << 31) + 100, error);
    if (!error) {
        LoMidiFileReader huge(dir / "huge.mid");
        EXPECT_FALSE(huge.isMidiFile());
        LoMidiEventList list;
        EXPECT_TRUE(huge.readTrack(list).empty());
    }
}

// Every cut of a bank file reads to an end, and each list is a prefix of the track written.
TEST(LoMidiFileReader, FileCutAnywhereReadsToAnEnd) {
    TempDir dir;
    Lists written{conductorEvents()};
    {
        LoMidiFileWriter writer(dir / "whole.mid", 24, 120);
        writer.writeTrack(written[0], true);
        for (std::uint8_t bank = 0; bank < 3; ++bank) {
            written.push_back({event({0xFF, 3, 'B', bank}), sysEx(6, 0, bank), sysEx(150, 6000)});
            writer.writeTrack(written.back(), true);
        }
    }
    const Bytes whole = readFile(dir / "whole.mid");
    for (std::size_t cut = 0; cut <= whole.size() && !HasFailure(); ++cut) {
        writeFile(dir / "cut.mid", Bytes(whole.begin(), whole.begin() + cut));
        LoMidiFileReader reader(dir / "cut.mid");
        Lists lists = readAll(dir / "cut.mid", reader);
        ASSERT_LE(lists.size(), written.size()) << "cut at " << cut;
        auto prefix = bytesOf(Lists(written.begin(), written.begin() + lists.size()));
        for (std::size_t t = 0; t < lists.size(); ++t) {
            prefix[t].resize(std::min(prefix[t].size(), lists[t].size()));
        }
        EXPECT_EQ(bytesOf(lists), prefix) << "cut at " << cut;
        EXPECT_TRUE(cut < whole.size() || lists.size() == written.size());
    }
}

// The malformed corpus, one defect per file: every file reads to an end (in the sanitizer build
// too); where the outcome means something, the sizes of the lists and delays are checked.
TEST(LoMidiFileReader, MalformedFilesReadToAnEnd) {
    constexpr std::int32_t longest = std::numeric_limits<std::int32_t>::max();
    struct Case {
        bool midi;
        std::vector<std::size_t> listSizes;
        Delays firstDelays;
    };
    const std::map<std::string, Case> expected = {
        {"empty-file.mid", {false, {}, {}}},
        {"header-cut-short.mid", {true, {}, {}}},
        {"header-without-tracks.mid", {true, {}, {}}},
        {"header-length-ffffffff.mid", {true, {1}, {0}}},
        {"division-zero.mid", {true, {2}, {0, 0}}},
        {"track-count-larger-than-tracks.mid", {true, {1}, {0}}},
        {"track-length-past-end-of-file.mid", {true, {2}, {0, 0}}},
        {"track-without-end-of-track.mid", {true, {2, 1}, {0, 0}}},
        {"unknown-chunk-between-tracks.mid", {true, {1, 1}, {0}}},
        {"track-length-ffffffff.mid", {true, {1}, {0}}},
        {"track-length-zero.mid", {true, {}, {}}},
        {"not-a-midi-file.mid", {false, {}, {}}},
        {"garbage-after-last-track.mid", {true, {1}, {0}}},
        {"delta-never-ends.mid", {true, {}, {}}},
        {"sysex-length-never-ends.mid", {true, {}, {}}},
        {"sysex-length-200mb-in-small-file.mid", {true, {1}, {0}}},
        {"sysex-length-past-end-of-file.mid", {true, {1}, {0}}},
        {"sysex-without-f7.mid", {true, {2}, {0, 0}}},
        {"meta-length-past-end-of-file.mid", {true, {}, {}}},
        {"meta-type-cut-off.mid", {true, {1}, {0}}},
        {"file-cut-inside-delta.mid", {true, {1}, {0}}},
        {"running-status-channel-events.mid", {true, {}, {}}},
        {"delta-shorter-than-transmission-time.mid", {true, {2}, {0, 0}}},
        {"huge-delta-times.mid", {true, {2}, {longest, longest}}},
    };
    std::size_t checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(VANETO_TEST_DATA_DIR) / "midi" / "invalid")) {
        const std::string name = entry.path().filename().string();
        LoMidiFileReader reader(entry.path());
        const Lists lists = readAll(entry.path(), reader);
        const auto found = expected.find(name);
        if (found == expected.end()) {
            continue;
        }
        ++checked;
        std::vector<std::size_t> sizes;
        for (const auto& list : lists) {
            sizes.push_back(list.size());
        }
        EXPECT_EQ(reader.isMidiFile(), found->second.midi) << name;
        EXPECT_EQ(sizes, found->second.listSizes) << name;
        EXPECT_EQ(lists.empty() ? Delays{} : delays(lists[0]), found->second.firstDelays) << name;
    }
    EXPECT_EQ(checked, expected.size()) << "a corpus file is missing";
}

} // namespace
