// tavro convert [--pack] [--dry-run] [--backup] [--force] [--verbose] SOURCE TARGET
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include <tavro/run/conversion_run.h>
#include "messages.h"

namespace tavro::cli {
namespace {

struct ConvertOptions {
    std::string source;
    std::string target;
    bool dryRun = false;
    bool backup = false;
    bool pack = false;
    bool force = false;
    bool verbose = false;
};

}  // namespace

Command addConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* convert =
        app.add_subcommand("convert", "Carry the level of a Tavro 1 save state into a Tavro 2 save state");
    convert->footer(
        "TARGET is patched all or nothing: its level regions are replaced, every other byte is kept,\n"
        "and a missing TARGET is created. A TARGET that is not a regular file, that you could not\n"
        "write, that has other names (hard links) or whose owner cannot be kept is refused.\n"
        "An existing TARGET shorter than a save state (107,640 bytes) is refused, and so is a SOURCE\n"
        "that is a PNG picture or too short. Which game each file holds is told from its bytes: a\n"
        "SOURCE that does not read as a Tavro 1 save state, or an existing TARGET that does not read as\n"
        "a Tavro 2 one (a Tavro 1 state, a picture, text, zeros), is refused, saying what it looks like\n"
        "and whether the two look swapped; --force converts anyway. A TARGET converted before is a\n"
        "Tavro 2 state. One file cannot be both SOURCE and TARGET, whether by the same name or as\n"
        "the same file under two names (told apart as files): refused, unless --force,\n"
        "which patches it in place. A SOURCE changed by another program during the run leaves\n"
        "TARGET as it was. A created TARGET holds only the level, not a whole save state an\n"
        "emulator can load.\n"
        "--backup keeps the previous bytes in a new file beside TARGET: TARGET.bak, or TARGET.bak.2,\n"
        "TARGET.bak.3, ... when that is taken; a backup never replaces any file (an older backup\n"
        "included), and it takes its name only once TARGET is replaced.\n"
        "--dry-run makes the same checks (the games' too) and says \"would be refused\" where the run would be.\n"
        "Exit status: 0 done, 1 failed (nothing changed, unless the message says otherwise), 2 usage.");
    convert->add_option("SOURCE", options->source, "Tavro 1 save state to read")->required();
    convert->add_option("TARGET", options->target, "Tavro 2 save state to patch or create")->required();
    convert->add_flag("--dry-run", options->dryRun, "Check and convert in memory; write nothing");
    convert->add_flag("--backup", options->backup,
                      "Keep the target's previous bytes in TARGET.bak (or the next free TARGET.bak.N)");
    convert->add_flag("--pack", options->pack,
                      "Number the target's chunks afresh so that chunks 64 and above arrive too");
    convert->add_flag("--force", options->force,
                      "Convert even when SOURCE does not look like a Tavro 1 save state or TARGET like a Tavro 2 "
                      "one, or patch a SOURCE that is TARGET in place");
    convert->add_flag("--verbose", options->verbose,
                      "Say what shows that a refused file is not the save state its role needs");

    return {convert, [options] {
                auto result = run::runConversion(options->source, options->target,
                                                 run::RunOptions{.dryRun = options->dryRun,
                                                                 .backup = options->backup,
                                                                 .pack = options->pack,
                                                                 .force = options->force});
                if (!result) {
                    const core::EngineError& error = result.error();
                    std::cerr << "tavro: " << (options->dryRun ? "would be refused: " : "") << describe(error) << '\n';
                    if (options->verbose &&
                        (error.cause == core::Cause::NotFirstGameLevel || error.cause == core::Cause::LooksSwapped ||
                         error.cause == core::Cause::NotSecondGameState))
                        std::cerr << "tavro: " << shown(error.path) << ": " << levelEvidence(error) << '\n';
                    return 1;
                }
                return writeReport(conversionReport(*result, options->target), whatWasDone(*result, options->target));
            }};
}

}  // namespace tavro::cli
