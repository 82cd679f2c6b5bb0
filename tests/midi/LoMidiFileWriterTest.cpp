#include "midi/LoMidiFileWriter.h"
#include "midi/MidiTiming.h"

#include "MidiTestFiles.h"

namespace {

using namespace miditest;
using Ticks = std::vector<std::uint32_t>;

const Bytes emptyFile{'M', 'T', 'h', 'd', 0,   0, 0, 6, 0, 0, 0,    1,    0,
                      24,  'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0};

// The file on disk is complete right now: the header announces the chunks that are there, with
// the format that goes with their number, and every track's events end with end-of-track exactly
// at the end of its chunk.
void expectComplete(const Bytes& file, std::uint16_t division) {
    const auto all = chunks(file);
    ASSERT_GE(all.size(), 2u);
    const Bytes& header = all[0].second;
    const std::size_t tracks = all.size() - 1;
    EXPECT_EQ(all[0].first, "MThd");
    EXPECT_EQ(header, (Bytes{0, tracks > 1, std::uint8_t(tracks >> 8), std::uint8_t(tracks),
                             std::uint8_t(division >> 8), std::uint8_t(division)}));
    std::size_t total = 14;
    for (std::size_t t = 1; t < all.size(); ++t) {
        std::size_t consumed = 0;
        const auto events = trackEvents(all[t].second, &consumed);
        EXPECT_EQ(all[t].first, "MTrk");
        EXPECT_EQ(consumed, all[t].second.size()) << "track " << t;
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().bytes, (Bytes{0xFF, 0x2F})) << "track " << t;
        total += 8 + all[t].second.size();
    }
    EXPECT_EQ(total, file.size()) << "a chunk claims more than the file holds";
}

Ticks sysExDeltas(const Bytes& track) {
    Ticks deltas;
    for (const RawEvent& e : trackEvents(track)) {
        if (e.bytes[0] == 0xF0) {
            deltas.push_back(e.delta);
        }
    }
    return deltas;
}

TEST(MidiTiming, RoundsUpAndStaysDefined) {
    // input, millisecondsToTicks, bytesToTicks, ticksToMilliseconds at division 24, tempo 120
    const std::uint32_t cases[][4] = {{0, 0, 0, 0},
                                      {20, 1, 1, 417},
                                      {21, 2, 1, 438},
                                      {66, 4, 2, 1375},
                                      {29, 2, 1, 605},
                                      {6000, 288, 93, 125000},
                                      {262150, 12584, 4027, 5461459}};
    for (const auto& c : cases) {
        EXPECT_EQ(millisecondsToTicks(c[0], 24, 120), c[1]) << c[0];
        EXPECT_EQ(bytesToTicks(c[0], 24, 120), c[2]) << c[0];
        EXPECT_EQ(ticksToMilliseconds(c[0], 24, 120), c[3]) << c[0];
    }
    EXPECT_EQ(bytesToTicks(65, 24, 120), 1u);
    for (std::uint16_t tempo : {0, 120}) {
        EXPECT_EQ(millisecondsToTicks(1000, 0, tempo) + bytesToTicks(1000, 0, tempo) +
                      ticksToMilliseconds(1000, 0, tempo) + millisecondsToTicks(1000, 24, 0),
                  0u);
    }
    EXPECT_EQ(ticksToMilliseconds(0xFFFFFFFF, 1, 1), 0xFFFFFFFFu) << "saturates";
    EXPECT_EQ(millisecondsToTicks(0x80000000u, 2, 120), 0u) << "the product wraps in 32 bits";
}

TEST(LoMidiFileWriter, StartsCompleteAndAddsTracksOnlyAfterEvents) {
    TempDir dir;
    { LoMidiFileWriter fresh(dir / "fresh.mid", 24, 120); }
    EXPECT_EQ(readFile(dir / "fresh.mid"), emptyFile);

    const auto path = dir / "a.mid";
    LoMidiFileWriter writer;
    writer.open(path, 24, 120);
    writer.writeTrack({}, true);
    EXPECT_EQ(readFile(path), emptyFile) << "an empty list changes nothing";
    writer.writeTrack({event({0xFF, 0x03, 0x41, 0x42}, 1000)}, true);
    Bytes expected(emptyFile.begin(), emptyFile.begin() + 18);
    for (std::uint8_t b : {0, 0, 0, 10, 0, 0xFF, 3, 2, 0x41, 0x42, 0, 0xFF, 0x2F, 0}) {
        expected.push_back(b);
    }
    EXPECT_EQ(readFile(path), expected);

    const auto trackSizes = [&] {
        std::vector<std::size_t> sizes;
        for (const auto& [id, data] : chunks(readFile(path))) {
            if (id == "MTrk") {
                sizes.push_back(trackEvents(data).size() - 1);
            }
        }
        return sizes;
    };
    using Sizes = std::vector<std::size_t>;
    writer.writeTrack({}, true);
    EXPECT_EQ(trackSizes(), (Sizes{1, 0}));
    EXPECT_EQ(writer.trackCount(), 2);
    writer.writeTrack({event({0xFF, 1, 'b'}), event({0xFF, 0x2F})}, true);
    EXPECT_EQ(trackSizes(), (Sizes{1, 1})) << "end-of-track is not written";
    writer.writeTrack({event({0xFF, 1, 'c'})}, true);
    EXPECT_EQ(trackSizes(), (Sizes{1, 1, 1}));
    expectComplete(readFile(path), 24);
}

TEST(LoMidiFileWriter, SpacesSysExByDelayAndTransmissionTime) {
    TempDir dir;
    for (bool keep : {true, false}) {
        const auto path = dir / "a.mid";
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack({event({0xFF, 1, 'x'}, 700), sysEx(1000, 600), sysEx(1000, 0)}, true);
        EXPECT_EQ(writer.totalTicks(), 61);
        writer.writeTrack({sysEx(6, 0), sysEx(10, 1000), sysEx(6, -5000)}, keep);
        writer.close();
        const auto all = chunks(readFile(path));
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(sysExDeltas(all[1].second), (Ticks{29, 16}));
        EXPECT_EQ(sysExDeltas(all[2].second), (Ticks{keep ? 61u : 0u, 49, 1}));
    }
}

TEST(LoMidiFileWriter, BankFilesCarryTheTransferTiming) {
    TempDir dir;
    LoMidiFileWriter all(dir / "all.mid", 24, 120);
    all.writeTrack(conductorEvents(), true);
    for (std::uint8_t bank = 0; bank < 7; ++bank) {
        all.writeTrack(bankEvents(bank), true);
    }
    LoMidiFileWriter single(dir / "one.mid", 24, 120);
    LoMidiEventList list = conductorEvents();
    for (const LoMidiEvent& e : bankEvents(3)) {
        list.push_back(e);
    }
    single.writeTrack(list, true);
    all.close();
    single.close();
    EXPECT_FALSE(all.fail() || single.fail()) << "a good write leaves the stream good";

    const Bytes allFile = readFile(dir / "all.mid");
    expectComplete(allFile, 24);
    const auto allChunks = chunks(allFile);
    ASSERT_EQ(allChunks.size(), 9u);
    for (std::uint32_t n = 1; n <= 7; ++n) {
        EXPECT_EQ(sysExDeltas(allChunks[n + 1].second), (Ticks{4316 * (n - 1), 289})) << n;
    }
    EXPECT_EQ(sysExDeltas(chunks(readFile(dir / "one.mid"))[1].second), (Ticks{0, 289}));
}

TEST(LoMidiFileWriter, FileIsCompleteAfterEveryEvent) {
    TempDir dir;
    const auto path = dir / "a.mid";
    LoMidiFileWriter writer(path, 96, 120);
    // Delta times and lengths of one to four bytes; events without a file form are left out.
    const LoMidiEventList list{sysEx(3, 0),         sysEx(130, 2000),    event({0xFF, 0x2F}),
                               sysEx(20000, 90000), sysEx(5, 100000000), event({0xFF, 0x7F}),
                               LoMidiEvent(0),      event({0xFF}),       sysEx(2, 0)};
    for (int track = 0; track < 3 && !HasFailure(); ++track) {
        writer.writeTrack({}, track != 1);
        for (std::size_t i = 0; i < list.size() && !HasFailure(); ++i) {
            writer.writeEvent(list[i]);
            expectComplete(readFile(path), 96);
        }
    }
}

TEST(LoMidiFileWriter, WritesNothingWhereItCannotOrMayNot) {
    TempDir dir;
    LoMidiFileWriter nowhere(dir / "missing" / "a.mid", 24, 120);
    nowhere.writeTrack(bankEvents(0), true);
    EXPECT_TRUE(nowhere.fail());

    LoMidiFileWriter writer(dir / "a.mid", 24, 120);
    writer.open(dir / "b.mid", 48, 120); // refused: a file is already open
    writer.writeTrack({sysEx(10, 0)}, true);
    writer.close();
    EXPECT_EQ(readFile(dir / "a.mid"), emptyFile);
    EXPECT_FALSE(std::filesystem::exists(dir / "b.mid"));
}

} // namespace
