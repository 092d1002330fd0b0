#include <tavro/core/chunk_conversion.h>

#include <gtest/gtest.h>

#include <vector>

#include <tavro/core/entry_conversion.h>
#include "test_files.h"

namespace tavro {
namespace {

constexpr std::size_t kRam = 65536;

std::vector<std::uint8_t> randomRam(unsigned seed) { return test::randomBytes(kRam, seed); }

// The byte `offset` of source chunk `chunk` (1..63), as the first game stores it.
std::size_t sourceOffset(unsigned chunk, unsigned row, unsigned byte) { return (chunk - 1) * 512 + row * 32 + byte; }

// Random RAM fixes every output byte, so nothing past chunk 63 can leak in.
TEST(ChunkConversion, EveryQuarterTakesItsRowsAndBytes) {
    const auto ram = randomRam(1);
    const auto converted = core::convertChunks(ram);
    ASSERT_EQ(converted.size(), 32768u);
    for (unsigned target = 0; target < 256; ++target) {
        const unsigned chunk = target / 4, quarter = target % 4;
        for (unsigned row = 0; row < 8; ++row) {
            for (unsigned byte = 0; byte < 16; ++byte) {
                const auto got = converted[target * 128 + row * 16 + byte];
                if (chunk == 0) {
                    ASSERT_EQ(got, 0) << "target chunk " << target;
                    continue;
                }
                auto expected = ram[sourceOffset(chunk, row + 8 * (quarter >= 2), byte + 16 * (quarter % 2))];
                if (byte % 2 == 0) expected = core::secondGameEntryHighByte(expected);  // high bytes only
                ASSERT_EQ(got, expected) << "target chunk " << target << " row " << row << " byte " << byte;
            }
        }
    }
}

TEST(ChunkConversion, CountsChunksWithData) {
    std::vector<std::uint8_t> ram(kRam, 0);
    EXPECT_EQ(core::countChunksWithData(ram), 0);
    ram[sourceOffset(1, 0, 0)] = 1;
    ram[sourceOffset(63, 15, 31)] = 1;  // last byte of chunk 63
    ram[sourceOffset(64, 0, 0)] = 1;    // past what the second game holds
    EXPECT_EQ(core::countChunksWithData(ram), 2);
}

}  // namespace
}  // namespace tavro
