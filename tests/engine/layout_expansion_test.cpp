#include <tavro/core/layout_expansion.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tavro {
namespace {

// Source cell `index` holds `value`; the expansion must show chunk `chunk`'s four
// numbers as the 2x2 square at `topLeft` and nothing else (chunk 0: nothing at all).
void expectSquare(std::size_t index, unsigned value, std::size_t topLeft, unsigned chunk) {
    std::vector<std::uint8_t> layout(core::kSourceLayoutBytes, 0);
    layout[index] = static_cast<std::uint8_t>(value);
    auto rest = core::expandLayout(layout);
    for (const unsigned offset : {0u, 1u, 256u, 257u}) {
        const auto square = std::exchange(rest[topLeft + offset], 0);
        EXPECT_EQ(square, chunk == 0 ? 0u : 4 * chunk + offset % 256 + offset / 128) << "value " << value << " at " << offset;
    }
    for (std::size_t i = 0; i < rest.size(); ++i) ASSERT_EQ(rest[i], 0) << "value " << value << " cell " << i;
}

TEST(LayoutExpansion, CellBecomesTwoByTwoSquareInItsOwnPlane) {
    expectSquare(0, 1, 0, 1);
    expectSquare(1023, 0xBF, 3838, 63);     // chunk 63, flagged: the last cell
    expectSquare(128 + 5, 9, 512 + 10, 9);  // row 1, column 5
    expectSquare(64, 0x85, 128, 5);         // first background cell of row 0
    expectSquare(127, 2, 254, 2);           // last background cell of row 0
    expectSquare(63, 2, 126, 2);            // last foreground cell of row 0
}

// Bit 7 is a flag; chunks 0 and 64 and above leave the cells empty.
TEST(LayoutExpansion, EveryCellValueByClass) {
    for (unsigned value = 0; value < 256; ++value) {
        const unsigned chunk = value & 0x7F;
        expectSquare(64 + 3, value, 128 + 6, chunk < 64 ? chunk : 0);
    }
}

}  // namespace
}  // namespace tavro
