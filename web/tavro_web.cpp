// The C interface of tavro_web.h over the engine's in-memory functions.
#include "tavro_web.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include <tavro/core/conversion.h>
#include <tavro/core/level_check.h>
#include <tavro/drawing/level_render.h>
#include <tavro/core/region_map.h>

#if defined(__wasm__)
#define TW_EXPORT(name) __attribute__((export_name(#name)))
#else
#define TW_EXPORT(name)
#endif

struct tw_result {
    int32_t cause = TW_FINE;
    int32_t file = TW_SOURCE;
    int32_t count = 0;
    int32_t limit = 0;
    int32_t looks = TW_LOOKS_NOISE;
    tavro::core::LevelSummary summary;
    int32_t width = 0, height = 0, factor = 0;
    tavro::drawing::CellBox box;
    std::vector<std::uint8_t> data;
    int32_t hiddenMarks = 0;
    std::array<std::vector<int32_t>, 3> lists;  // by TW_LOST_CHUNKS, TW_EMPTIED_CELLS, TW_MARKS
};

namespace {

using tavro::core::Cause;
using tavro::core::EngineError;
namespace core = tavro::core;
namespace drawing = tavro::drawing;

std::span<const std::uint8_t> bytes(const uint8_t* data, size_t size) {
    return data == nullptr ? std::span<const std::uint8_t>{} : std::span<const std::uint8_t>(data, size);
}

int32_t looksCode(tavro::core::FileLooks looks) {
    switch (looks) {
    case tavro::core::FileLooks::FirstGameState: return TW_LOOKS_TAVRO1;
    case tavro::core::FileLooks::SecondGameState: return TW_LOOKS_TAVRO2;
    case tavro::core::FileLooks::Picture: return TW_LOOKS_PICTURE;
    case tavro::core::FileLooks::Text: return TW_LOOKS_TEXT;
    case tavro::core::FileLooks::Zeros: return TW_LOOKS_ZEROS;
    case tavro::core::FileLooks::Noise: return TW_LOOKS_NOISE;
    }
    return TW_LOOKS_NOISE;
}

int32_t clamped(std::uintmax_t value) { return value > 0x7fffffffu ? 0x7fffffff : static_cast<int32_t>(value); }

int32_t causeCode(core::Cause cause) {
    switch (cause) {
    case core::Cause::TooShort: return TW_TOO_SHORT;
    case core::Cause::NotFirstGameLevel: return TW_NOT_A_LEVEL;
    case core::Cause::LooksSwapped: return TW_LOOKS_SWAPPED;
    case core::Cause::NotSecondGameState: return TW_NOT_A_TARGET;
    case core::Cause::EmptyForeground: return TW_EMPTY_FOREGROUND;
    case core::Cause::EmptyBackground: return TW_EMPTY_BACKGROUND;
    default: return TW_OTHER;
    }
}

tw_result* refusal(const core::EngineError& error, int32_t file) {
    auto* result = new tw_result;
    result->cause = causeCode(error.cause);
    result->file = file;
    // The page's only causes with numbers: a size and the least size, or the
    // cells naming chunks a level cannot hold and those naming any.
    if (const auto* sizes = std::get_if<tavro::core::ByteCounts>(&error.facts)) {
        result->count = clamped(sizes->bytes);
        result->limit = clamped(sizes->of);
    } else if (const auto* cells = std::get_if<tavro::core::CellCounts>(&error.facts)) {
        result->count = clamped(cells->impossible);
        result->limit = clamped(cells->naming);
        result->looks = looksCode(cells->looks);
    }
    return result;
}

drawing::Game gameOf(int game) { return game == 2 ? drawing::Game::Second : drawing::Game::First; }
core::Plane planeOf(int plane) { return plane == 1 ? core::Plane::Background : core::Plane::Foreground; }

tw_result* picture(tw_result* result, drawing::CellBox box, int factor, drawing::RgbaImage&& image) {
    result->box = box;
    result->factor = factor;
    result->width = image.width;
    result->height = image.height;
    result->data = std::move(image.pixels);
    return result;
}

}  // namespace

