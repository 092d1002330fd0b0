// The subcommands of `tavro`. Each registers itself on the application and
// returns what to run when the user chose it; the result is the exit status
// (0 success, 1 failure; usage errors never reach it, they exit with 2).
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

namespace tavro::cli {

struct Command {
    CLI::App* subcommand;
    std::function<int()> run;
};

Command addConvertCommand(CLI::App& app);
Command addRenderCommand(CLI::App& app);

}  // namespace tavro::cli
