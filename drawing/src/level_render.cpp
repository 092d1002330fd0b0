#include <tavro/drawing/level_render.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include <tavro/core/level_check.h>
#include <tavro/core/region_map.h>

namespace tavro::drawing {
namespace {

using core::format::GameFormat;
using core::format::kBlockCount;
using core::format::kBlockPixels;
using core::format::kMainRamOffset;
using core::format::kVideoRamOffset;

constexpr unsigned kPatternPixels = core::format::kPatternPixels;
constexpr unsigned kBlockQuarters = 4;  // patterns of a block, and flips of an entry

const GameFormat& formatOf(Game game) {
    return game == Game::First ? core::format::kFirstGame : core::format::kSecondGame;
}

unsigned word(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<unsigned>(bytes[offset] << 8 | bytes[offset + 1]);
}

unsigned cellAt(const LevelMemory& level, const GameFormat& f, core::Plane plane, int row, int column) {
    const int planeColumn = column + (plane == core::Plane::Background ? f.planeColumns : 0);
    const auto offset = static_cast<std::size_t>(row) * f.layoutRowBytes() + static_cast<std::size_t>(planeColumn);
    return level.ram()[f.layout + offset] & f.cellChunkMask;
}

// The part of [start, start + length) inside [0, limit), as a start and a
// length. Worked in 64 bits, where no pair of ints can overflow the far edge.
std::pair<int, int> clipSpan(int start, int length, int limit) {
    const std::int64_t first = std::clamp<std::int64_t>(start, 0, limit);
    const std::int64_t last = std::clamp<std::int64_t>(std::int64_t{start} + std::max(length, 0), first, limit);
    return {static_cast<int>(first), static_cast<int>(last - first)};
}

CellBox clip(CellBox box, const GameFormat& f) {
    const auto [left, columns] = clipSpan(box.column, box.columns, f.planeColumns);
    const auto [top, rows] = clipSpan(box.row, box.rows, f.layoutRows);
    return {left, top, columns, rows};
}

// The 16x16 pixels of every block in each of its four entry flips, drawn the
// first time a strip needs them: at most 3,072 small pictures, after which
// drawing a strip is copying their rows. Pictures are stored in the order they
// are drawn, in room for as many as the entries that will be looked up (a
// small box needs a small fraction of the 786 KB that all of them take).
class BlockImages {
public:
    BlockImages(const LevelMemory& level, const GameFormat& game, std::size_t lookups)
        : level_(level), format_(game), capacity_(std::min(lookups, kImages) + 1),
          pixels_(std::make_unique_for_overwrite<std::uint8_t[]>(capacity_ * kImageBytes)), slots_(kImages, 0) {
        std::fill_n(pixels_.get(), kImageBytes, 0);  // slot 0: the empty block, all transparent
    }

    // The picture of the block a chunk entry names, 16 rows of 16 bytes.
    const std::uint8_t* image(unsigned entry) {
        const unsigned block = entry & core::format::kEntryBlockMask;
        if (block >= kBlockCount) return empty();  // past the block table: nothing
        const unsigned hflip = (entry >> format_.entryHFlipBit) & 1;
        const unsigned vflip = (entry >> format_.entryVFlipBit) & 1;
        std::uint16_t& slot = slots_[block * kBlockQuarters + vflip * 2 + hflip];
        if (slot == 0) {
            assert(drawn_ < capacity_);  // each lookup draws at most one picture
            slot = static_cast<std::uint16_t>(drawn_++);
            draw(block, hflip, vflip, &pixels_[slot * kImageBytes]);
        }
        return &pixels_[slot * kImageBytes];
    }

    const std::uint8_t* empty() const { return pixels_.get(); }

private:
    static constexpr std::size_t kImages = kBlockCount * kBlockQuarters;  // every block in its four flips
    static constexpr std::size_t kImageBytes = kBlockPixels * kBlockPixels;

