// Drawing save states built from a description (fuzz/level_description.h),
// read as either game, with any cell box and scale factor.
//
// Input, read from the end: game and plane (a byte each, bit 0), the state's
// length (a byte: below 16 a length around the shortest a state may have,
// below 128 the shortest, else the whole state with patterns 1024 and up), a
// box (a byte for its kind, then four 32-bit numbers), a 16-bit scale factor,
// then description steps.
//
// What must hold: a short state is refused; the picture has the size of the
// box cut to the plane; its pixels agree with a plain reading of the layout,
// chunks, blocks and patterns; the used cells are the smallest box of cells
// naming a chunk; drawing scaled equals scaling the drawn picture.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "level_description.h"
#include <tavro/drawing/level_render.h>
#include <tavro/core/region_map.h>

using namespace tavro::drawing;
using tavro::core::format::GameFormat;
using tavro::core::format::kMainRamOffset;
using tavro::core::format::kVideoRamOffset;

namespace {

// Pictures are kept to this many pixels (a first-game cell) so that a run
// stays short; boxes larger than that after cutting to the plane have their
// near edges moved forward (their far edges, past INT_MAX as they may be, stay).
// Scaling, which visits every pixel, is compared on pictures of up to two
// second-game cells.
constexpr std::int64_t kMaxPixels = 256 * 256;
constexpr std::size_t kMaxScaledPixels = 2 * 128 * 128;

struct Span {
    std::int64_t first, count;
};

// [start, start + length) within [0, limit), worked out in 64 bits.
Span within(int start, int length, int limit) {
    const std::int64_t first = std::clamp<std::int64_t>(start, 0, limit);
    const std::int64_t last = std::clamp<std::int64_t>(std::int64_t{start} + std::max(length, 0), first, limit);
    return {first, last - first};
}

// [start, start + length) with its start moved so that only the last `keep`
// of its cells in the plane remain; start + length is unchanged.
std::pair<int, int> keepLast(int start, int length, Span inPlane, std::int64_t keep) {
    if (inPlane.count <= keep) return {start, length};
    const std::int64_t newStart = inPlane.first + inPlane.count - keep;
    return {static_cast<int>(newStart), static_cast<int>(std::int64_t{length} - (newStart - start))};
}

// One pixel read straight from the bytes: cell, chunk entry, block (mirrored
// as a whole), pattern word (mirrored again), colour nibble. Where things
// are comes from the game's format; how a block and a pattern are read is
// written out here again, apart from the renderer's reading.
unsigned referencePixel(const tavro::fuzz::Bytes& state, const GameFormat& p, Plane plane, unsigned x, unsigned y) {
    const auto ram = [&](std::size_t a) { return unsigned{state[kMainRamOffset + a]}; };
    const auto ramWord = [&](std::size_t a) { return ram(a) << 8 | ram(a + 1); };
    const auto cell = static_cast<unsigned>(p.cellPixels());
    const auto columns = static_cast<unsigned>(p.planeColumns);
    const std::size_t cellAddress =
        p.layout + (y / cell) * p.layoutRowBytes() + (plane == Plane::Background ? columns : 0) + x / cell;
    const unsigned chunk = ram(cellAddress) & p.cellChunkMask;
    if (chunk == 0) return 0;
    const unsigned side = cell / 16;
    const unsigned entry = ramWord(p.chunkAddress(chunk) + ((y % cell) / 16 * side + (x % cell) / 16) * 2);
    if ((entry & 0x3FF) >= 768) return 0;
    unsigned bx = x % 16, by = y % 16;
    if ((entry >> p.entryHFlipBit) & 1) bx = 15 - bx;
    if ((entry >> p.entryVFlipBit) & 1) by = 15 - by;
    const unsigned pattern = ramWord(p.blockTable + (entry & 0x3FF) * 8 + (by / 8 * 2 + bx / 8) * 2);
    unsigned px = bx % 8, py = by % 8;
    if ((pattern >> 11) & 1) px = 7 - px;
    if ((pattern >> 12) & 1) py = 7 - py;
    const std::size_t art = kVideoRamOffset + (pattern & 0x7FF) * 32 + py * 4 + px / 2;
    const unsigned pair = art < state.size() ? state[art] : 0;
    const unsigned colour = px % 2 == 0 ? pair >> 4 : pair & 0x0F;
    return colour == 0 ? 0 : ((pattern >> 13) & 3) * 16 + colour;
}

// The smallest box of cells naming a chunk, read straight from the layout.
std::optional<CellBox> referenceUsedCells(const tavro::fuzz::Bytes& state, const GameFormat& p, Plane plane) {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    const auto columns = static_cast<unsigned>(p.planeColumns);
    for (unsigned row = 0; row < static_cast<unsigned>(p.layoutRows); ++row)
        for (unsigned column = 0; column < columns; ++column) {
            const std::size_t address = kMainRamOffset + p.layout + row * p.layoutRowBytes() +
                                        (plane == Plane::Background ? columns : 0) + column;
            if ((state[address] & p.cellChunkMask) == 0) continue;
            left = std::min(left, static_cast<int>(column));
            right = std::max(right, static_cast<int>(column));
            top = std::min(top, static_cast<int>(row));
            bottom = std::max(bottom, static_cast<int>(row));
        }
    if (right < 0) return std::nullopt;
    return CellBox{left, top, right - left + 1, bottom - top + 1};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const Game game = input.ConsumeBool() ? Game::Second : Game::First;
    const Plane plane = input.ConsumeBool() ? Plane::Background : Plane::Foreground;
    const GameFormat& places = game == Game::First ? tavro::core::format::kFirstGame : tavro::core::format::kSecondGame;
    const unsigned lengthChoice = input.ConsumeIntegral<std::uint8_t>();
    const std::size_t length = lengthChoice < 16    ? tavro::core::kMinSaveStateSize - 8 + lengthChoice
                               : lengthChoice < 128 ? tavro::core::kMinSaveStateSize
                                                    : tavro::fuzz::kWholeStateSize;

    // Boxes: 0 the used cells, 1 near the plane, else any four ints.
    const unsigned boxKind = input.ConsumeIntegral<std::uint8_t>() % 4;
    CellBox box{input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>(),
                input.ConsumeIntegral<int>()};
    if (boxKind == 1) box = {box.column % 140 - 6, box.row % 20 - 2, box.columns % 8, box.rows % 4};
    const int factor = input.ConsumeIntegral<std::int16_t>();

    tavro::fuzz::Bytes state(length, 0);
    tavro::fuzz::applySteps(input, places, state);

    auto level = LevelMemory::fromSaveState(state);
    if (level.has_value() != (length >= tavro::core::kMinSaveStateSize)) std::abort();
    if (!level) return 0;

    const auto used = usedCells(*level, game, plane);
    if (used != referenceUsedCells(state, places, plane)) std::abort();
    if (boxKind == 0) {
        if (!used) return 0;
        box = *used;
    }

    const int cell = places.cellPixels();
    Span columns = within(box.column, box.columns, places.planeColumns);
    Span rows = within(box.row, box.rows, places.layoutRows);
    if (columns.count * rows.count * cell * cell > kMaxPixels) {
        const std::int64_t cells = kMaxPixels / (cell * cell);
        const std::int64_t keepRows = std::min<std::int64_t>(rows.count, std::max<std::int64_t>(1, cells / 2));
        std::tie(box.row, box.rows) = keepLast(box.row, box.rows, rows, keepRows);
        std::tie(box.column, box.columns) = keepLast(box.column, box.columns, columns, cells / keepRows);
        columns = within(box.column, box.columns, places.planeColumns);
        rows = within(box.row, box.rows, places.layoutRows);
        if (columns.count * rows.count * cell * cell > kMaxPixels) std::abort();  // the harness's own slip
    }

    const IndexedImage image = drawPlane(*level, game, plane, box);
    if (image.width != columns.count * cell || image.height != rows.count * cell) std::abort();
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        std::abort();
    // A sample of the pixels (a stride prime to the width, so that all
    // columns are visited) agrees with the plain reading.
    for (std::size_t i = 0; i < image.pixels.size(); i += 1021) {
        const auto x = static_cast<unsigned>(static_cast<std::int64_t>(i % static_cast<std::size_t>(image.width)) +
                                             columns.first * cell);
        const auto y = static_cast<unsigned>(static_cast<std::int64_t>(i / static_cast<std::size_t>(image.width)) +
                                             rows.first * cell);
        if (image.pixels[i] != referencePixel(state, places, plane, x, y)) std::abort();
    }

    if (image.pixels.size() <= kMaxScaledPixels) {
        const RgbaImage scaled = drawScaled(*level, game, plane, box, factor);
        if (scaled.pixels != scaleDown(image, readPalette(*level), factor).pixels) std::abort();
    }

    // The preview draws every used cell: only for small levels, to stay fast.
    if (used && std::int64_t{used->columns} * used->rows * cell * cell <= std::int64_t{kMaxScaledPixels}) {
        const int room = std::max(1, 1 + factor % 512);  // the fuzzed factor may be negative
        const auto preview = drawPreview(*level, game, plane, room, room);
        if (!preview || preview->picture.width > room || preview->picture.height > room) std::abort();
    }
    return 0;
}
