#include "midi/LoMidiFileReader.h"
#include "midi/LoMidiFileWriter.h"

#include "MidiTestFiles.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace miditest;

// Reads list after list until an empty one; fails instead of hanging when the reader does not
// come to an end within one list per byte of the file.
std::vector<LoMidiEventList> readAll(LoMidiFileReader& reader, std::size_t fileSize) {
    std::vector<LoMidiEventList> lists;
    for (std::size_t calls = 0; calls <= fileSize + 2; ++calls) {
        LoMidiEventList list{event({0x01})}; // readTrack must clear what the caller left in it
        reader.readTrack(list);
        if (list.empty()) {
            for (int again = 0; again < 3; ++again) {
                reader.readTrack(list);
                EXPECT_TRUE(list.empty()) << "reading went on after the end";
            }
            return lists;
        }
        lists.push_back(list);
    }
    ADD_FAILURE() << "readTrack never returned an empty list";
    return lists;
}

std::vector<std::int32_t> delays(const LoMidiEventList& list) {
    std::vector<std::int32_t> result;
    for (const LoMidiEvent& e : list) {
        result.push_back(e.delay());
    }
    return result;
}

void expectSameBytes(const LoMidiEventList& read, const LoMidiEventList& written) {
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].bytes, written[i].bytes) << "event " << i;
    }
}

using Delays = std::vector<std::int32_t>;

TEST(LoMidiFileReader, ReadsBackAnAllBanksFile) {
    TempDir dir;
    const auto path = dir / "all.mid";
    std::vector<LoMidiEventList> written{conductorEvents()};
    {
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack(written[0], true);
        for (std::uint8_t bank = 0; bank < 7; ++bank) {
            written.push_back(bankEvents(bank));
            writer.writeTrack(written.back(), true);
        }
    }
    LoMidiFileReader reader(path);
    ASSERT_TRUE(reader.isMidiFile());
    EXPECT_EQ(reader.trackCount(), 8);
    EXPECT_EQ(reader.format(), 1);
    EXPECT_EQ(reader.division(), 24);
    const auto lists = readAll(reader, std::filesystem::file_size(path));
    ASSERT_EQ(lists.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        expectSameBytes(lists[i], written[i]);
    }
    EXPECT_EQ(delays(lists[0]), (Delays{0, 0, 0}));
    EXPECT_EQ(delays(lists[1]), (Delays{0, 0, 6000}));
    EXPECT_EQ(delays(lists[2]), (Delays{0, 89917, 6000}));
    // Later banks carry the whole time of the earlier ones: 4316 ticks per bank.
    EXPECT_EQ(delays(lists[7]),
              (Delays{0, static_cast<std::int32_t>(ticksToMilliseconds(6 * 4316, 24, 120)), 6000}));
}

TEST(LoMidiFileReader, ReadsBackASingleBankFileWithItsOwnDelays) {
    TempDir dir;
    const auto path = dir / "one.mid";
    LoMidiEventList written = conductorEvents();
    for (const LoMidiEvent& e : bankEvents(5)) {
        written.push_back(e);
    }
    {
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack(written, true);
    }
    LoMidiFileReader reader(path);
    EXPECT_EQ(reader.trackCount(), 1);
    EXPECT_EQ(reader.format(), 0);
    const auto lists = readAll(reader, std::filesystem::file_size(path));
    ASSERT_EQ(lists.size(), 1u);
    expectSameBytes(lists[0], written);
    EXPECT_EQ(delays(lists[0]), (Delays{0, 0, 0, 0, 0, 6000}));
}

TEST(LoMidiFileReader, RoundTripsDelaysThroughTicks) {
    TempDir dir;
    const auto path = dir / "a.mid";
    // Each delay comes back as the smallest whole millisecond count of the ticks it was turned
    // into; a first System Exclusive event of a later track adds nothing when time is reset.
    const std::int32_t ms[] = {0, 1, 20, 21, 499, 500, 777, 6000, 123456};
    LoMidiEventList first, second;
    for (std::size_t i = 0; i < std::size(ms); ++i) {
        first.push_back(sysEx(3 + i * 97, ms[i], static_cast<std::uint8_t>(i)));
        second.push_back(sysEx(300 - i * 7, ms[std::size(ms) - 1 - i]));
        if (i % 3 == 0) {
            first.push_back(event({0xFF, 0x01, static_cast<std::uint8_t>('a' + i)}, 900));
        }
    }
    {
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack(first, true);
        writer.writeTrack(second, false);
    }
    LoMidiFileReader reader(path);
    const auto lists = readAll(reader, std::filesystem::file_size(path));
    ASSERT_EQ(lists.size(), 2u);
    for (std::size_t t = 0; t < 2; ++t) {
        const LoMidiEventList& written = t == 0 ? first : second;
        expectSameBytes(lists[t], written);
        for (std::size_t i = 0; i < written.size(); ++i) {
            const std::int32_t expected =
                written[i].isMeta()
                    ? 0
                    : static_cast<std::int32_t>(ticksToMilliseconds(
                          millisecondsToTicks(static_cast<std::uint32_t>(written[i].delay()), 24,
                                              120),
                          24, 120));
            EXPECT_EQ(lists[t][i].delay(), expected) << "track " << t << " event " << i;
        }
    }
}

