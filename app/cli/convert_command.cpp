// tavro convert [--pack] [--dry-run] [--backup] [--force] [--verbose] SOURCE TARGET
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include <tavro/conversion_run.h>
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
        "that is a PNG picture, too short, or does not hold a Tavro 1 level (a Tavro 2 state, say;\n"
        "--force converts it anyway). Files are told apart as files, not by name: a run in which one\n"
        "file would be two of SOURCE, TARGET and TARGET.bak is refused (SOURCE may be TARGET), and\n"
        "a SOURCE changed by another program during the run leaves TARGET as it was.\n"
        "--backup writes the previous bytes beside TARGET first and renames them to TARGET.bak once\n"
        "TARGET is replaced, replacing an older backup (or a link) there; a failed run leaves it as it was.\n"
        "--dry-run makes the same checks and says \"would be refused\" where the run would be.\n"
        "Exit status: 0 done, 1 failed (nothing changed, unless the message says otherwise), 2 usage.");
    convert->add_option("SOURCE", options->source, "Tavro 1 save state to read")->required();
    convert->add_option("TARGET", options->target, "Tavro 2 save state to patch or create")->required();
    convert->add_flag("--dry-run", options->dryRun, "Check and convert in memory; write nothing");
    convert->add_flag("--backup", options->backup, "Keep the target's previous bytes as TARGET.bak");
    convert->add_flag("--pack", options->pack,
                      "Number the target's chunks afresh so that chunks 64 and above arrive too");
    convert->add_flag("--force", options->force, "Convert a SOURCE that does not look like a Tavro 1 level");
    convert->add_flag("--verbose", options->verbose, "Say what shows that a refused SOURCE holds no Tavro 1 level");

    return {convert, [options] {
                auto result = runConversion(options->source, options->target,
                                            RunOptions{.dryRun = options->dryRun,
                                                       .backup = options->backup,
                                                       .pack = options->pack,
                                                       .force = options->force});
                if (!result) {
                    const EngineError& error = result.error();
                    std::cerr << "tavro: " << (options->dryRun ? "would be refused: " : "") << describe(error) << '\n';
                    if (options->verbose &&
                        (error.cause == Cause::NotFirstGameLevel || error.cause == Cause::LooksSwapped))
                        std::cerr << "tavro: " << shown(error.path) << ": " << levelEvidence(error) << '\n';
                    return 1;
                }
                std::cout << conversionReport(*result, options->target);
                return 0;
            }};
}

}  // namespace tavro::cli
