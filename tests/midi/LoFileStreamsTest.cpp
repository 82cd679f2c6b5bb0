#include "midi/ByteOrder.h"
#include "midi/LoFileReader.h"
#include "midi/LoFileWriter.h"

#include "MidiTestFiles.h"

#include <sstream>

namespace {

using namespace miditest;

TEST(LoBuffer, ReadsWhatArrivesAndDumpsHex) {
    std::istringstream in(std::string("\x01\x02\x03\x04", 4));
    LoBuffer buffer(10, 0xEE);
    buffer.readFrom(in);
    EXPECT_EQ(buffer.bytes, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(LoBuffer(1, 5).hexDump(), "05\n");
    EXPECT_EQ(LoBuffer().hexDump(), "");
    const Bytes b{0xF0, 0x0A, 0x7F, 0xFF};
    EXPECT_EQ(LoBuffer(b.data(), b.data() + 4).hexDump(), "f0 0a 7f ff\n");
    EXPECT_EQ(LoBuffer(b.begin() + 1, b.begin() + 3).hexDump(), "0a 7f\n");
}

TEST(LoFileReader, ReadsSeeksAndSkipsWithinTheFileOrTheBytes) {
    TempDir dir;
    Bytes content{0x01, 0x02, 0x4D, 0x54, 0x68, 0x64};
    content.resize(120, 0x33);
    writeFile(dir / "f", content);
    LoFileReader fromFile(dir / "f");
    LoFileReader fromMemory{std::span<const std::uint8_t>(content)};
    for (LoFileReader* reader : {&fromFile, &fromMemory}) {
        EXPECT_EQ(reader->fileSize(), 120);
        EXPECT_EQ(reader->read16(true), 0x0102);
        EXPECT_EQ(reader->read32(true), 0x4D546864u);
        reader->seek(0);
        EXPECT_EQ(reader->read16(false), 0x0201);
        EXPECT_EQ(reader->read32(false), 0x6468544Du);
        std::uint8_t b[4];
        EXPECT_EQ(reader->read(nullptr, 3) + reader->read(b, 0), 0u);

        reader->seek(14);
        EXPECT_EQ(reader->seek(100), 14);
        EXPECT_FALSE(reader->skip(21));
        EXPECT_FALSE(reader->skip(0xFFFFFFFFu)) << "the sum must not wrap back into the file";
        EXPECT_EQ(reader->tell(), 100);
        EXPECT_TRUE(reader->skip(0));
        EXPECT_TRUE(reader->skip(20));
        EXPECT_EQ(reader->tell(), 120);

        reader->seek(119);
        EXPECT_EQ(reader->read16(true), 0x3300) << "bytes beyond the end count as 0";
        EXPECT_TRUE(reader->fail());
        reader->seek(1);
        EXPECT_EQ(reader->read16(true), 0x024D) << "a seek makes reads work again";
    }

    LoFileReader missing(dir / "missing");
    LoBuffer buffer(8, 1);
    missing.readBuffer(buffer);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(missing.read32(true), 0u);
}

TEST(LoFileWriter, WritesBothByteOrdersAndOverwritesInPlace) {
    TempDir dir;
    writeFile(dir / "f", Bytes(100, 9));
    {
        LoFileWriter writer(dir / "f"); // truncates
        const std::uint8_t ab[] = {'a', 'b'};
        writer.write32(6, true).write16(0x0102, false).write8(0x1FF);
        writer.write(nullptr, 5).write(ab, 0).write32(0x11223344, false);
        EXPECT_EQ(writer.seek(1), 11);
        writer.write(ab, 2);
    }
    EXPECT_EQ(readFile(dir / "f"), (Bytes{0, 'a', 'b', 6, 2, 1, 0xFF, 0x44, 0x33, 0x22, 0x11}));
}

TEST(ByteOrder, SwapsAndReversesGroups) {
    EXPECT_EQ(swap16(0x0102), 0x0201);
    EXPECT_EQ(bigEndian32(0x01020304u), 0x04030201u);
    EXPECT_EQ(littleEndian32(0x01020304u), 0x01020304u);
    const Bytes four{1, 2, 3, 4};
    const LoBuffer in(four.begin(), four.end());
    const std::pair<std::size_t, Bytes> cases[] = {
        {2, {2, 1, 4, 3}}, {1, {1, 2, 3, 4}}, {3, {3, 2, 1}}};
    for (const auto& [width, expected] : cases) {
        LoBuffer out(3, 9);
        fromBigEndian(out, in, width);
        EXPECT_EQ(out.bytes, expected) << width;
        fromLittleEndian(out, in, width);
        EXPECT_EQ(out.bytes, in.bytes);
    }
    const std::uint8_t ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::uint8_t reversed[10] = {};
    reverseBytes(reversed, ten, 10);
    EXPECT_EQ(Bytes(reversed, reversed + 10), (Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
}

} // namespace