TEST(LoMidiFileReader, TurnsDeltaTimesIntoDelays) {
    TempDir dir;
    // Division 24: a first System Exclusive event with delta 29; a 1000-byte one right after the
    // transmission time of the previous (5 bytes: 1 tick); then 16 + 48 ticks after it; a tempo
    // event in between changes nothing.
    Bytes file{0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0, 24, 0x4D, 0x54, 0x72, 0x6B};
    Bytes track{29,   0xF0, 0x04, 0x01, 0x02, 0x03, 0xF7, // 5 bytes
                0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, // 60 beats per minute
                1,    0xF0, 0x87, 0x67};                  // 999 data bytes follow
    track.resize(track.size() + 998, 0x55);
    track.push_back(0xF7);
    for (std::uint8_t b : {64, 0xF0, 0x01, 0xF7, 0x00, 0xFF, 0x2F, 0x00}) {
        track.push_back(b);
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.push_back(static_cast<std::uint8_t>(track.size() >> shift));
    }
    file.insert(file.end(), track.begin(), track.end());
    writeFile(dir / "a.mid", file);

    LoMidiFileReader reader(dir / "a.mid");
    const auto lists = readAll(reader, file.size());
    ASSERT_EQ(lists.size(), 1u);
    ASSERT_EQ(lists[0].size(), 4u);
    EXPECT_EQ(lists[0][2].size(), 1000u);
    EXPECT_EQ(delays(lists[0]), (Delays{605, 0, 0, 1000}));
}

TEST(LoMidiFileReader, EmptyAndForeignFiles) {
    TempDir dir;
    { LoMidiFileWriter writer(dir / "empty.mid", 24, 120); }
    LoMidiFileReader empty(dir / "empty.mid");
    EXPECT_TRUE(empty.isMidiFile());
    EXPECT_EQ(empty.trackCount(), 1);
    EXPECT_TRUE(readAll(empty, 26).empty());

    LoMidiFileReader missing(dir / "missing.mid");
    EXPECT_FALSE(missing.isMidiFile());
    EXPECT_EQ(missing.trackCount(), 0);
    EXPECT_TRUE(readAll(missing, 0).empty());

    writeFile(dir / "text.mid", Bytes(40, 'x'));
    LoMidiFileReader text(dir / "text.mid");
    EXPECT_FALSE(text.isMidiFile());
    EXPECT_EQ(text.trackCount(), 0);
    EXPECT_EQ(text.division(), 0);
}

TEST(LoMidiFileReader, OpenParsesLikeTheConstructorButOnlyOnce) {
    TempDir dir;
    {
        LoMidiFileWriter writer(dir / "a.mid", 24, 120);
        writer.writeTrack({sysEx(10, 0)}, true);
        writer.writeTrack({sysEx(12, 0)}, true);
    }
    writeFile(dir / "b.mid", Bytes(20, 'x'));
    LoMidiFileReader reader;
    EXPECT_FALSE(reader.isMidiFile());
    reader.open(dir / "a.mid");
    EXPECT_TRUE(reader.isMidiFile());
    EXPECT_EQ(reader.trackCount(), 2);
    LoMidiEventList list;
    EXPECT_EQ(reader.readTrack(list).size(), 1u);
    reader.open(dir / "b.mid"); // refused: the stream fails and nothing more is read
    EXPECT_FALSE(reader.isMidiFile());
    EXPECT_TRUE(reader.readTrack(list).empty());
    EXPECT_TRUE(reader.readTrack(list).empty());
}