    void draw(unsigned block, unsigned hflip, unsigned vflip, std::uint8_t* pixels) const {
        const auto ram = level_.ram();
        const auto video = level_.videoRam();
        for (unsigned quarter = 0; quarter < kBlockQuarters; ++quarter) {
            // A mirrored block takes its patterns from the opposite side and
            // turns each of them over as well.
            const unsigned slot = quarter ^ (vflip * 2 + hflip);
            const unsigned pattern = word(ram, format_.blockTable + block * core::format::kBlockBytes + slot * 2);
            const std::size_t art = (pattern & core::format::kPatternIndexMask) * core::format::kPatternBytes;
            const unsigned mirrorX = (((pattern >> core::format::kPatternHFlipBit) & 1) ^ hflip) * (kPatternPixels - 1);
            const unsigned mirrorY = (((pattern >> core::format::kPatternVFlipBit) & 1) ^ vflip) * (kPatternPixels - 1);
            const unsigned line = ((pattern >> core::format::kPatternLineShift) & 3) * core::format::kLineColours;
            std::uint8_t* out = pixels + (quarter / 2) * kPatternPixels * kBlockPixels + (quarter % 2) * kPatternPixels;
            for (unsigned y = 0; y < kPatternPixels; ++y) {
                for (unsigned x = 0; x < kPatternPixels; ++x) {
                    const unsigned sx = x ^ mirrorX, sy = y ^ mirrorY;
                    const std::uint8_t pair = video[art + sy * core::format::kPatternRowBytes + sx / 2];
                    const unsigned colour = (sx % 2 == 0) ? pair >> 4 : pair & 0x0F;
                    out[y * kBlockPixels + x] = static_cast<std::uint8_t>(colour == 0 ? 0 : line + colour);
                }
            }
        }
    }

    const LevelMemory& level_;
    const GameFormat& format_;
    std::size_t capacity_;
    std::size_t drawn_ = 1;
    std::unique_ptr<std::uint8_t[]> pixels_;  // not cleared: a slot is drawn before it is read
    std::vector<std::uint16_t> slots_;        // 0 until drawn
};

// Draws 16 pixel rows (one row of blocks) of the cells of a box. `rows` points
// at the strip's top-left pixel; a pixel row is `stride` bytes. Every pixel of
// the strip is written, one whole pixel row after the other.
class StripPainter {
public:
    StripPainter(const LevelMemory& level, Game game, core::Plane plane, CellBox box)
        : level_(level), format_(formatOf(game)), plane_(plane), box_(box),
          images_(level, format_,
                  static_cast<std::size_t>(box.columns) * static_cast<std::size_t>(box.rows) *
                      static_cast<std::size_t>(format_.chunkSide * format_.chunkSide)),
          blocks_(static_cast<std::size_t>(box.columns * format_.chunkSide)) {}

    int stripCount() const { return box_.rows * format_.chunkSide; }
    std::size_t width() const { return blocks_.size() * kBlockPixels; }

