// Conversion, in memory, of first-game states built from a description
// (fuzz/level_description.h) into second-game targets of any length.
//
// Input, read from the end: the source's length (a byte: below 32 a 32-bit
// length follows, else the shortest whole state), the target (a byte for its
// length: none, short, the shortest whole state or a little longer; a byte
// seeding its contents), a 16-bit layout cell whose picture is compared, then
// description steps for the source.
//
// What must hold: the target keeps its length (or grows to the shortest
// state) and every byte outside the five regions; patterns, palette and
// blocks arrive unchanged; converting again over the result (from the source
// padded with zeros, when it was short) gives the same bytes; the summary
// counts what the layout and chunks hold; and a cell that arrives (in the
// fixed numbering one naming chunk 1 to 63, packed one the summary does not
// list as left empty) looks the same, drawn as the second game, as before,
// while any other cell becomes four cells naming nothing. Either numbering
// is chosen by one more input byte.
//
// States are kept to the shortest whole state (105 KB) and a little more:
// buffers past 128 KB cost the sanitizer a fresh mapping, and most of a run.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include <tavro/core/chunk_conversion.h>
#include <tavro/core/conversion.h>
#include <tavro/core/layout_expansion.h>
#include "level_description.h"
#include <tavro/drawing/level_render.h>
#include <tavro/core/packed_conversion.h>
#include <tavro/core/region_map.h>

namespace {

using tavro::core::Bytes;
using tavro::core::RegionName;
namespace format = tavro::core::format;
constexpr format::GameFormat kSource = format::kFirstGame;
constexpr format::GameFormat kTarget = format::kSecondGame;
constexpr std::size_t kCells = kSource.layoutBytes();  // source layout cells, both planes

std::span<const std::uint8_t> region(const Bytes& state, const tavro::core::RegionMap& map, RegionName name) {
    return std::span(state).subspan(map[name].offset(), map[name].length);
}

// Whole-buffer comparisons (memcmp) rather than byte loops keep a run short.
bool allZero(std::span<const std::uint8_t> bytes) {
    return bytes.empty() || (bytes[0] == 0 && std::memcmp(bytes.data(), bytes.data() + 1, bytes.size() - 1) == 0);
}

// The picture of one first-game cell and of the 2x2 second-game cells it
// became.
void checkCellPicture(const Bytes& source, const Bytes& patched, std::size_t cellIndex, bool arrivesEmpty) {
    using namespace tavro::drawing;
    const std::size_t sourceRow = kSource.layoutRowBytes(), columns = static_cast<std::size_t>(kSource.planeColumns);
    const int row = static_cast<int>(cellIndex / sourceRow), column = static_cast<int>(cellIndex % columns);
    const Plane plane = cellIndex % sourceRow >= columns ? Plane::Background : Plane::Foreground;

    if (arrivesEmpty) {
        const std::size_t below = kTarget.layoutRowBytes();
        const std::size_t first = format::kMainRamOffset + kTarget.layout + static_cast<std::size_t>(2 * row) * below +
                                  (plane == Plane::Background ? static_cast<std::size_t>(kTarget.planeColumns) : 0) +
                                  static_cast<std::size_t>(2 * column);
        if (patched[first] != 0 || patched[first + 1] != 0 || patched[first + below] != 0 ||
            patched[first + below + 1] != 0)
            std::abort();
        return;
    }
    // Patterns 1024 and above are not carried over: both states are read
    // without them (they lie past the shortest state and draw nothing).
    const auto after = std::span(patched).first(tavro::core::kMinSaveStateSize);
    const IndexedImage converted =
        drawPlane(LevelMemory::fromSaveState(after).value(), Game::Second, plane, {2 * column, 2 * row, 2, 2});
    const IndexedImage original =
        drawPlane(LevelMemory::fromSaveState(source).value(), Game::First, plane, {column, row, 1, 1});
    if (original.pixels != converted.pixels || original.width != converted.width) std::abort();
}

// A source and a target as the fuzzer's input describes them.
struct FuzzedPair {
    Bytes padded;  // the source's first kMinSaveStateSize bytes, zeros past its end
    std::size_t sourceLength = 0;
    Bytes target;
    std::size_t pictureCell = 0;
    bool packed = false;

