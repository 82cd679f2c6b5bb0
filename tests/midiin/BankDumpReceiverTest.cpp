// The receiving end on a simulated input: bank dumps as a MIDI port hands them over, in pieces
// of any size, with whatever else a cable carries between and inside them.

#include "midiin/BankDumpReceiver.h"
#include "device/DvVaneto.h"
#include "midiin/LoopbackProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A ramp with the extremes in it.
std::vector<std::int16_t> rampValues(std::int16_t seed) {
    std::vector<std::int16_t> values(DvVaneto::valuesPerBank);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::int16_t>(i * seed);
    }
    values[1] = -32768;
    values[2] = 32767;
    return values;
}

// The dump of a bank holding rampValues(seed).
Bytes dumpOf(int bank, std::int16_t seed = 7) {
    DvVaneto sender;
    sender.writeValues(bank, 0, rampValues(seed));
    Bytes bytes;
    for (const LoMidiEvent& event : sender.bankDump(bank, 3)) {
        bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.end());
    }
    return bytes;
}

std::vector<std::int16_t> valuesOf(const DvVaneto& store, int bank) {
    const auto data = store.bankData(bank);
    return {data.begin(), data.end()};
}

// Hands the bytes over in pieces of random size (1 to 700 bytes), one millisecond apart.
void feedInPieces(BankDumpReceiver& receiver, const Bytes& bytes, unsigned seed) {
    std::mt19937 random(seed);
    std::size_t at = 0;
    std::int64_t time = 0;
    while (at < bytes.size()) {
        const std::size_t piece = std::min<std::size_t>(1 + random() % 700, bytes.size() - at);
        receiver.feed({bytes.data() + at, piece}, time += 1000);
        at += piece;
    }
}

TEST(BankDumpReceiverTest, ABankInPiecesAmongOtherTrafficArrivesWhole) {
    Bytes cable = {0xB0, 0x7B, 0x00, 0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7, 0x90, 0x3C, 0x40};
    Bytes dump = dumpOf(4);
    // Clock and active sensing may come anywhere, also inside a message.
    dump.insert(dump.begin() + 100000, 0xF8);
    dump.insert(dump.begin() + 3, 0xFE);
    cable.insert(cable.end(), dump.begin(), dump.end());

    DvVaneto store;
    BankDumpReceiver receiver(store);
    feedInPieces(receiver, cable, 1);
    receiver.end();

    ASSERT_EQ(receiver.banks().size(), 1u);
    const BankDumpReceiver::Bank& bank = receiver.banks()[0];
    EXPECT_TRUE(bank.whole) << BankDumpReceiver::describe(bank);
    EXPECT_EQ(bank.bank, 4);
    EXPECT_EQ(bank.announced, 4);
    EXPECT_EQ(bank.values, 65536u);
    EXPECT_EQ(receiver.foreignMessages(), 1u);
    EXPECT_EQ(receiver.wholeBanks(), std::vector<int>{4});
    EXPECT_EQ(valuesOf(store, 4), rampValues(7));
    const DvVaneto factory;
    EXPECT_EQ(valuesOf(store, 0), valuesOf(factory, 0)) << "another bank changed";
    EXPECT_NE(BankDumpReceiver::describe(bank).find("bank 5: whole, 65536 values, 262150 bytes"),
              std::string::npos);
}

TEST(BankDumpReceiverTest, ALostByteOrACutMessageDamagesTheBankAndLoadsNothing) {
    DvVaneto store;
    const std::vector<std::int16_t> before = valuesOf(store, 2);
    BankDumpReceiver receiver(store);

    Bytes lost = dumpOf(2);
    lost.erase(lost.begin() + 5000);
    Bytes cut = dumpOf(2);
    cut.resize(200000);
    cut.push_back(0x90); // a note starts: the dump lost its end
    Bytes ended = dumpOf(2);
    ended.resize(150000); // the port went away here
    feedInPieces(receiver, lost, 2);
    feedInPieces(receiver, cut, 3);
    feedInPieces(receiver, ended, 4);
    receiver.end();

    ASSERT_EQ(receiver.banks().size(), 3u);
    const auto& banks = receiver.banks();
    EXPECT_FALSE(banks[0].whole);
    EXPECT_TRUE(banks[0].ended);
    EXPECT_EQ(banks[0].length, BankDumpReceiver::dataMessageLength - 1);
    EXPECT_NE(banks[0].badPair, 0u) << "the pairs after the lost byte are out of step";
    EXPECT_NE(BankDumpReceiver::describe(banks[0]).find("1 bytes lost"), std::string::npos);
    EXPECT_FALSE(banks[1].whole);
    EXPECT_FALSE(banks[1].ended);
    EXPECT_EQ(banks[1].length, 200000u - 6);
    EXPECT_FALSE(banks[2].whole);
    EXPECT_NE(BankDumpReceiver::describe(banks[2]).find("cut short"), std::string::npos);
    EXPECT_TRUE(receiver.wholeBanks().empty());
    EXPECT_EQ(valuesOf(store, 2), before);
}

