#include "layout_expansion.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavro {
namespace {

std::vector<std::uint8_t> layoutWith(std::size_t index, std::uint8_t value) {
    std::vector<std::uint8_t> layout(kSourceLayoutBytes, 0);
    layout[index] = value;
    return layout;
}

// The four target cells of source cell `index`, which must be the only non-zero ones.
void expectSquare(const std::vector<std::uint8_t>& expanded, std::size_t topLeft, unsigned first) {
    auto rest = expanded;
    EXPECT_EQ(rest[topLeft], first);
    EXPECT_EQ(rest[topLeft + 1], first + 1);
    EXPECT_EQ(rest[topLeft + 256], first + 2);
    EXPECT_EQ(rest[topLeft + 257], first + 3);
    rest[topLeft] = rest[topLeft + 1] = rest[topLeft + 256] = rest[topLeft + 257] = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) ASSERT_EQ(rest[i], 0) << "cell " << i;
}

TEST(LayoutExpansion, CellBecomesTwoByTwoSquareInItsOwnPlane) {
    expectSquare(expandLayout(layoutWith(0, 1)), 0, 4);
    expectSquare(expandLayout(layoutWith(1023, 0xBF)), 3838, 252);     // chunk 63, flagged: the last cell
    expectSquare(expandLayout(layoutWith(128 + 5, 9)), 512 + 10, 36);  // row 1, column 5
    expectSquare(expandLayout(layoutWith(64, 0x85)), 128, 20);  // first background cell of row 0
    expectSquare(expandLayout(layoutWith(127, 2)), 254, 8);     // last background cell of row 0
    expectSquare(expandLayout(layoutWith(63, 2)), 126, 8);      // last foreground cell of row 0
}

TEST(LayoutExpansion, EveryCellValueByClass) {
    for (unsigned value = 0; value < 256; ++value) {
        const auto expanded = expandLayout(layoutWith(64 + 3, static_cast<std::uint8_t>(value)));
        const unsigned chunk = value & 0x7F;
        if (chunk == 0 || chunk >= 64) {
            for (const auto cell : expanded) ASSERT_EQ(cell, 0) << "value " << value;
        } else {
            SCOPED_TRACE(value);
            expectSquare(expanded, 128 + 6, 4 * chunk);
        }
    }
}

}  // namespace
}  // namespace tavro