    void paint(int strip, std::uint8_t* rows, std::size_t stride) {
        assert(strip >= 0 && strip < stripCount());
        const int cellRow = box_.row + strip / format_.chunkSide;
        const int entryRow = strip % format_.chunkSide;
        const auto perCell = static_cast<std::size_t>(format_.chunkSide);
        auto block = blocks_.begin();
        for (int c = 0; c < box_.columns; ++c) {
            const unsigned chunk = cellAt(level_, format_, plane_, cellRow, box_.column + c);
            if (chunk == 0) {
                block = std::fill_n(block, perCell, images_.empty());
                continue;
            }
            const std::size_t entries = format_.chunkAddress(chunk) + static_cast<std::size_t>(entryRow) * perCell * 2;
            for (std::size_t e = 0; e < perCell; ++e) *block++ = images_.image(word(level_.ram(), entries + e * 2));
        }
        for (std::size_t y = 0; y < kBlockPixels; ++y) {
            std::uint8_t* out = rows + y * stride;
            for (const std::uint8_t* image : blocks_) {
                std::memcpy(out, image + y * kBlockPixels, kBlockPixels);
                out += kBlockPixels;
            }
        }
    }

private:
    const LevelMemory& level_;
    const GameFormat& format_;
    core::Plane plane_;
    CellBox box_;
    BlockImages images_;
    std::vector<const std::uint8_t*> blocks_;  // the blocks of the strip, left to right
};

// Accumulates pixel rows of an indexed picture into box averages.
class Downscaler {
public:
    Downscaler(std::size_t width, std::size_t height, int factor, const Palette& palette)
        : width_(width), height_(height), factor_(static_cast<std::size_t>(std::max(factor, 1))),
          outWidth_((width + factor_ - 1) / factor_), sums_(outWidth_ * 4, 0) {
        out_.width = static_cast<int>(outWidth_);
        out_.height = static_cast<int>((height + factor_ - 1) / factor_);
        out_.pixels.assign(outWidth_ * static_cast<std::size_t>(out_.height) * 4, 0);
        // Four 16-bit lanes: red, green, blue and an opaque count. A lane sums
        // at most kLaneRun pixels of up to 255 before it is spilled.
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const Rgba& c = palette[i];
            if (c.a == 0) continue;
            lanes_[i] = std::uint64_t{c.r} | std::uint64_t{c.g} << 16 | std::uint64_t{c.b} << 32 | 1ull << 48;
        }
    }

    void addRow(const std::uint8_t* pixels) {
        for (std::size_t ox = 0; ox < outWidth_; ++ox) {
            const std::size_t begin = ox * factor_;
            const std::size_t end = std::min(begin + factor_, width_);
            std::uint64_t* sum = &sums_[ox * 4];
            for (std::size_t run = begin; run < end; run += kLaneRun) {
                const std::size_t runEnd = std::min(run + kLaneRun, end);
                std::uint64_t packed = 0;
                for (std::size_t x = run; x < runEnd; ++x) packed += lanes_[pixels[x]];
                sum[0] += packed & 0xFFFF;
                sum[1] += (packed >> 16) & 0xFFFF;
                sum[2] += (packed >> 32) & 0xFFFF;
                sum[3] += packed >> 48;
            }
        }
        ++row_;
        if (row_ % factor_ == 0 || row_ == height_) emitRow();
    }

    RgbaImage take() { return std::move(out_); }

private:
    // 256 pixels of 255 make 65,280: a lane never carries into the next. Rows
    // wider than a run are summed a run at a time, whatever the factor.
    static constexpr std::size_t kLaneRun = 256;
    static_assert(kLaneRun * 255 <= 0xFFFF);

    void emitRow() {
        const std::size_t outRow = (row_ - 1) / factor_;
        const std::size_t rowsInBox = row_ - outRow * factor_;
        std::uint8_t* out = &out_.pixels[outRow * outWidth_ * 4];
        for (std::size_t ox = 0; ox < outWidth_; ++ox) {
            std::uint64_t* sum = &sums_[ox * 4];
            const std::uint64_t count = sum[3];
            if (count != 0) {
                const std::size_t columns = std::min(factor_, width_ - ox * factor_);
                const std::uint64_t total = rowsInBox * columns;
                for (int channel = 0; channel < 3; ++channel)
                    out[ox * 4 + static_cast<std::size_t>(channel)] =
                        static_cast<std::uint8_t>((sum[channel] + count / 2) / count);
                out[ox * 4 + 3] = static_cast<std::uint8_t>((count * 255 + total / 2) / total);
            }
            std::fill_n(sum, 4, 0);
        }
    }

    std::size_t width_;
    std::size_t height_;
    std::size_t factor_;
    std::size_t outWidth_;
    std::size_t row_ = 0;
    std::array<std::uint64_t, 256> lanes_{};
    std::vector<std::uint64_t> sums_;
    RgbaImage out_;
};

}  // namespace

