#include "command_line.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "messages.h"

namespace tavro::cli {
namespace {

// The first argument before "--" that looks like an option but is none of
// `command`'s (or the program's): most likely a file name beginning with "-".
std::string strayDashName(const CLI::App& app, const CLI::App& command, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (argument.size() < 2 || argument[0] != '-') continue;
        const std::string name{argument.substr(0, argument.find('='))};
        if (command.get_option_no_throw(name) == nullptr && app.get_option_no_throw(name) == nullptr)
            return std::string(argument);
    }
    return {};
}

// The first argument before "--" written "--name=" with nothing after the
// sign: an empty value, which the parser would take from the next argument.
std::string emptyValue(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (argument.starts_with("--") && argument.size() > 3 && argument.find('=') == argument.size() - 1)
            return std::string(argument);
    }
    return {};
}

// "SOURCE TARGET": how `command`'s names are written.
std::string positionalNames(const CLI::App& command) {
    std::string names;
    for (const CLI::Option* option : command.get_options())
        if (option->get_positional()) names += (names.empty() ? "" : " ") + option->get_name();
    return names;
}

// The positional argument given as an empty name, if any.
std::string emptyName(const CLI::App& command) {
    for (const CLI::Option* option : command.get_options()) {
        if (!option->get_positional()) continue;
        for (const std::string& value : option->results())
            if (value.empty()) return option->get_name();
    }
    return {};
}

}  // namespace

Invocation parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"tavro: carries a level from a Tavro 1 save state into a Tavro 2 save state.", "tavro"};
    app.allow_windows_style_options(false);  // "/data/one.state" is a path on every system
    app.set_version_flag("--version", TAVRO_VERSION);
    app.require_subcommand(1);

    const std::vector<Command> commands{
        addConvertCommand(app),
        addRenderCommand(app),
    };

    try {
        app.parse(argc, argv);
        if (const std::string empty = emptyValue(argc, argv); !empty.empty())
            throw CLI::ValidationError(empty + " has no value after the \"=\"");
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return {app.exit(error, out, err), {}};  // --help, --version
        const CLI::App* chosen = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
        err << "tavro: " << shown(error.what()) << '\n';
        if (const std::string stray = strayDashName(app, *chosen, argc, argv); !stray.empty()) {
            err << "tavro: " << shown(stray) << " is not an option; names beginning with \"-\" go after \"--\": tavro "
                << chosen->get_name() << " [OPTIONS] -- " << positionalNames(*chosen) << '\n';
        }
        err << '\n' << chosen->help(app.get_name());
        return {2, {}};
    }
    if (!app.get_subcommands().empty()) {
        const CLI::App& chosen = *app.get_subcommands().front();
        if (const std::string empty = emptyName(chosen); !empty.empty()) {
            err << "tavro: " << empty << " is empty\n\n" << chosen.help(app.get_name());
            return {2, {}};
        }
    }

    for (const auto& command : commands) {
        if (command.subcommand->parsed()) return {0, command.run};
    }
    return {2, {}};  // unreachable: a subcommand is required
}

// What was said on standard output must have arrived: a report that could
// not be written is a failure.
int reported(int status) {
    errno = 0;
    if (std::cout.flush()) return status;
    const int error = errno;
    std::cerr << "tavro: cannot write to standard output"
              << (error != 0 ? std::string(": ") + std::strerror(error) : "") << '\n';
    return status == 0 ? 1 : status;
}

int writeReport(const std::string& report, const std::string& done) {
    errno = 0;
    if (std::cout << report << std::flush) return 0;
    const int error = errno;
    std::cerr << "tavro: " << reportNotWritten(done, error != 0 ? std::strerror(error) : "") << '\n';
    // What could not be written is dropped: the end of the program has nothing more to say of it.
    std::cout.clear();
    return 1;
}

int runMain(int argc, const char* const* argv) {
    try {
        const auto invocation = parseCommandLine(argc, argv, std::cout, std::cerr);
        return reported(invocation.run ? invocation.run() : invocation.status);
    } catch (const std::bad_alloc&) { std::cerr << "tavro: out of memory\n"; } catch (const std::exception& failure) {
        std::cerr << "tavro: unexpected failure: " << failure.what() << '\n';
    } catch (...) { std::cerr << "tavro: unexpected failure\n"; }
    return 1;
}

}  // namespace tavro::cli
