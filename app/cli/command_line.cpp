#include "command_line.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
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

// The first argument, when no subcommand was recognised, that names none:
// an unknown command ("tavro frobnicate").
std::string unknownCommand(const CLI::App& app, int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with('-')) continue;
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->check_name(std::string(argument))) return {};
        return std::string(argument);
    }
    return {};
}

// "convert and render" (`conjunction` "and").
std::string commandNames(const CLI::App& app, const std::string& conjunction) {
    const std::vector<const CLI::App*> commands = app.get_subcommands({});
    std::string names;
    for (std::size_t i = 0; i < commands.size(); ++i)
        names += (i == 0 ? "" : i + 1 == commands.size() ? " " + conjunction + " " : ", ") + commands[i]->get_name();
    return names;
}

// The usage line of `command`'s help: "Usage: tavro convert [OPTIONS] SOURCE TARGET".
std::string usageLine(const CLI::App& app, const CLI::App& command) {
    const std::string help = &command == &app ? app.help() : command.help(app.get_name());
    const std::size_t start = help.find("Usage:");
    if (start == std::string::npos) return {};
    return help.substr(start, help.find('\n', start) - start);
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
        const std::string program = chosen == &app ? "tavro" : "tavro " + chosen->get_name();
        // An unknown command or option is named in one line, with where to read more.
        if (const std::string unknown = chosen == &app ? unknownCommand(app, argc, argv) : ""; !unknown.empty()) {
            err << "tavro: unknown command \"" << shown(unknown) << "\"; the commands are " << commandNames(app, "and")
                << " (see tavro --help)\n";
            return {2, {}};
        }
        if (const std::string stray = strayDashName(app, *chosen, argc, argv); !stray.empty()) {
            // "-t.state" is most likely a file's name; "--bogus", an option mistyped.
            if (stray.starts_with("--") && !std::filesystem::exists(stray))
                err << program << ": unknown option " << shown(stray) << " (see " << program << " --help)\n";
            else
                err << "tavro: " << shown(stray)
                    << " is not an option; names beginning with \"-\" go after \"--\": " << program << " [OPTIONS] -- "
                    << positionalNames(*chosen) << '\n';
            return {2, {}};
        }
        const bool none = chosen == &app && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr;
        err << "tavro: " << (none ? "a command is needed: " + commandNames(app, "or") : shown(error.what())) << '\n'
            << usageLine(app, *chosen) << "\nSee " << program << " --help.\n";
        return {2, {}};
    }
    if (!app.get_subcommands().empty()) {
        const CLI::App& chosen = *app.get_subcommands().front();
        if (const std::string empty = emptyName(chosen); !empty.empty()) {
            err << "tavro: " << empty << " is empty\n"
                << usageLine(app, chosen) << "\nSee tavro " << chosen.get_name() << " --help.\n";
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