std::expected<LevelMemory, core::EngineError> LevelMemory::fromSaveState(std::span<const std::uint8_t> state) {
    if (auto refused = core::tooShort(
            state.size(),
            {.operation = core::Operation::Draw, .file = core::FileRole::SaveState, .step = core::Step::Check}))
        return std::unexpected(std::move(*refused));
    LevelMemory level;
    const auto ram = state.subspan(kMainRamOffset, kRamBytes);
    std::copy(ram.begin(), ram.end(), level.ram_.begin());
    const auto video = state.subspan(kVideoRamOffset, std::min(kVideoRamBytes, state.size() - kVideoRamOffset));
    std::copy(video.begin(), video.end(), level.videoRam_.begin());
    return level;
}

int cellPixels(Game game) { return formatOf(game).cellPixels(); }

CellBox wholePlane(Game game) {
    const GameFormat& f = formatOf(game);
    return {0, 0, f.planeColumns, f.layoutRows};
}

std::optional<CellBox> usedCells(const LevelMemory& level, Game game, core::Plane plane) {
    const GameFormat& f = formatOf(game);
    int left = f.planeColumns, right = -1, top = f.layoutRows, bottom = -1;
    for (int row = 0; row < f.layoutRows; ++row) {
        for (int column = 0; column < f.planeColumns; ++column) {
            if (cellAt(level, f, plane, row, column) == 0) continue;
            left = std::min(left, column);
            right = std::max(right, column);
            top = std::min(top, row);
            bottom = std::max(bottom, row);
        }
    }
    if (right < 0) return std::nullopt;
    return CellBox{left, top, right - left + 1, bottom - top + 1};
}

std::expected<CellBox, core::EngineError> cellsInUse(const LevelMemory& level, Game game, core::Plane plane) {
    if (auto used = usedCells(level, game, plane)) return *used;
    return std::unexpected(core::EngineError{.operation = core::Operation::Draw,
                                             .file = core::FileRole::SaveState,
                                             .step = core::Step::Draw,
                                             .cause = plane == core::Plane::Foreground ? core::Cause::EmptyForeground
                                                                                       : core::Cause::EmptyBackground});
}

Palette readPalette(const LevelMemory& level) {
    Palette palette{};
    const auto spread = [](unsigned threeBits) { return static_cast<std::uint8_t>(threeBits * 255 / 7); };
    for (std::size_t i = 0; i < palette.size(); ++i) {
        if (i % core::format::kLineColours == 0) continue;  // colour 0 of a line is transparent
        const unsigned colour = word(level.ram(), core::format::kPaletteAddress + i * 2);
        palette[i] = {spread((colour >> 1) & 7), spread((colour >> 5) & 7), spread((colour >> 9) & 7), 255};
    }
    return palette;
}

IndexedImage drawPlane(const LevelMemory& level, Game game, core::Plane plane) {
    return drawPlane(level, game, plane, wholePlane(game));
}

IndexedImage drawPlane(const LevelMemory& level, Game game, core::Plane plane, CellBox box) {
    const GameFormat& f = formatOf(game);
    box = clip(box, f);
    IndexedImage image;
    image.width = box.columns * f.cellPixels();
    image.height = box.rows * f.cellPixels();
    image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    if (image.pixels.empty()) return image;

    StripPainter painter(level, game, plane, box);
    const std::size_t stride = painter.width();
    for (int strip = 0; strip < painter.stripCount(); ++strip)
        painter.paint(strip, &image.pixels[static_cast<std::size_t>(strip) * kBlockPixels * stride], stride);
    return image;
}

RgbaImage toRgba(const IndexedImage& image, const Palette& palette) {
    RgbaImage out{image.width, image.height, std::vector<std::uint8_t>(image.pixels.size() * 4)};
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const Rgba c = image.pixels[i] < palette.size() ? palette[image.pixels[i]] : Rgba{};
        out.pixels[i * 4] = c.r;
        out.pixels[i * 4 + 1] = c.g;
        out.pixels[i * 4 + 2] = c.b;
        out.pixels[i * 4 + 3] = c.a;
    }
    return out;
}