    std::span<const std::uint8_t> source() const { return {padded.data(), sourceLength}; }
};

FuzzedPair makePair(FuzzedDataProvider& input) {
    FuzzedPair pair;
    const bool shortSource = input.ConsumeIntegral<std::uint8_t>() < 32;
    pair.sourceLength = shortSource ? input.ConsumeIntegral<std::uint32_t>() % tavro::core::kMinSaveStateSize
                                    : tavro::core::kMinSaveStateSize;
    std::size_t targetLength = 0;
    switch (input.ConsumeIntegral<std::uint8_t>() % 4) {
    case 0: break;
    case 1: targetLength = input.ConsumeIntegral<std::uint32_t>() % tavro::core::kMinSaveStateSize; break;
    case 2: targetLength = tavro::core::kMinSaveStateSize; break;
    default:
        targetLength = tavro::core::kMinSaveStateSize + 64 * std::size_t{input.ConsumeIntegral<std::uint8_t>()};
        break;
    }
    const unsigned fill = input.ConsumeIntegral<std::uint8_t>();
    pair.pictureCell = input.ConsumeIntegral<std::uint16_t>() % kCells;
    pair.packed = input.ConsumeBool();

    // The whole state is built, then cut to the source's length: bytes past
    // the end read as zero, which the padded copy shows to the renderer.
    pair.padded.assign(tavro::core::kMinSaveStateSize, 0);
    tavro::fuzz::applySteps(input, kSource, pair.padded);
    std::fill(pair.padded.begin() + static_cast<std::ptrdiff_t>(pair.sourceLength), pair.padded.end(), 0);
    if (pair.packed) {
        // Packing makes an empty quarter chunk 0, which draws nothing, where
        // the first game draws block 0 and pattern 0: levels keep both empty.
        std::fill_n(pair.padded.begin() + format::kMainRamOffset + kSource.blockTable, format::kBlockBytes, 0);
        std::fill_n(pair.padded.begin() + format::kVideoRamOffset, format::kPatternBytes, 0);
    }
    pair.target.assign(targetLength, static_cast<std::uint8_t>(fill));
    for (std::size_t i = 0; i < pair.target.size(); i += 509)
        pair.target[i] = static_cast<std::uint8_t>(fill + 1 + i / 509);
    return pair;
}

// The length, and every byte outside the regions, kept; patterns, palette and
// blocks arrive as they were.
void checkTargetKeptAndArtCarried(const FuzzedPair& pair, const Bytes& patched) {
    const Bytes& target = pair.target;
    if (patched.size() != std::max(target.size(), tavro::core::kMinSaveStateSize)) std::abort();
    std::array<tavro::core::SaveStateRegion, 5> sorted = tavro::core::kTargetRegions.regions;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.offset() < b.offset(); });
    const auto keptOutside = [&](std::size_t begin, std::size_t end) {
        const std::size_t kept = std::clamp(target.size(), begin, end);  // [kept, end) was grown with zeros
        return (kept == begin || std::memcmp(patched.data() + begin, target.data() + begin, kept - begin) == 0) &&
               allZero(std::span(patched).subspan(kept, end - kept));
    };
    std::size_t from = 0;
    for (const auto& r : sorted) {
        if (!keptOutside(from, r.offset())) std::abort();
        from = r.end();
    }
    if (!keptOutside(from, patched.size())) std::abort();

    for (const RegionName name : {RegionName::PatternArea, RegionName::PaletteArea, RegionName::BlockTable}) {
        const auto before = region(pair.padded, tavro::core::kSourceRegions, name);
        const auto after = region(patched, tavro::core::kTargetRegions, name);
        if (!std::equal(before.begin(), before.end(), after.begin(), after.end())) std::abort();
    }
}

