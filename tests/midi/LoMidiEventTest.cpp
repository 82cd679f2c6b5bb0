#include "midi/LoMidiEvent.h"
#include "midi/LoVarlength.h"

#include "MidiTestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using miditest::Bytes;

std::string text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

Bytes written(const LoMidiEvent& e) {
    std::ostringstream out;
    e.writeTo(out);
    const std::string s = out.str();
    return Bytes(s.begin(), s.end());
}

struct ReadCase {
    const char* name;
    Bytes file;
    Bytes expected; // empty: the event could not be read
    Bytes rewritten;
};

TEST(LoMidiEvent, ReadsFileFormAndWritesItBack) {
    const ReadCase cases[] = {
        {"meta", {0xFF, 0x03, 0x02, 0x41, 0x42}, {0xFF, 0x03, 0x41, 0x42}, {}},
        {"sysex", {0xF0, 0x03, 0x7E, 0x01, 0xF7}, {0xF0, 0x7E, 0x01, 0xF7}, {}},
        {"end of track", {0xFF, 0x2F, 0x00}, {0xFF, 0x2F}, {}},
        {"data cut short", {0xF0, 0x05, 0x7E, 0x01}, {}, {}},
        {"length cut short", {0xF0, 0x81}, {}, {}},
        {"meta type missing", {0xFF}, {}, {}},
        {"nothing", {}, {}, {}},
        {"two-byte length", {0xFF, 0x01, 0x81, 0x00}, {}, {}},
    };
    for (const auto& c : cases) {
        std::istringstream in(text(c.file));
        LoMidiEvent e(1234);
        e.readFrom(in);
        EXPECT_EQ(e.bytes, c.expected) << c.name;
        EXPECT_EQ(e.delay(), 1234) << c.name;
        if (!c.expected.empty()) {
            EXPECT_EQ(written(e), c.file) << c.name;
        }
    }
}

TEST(LoMidiEvent, HugeLengthInASmallStreamComesBackEmpty) {
    // F0, a length of 200 000 000, then only 1000 bytes.
    Bytes file{0xF0};
    const Bytes length = LoVarlength(200000000).bytes;
    file.insert(file.end(), length.begin(), length.end());
    file.resize(file.size() + 1000, 0x11);
    std::istringstream in(text(file));
    LoMidiEvent e;
    e.readFrom(in);
    EXPECT_TRUE(e.empty());
    EXPECT_LT(e.bytes.capacity(), 1u << 20);
}

TEST(LoMidiEvent, LongSysExGetsMultiByteLength) {
    const LoMidiEvent e = miditest::sysEx(201, 0);
    const Bytes out = written(e);
    ASSERT_EQ(out.size(), 203u);
    EXPECT_EQ(out[0], 0xF0);
    EXPECT_EQ(out[1], 0x81);
    EXPECT_EQ(out[2], 0x48);
    EXPECT_EQ(Bytes(out.begin() + 3, out.end()), Bytes(e.bytes.begin() + 1, e.bytes.end()));

    std::istringstream in(text(out));
    LoMidiEvent back;
    back.readFrom(in);
    EXPECT_EQ(back.bytes, e.bytes);
}

TEST(LoMidiEvent, CopiesCarryBytesAndDelay) {
    const LoMidiEvent a = miditest::event({0xF0, 0x01, 0xF7}, 600);
    LoMidiEvent b(0);
    b = a;
    const LoMidiEvent c(b);
    EXPECT_EQ(c.bytes, a.bytes);
    EXPECT_EQ(c.delay(), 600);
    b.setDelay(5);
    EXPECT_EQ(a.delay(), 600);
    EXPECT_EQ(b.delay(), 5);
}

} // namespace