RgbaImage scaleDown(const IndexedImage& image, const Palette& palette, int factor) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return {};
    const auto width = static_cast<std::size_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    Downscaler scaler(width, height, factor, palette);
    for (std::size_t y = 0; y < height; ++y) scaler.addRow(&image.pixels[y * width]);
    return scaler.take();
}

RgbaImage drawScaled(const LevelMemory& level, Game game, core::Plane plane, CellBox box, int factor) {
    const GameFormat& f = formatOf(game);
    box = clip(box, f);
    StripPainter painter(level, game, plane, box);
    const std::size_t width = painter.width();
    const auto height = static_cast<std::size_t>(box.rows * f.cellPixels());
    Downscaler scaler(width, height, factor, readPalette(level));
    if (width == 0) return scaler.take();  // no columns: rows of nothing, and no strip to point into
    std::vector<std::uint8_t> strip(width * kBlockPixels);
    for (int s = 0; s < painter.stripCount(); ++s) {
        painter.paint(s, strip.data(), width);
        for (std::size_t y = 0; y < kBlockPixels; ++y) scaler.addRow(&strip[y * width]);
    }
    return scaler.take();
}

int fitFactor(int width, int maxWidth) {
    if (width <= 0) return 1;
    return (width - 1) / std::max(maxWidth, 1) + 1;  // rounds up without passing INT_MAX
}

CellBox inSecondGameCells(CellBox box) {
    return {box.column * kCellRatio, box.row * kCellRatio, box.columns * kCellRatio, box.rows * kCellRatio};
}

CellBox enclosing(CellBox first, CellBox second, CellBox within) {
    // In 64 bits: a box's far edge may lie past INT_MAX.
    const auto end = [](int start, int length) { return std::int64_t{start} + length; };
    const int left = std::max(std::min(first.column, second.column), within.column);
    const int top = std::max(std::min(first.row, second.row), within.row);
    const std::int64_t right = std::min(std::max(end(first.column, first.columns), end(second.column, second.columns)),
                                        end(within.column, within.columns));
    const std::int64_t bottom =
        std::min(std::max(end(first.row, first.rows), end(second.row, second.rows)), end(within.row, within.rows));
    return {left, top, static_cast<int>(std::max<std::int64_t>(right - left, 0)),
            static_cast<int>(std::max<std::int64_t>(bottom - top, 0))};
}

AfterFrame afterFrame(std::optional<CellBox> before, std::span<const core::LayoutCell> emptiedCells) {
    AfterFrame after;
    if (before) after.frame = inSecondGameCells(*before);
    for (const core::LayoutCell& place : emptiedCells) {
        if (place.plane == core::Plane::Background) {
            ++after.hiddenMarks;
            continue;
        }
        const CellBox mark = inSecondGameCells({place.column, place.row, 1, 1});
        after.marks.push_back(mark);
        after.frame = after.frame ? enclosing(*after.frame, mark, wholePlane(Game::Second)) : mark;
    }
    return after;
}

std::expected<Preview, core::EngineError> drawPreview(const LevelMemory& level, Game game, core::Plane plane,
                                                      int maxWidth, int maxHeight, std::optional<CellBox> frame) {
    const auto used = cellsInUse(level, game, plane);
    if (!used) return std::unexpected(used.error());
    Preview preview;
    preview.box = frame ? enclosing(*used, *frame, wholePlane(game)) : *used;
    const std::int64_t cell = cellPixels(game);
    const auto pixels = [cell](int cells) { return static_cast<int>(std::min<std::int64_t>(cells * cell, INT_MAX)); };
    preview.factor =
        std::max(fitFactor(pixels(preview.box.columns), maxWidth), fitFactor(pixels(preview.box.rows), maxHeight));
    preview.picture = drawScaled(level, game, plane, preview.box, preview.factor);
    return preview;
}

}  // namespace tavro::drawing
