#include "device/DvVaneto.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Bytes = LoBuffer::Bytes;

LoMidiEvent event(Bytes bytes, std::int32_t delay = 0) {
    return LoMidiEvent(bytes.cbegin(), bytes.cend(), delay);
}

// A data message for bank 5 carrying the given data bytes.
LoMidiEvent dataMessage(const Bytes& data, std::uint8_t commandByte = 0x20) {
    Bytes bytes = {0xF0, 0x31, 0x45, 0x66, commandByte};
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(0xF7);
    return event(bytes, 6000);
}

const LoMidiEvent announce = event({0xF0, 0x31, 0x0D, 0x79, 0x00, 0xF7});

const std::vector<std::int16_t>& ramp() {
    static const std::vector<std::int16_t> table = [] {
        std::vector<std::int16_t> t(DvFactoryTable::valueCount);
        for (std::size_t i = 0; i < t.size(); ++i) {
            t[i] = static_cast<std::int16_t>(i * 31 + i / 65536);
        }
        return t;
    }();
    return table;
}

TEST(DvVanetoEncoding, SplitsEachByteIntoTwoSevenBitBytesAndBack) {
    Bytes split;
    const Bytes in = {0x00, 0x7F, 0x80, 0xFF, 0x24};
    DvVaneto::split7(in, split);
    EXPECT_EQ(split, (Bytes{0, 0, 0, 0x7F, 1, 0, 1, 0x7F, 0, 0x24}));
    Bytes merged;
    split.push_back(0x01); // an odd byte at the end is ignored
    DvVaneto::merge7(split, merged);
    EXPECT_EQ(merged, in);
}

TEST(DvVanetoEncoding, BankDumpIsAnnounceThenDataWithTheWorkedValueEncodings) {
    std::vector<std::int16_t> table(DvFactoryTable::valueCount, 0);
    const std::int16_t values[] = {0, 1, -1, 32767, -32768, 804};
    std::copy(std::begin(values), std::end(values), table.begin() + 2 * 65536);
    const DvVaneto store(table);
    const LoMidiEventList dump = store.bankDump(2, 9);
    ASSERT_EQ(dump.size(), 2u);
    EXPECT_EQ(dump[0].bytes, (Bytes{0xF0, 0x31, 0x0D, 0x79, 0x02, 0xF7}));
    EXPECT_EQ(dump[0].delay(), 0);
    const Bytes& data = dump[1].bytes;
    ASSERT_EQ(data.size(), 262150u);
    EXPECT_EQ(dump[1].delay(), 6000);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 5), (Bytes{0xF0, 0x31, 0x42, 0x66, 0x29}));
    EXPECT_EQ(data.back(), 0xF7);
    const Bytes expected = {0, 0,    0, 0,    0, 1, 0, 0, 1, 0x7F, 1, 0x7F,
                            1, 0x7F, 0, 0x7F, 0, 0, 1, 0, 0, 0x24, 0, 0x03};
    EXPECT_EQ(Bytes(data.begin() + 5, data.begin() + 5 + 24), expected);
    EXPECT_TRUE(std::all_of(data.begin() + 29, data.end() - 1, [](auto b) { return b == 0; }));

    EXPECT_EQ(store.bankDump(6, 0x1F)[1][4], 0x2F); // only the channel's low nibble
    EXPECT_TRUE(store.bankDump(7, 0).empty());
}

TEST(DvVanetoEncoding, MetaEventsCarryNamesOrNothing) {
    DvVaneto store(ramp());
    store.setBankName("Drums", 4);
    store.setSampleName("Kick", 4, 0);
    EXPECT_EQ(store.metaEvent(0x03, 4).bytes, (Bytes{0xFF, 0x03, 'D', 'r', 'u', 'm', 's'}));
    EXPECT_EQ(store.metaEvent(0x7F, 4).bytes,
              (Bytes{0xFF, 0x7F, 0x31, 0x00, 0x66, 0x00, 0x4B, 0x69, 0x63, 0x6B, 0x00}));
    for (int b = 0; b < 7; ++b) {
        const LoMidiEvent instrument = store.metaEvent(0x04, b);
        EXPECT_EQ(std::string(instrument.bytes.begin() + 2, instrument.bytes.end()),
                  "Tiruk Vaneto");
        EXPECT_EQ(instrument[1], 0x04);
    }
    EXPECT_TRUE(store.metaEvent(0x05, 0).empty());
    EXPECT_TRUE(store.metaEvent(0x03, 7).empty());
    EXPECT_EQ(store.metaEvent(0x03, 0).delay(), 0);
}