TEST(BankDumpReceiverTest, LateStartsMismatchesForeignBanksAndOverrunsAreTold) {
    DvVaneto store;
    BankDumpReceiver receiver(store);
    const Bytes bank3 = dumpOf(2);
    const Bytes bank6 = dumpOf(5, 3);
    // Started late: the data message of bank 3 without its announce.
    receiver.feed({bank3.data() + 6, bank3.size() - 6}, 1);
    // Two announces in a row, the second for another bank than its data.
    const Bytes announce1 = {0xF0, 0x31, 0x0D, 0x79, 0x00, 0xF7};
    receiver.feed(announce1, 2);
    receiver.feed({bank3.data(), 6}, 3);
    receiver.feed({bank6.data() + 6, bank6.size() - 6}, 4);
    // A bank beyond the seventh.
    Bytes bank9 = bank6;
    bank9[6 + 2] = 0x40 | 8;
    receiver.feed(bank9, 5);
    // Our own input overran while the next one came.
    receiver.overrun();
    receiver.feed(bank3, 6);
    receiver.end();

    const auto& banks = receiver.banks();
    ASSERT_EQ(banks.size(), 3u);
    EXPECT_TRUE(banks[0].whole);
    EXPECT_EQ(banks[0].announced, -1);
    EXPECT_TRUE(banks[1].whole) << "a mismatched announce is told, not refused";
    EXPECT_EQ(banks[1].bank, 5);
    EXPECT_EQ(banks[1].announced, 2);
    EXPECT_FALSE(banks[2].whole);
    EXPECT_NE(BankDumpReceiver::describe(banks[2]).find("not on the cable"), std::string::npos);
    EXPECT_EQ(receiver.otherBankMessages(), 1u);
    EXPECT_EQ(receiver.wholeBanks(), (std::vector<int>{2, 5}));
    const std::vector<std::string> notes = receiver.takeNotes();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0], "the announce of bank 1 came without its data message");
    EXPECT_EQ(notes[1], "the announce named bank 3, the data message that followed it bank 6");
}

TEST(BankDumpReceiverTest, RandomBytesBetweenF0AndF7AndHugeMessagesStayBounded) {
    DvVaneto store;
    BankDumpReceiver receiver(store);
    std::mt19937 random(5);
    Bytes noise = {0xF0};
    for (int i = 0; i < 65536; ++i) {
        noise.push_back(static_cast<std::uint8_t>(random()));
    }
    noise.push_back(0xF7);
    feedInPieces(receiver, noise, 6);
    // A message far longer than a bank, then a data message of its own kind just as long.
    Bytes huge(2'000'000, 0x01);
    huge.front() = 0xF0;
    huge.back() = 0xF7;
    receiver.feed(huge, 7);
    Bytes longData = dumpOf(1);
    longData.insert(longData.end() - 1, 400000, 0x00);
    receiver.feed(longData, 8);
    receiver.end();
    ASSERT_EQ(receiver.banks().size(), 1u);
    EXPECT_FALSE(receiver.banks()[0].whole);
    EXPECT_EQ(receiver.banks()[0].length, BankDumpReceiver::dataMessageLength + 400000);
    EXPECT_TRUE(receiver.wholeBanks().empty());
}

TEST(LoopbackProbeTest, ALostByteShowsWhereItWent) {
    const Bytes sent = LoopbackProbe::message(16384);
    ASSERT_EQ(sent.size(), 16384u);
    EXPECT_EQ(sent[1], 0x7D);
    EXPECT_EQ(sent.back(), 0xF7);
    EXPECT_TRUE(std::all_of(sent.begin() + 1, sent.end() - 1, [](auto b) { return b < 0x80; }));
    EXPECT_EQ(LoopbackProbe::compare(sent, sent).difference, -1);
    Bytes back = sent;
    back.erase(back.begin() + 999);
    const LoopbackProbe::Figures figures = LoopbackProbe::compare(sent, back);
    EXPECT_EQ(figures.lost, 1u);
    EXPECT_GE(figures.difference, 990); // the sequence could repeat a byte by chance
    EXPECT_LE(figures.difference, 999);
}

} // namespace
