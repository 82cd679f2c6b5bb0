#include "midi/LoVarlength.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

LoBuffer::Bytes encode(std::uint32_t v) {
    return LoVarlength(v).bytes;
}

TEST(LoVarlength, EncodesAtTheSizeBoundaries) {
    using B = LoBuffer::Bytes;
    EXPECT_EQ(encode(0), (B{0x00}));
    EXPECT_EQ(encode(0x7F), (B{0x7F}));
    EXPECT_EQ(encode(0x80), (B{0x81, 0x00}));
    EXPECT_EQ(encode(0x3FFF), (B{0xFF, 0x7F}));
    EXPECT_EQ(encode(0x4000), (B{0x81, 0x80, 0x00}));
    EXPECT_EQ(encode(0x0FFFFFFF), (B{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(encode(0x10000000), (B{0x81, 0x80, 0x80, 0x80, 0x00}));
    EXPECT_EQ(encode(0xF0000000), (B{0x00}));
    EXPECT_EQ(encode(0xFFFFFFFF), (B{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(LoVarlength().value(), 0u);
}

TEST(LoVarlength, ReadingStopsAtTheEndOfAnEndlessQuantity) {
    std::istringstream in(std::string(1000, '\x80'));
    LoVarlength v;
    v.readFrom(in);
    EXPECT_EQ(v.bytes.size(), 1000u);
    EXPECT_FALSE(v.complete());
}

TEST(LoVarlength, DecodesAndReadsOneQuantityAtATime) {
    for (std::uint32_t value : {0x80u, 0x3FFFu, 0x4000u, 0x1FFFFFu, 0x0FFFFFFFu, 0xEFFFFFFFu}) {
        EXPECT_EQ(LoVarlength(value).value(), value) << value;
    }
    std::istringstream in(std::string("\x81\x80\x00\x7F\x05", 5));
    LoVarlength v;
    v.readFrom(in);
    EXPECT_EQ(v.value(), 0x4000u);
    v.readFrom(in);
    EXPECT_EQ(v.value(), 0x7Fu);
    EXPECT_EQ(in.get(), 0x05) << "a quantity must not read past its last byte";
}

} // namespace
