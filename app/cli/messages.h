// The words `tavro` makes of the engine's errors, and the number format of
// all its output: English, thousands grouped with commas ("107,640 bytes").
// The reports of a run are worded in the commands that print them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <tavro/engine_error.h>

namespace tavro::cli {

// 1234567 -> "1,234,567".
std::string grouped(std::uintmax_t number);

// "1 layout cell", "3 layout cells", "1,000 bytes".
std::string counted(std::uintmax_t number, std::string_view singular, std::string_view plural);

// `name` as it may be shown on a terminal: control characters (a line feed,
// an escape, U+0080 to U+009F) written as \n, \t, \xNN or \u00NN, so that a
// message stays one line and sends nothing to the terminal raw.
std::string shown(std::string_view name);

// One line saying what failed, on which file, and why; no trailing newline.
std::string describe(const EngineError& error);

}  // namespace tavro::cli
