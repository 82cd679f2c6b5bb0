#include "midi/LoMidiFileWriter.h"
#include "midi/LoVarlength.h"

#include "MidiTestFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace miditest;

const Bytes emptyFile{0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00,
                      0x18, 0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x04, 0x00, 0xFF, 0x2F, 0x00};

// Checks that the file on disk is a complete file right now: the header announces as many track
// chunks as there are, with the format that goes with their number, and every chunk's length
// covers its events and end-of-track exactly.
void expectComplete(const Bytes& file, std::uint16_t division = 24) {
    const auto all = chunks(file);
    ASSERT_GE(all.size(), 2u);
    ASSERT_EQ(all[0].id, "MThd");
    ASSERT_EQ(all[0].length, 6u);
    const std::size_t tracks = all.size() - 1;
    EXPECT_EQ(be16(all[0].data, 0), tracks == 1 ? 0 : 1);
    EXPECT_EQ(be16(all[0].data, 2), tracks);
    EXPECT_EQ(be16(all[0].data, 4), division);
    std::size_t total = 14;
    for (std::size_t i = 1; i < all.size(); ++i) {
        const Chunk& c = all[i];
        EXPECT_EQ(c.id, "MTrk");
        ASSERT_EQ(c.data.size(), c.length) << "track " << i << " claims more than the file holds";
        ASSERT_GE(c.length, 4u);
        EXPECT_EQ(Bytes(c.data.end() - 4, c.data.end()), (Bytes{0x00, 0xFF, 0x2F, 0x00}));
        std::size_t walked = 0;
        for (const RawEvent& e : trackEvents(c.data)) {
            walked += LoVarlength(e.delta).size() + e.bytes.size() +
                      LoVarlength(
                          static_cast<std::uint32_t>(e.bytes.size() - (e.bytes[0] == 0xFF ? 2 : 1)))
                          .size();
        }
        EXPECT_EQ(walked, c.length) << "events of track " << i << " do not fill its chunk";
        total += 8 + c.length;
    }
    EXPECT_EQ(total, file.size());
}

std::vector<std::uint32_t> sysExDeltas(const Chunk& track) {
    std::vector<std::uint32_t> deltas;
    for (const RawEvent& e : trackEvents(track.data)) {
        if (e.bytes[0] == 0xF0) {
            deltas.push_back(e.delta);
        }
    }
    return deltas;
}

TEST(MidiTiming, RoundsUpAtDivision24Tempo120) {
    struct Case {
        std::uint32_t in, msToTicks, bytesTicks, ticksToMs;
    };
    const Case cases[] = {
        {0, 0, 0, 0},        {20, 1, 1, 417},
        {21, 2, 1, 438},     {65, 4, 1, 1355},
        {66, 4, 2, 1375},    {29, 2, 1, 605},
        {500, 24, 8, 10417}, {6000, 288, 93, 125000},
        {6, 1, 1, 125},      {262150, 12584, 4027, 5461459},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(millisecondsToTicks(c.in, 24, 120), c.msToTicks) << c.in;
        EXPECT_EQ(bytesToTicks(c.in, 24, 120), c.bytesTicks) << c.in;
        EXPECT_EQ(ticksToMilliseconds(c.in, 24, 120), c.ticksToMs) << c.in;
    }
}

TEST(MidiTiming, DegenerateInputsStayDefined) {
    for (std::uint16_t tempo : {0, 120}) {
        EXPECT_EQ(millisecondsToTicks(1000, 0, tempo), 0u);
        EXPECT_EQ(bytesToTicks(1000, 0, tempo), 0u);
        EXPECT_EQ(ticksToMilliseconds(1000, 0, tempo), 0u);
    }
    EXPECT_EQ(millisecondsToTicks(1000, 24, 0), 0u);
    EXPECT_EQ(ticksToMilliseconds(1000, 24, 65535), 0u);
    EXPECT_EQ(ticksToMilliseconds(0xFFFFFFFF, 1, 1), 0xFFFFFFFFu) << "saturates, no overflow";
    // The product with the division wraps in 32 bits before the division.
    EXPECT_EQ(millisecondsToTicks(0x80000000u, 2, 120), 0u);
    EXPECT_EQ(bytesToTicks(0x80000000u, 2, 120), 0u);
}