// Every cut of a bank file reads to an end, and what comes back is a prefix of each track.
TEST(LoMidiFileReader, FileCutAnywhereReadsToAnEnd) {
    TempDir dir;
    std::vector<LoMidiEventList> written{conductorEvents()};
    {
        LoMidiFileWriter writer(dir / "whole.mid", 24, 120);
        writer.writeTrack(written[0], true);
        for (std::uint8_t bank = 0; bank < 3; ++bank) {
            written.push_back(
                {event({0xFF, 0x03, 'B', bank}), sysEx(6, 0, bank), sysEx(150, 6000, bank)});
            writer.writeTrack(written.back(), true);
        }
    }
    const Bytes whole = readFile(dir / "whole.mid");
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        writeFile(dir / "cut.mid", Bytes(whole.begin(), whole.begin() + cut));
        LoMidiFileReader reader(dir / "cut.mid");
        const auto lists = readAll(reader, cut);
        ASSERT_LE(lists.size(), written.size()) << "cut at " << cut;
        for (std::size_t t = 0; t < lists.size(); ++t) {
            ASSERT_LE(lists[t].size(), written[t].size()) << "cut at " << cut;
            for (std::size_t i = 0; i < lists[t].size(); ++i) {
                EXPECT_EQ(lists[t][i].bytes, written[t][i].bytes)
                    << "cut at " << cut << " track " << t << " event " << i;
            }
        }
        if (cut == whole.size()) {
            EXPECT_EQ(lists.size(), written.size());
        }
    }
}

// The files of the malformed corpus, one defect each. Every one reads to an end; where the
// outcome is meaningful it is checked too.
struct CorpusCase {
    const char* file;
    bool midi;
    std::vector<std::size_t> listSizes;
    Delays firstDelays; // checked when not empty
};

TEST(LoMidiFileReader, MalformedFilesReadToAnEnd) {
    const std::filesystem::path folder =
        std::filesystem::path(VANETO_TEST_DATA_DIR) / "midi" / "invalid";
    constexpr std::int32_t longest = std::numeric_limits<std::int32_t>::max();
    const CorpusCase cases[] = {
        {"empty-file.mid", false, {}, {}},
        {"header-cut-short.mid", true, {}, {}},
        {"header-without-tracks.mid", true, {}, {}},
        {"header-length-ffffffff.mid", true, {1}, {}},
        {"division-zero.mid", true, {2}, {0, 0}},
        {"track-count-larger-than-tracks.mid", true, {1}, {}},
        {"track-without-end-of-track.mid", true, {2}, {}},
        {"garbage-after-last-track.mid", true, {1}, {}},
        {"delta-never-ends.mid", true, {}, {}},
        {"sysex-length-never-ends.mid", true, {}, {}},
        {"sysex-length-200mb-in-small-file.mid", true, {1}, {}},
        {"sysex-length-past-end-of-file.mid", true, {1}, {}},
        {"sysex-without-f7.mid", true, {2}, {}},
        {"meta-length-past-end-of-file.mid", true, {}, {}},
        {"meta-type-cut-off.mid", true, {1}, {}},
        {"file-cut-inside-delta.mid", true, {1}, {}},
        {"running-status-channel-events.mid", true, {}, {}},
        {"delta-shorter-than-transmission-time.mid", true, {2}, {0, 0}},
        {"huge-delta-times.mid", true, {2}, {longest, longest}},
    };
    std::size_t checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        LoMidiFileReader reader(entry.path());
        const auto lists = readAll(reader, entry.file_size());
        for (const CorpusCase& c : cases) {
            if (name != c.file) {
                continue;
            }
            ++checked;
            EXPECT_EQ(reader.isMidiFile(), c.midi);
            std::vector<std::size_t> sizes;
            for (const auto& list : lists) {
                sizes.push_back(list.size());
            }
            EXPECT_EQ(sizes, c.listSizes);
            if (!c.firstDelays.empty() && !lists.empty()) {
                EXPECT_EQ(delays(lists[0]), c.firstDelays);
            }
        }
    }
    EXPECT_EQ(checked, std::size(cases)) << "a corpus file named in the table is missing";
}

TEST(LoMidiFileReader, FilesBeyond32BitPositionsAreNotRead) {
    TempDir dir;
    const auto path = dir / "huge.mid";
    {
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack({sysEx(10, 0)}, true);
    }
    std::error_code error;
    std::filesystem::resize_file(path, (std::uintmax_t{1} << 31) + 100, error); // sparse
    if (error) {
        GTEST_SKIP() << "no sparse file here: " << error.message();
    }
    LoMidiFileReader reader(path);
    EXPECT_FALSE(reader.isMidiFile());
    LoMidiEventList list;
    EXPECT_TRUE(reader.readTrack(list).empty());
}

TEST(LoMidiFileReader, LengthBeyondTheFileAllocatesNothingLarge) {
    const auto path = std::filesystem::path(VANETO_TEST_DATA_DIR) / "midi" / "invalid" /
                      "sysex-length-200mb-in-small-file.mid";
    LoMidiFileReader reader(path);
    LoMidiEventList list;
    reader.readTrack(list);
    LoMidiEvent event;
    reader.readEvent(event);
    EXPECT_TRUE(event.empty());
    EXPECT_LT(event.bytes.capacity(), 1u << 20);
}

} // namespace
