#include <tavro/core/entry_conversion.h>

#include <gtest/gtest.h>

namespace tavro {
namespace {

// Every input: each field lands on its second-game bits (bits 7 and 2 of the
// input are dropped).
TEST(EntryConversion, FieldsMoveToTheSecondGamePositions) {
    for (unsigned input = 0; input < 256; ++input) {
        const unsigned result = core::secondGameEntryHighByte(static_cast<std::uint8_t>(input));
        const unsigned collision = (input >> 5) & 3;
        EXPECT_EQ(result >> 6, collision) << input;         // field A
        EXPECT_EQ((result >> 4) & 3, collision) << input;   // field B
        EXPECT_EQ((result >> 3) & 1, (input >> 4) & 1) << input;  // vertical flip
        EXPECT_EQ((result >> 2) & 1, (input >> 3) & 1) << input;  // horizontal flip
        EXPECT_EQ(result & 3, input & 3) << input;          // block bits 9-8
    }
    EXPECT_EQ(core::secondGameEntryHighByte(0x63), 0xF3);  // one worked example, as the format notes give it
}

}  // namespace
}  // namespace tavro
