#include "midi/ByteOrder.h"
#include "midi/LoBuffer.h"
#include "midi/LoFileReader.h"
#include "midi/LoFileWriter.h"

#include "MidiTestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using miditest::Bytes;
using miditest::readFile;
using miditest::TempDir;
using miditest::writeFile;

Bytes counting(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) {
        b[i] = static_cast<std::uint8_t>(i);
    }
    return b;
}

TEST(LoBuffer, ShortReadShrinksToWhatArrived) {
    std::istringstream in(std::string("\x01\x02\x03\x04", 4));
    LoBuffer buffer(10, 0xEE);
    buffer.readFrom(in);
    EXPECT_EQ(buffer.bytes, (Bytes{1, 2, 3, 4}));

    LoBuffer nothing;
    std::istringstream full("abc");
    nothing.readFrom(full);
    EXPECT_TRUE(nothing.empty());
    EXPECT_EQ(full.tellg(), 0) << "an empty buffer must not consume anything";
}

TEST(LoBuffer, HexDump) {
    EXPECT_EQ(LoBuffer(1, 5).hexDump(), "05\n");
    EXPECT_EQ(LoBuffer().hexDump(), "");
    const Bytes b{0xF0, 0x0A, 0x7F, 0x00, 0xFF};
    EXPECT_EQ(LoBuffer(b.data(), b.data() + b.size()).hexDump(), "f0 0a 7f 00 ff\n");
    EXPECT_EQ(LoBuffer(b.begin() + 1, b.begin() + 3).hexDump(), "0a 7f\n");
}

TEST(LoFileReader, FixedWidthReadsInBothByteOrders) {
    TempDir dir;
    writeFile(dir / "f", {0x01, 0x02, 0x4D, 0x54, 0x68, 0x64, 0xAA});
    LoFileReader reader(dir / "f");
    EXPECT_EQ(reader.read16(true), 0x0102);
    reader.seek(0);
    EXPECT_EQ(reader.read16(false), 0x0201);
    EXPECT_EQ(reader.read32(true), 0x4D546864u);
    reader.seek(2);
    EXPECT_EQ(reader.read32(false), 0x6468544Du);
    // The file ends inside the value: missing bytes count as 0.
    EXPECT_EQ(reader.read16(true), 0xAA00);
    EXPECT_EQ(reader.read32(true), 0u);

    std::uint8_t b[4] = {9, 9, 9, 9};
    reader.seek(0);
    EXPECT_EQ(reader.read(nullptr, 3), 0u);
    EXPECT_EQ(reader.read(b, 0), 0u);
    EXPECT_EQ(reader.tell(), 0);
    EXPECT_EQ(reader.read(b, 4), 4u);
    EXPECT_EQ(reader.read(b, 4), 3u);
}

TEST(LoFileReader, SeekReturnsThePreviousPositionAndRecoversFromTheEnd) {
    TempDir dir;
    writeFile(dir / "f", counting(120));
    LoFileReader reader(dir / "f");
    reader.seek(14);
    EXPECT_EQ(reader.seek(100), 14);
    EXPECT_EQ(reader.tell(), 100);
    LoBuffer rest(50, 0);
    reader.readBuffer(rest);
    EXPECT_EQ(rest.size(), 20u);
    EXPECT_TRUE(reader.fail());
    reader.seek(3);
    EXPECT_EQ(reader.read16(true), 0x0304) << "reads work again after a seek";
}

TEST(LoFileReader, SkipNeverPassesTheEnd) {
    TempDir dir;
    writeFile(dir / "f", counting(10));
    LoFileReader reader(dir / "f");
    reader.seek(4);
    EXPECT_FALSE(reader.skip(7));
    EXPECT_EQ(reader.tell(), 4);
    EXPECT_FALSE(reader.skip(0xFFFFFFFFu)) << "a count near 2^32 must not wrap into the file";
    EXPECT_EQ(reader.tell(), 4);
    EXPECT_TRUE(reader.skip(0));
    EXPECT_EQ(reader.tell(), 4);
    EXPECT_TRUE(reader.skip(6));
    EXPECT_EQ(reader.tell(), 10);
    EXPECT_FALSE(reader.skip(1));
    EXPECT_EQ(reader.tell(), 10);
}

TEST(LoFileReader, MissingFileDeliversNothing) {
    LoFileReader reader("/nonexistent/vaneto/file.mid");
    EXPECT_TRUE(reader.fail());
    EXPECT_EQ(reader.read32(true), 0u);
    LoBuffer buffer(8, 1);
    reader.readBuffer(buffer);
    EXPECT_TRUE(buffer.empty());
    EXPECT_FALSE(reader.skip(0));
    EXPECT_EQ(reader.fileSize(), -1);
}

TEST(LoFileWriter, WritesInBothByteOrdersAndOverwritesInPlace) {
    TempDir dir;
    {
        LoFileWriter writer(dir / "f");
        const std::uint8_t abc[] = {'a', 'b', 'c'};
        writer.write32(6, true).write16(0x0102, false).write8(0x1FF);
        writer.write(nullptr, 5).write(abc, 0);
        writer.write16(0xABCD1234, true).write32(0x11223344, false);
        EXPECT_EQ(writer.seek(1), 13);
        writer.write(abc, 2);
    }
    EXPECT_EQ(readFile(dir / "f"),
              (Bytes{0x00, 'a', 'b', 0x06, 0x02, 0x01, 0xFF, 0x12, 0x34, 0x44, 0x33, 0x22, 0x11}));
}

TEST(LoFileWriter, TruncatesAnExistingFile) {
    TempDir dir;
    writeFile(dir / "f", counting(100));
    {
        LoFileWriter writer(dir / "f");
        writer.write8(7);
    }
    EXPECT_EQ(readFile(dir / "f"), (Bytes{7}));
}

TEST(ByteOrder, SwapsAndGroupReversal) {
    EXPECT_EQ(swap16(0x0102), 0x0201);
    EXPECT_EQ(swap32(0x01020304u), 0x04030201u);
    EXPECT_EQ(bigEndian16(0x0102), 0x0201);
    EXPECT_EQ(bigEndian32(0x01020304u), 0x04030201u);
    EXPECT_EQ(littleEndian16(0x0102), 0x0102);
    EXPECT_EQ(littleEndian32(0x01020304u), 0x01020304u);

    const Bytes four{1, 2, 3, 4};
    LoBuffer in(four.begin(), four.end());
    LoBuffer out(3, 9);
    fromBigEndian(out, in, 2);
    EXPECT_EQ(out.bytes, (Bytes{2, 1, 4, 3}));
    fromBigEndian(out, in, 1);
    EXPECT_EQ(out.bytes, four);
    fromBigEndian(out, in, 3);
    EXPECT_EQ(out.bytes, (Bytes{3, 2, 1})) << "a trailing partial group is not read";
    for (std::size_t width : {0u, 1u, 3u}) {
        fromLittleEndian(out, in, width);
        EXPECT_EQ(out.bytes, four);
    }

    const Bytes ten = counting(10);
    Bytes reversed(10, 0);
    reverseBytes(reversed.data(), ten.data(), 10);
    EXPECT_EQ(reversed, (Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    reverseBytes(reversed.data(), ten.data(), 0);
    EXPECT_EQ(reversed[0], 9);
}

} // namespace