TEST(LoMidiFileWriter, StartsWithOneEmptyTrack) {
    TempDir dir;
    {
        LoMidiFileWriter writer(dir / "a.mid", 24, 120);
        EXPECT_EQ(writer.trackCount(), 1);
    }
    EXPECT_EQ(readFile(dir / "a.mid"), emptyFile);

    LoMidiFileWriter later;
    later.open(dir / "b.mid", 24, 120);
    later.close();
    EXPECT_EQ(readFile(dir / "b.mid"), emptyFile);
}

TEST(LoMidiFileWriter, MetaEventsGetDeltaZeroWhateverTheirDelay) {
    TempDir dir;
    {
        LoMidiFileWriter writer(dir / "a.mid", 24, 120);
        writer.writeTrack({event({0xFF, 0x03, 0x41, 0x42}, 1000)}, true);
    }
    Bytes expected(emptyFile.begin(), emptyFile.begin() + 18);
    for (std::uint8_t b :
         {0x00, 0x00, 0x00, 0x0A, 0x00, 0xFF, 0x03, 0x02, 0x41, 0x42, 0x00, 0xFF, 0x2F, 0x00}) {
        expected.push_back(b);
    }
    EXPECT_EQ(readFile(dir / "a.mid"), expected);
}

TEST(LoMidiFileWriter, OpensANewTrackOnlyAfterTheCurrentOneGotAnEvent) {
    TempDir dir;
    const auto path = dir / "a.mid";
    LoMidiFileWriter writer(path, 24, 120);
    const auto trackSizes = [&] {
        std::vector<std::size_t> sizes;
        for (const Chunk& c : chunks(readFile(path))) {
            if (c.id == "MTrk") {
                sizes.push_back(trackEvents(c.data).size());
            }
        }
        return sizes;
    };
    using Sizes = std::vector<std::size_t>;

    writer.writeTrack({}, true);
    EXPECT_EQ(readFile(path), emptyFile);
    writer.writeTrack({event({0xFF, 0x01, 'a'})}, true);
    EXPECT_EQ(trackSizes(), (Sizes{2}));
    writer.writeTrack({}, true);
    EXPECT_EQ(trackSizes(), (Sizes{2, 1}));
    EXPECT_EQ(writer.trackCount(), 2);
    writer.writeTrack({event({0xFF, 0x01, 'b'}), event({0xFF, 0x01, 'c'})}, true);
    EXPECT_EQ(trackSizes(), (Sizes{2, 3}));
    // An end-of-track event is not written, but the track counts as used.
    writer.writeTrack({event({0xFF, 0x2F})}, true);
    EXPECT_EQ(trackSizes(), (Sizes{2, 3, 1}));
    writer.writeTrack({event({0xFF, 0x01, 'd'})}, true);
    EXPECT_EQ(trackSizes(), (Sizes{2, 3, 1, 2}));
    expectComplete(readFile(path));
}

TEST(LoMidiFileWriter, SpacesSysExByDelayAndTransmissionTime) {
    TempDir dir;
    for (bool keep : {true, false}) {
        const auto path = dir / (keep ? "keep.mid" : "reset.mid");
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack({event({0xFF, 0x01, 'x'}, 700), sysEx(1000, 600), sysEx(1000, 0)}, true);
        EXPECT_EQ(writer.totalTicks(), 61);
        writer.writeTrack({sysEx(6, 0), sysEx(10, 1000)}, keep);
        EXPECT_EQ(writer.totalTicks(), (keep ? 61 : 0) + 1 + 48 + 1);
        writer.close();

        const auto all = chunks(readFile(path));
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(sysExDeltas(all[1]), (std::vector<std::uint32_t>{29, 16}));
        EXPECT_EQ(sysExDeltas(all[2]), (std::vector<std::uint32_t>{keep ? 61u : 0u, 49}));
    }
}

