// Pictures of the level held in a save state, drawn from its main-RAM and
// video-RAM images. Pure C++: the window and the command line both call this.
//
// What is read, and where each game keeps it, is in save_state_format.h. A
// colour's 3 bits a channel are spread evenly over 0-255; a pattern word's
// priority bit is ignored (a plane is drawn flat); an entry's flip mirrors
// the whole block: its four patterns change places and each pattern's own
// flip toggles. A cell naming chunk 0 is empty in both games (the converter
// leaves the second game's chunk 0 blank and uses cell 0 for "nothing here").
//
// An indexed picture holds palette line * 16 + colour per pixel, 0 where
// transparent. Every read is bounded by the fixed-size images that
// LevelMemory holds, whatever the save state's bytes say.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <tavro/core/engine_error.h>
#include <tavro/core/layout_expansion.h>
#include <tavro/core/save_state_format.h>

namespace tavro::drawing {

enum class Game { First, Second };
using Plane = core::Plane;

inline constexpr int kPlaneWidth = core::format::kPlaneWidth;
inline constexpr int kPlaneHeight = core::format::kPlaneHeight;
inline constexpr std::size_t kRamBytes = core::format::kMainRamBytes;
inline constexpr std::size_t kVideoRamBytes = core::format::kVideoRamBytes;
inline constexpr int kPaletteEntries = core::format::kPaletteEntries;

// The main-RAM and video-RAM images of one save state, copied out of its bytes.
class LevelMemory {
public:
    // Refuses a state too short to hold main RAM and the pattern half of video
    // RAM (Cause::TooShort, with the state's size and kMinSaveStateSize);
    // video-RAM bytes past the end of a shorter state read as 0.
    static std::expected<LevelMemory, core::EngineError> fromSaveState(std::span<const std::uint8_t> state);

    std::span<const std::uint8_t> ram() const { return ram_; }
    std::span<const std::uint8_t> videoRam() const { return videoRam_; }

private:
    LevelMemory() : ram_(kRamBytes, 0), videoRam_(kVideoRamBytes, 0) {}
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> videoRam_;
};

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// Indexed by palette line * 16 + colour; transparent entries are {0, 0, 0, 0}.
using Palette = std::array<Rgba, kPaletteEntries>;

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // row-major, one byte a pixel
};

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // row-major, R G B A, straight alpha
};

// A rectangle of layout cells within one plane.
struct CellBox {
    int column = 0;
    int row = 0;
    int columns = 0;
    int rows = 0;
    friend bool operator==(const CellBox&, const CellBox&) = default;
};

int cellPixels(Game game);  // 256 or 128
CellBox wholePlane(Game game);

// A first-game cell covers 2 x 2 second-game cells: `box` in the second game's cells.
inline constexpr int kCellRatio = core::format::kFirstGame.chunkSide / core::format::kSecondGame.chunkSide;
CellBox inSecondGameCells(CellBox firstGameBox);

// The smallest box holding `first` and `second`, cut to `within`.
CellBox enclosing(CellBox first, CellBox second, CellBox within);

// The After picture's cells: the converted level framed as the Before picture
// (`before`: the first-game cells it shows, nullopt when it shows none), in the
// second game's cells, so that both show the same place; the frame takes in a
// mark over every foreground cell that arrived empty. Emptied background
// cells are counted, not marked. The frame is nullopt when neither gives one.
struct AfterFrame {
    std::optional<CellBox> frame;
    std::vector<CellBox> marks;  // in the second game's cells, in the order given
    int hiddenMarks = 0;
};
AfterFrame afterFrame(std::optional<CellBox> before, std::span<const core::LayoutCell> emptiedCells);

// The smallest box holding every cell that names a chunk; nullopt when none does.
std::optional<CellBox> usedCells(const LevelMemory& level, Game game, core::Plane plane);
// The same box, or the refusal of a plane with no cell in use: Operation::Draw,
// FileRole::SaveState, Step::Draw, Cause::EmptyForeground or EmptyBackground.
std::expected<CellBox, core::EngineError> cellsInUse(const LevelMemory& level, Game game, core::Plane plane);

Palette readPalette(const LevelMemory& level);

// The plane, or the cells of `box` (clipped to the plane), as an indexed picture.
IndexedImage drawPlane(const LevelMemory& level, Game game, core::Plane plane);
IndexedImage drawPlane(const LevelMemory& level, Game game, core::Plane plane, CellBox box);

RgbaImage toRgba(const IndexedImage& image, const Palette& palette);

// Scaling down by `factor` (values below 1 count as 1): each output pixel is the
// box average of up to factor x factor input pixels with premultiplied alpha:
// its colour is the mean of the opaque pixels' colours, its alpha 255 times
// the opaque share. Boxes at the right and bottom edges may be smaller. A
// picture whose pixel count does not match its size gives an empty result.
RgbaImage scaleDown(const IndexedImage& image, const Palette& palette, int factor);

// The same picture as scaleDown(drawPlane(level, game, plane, box), palette,
// factor), drawn a strip at a time without the full-size picture.
RgbaImage drawScaled(const LevelMemory& level, Game game, core::Plane plane, CellBox box, int factor);

// The smallest factor that brings `width` pixels within `maxWidth`.
int fitFactor(int width, int maxWidth);

// The window's picture: the cells of a plane in use (taking in `frame` too,
// when given) scaled down by the smallest whole factor that fits within
// maxWidth x maxHeight pixels, so a level of few, tall columns is fitted to
// the height. Refuses a plane with no cell in use (Cause::EmptyForeground or
// EmptyBackground).
struct Preview {
    CellBox box;  // the cells drawn
    int factor = 1;
    RgbaImage picture;
};
std::expected<Preview, core::EngineError> drawPreview(const LevelMemory& level, Game game, core::Plane plane,
                                                      int maxWidth, int maxHeight,
                                                      std::optional<CellBox> frame = std::nullopt);

}  // namespace tavro::drawing
