// Drawing arbitrary save states, read as either game.
//
// Input: a selector byte (bit 0 game, bit 1 plane), two bytes of offset, then
// bytes laid over an all-zero save state from that offset on. An input that
// is a whole save state behind the three bytes reproduces it exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "level_render.h"
#include "region_map.h"

using namespace tavro::render;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const Game game = (data[0] & 1) != 0 ? Game::Second : Game::First;
    const Plane plane = (data[0] & 2) != 0 ? Plane::Background : Plane::Foreground;
    const std::size_t offset = (std::size_t{data[1]} << 8 | data[2]) * 4;

    // Too short a state must be refused, never read past its end.
    if (LevelMemory::fromSaveState({data + 3, size - 3})) {
        if (size - 3 < tavro::kMinSaveStateSize) std::abort();
    }

    std::vector<std::uint8_t> state(tavro::kVideoRamOffset + kVideoRamBytes, 0);
    const std::size_t copied = std::min(size - 3, state.size() - std::min(offset, state.size()));
    std::copy_n(data + 3, copied, state.begin() + static_cast<std::ptrdiff_t>(std::min(offset, state.size())));
    auto level = LevelMemory::fromSaveState(state);
    if (!level) std::abort();

    const Palette palette = readPalette(*level);
    const auto used = usedCells(*level, game, plane);
    if (used) {
        // A corner of the used cells keeps each run short.
        CellBox box = *used;
        box.columns = std::min(box.columns, 3);
        box.rows = std::min(box.rows, 2);
        const IndexedImage image = drawPlane(*level, game, plane, box);
        if (image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            std::abort();
        for (const auto pixel : image.pixels)
            if (pixel >= kPaletteEntries) std::abort();
        const RgbaImage rgba = toRgba(image, palette);
        if (rgba.pixels.size() != image.pixels.size() * 4) std::abort();
        scaleDown(image, palette, 1 + data[0] / 16);
    }
    // The preview draws every used cell: only for small levels, to stay fast.
    if (!used || used->columns * used->rows <= 4) (void)drawPreview(*level, game, plane, 64);
    return 0;
}