TEST(LoMidiFileWriter, BankFilesGetTheirTransferTiming) {
    TempDir dir;
    {
        LoMidiFileWriter writer(dir / "all.mid", 24, 120);
        writer.writeTrack(conductorEvents(), true);
        for (std::uint8_t bank = 0; bank < 7; ++bank) {
            writer.writeTrack(bankEvents(bank), true);
        }
        LoMidiFileWriter single(dir / "one.mid", 24, 120);
        LoMidiEventList list = conductorEvents();
        for (const LoMidiEvent& e : bankEvents(3)) {
            list.push_back(e);
        }
        single.writeTrack(list, true);
        single.close();
        writer.close();
        EXPECT_FALSE(single.fail());
        EXPECT_FALSE(writer.fail()) << "a good write must leave the stream good";
    }
    const Bytes all = readFile(dir / "all.mid");
    expectComplete(all);
    const auto allChunks = chunks(all);
    ASSERT_EQ(allChunks.size(), 9u);
    for (std::uint32_t n = 1; n <= 7; ++n) {
        EXPECT_EQ(sysExDeltas(allChunks[n + 1]), (std::vector<std::uint32_t>{4316 * (n - 1), 289}))
            << "bank track " << n;
    }
    const Bytes one = readFile(dir / "one.mid");
    expectComplete(one);
    EXPECT_EQ(sysExDeltas(chunks(one)[1]), (std::vector<std::uint32_t>{0, 289}));
}

TEST(LoMidiFileWriter, FileIsCompleteAfterEveryEvent) {
    TempDir dir;
    const auto path = dir / "a.mid";
    LoMidiFileWriter writer(path, 96, 120);
    // Delays and sizes chosen so that delta times and lengths take one to four bytes.
    const LoMidiEventList list{sysEx(3, 0),         sysEx(130, 2000),    event({0xFF, 0x2F}),
                               sysEx(20000, 90000), sysEx(5, 100000000), event({0xFF, 0x7F}),
                               LoMidiEvent(0),      event({0xFF}),       sysEx(2, 0)};
    for (int track = 0; track < 3; ++track) {
        writer.writeTrack({}, track != 1);
        for (const LoMidiEvent& e : list) {
            writer.writeEvent(e);
            expectComplete(readFile(path), 96);
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

TEST(LoMidiFileWriter, WritesNothingWhereItCannotOrMayNot) {
    TempDir dir;
    LoMidiFileWriter nowhere(dir / "missing" / "a.mid", 24, 120);
    nowhere.writeTrack(bankEvents(0), true);
    EXPECT_TRUE(nowhere.fail());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    // A second open on a writer that has a file refuses and leaves both files alone.
    LoMidiFileWriter writer(dir / "a.mid", 24, 120);
    writer.open(dir / "b.mid", 48, 120);
    writer.writeTrack({sysEx(10, 0)}, true);
    writer.close();
    EXPECT_EQ(readFile(dir / "a.mid"), emptyFile);
    EXPECT_FALSE(std::filesystem::exists(dir / "b.mid"));
}

TEST(LoMidiFileWriter, NegativeDelayCountsAsZero) {
    TempDir dir;
    {
        LoMidiFileWriter writer(dir / "a.mid", 24, 120);
        writer.writeTrack({sysEx(6, -5000), sysEx(6, -1)}, true);
    }
    EXPECT_EQ(sysExDeltas(chunks(readFile(dir / "a.mid"))[1]), (std::vector<std::uint32_t>{0, 1}));
}

} // namespace