// The summary, counted from the layout and chunk bytes. Packed, the cells
// left empty are those the summary lists (none while the level's quarters
// fit); fixed, those naming chunks 64 and above. Returns which cells arrive empty.
std::vector<bool> checkSummary(const FuzzedPair& pair, const tavro::core::LevelSummary& summary) {
    const std::uint8_t* layout = &pair.padded[format::kMainRamOffset + kSource.layout];
    const auto chunkOf = [&](std::size_t cell) { return tavro::core::cellChunk(layout[cell]); };
    // The listed cells as layout bytes: rows of foreground then background cells.
    std::vector<bool> listed(kCells);
    const auto planeColumns = static_cast<std::size_t>(kSource.planeColumns);
    for (const tavro::core::LayoutCell& cell : summary.emptiedCells) {
        const std::size_t column = static_cast<std::size_t>(cell.column), row = static_cast<std::size_t>(cell.row);
        if (column >= planeColumns || row * kSource.layoutRowBytes() >= kCells) std::abort();
        listed.at(row * kSource.layoutRowBytes() + (cell.plane == tavro::core::Plane::Background ? planeColumns : 0) +
                  column) = true;
    }
    const auto listedEmpty = [&](std::size_t cell) { return static_cast<bool>(listed[cell]); };
    std::vector<bool> arrivesEmpty(kCells);
    int expanded = 0, lost = 0, withData = 0;
    for (std::size_t i = 0; i < kCells; ++i) {
        arrivesEmpty[i] =
            chunkOf(i) == 0 || (pair.packed ? listedEmpty(i) : chunkOf(i) > tavro::core::kLastConvertedChunk);
        expanded += !arrivesEmpty[i];
        lost += chunkOf(i) != 0 && arrivesEmpty[i];
        if (listedEmpty(i) != (chunkOf(i) != 0 && arrivesEmpty[i])) std::abort();
    }
    for (unsigned chunk = 1; chunk <= tavro::core::kLastConvertedChunk; ++chunk)
        withData += !allZero(
            std::span(pair.padded).subspan(format::kMainRamOffset + kSource.chunkAddress(chunk), kSource.chunkBytes()));
    if (summary.cellsExpanded != expanded || summary.cellsLost != lost || summary.chunksWithData != withData)
        std::abort();
    if (pair.packed && summary.chunksUsed > tavro::core::kPackedChunkSlots) std::abort();
    return arrivesEmpty;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const FuzzedPair pair = makePair(input);
    const auto numbering = pair.packed ? tavro::core::ChunkNumbering::Packed : tavro::core::ChunkNumbering::Fixed;
    const tavro::core::ConvertedLevel level =
        tavro::core::convertLevel(tavro::core::readSourceRegions(pair.source()), numbering);
    const Bytes patched = tavro::core::patchTarget(pair.target, level.regions);
    checkTargetKeptAndArtCarried(pair, patched);

    // Converting again over the result changes nothing; from a short source,
    // the conversion is the one of the source padded with zeros.
    const Bytes again =
        pair.sourceLength < pair.padded.size()
            ? tavro::core::patchTarget(
                  patched, tavro::core::convertRegions(tavro::core::readSourceRegions(pair.padded), numbering))
            : tavro::core::patchTarget(patched, level.regions);
    if (again != patched) std::abort();

    const std::vector<bool> arrivesEmpty = checkSummary(pair, level.summary);

    // One cell's picture: the chosen one, or the next that names a chunk.
    const std::uint8_t* layout = &pair.padded[format::kMainRamOffset + kSource.layout];
    std::size_t cell = pair.pictureCell;
    for (std::size_t n = 0; n < kCells && tavro::core::cellChunk(layout[cell]) == 0; ++n) cell = (cell + 1) % kCells;
    checkCellPicture(pair.padded, patched, cell, arrivesEmpty[cell]);
    return 0;
}