TEST(DvVanetoEncoding, IdentifyBankNamesTheDataMessagesBankOrWhatIsWrong) {
    const DvVaneto store(ramp());
    const LoMidiEvent name = event({0xFF, 0x03, 'x'});
    struct Case {
        const char* what;
        LoMidiEventList list;
        int expected;
    };
    const std::vector<Case> cases = {
        {"empty", {}, -1},
        {"names only", {name, event({0xFF, 0x04})}, -1},
        {"bank 5", {name, announce, dataMessage({})}, 5},
        {"bank 63", {announce, event({0xF0, 0x31, 0x7F, 0x66, 0x2A, 0xF7})}, 63},
        {"not an announce", {event({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7})}, -2},
        {"announce too short", {event({0xF0, 0x31, 0x0D}), dataMessage({})}, -2},
        {"announce last", {name, announce}, -3},
        {"wrong nibble", {announce, dataMessage({}, 0x30)}, -3},
        {"data too short", {announce, event({0xF0, 0x31, 0x45, 0x66})}, -3},
        {"meta between", {announce, name, dataMessage({})}, -3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(store.identifyBank(c.list), c.expected) << c.what;
    }
}

TEST(DvVanetoEncoding, LoadingASavedTrackIntoAnotherBankCopiesItBitForBit) {
    DvVaneto store(ramp());
    store.setBankName("Strings", 1);
    store.setSampleName("Cello", 1, 0);
    LoMidiEventList track = {store.metaEvent(0x03, 1), store.metaEvent(0x04, 1),
                             store.metaEvent(0x7F, 1)};
    const LoMidiEventList dump = store.bankDump(1, 0);
    track.insert(track.end(), dump.begin(), dump.end());
    ASSERT_EQ(store.identifyBank(track), 1);
    ASSERT_TRUE(store.loadBank(track, 4));
    EXPECT_EQ(store.bankName(4), "Strings");
    EXPECT_EQ(store.sampleName(4, 0), "Cello");
    EXPECT_EQ(store.sampleName(4, 1), "Sample 2 (in Bank 5)");
    EXPECT_TRUE(std::ranges::equal(store.bankData(4), store.bankData(1)));
    EXPECT_FALSE(store.loadBank(track, 7));
}

TEST(DvVanetoEncoding, EveryValueSurvivesEncodingAndLoading) {
    std::vector<std::int16_t> table(DvFactoryTable::valueCount, 0);
    for (int v = -32768; v <= 32767; ++v) {
        table[static_cast<std::size_t>(v + 32768)] = static_cast<std::int16_t>(v);
    }
    DvVaneto store(table);
    const std::vector<std::int16_t> original(store.bankData(0).begin(), store.bankData(0).end());
    ASSERT_TRUE(store.loadBank(store.bankDump(0, 3), 6));
    EXPECT_TRUE(std::ranges::equal(store.bankData(6), original));
    EXPECT_EQ(store.bankData(6)[0], -32768);
    EXPECT_EQ(store.bankData(6)[32767], -1);
}

TEST(DvVanetoEncoding, ShortOddAndOverlongDataFillExactlyOneBank) {
    DvVaneto store(ramp());
    Bytes data(4 * 1000 + 2, 0);
    for (std::size_t i = 0; i < 4000; i += 4) {
        data[i + 1] = 0x24; // 36
        data[i + 3] = 0x03; // 3 * 256
    }
    data[4000] = 0x01; // a half value: ignored
    ASSERT_TRUE(store.loadBank({announce, dataMessage(data)}, 3));
    auto bank = store.bankData(3);
    ASSERT_EQ(bank.size(), 65536u);
    EXPECT_EQ(bank[999], 804);
    EXPECT_TRUE(std::all_of(bank.begin() + 1000, bank.end(), [](auto v) { return v == 0; }));

    ASSERT_TRUE(store.loadBank({announce, dataMessage(Bytes(4 * 70000, 0x01))}, 3));
    bank = store.bankData(3);
    ASSERT_EQ(bank.size(), 65536u);
    EXPECT_EQ(bank[65535], 0x8181 - 65536);

    // still a full bank to write into and to send
    const std::vector<std::int16_t> one(70000, 100);
    ASSERT_TRUE(store.loadBank({announce, dataMessage({})}, 3));
    store.insertSample(one.data(), one.size(), 3, 0);
    EXPECT_EQ(store.bankData(3)[65000], 100);
    EXPECT_EQ(store.bankDump(3, 0)[1].size(), 262150u);
}

TEST(DvVanetoEncoding, NamesLoadUpToNulOrEndAndTheLastEventWins) {
    DvVaneto store(ramp());
    const LoMidiEventList list = {
        event({0xFF, 0x03, 'O', 'l', 'd'}),
        event({0xFF, 0x7F, 0x31, 0x00, 0x66, 0x00, 'A', 0, 'B', 0, 'C', 0}),
        event({0xFF, 0x03, 'N', 'e', 'w', 0, 'x'}),
        event({0xFF, 0x7F, 0x31, 0x00, 0x66, 0x00, 'K', 'i', 'c', 'k', 0, 0, 'S', 'n'}),
        announce,
        dataMessage({}),
    };
    ASSERT_TRUE(store.loadBank(list, 2));
    EXPECT_EQ(store.bankName(2), "New");
    EXPECT_EQ(store.sampleName(2, 0), "Kick");
    EXPECT_EQ(store.sampleName(2, 1), "");
    EXPECT_EQ(store.sampleName(2, 2), "Sn"); // no closing 00
    EXPECT_EQ(store.sampleName(2, 3), "Sample 4 (in Bank 3)");

    Bytes many = {0xFF, 0x7F, 0x31, 0x00, 0x66, 0x00};
    for (int i = 0; i < 300; ++i) {
        many.insert(many.end(), {'n', 0});
    }
    ASSERT_TRUE(store.loadBank({event(many), announce, dataMessage({})}, 2));
    EXPECT_EQ(store.sampleName(2, 255), "n");
}

TEST(DvVanetoEncoding, RejectedOrDatalessListsChangeNothing) {
    DvVaneto store(ramp());
    const std::vector<std::int16_t> before(store.bankData(0).begin(), store.bankData(0).end());
    const LoMidiEvent rename = event({0xFF, 0x03, 'Z'});
    EXPECT_FALSE(store.loadBank({rename, announce}, 0));
    EXPECT_FALSE(store.loadBank({rename, event({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7})}, 0));
    EXPECT_TRUE(store.loadBank({rename}, 0));
    EXPECT_EQ(store.bankName(0), "Bank 1");
    EXPECT_TRUE(std::ranges::equal(store.bankData(0), before));
}

} // namespace
