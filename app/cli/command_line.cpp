#include "command_line.h"

#include <exception>
#include <iostream>
#include <new>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"

namespace tavro::cli {

Invocation parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"tavro-conversor: carries a level from a Tavro 1 save state into a Tavro 2 save state.",
                 "tavro"};
    app.allow_windows_style_options(false);  // "/data/one.state" is a path on every system
    app.set_version_flag("--version", TAVRO_VERSION);
    app.require_subcommand(1);

    const std::vector<Command> commands{
        addConvertCommand(app),
        addRenderCommand(app),
    };

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return {app.exit(error, out, err), {}};  // --help, --version
        const CLI::App* chosen = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        err << "tavro: " << error.what() << "\n\n" << chosen->help();
        return {2, {}};
    }

    for (const auto& command : commands) {
        if (command.subcommand->parsed()) return {0, command.run};
    }
    return {2, {}};  // unreachable: a subcommand is required
}

int runMain(int argc, const char* const* argv) {
    try {
        const auto invocation = parseCommandLine(argc, argv, std::cout, std::cerr);
        return invocation.run ? invocation.run() : invocation.status;
    } catch (const std::bad_alloc&) {
        std::cerr << "tavro: out of memory\n";
    } catch (const std::exception& failure) {
        std::cerr << "tavro: unexpected failure: " << failure.what() << '\n';
    } catch (...) {
        std::cerr << "tavro: unexpected failure\n";
    }
    return 1;
}

}  // namespace tavro::cli
