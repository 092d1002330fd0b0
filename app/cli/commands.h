// The subcommands of `tavro`. Each registers itself on the application and
// returns what to run when the user chose it; the result is the exit status
// (0 success, 1 failure; usage errors never reach it, they exit with 2).
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

namespace tavro::cli {

struct Command {
    CLI::App* subcommand;
    std::function<int()> run;
};

// Writes a command's `report` on standard output. When it cannot arrive,
// standard error still says what was done (`done`, as whatWasDone words it)
// and why the report was lost, and the status is 1.
int writeReport(const std::string& report, const std::string& done);

Command addConvertCommand(CLI::App& app);
Command addRenderCommand(CLI::App& app);

}  // namespace tavro::cli
