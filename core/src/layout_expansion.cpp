#include <tavro/core/layout_expansion.h>

#include <algorithm>
#include <cassert>

#include <tavro/core/chunk_conversion.h>

namespace tavro::core {
namespace {

constexpr std::size_t kTargetRowBytes = kTargetLayoutRowBytes;

}  // namespace

std::vector<std::uint8_t> expandLayout(std::span<const std::uint8_t> sourceLayout) {
    assert(sourceLayout.size() == kSourceLayoutBytes);

    std::vector<std::uint8_t> layout(kTargetLayoutBytes, 0);
    std::uint8_t* const expanded = layout.data();
    std::size_t sourceCell = 0;  // index into the source layout
    std::size_t topLeft = 0;     // index of the square's top-left cell in the target layout
    while (topLeft < kTargetLayoutBytes - 1) {
        for (std::size_t cell = 0; cell < kSourceLayoutRowBytes; ++cell) {  // one source row
            const unsigned chunk = cellChunk(sourceLayout[sourceCell]);
            if (chunk <= kLastConvertedChunk) {
                const auto base = static_cast<std::uint8_t>(4 * chunk);
                const bool empty = chunk == 0;
                expanded[topLeft] = empty ? 0 : base;
                expanded[topLeft + 1] = empty ? 0 : static_cast<std::uint8_t>(base + 1);
                expanded[topLeft + kTargetRowBytes] = empty ? 0 : static_cast<std::uint8_t>(base + 2);
                expanded[topLeft + kTargetRowBytes + 1] = empty ? 0 : static_cast<std::uint8_t>(base + 3);
            }
            ++sourceCell;
            topLeft += 2;
        }
        topLeft += kTargetRowBytes;  // the row below was filled with the bottom halves
    }
    return layout;
}

}  // namespace tavro::core
