// The engine as the web page calls it: plain C functions over bytes in the
// WebAssembly module's memory. Every call that can fail returns a result
// whose cause is TW_FINE or a cause code the page turns into words; the
// engine itself makes no sentences.
//
// A result is released with tw_release; input buffers come from tw_allocate
// and go back through tw_free. Allocation failure inside the engine traps
// (the module is then unusable; the page makes a fresh one).
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Causes. The numbers are part of the interface: the page's texts key on them.
enum {
    TW_FINE = 0,
    TW_TOO_SHORT = 1,         // count bytes, where a save state has at least limit
    TW_NOT_A_LEVEL = 2,       // the source holds no Tavro 1 level
    TW_EMPTY_FOREGROUND = 3,  // no foreground cell names a chunk: nothing to draw
    TW_EMPTY_BACKGROUND = 4,
    TW_OUT_OF_MEMORY = 5,     // an input buffer could not be had
    TW_LOOKS_SWAPPED = 6,     // the source holds no Tavro 1 level and the target does
    TW_NOT_A_TARGET = 7,      // the target is not a Tavro 2 save state (looks says what it looks like)
    TW_OTHER = 99,            // an engine cause the page has no words for
};

// Which file a cause is about.
enum { TW_SOURCE = 0, TW_TARGET = 1 };

// What a file refused by the game check looks like (TW_LOOKS).
enum {
    TW_LOOKS_TAVRO1 = 0,   // a Tavro 1 save state
    TW_LOOKS_TAVRO2 = 1,   // a Tavro 2 save state
    TW_LOOKS_PICTURE = 2,  // a PNG picture
    TW_LOOKS_TEXT = 3,
    TW_LOOKS_ZEROS = 4,    // almost only zeros: no save state at all
    TW_LOOKS_NOISE = 5,    // no level of either game
};

// What tw_get reads from a result.
enum {
    TW_CAUSE = 0,
    TW_FILE = 1,
    TW_COUNT = 2,
    TW_LIMIT = 3,
    TW_LOOKS = 4,  // TW_NOT_A_LEVEL, TW_LOOKS_SWAPPED, TW_NOT_A_TARGET: what the file refused looks like
    // a conversion
    TW_PACKED = 10,            // 1 when the chunks were numbered afresh
    TW_CHUNKS_WITH_DATA = 11,  // source chunks 1 to 63 holding any non-zero byte
    TW_CHUNKS_NAMED = 12,      // distinct chunks 1 to 127 that layout cells name
    TW_CHUNKS_USED = 13,       // distinct target chunks 1 to 255 the target layout names
    TW_CELLS_EXPANDED = 14,
    TW_CELLS_LOST = 15,
    TW_PACKED_SLOTS = 16,      // how many chunks packing can number (255)
    // a picture
    TW_WIDTH = 20,
    TW_HEIGHT = 21,
    TW_FACTOR = 22,
    TW_BOX_COLUMN = 23,  // the cells drawn, in the game's own cells
    TW_BOX_ROW = 24,
    TW_BOX_COLUMNS = 25,
    TW_BOX_ROWS = 26,
    // the After picture's frame (tw_after_frame): the TW_BOX_* fields, and
    TW_HIDDEN_MARKS = 30,  // emptied background cells, counted and not marked
};

// The lists a conversion result holds (int32 each).
enum {
    TW_LOST_CHUNKS = 0,   // the chunk numbers the lost cells name, increasing
    TW_EMPTIED_CELLS = 1, // three numbers a cell: plane (0 foreground, 1 background), row, column
    TW_MARKS = 2,         // four numbers a mark, in the second game's cells: column, row, columns, rows
};

typedef struct tw_result tw_result;

uint8_t* tw_allocate(size_t size);
void tw_free(uint8_t* buffer);

// How many of the target's first bytes a conversion changes and needs.
size_t tw_target_head_bytes(void);

// What tw_convert is asked to do, or-ed together.
enum {
    TW_PACK = 1,   // number the chunks afresh
    TW_FORCE = 2,  // convert a source that holds no Tavro 1 level, or into a target that is no Tavro 2 state
    TW_FORCE_SOURCE = 4,  // take the source as it is; the target is still judged
};

// Converts the Tavro 1 state `source` into the Tavro 2 state whose first
// bytes are `targetHead` (tw_target_head_bytes() of them; a shorter target is
// refused as too short to be a save state). The data are the new first
// bytes; the target's bytes past them stay as they are. Without TW_FORCE a
// source that does not read as a Tavro 1 state is refused (TW_NOT_A_LEVEL, or
// TW_LOOKS_SWAPPED when the target reads as one): count is how many of its
// layout cells naming a chunk name one that cannot be stored, of limit; then
// a target that does not read as a Tavro 2 state (TW_NOT_A_TARGET, file
// TW_TARGET). TW_LOOKS says what the file refused looks like.
tw_result* tw_convert(const uint8_t* source, size_t sourceSize, const uint8_t* targetHead, size_t targetHeadSize,
                      int flags);

// The cells of `plane` (0 foreground, 1 background) in use in the level of a
// state of `game` (1 or 2), taking in the frame when frameColumns > 0, scaled
// down by the smallest whole factor that fits maxWidth x maxHeight. Data:
// RGBA pixels, straight alpha.
tw_result* tw_preview(const uint8_t* state, size_t size, int game, int plane, int maxWidth, int maxHeight,
                      int frameColumn, int frameRow, int frameColumns, int frameRows);

// The cells of the box (clipped to the plane) scaled down by `factor` (1 to 256).
// boxColumns <= 0: the cells in use. A strip of the box drawn by itself gives
// the same pixels as that strip of the whole when its rows are a multiple of
// the factor.
tw_result* tw_render(const uint8_t* state, size_t size, int game, int plane, int factor, int boxColumn, int boxRow,
                     int boxColumns, int boxRows);

// A layout cell's side in pixels in `game` (1 or 2).
int tw_cell_pixels(int game);

// The After picture's frame for tw_preview: the first-game cells the Before
// picture shows (beforeColumns <= 0: none) in the second game's cells, taking
// in a mark (TW_MARKS) over every foreground cell of `emptiedCells` (`count`
// numbers, as TW_EMPTIED_CELLS lists them). TW_BOX_COLUMNS 0: no frame.
tw_result* tw_after_frame(int beforeColumn, int beforeRow, int beforeColumns, int beforeRows,
                          const int32_t* emptiedCells, size_t count);

int32_t tw_get(const tw_result* result, int what);
const uint8_t* tw_data(const tw_result* result);
size_t tw_data_size(const tw_result* result);
const int32_t* tw_list(const tw_result* result, int which);
size_t tw_list_size(const tw_result* result, int which);
void tw_release(tw_result* result);

#ifdef __cplusplus
}
#endif
