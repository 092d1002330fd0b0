#include <tavro/layout_expansion.h>

#include <algorithm>
#include <cassert>

#include <tavro/chunk_conversion.h>

namespace tavro {
namespace {

constexpr std::size_t kTargetRowBytes = kTargetLayoutRowBytes;

}  // namespace

std::vector<std::uint8_t> expandLayout(std::span<const std::uint8_t> sourceLayout) {
    assert(sourceLayout.size() == kSourceLayoutBytes);

    std::vector<std::uint8_t> layout(kTargetLayoutBytes, 0);
    std::uint8_t* const expanded = layout.data();
    std::size_t pos = 0;
    std::size_t t = 0;
    while (t < kTargetLayoutBytes - 1) {
        for (std::size_t cell = 0; cell < kSourceLayoutRowBytes; ++cell) {  // one source row
            const unsigned b = cellChunk(sourceLayout[pos]);
            if (b <= kLastConvertedChunk) {
                const auto base = static_cast<std::uint8_t>(4 * b);
                const bool empty = b == 0;
                expanded[t] = empty ? 0 : base;
                expanded[t + 1] = empty ? 0 : static_cast<std::uint8_t>(base + 1);
                expanded[t + kTargetRowBytes] = empty ? 0 : static_cast<std::uint8_t>(base + 2);
                expanded[t + kTargetRowBytes + 1] = empty ? 0 : static_cast<std::uint8_t>(base + 3);
            }
            ++pos;
            t += 2;
        }
        t += kTargetRowBytes;  // the row below was filled with the bottom halves
    }
    return layout;
}

}  // namespace tavro
