#include "entry_conversion.h"

#include <gtest/gtest.h>

#include <utility>

namespace tavro {
namespace {

TEST(EntryConversion, TellingRows) {
    const std::pair<unsigned, unsigned> rows[] = {
        {0x00, 0x00}, {0x03, 0x03}, {0x04, 0x00}, {0x08, 0x04}, {0x0C, 0x04}, {0x10, 0x08}, {0x18, 0x0C},
        {0x20, 0x50}, {0x40, 0xA0}, {0x60, 0xF0}, {0x63, 0xF3}, {0x7F, 0xFF}, {0x80, 0x00}, {0xFF, 0xFF},
    };
    for (const auto& [input, expected] : rows) {
        auto value = static_cast<std::uint8_t>(input);
        EXPECT_EQ(convertT1ToT2(value), expected) << "input 0x" << std::hex << input;
    }
}

// Covers every result bit for every input, so bits 7 and 2 of the input are ignored.
TEST(EntryConversion, FieldsMoveToTheSecondGamePositions) {
    for (unsigned input = 0; input < 256; ++input) {
        auto value = static_cast<std::uint8_t>(input);
        const unsigned result = convertT1ToT2(value);
        const unsigned collision = (input >> 5) & 3;
        EXPECT_EQ(result >> 6, collision) << input;         // field A
        EXPECT_EQ((result >> 4) & 3, collision) << input;   // field B
        EXPECT_EQ((result >> 3) & 1, (input >> 4) & 1) << input;  // vertical flip
        EXPECT_EQ((result >> 2) & 1, (input >> 3) & 1) << input;  // horizontal flip
        EXPECT_EQ(result & 3, input & 3) << input;          // block bits 9-8
    }
}

TEST(EntryConversion, WritesTheResultBackIntoItsArgument) {
    std::uint8_t value = 0x63;
    const auto returned = convertT1ToT2(value);
    EXPECT_EQ(value, returned);
    EXPECT_EQ(value, 0xF3);
}

}  // namespace
}  // namespace tavro