extern "C" {

TW_EXPORT(tw_allocate) uint8_t* tw_allocate(size_t size) {
    return static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
}

TW_EXPORT(tw_free) void tw_free(uint8_t* buffer) { std::free(buffer); }

TW_EXPORT(tw_target_head_bytes) size_t tw_target_head_bytes(void) { return tavro::core::kMinSaveStateSize; }

TW_EXPORT(tw_convert) tw_result* tw_convert(const uint8_t* source, size_t sourceSize, const uint8_t* targetHead,
                                            size_t targetHeadSize, int flags) {
    for (const auto& [size, file] : {std::pair{sourceSize, TW_SOURCE}, std::pair{targetHeadSize, TW_TARGET}})
        if (auto refused = tavro::core::tooShort(size)) return refusal(*refused, file);
    const auto sourceBytes = bytes(source, sourceSize);
    if ((flags & TW_FORCE) == 0) {
        if (auto refused =
                tavro::core::wrongGame(sourceBytes, bytes(targetHead, targetHeadSize), (flags & TW_FORCE_SOURCE) != 0))
            return refusal(*refused, refused->file == tavro::core::FileRole::Target ? TW_TARGET : TW_SOURCE);
    }
    const auto numbering =
        (flags & TW_PACK) != 0 ? tavro::core::ChunkNumbering::Packed : tavro::core::ChunkNumbering::Fixed;
    auto converted = tavro::core::convertLevel(tavro::core::readSourceRegions(sourceBytes), numbering);
    const auto head = bytes(targetHead, std::min(targetHeadSize, tavro::core::kMinSaveStateSize));

    auto* result = new tw_result;
    result->data = tavro::core::patchTarget(tavro::core::Bytes(head.begin(), head.end()), converted.regions);
    result->summary = std::move(converted.summary);
    result->lists[TW_LOST_CHUNKS].assign(result->summary.lostChunks.begin(), result->summary.lostChunks.end());
    for (const tavro::core::LayoutCell& cell : result->summary.emptiedCells)
        result->lists[TW_EMPTIED_CELLS].insert(
            result->lists[TW_EMPTIED_CELLS].end(),
            {cell.plane == tavro::core::Plane::Background ? 1 : 0, cell.row, cell.column});
    return result;
}

TW_EXPORT(tw_preview) tw_result* tw_preview(const uint8_t* state, size_t size, int game, int plane, int maxWidth,
                                            int maxHeight, int frameColumn, int frameRow, int frameColumns,
                                            int frameRows) {
    const auto level = drawing::LevelMemory::fromSaveState(bytes(state, size));
    if (!level) return refusal(level.error(), TW_SOURCE);
    std::optional<drawing::CellBox> frame;
    if (frameColumns > 0 && frameRows > 0) frame = drawing::CellBox{frameColumn, frameRow, frameColumns, frameRows};
    auto preview = drawing::drawPreview(*level, gameOf(game), planeOf(plane), std::max(maxWidth, 1),
                                        std::max(maxHeight, 1), frame);
    if (!preview) return refusal(preview.error(), TW_SOURCE);
    return picture(new tw_result, preview->box, preview->factor, std::move(preview->picture));
}

TW_EXPORT(tw_render) tw_result* tw_render(const uint8_t* state, size_t size, int game, int plane, int factor,
                                          int boxColumn, int boxRow, int boxColumns, int boxRows) {
    const auto level = drawing::LevelMemory::fromSaveState(bytes(state, size));
    if (!level) return refusal(level.error(), TW_SOURCE);
    drawing::CellBox box{boxColumn, boxRow, boxColumns, boxRows};
    if (boxColumns <= 0 || boxRows <= 0) {
        const auto used = drawing::cellsInUse(*level, gameOf(game), planeOf(plane));
        if (!used) return refusal(used.error(), TW_SOURCE);
        box = *used;
    }
    factor = std::clamp(factor, 1, 256);
    return picture(new tw_result, box, factor, drawing::drawScaled(*level, gameOf(game), planeOf(plane), box, factor));
}

TW_EXPORT(tw_cell_pixels) int tw_cell_pixels(int game) { return drawing::cellPixels(gameOf(game)); }

TW_EXPORT(tw_after_frame) tw_result* tw_after_frame(int beforeColumn, int beforeRow, int beforeColumns, int beforeRows,
                                                    const int32_t* emptiedCells, size_t count) {
    std::optional<drawing::CellBox> before;
    if (beforeColumns > 0 && beforeRows > 0)
        before = drawing::CellBox{beforeColumn, beforeRow, beforeColumns, beforeRows};
    std::vector<core::LayoutCell> cells;
    for (size_t i = 0; emptiedCells != nullptr && i + 3 <= count; i += 3)
        cells.push_back({planeOf(emptiedCells[i]), emptiedCells[i + 1], emptiedCells[i + 2]});
    const drawing::AfterFrame after = drawing::afterFrame(before, cells);
    auto* result = new tw_result;
    if (after.frame) result->box = *after.frame;
    result->hiddenMarks = after.hiddenMarks;
    for (const drawing::CellBox& mark : after.marks)
        result->lists[TW_MARKS].insert(result->lists[TW_MARKS].end(), {mark.column, mark.row, mark.columns, mark.rows});
    return result;
}

TW_EXPORT(tw_get) int32_t tw_get(const tw_result* result, int what) {
    if (result == nullptr) return 0;
    const tavro::core::LevelSummary& level = result->summary;
    switch (what) {
    case TW_CAUSE: return result->cause;
    case TW_FILE: return result->file;
    case TW_COUNT: return result->count;
    case TW_LIMIT: return result->limit;
    case TW_LOOKS: return result->looks;
    case TW_PACKED: return level.numbering == tavro::core::ChunkNumbering::Packed ? 1 : 0;
    case TW_CHUNKS_WITH_DATA: return level.chunksWithData;
    case TW_CHUNKS_NAMED: return level.chunksNamed;
    case TW_CHUNKS_USED: return level.chunksUsed;
    case TW_CELLS_EXPANDED: return level.cellsExpanded;
    case TW_CELLS_LOST: return level.cellsLost;
    case TW_PACKED_SLOTS: return tavro::core::kPackedChunkSlots;
    case TW_WIDTH: return result->width;
    case TW_HEIGHT: return result->height;
    case TW_FACTOR: return result->factor;
    case TW_BOX_COLUMN: return result->box.column;
    case TW_BOX_ROW: return result->box.row;
    case TW_BOX_COLUMNS: return result->box.columns;
    case TW_BOX_ROWS: return result->box.rows;
    case TW_HIDDEN_MARKS: return result->hiddenMarks;
    default: return 0;
    }
}

TW_EXPORT(tw_data) const uint8_t* tw_data(const tw_result* result) {
    return result == nullptr ? nullptr : result->data.data();
}

TW_EXPORT(tw_data_size) size_t tw_data_size(const tw_result* result) {
    return result == nullptr ? 0 : result->data.size();
}

TW_EXPORT(tw_list) const int32_t* tw_list(const tw_result* result, int which) {
    if (result == nullptr || which < 0 || static_cast<size_t>(which) >= result->lists.size()) return nullptr;
    return result->lists[static_cast<size_t>(which)].data();
}

TW_EXPORT(tw_list_size) size_t tw_list_size(const tw_result* result, int which) {
    if (result == nullptr || which < 0 || static_cast<size_t>(which) >= result->lists.size()) return 0;
    return result->lists[static_cast<size_t>(which)].size();
}

TW_EXPORT(tw_release) void tw_release(tw_result* result) { delete result; }

}  // extern "C"
