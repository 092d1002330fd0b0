// Every sentence `tavro` makes of the engine's results (its errors and a
// conversion's report), in English, with one number format: thousands
// grouped with commas ("107,640 bytes").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <tavro/run/conversion_run.h>
#include <tavro/core/engine_error.h>

namespace tavro::cli {

// 1234567 -> "1,234,567".
std::string grouped(std::uintmax_t number);

// "1 cell", "3 cells", "1,000 bytes".
std::string counted(std::uintmax_t number, std::string_view singular, std::string_view plural);

// `name` as it may be shown on a terminal: control characters (a line feed,
// an escape, U+0080 to U+009F), the marks that turn the direction of text
// (U+202E and its like) and bytes that are no UTF-8 character (0x80 to 0xFF
// alone) written as \n, \t, \xNN or \uNNNN, so that a message stays one
// line, reads in its order and sends nothing to the terminal raw.
std::string shown(std::string_view name);

// One line saying what failed, on which file, and why; no trailing newline.
std::string describe(const core::EngineError& error);

// The counts that show a file holds no Tavro 1 level, for a refusal's
// NotFirstGameLevel or LooksSwapped: "320 of its 1,020 cells that name a
// chunk name ones whose bytes would lie over …".
std::string levelEvidence(const core::EngineError& error);

// What `tavro convert` reports of a run that went through: what happened to
// `target`, the backup, and the level's chunks and cells, a line each.
std::string conversionReport(const run::ConversionReport& report, const std::string& target);

// What a run did to `target`, in a few words ("patched t.state, its previous
// bytes kept in t.state.bak"), for when the report cannot be written.
std::string whatWasDone(const run::ConversionReport& report, const std::string& target);

// Says that `done` happened though a command's report could not be written (`reason`: the system's words).
std::string reportNotWritten(const std::string& done, const std::string& reason);

// What `tavro render` reports of a picture written.
std::string pictureReport(const std::string& picture, int width, int height);

// `tavro render` without --game: the game told from the save state's level
// (1 or 2), or that neither game reads it.
std::string gameTold(const std::string& saveState, int game);
std::string gameNotTold(const std::string& saveState);

}  // namespace tavro::cli
