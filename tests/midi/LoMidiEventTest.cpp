#include "midi/LoMidiEvent.h"
#include "midi/LoVarlength.h"

#include "MidiTestFiles.h"

#include <sstream>

namespace {

using namespace miditest;

std::string text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

TEST(LoMidiEvent, ReadsFileFormAndWritesItBack) {
    struct Case {
        const char* name;
        Bytes file;
        Bytes expected; // empty: the event cannot be read
    };
    const Case cases[] = {
        {"meta", {0xFF, 0x03, 0x02, 0x41, 0x42}, {0xFF, 0x03, 0x41, 0x42}},
        {"sysex", {0xF0, 0x03, 0x7E, 0x01, 0xF7}, {0xF0, 0x7E, 0x01, 0xF7}},
        {"end of track", {0xFF, 0x2F, 0x00}, {0xFF, 0x2F}},
        {"data cut short", {0xF0, 0x05, 0x7E, 0x01}, {}},
        {"length cut short", {0xF0, 0x81}, {}},
        {"meta type missing", {0xFF}, {}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases) {
        std::istringstream in(text(c.file));
        LoMidiEvent e(1234);
        e.readFrom(in);
        EXPECT_EQ(e.bytes, c.expected) << c.name;
        EXPECT_EQ(e.delay(), 1234) << c.name;
        std::ostringstream out;
        if (!e.empty()) {
            e.writeTo(out);
            EXPECT_EQ(out.str(), text(c.file)) << c.name;
        }
    }
}

TEST(LoMidiEvent, LongLengthsTakeSeveralBytes) {
    const LoMidiEvent e = sysEx(201, 0); // 200 bytes after F0
    std::ostringstream out;
    e.writeTo(out);
    EXPECT_EQ(out.str().substr(0, 3), "\xF0\x81\x48");
    std::istringstream in(out.str());
    LoMidiEvent back;
    back.readFrom(in);
    EXPECT_EQ(back.bytes, e.bytes);

    // A length of 200 000 000 in a 1000-byte stream: empty at once, nothing large allocated.
    Bytes file{0xF0};
    const Bytes length = LoVarlength(200000000).bytes;
    file.insert(file.end(), length.begin(), length.end());
    file.resize(file.size() + 1000, 0x11);
    std::istringstream huge(text(file));
    back.readFrom(huge);
    EXPECT_TRUE(back.empty());
    EXPECT_LT(back.bytes.capacity(), 8192u);
}

} // namespace
