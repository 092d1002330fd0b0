// tavro render [--game 1|2] [--plane fg|bg] [--scale N] [--full] SAVESTATE OUT.png
#include <algorithm>
#include <cstdint>
#include <expected>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "messages.h"
#include <tavro/core/level_check.h>
#include <tavro/pictures/picture_file.h>

namespace tavro::cli {
namespace {

struct RenderOptions {
    int game = 0;  // 0: told from the file
    std::string plane = "fg";
    int scale = 1;
    bool full = false;
    std::string saveState;
    std::string output;
};

std::expected<std::string, core::EngineError> renderLevel(const RenderOptions& options) {
    pictures::PictureRequest request{.saveState = options.saveState,
                                     .game = options.game == 1 ? drawing::Game::First : drawing::Game::Second,
                                     .plane = options.plane == "bg" ? core::Plane::Background : core::Plane::Foreground,
                                     .box = options.full
                                                ? std::optional(drawing::wholePlane(
                                                      options.game == 1 ? drawing::Game::First : drawing::Game::Second))
                                                : std::nullopt,
                                     .scale = options.scale,
                                     .picture = options.output};
    const auto saved = pictures::savePicture(request);
    if (!saved) return std::unexpected(saved.error());
    return pictureReport(options.output, saved->width, saved->height);
}

// The game whose level the save state holds (level_check.h): 1, 2, or 0 when
// neither game reads it.
std::expected<int, core::EngineError> tellGame(const std::string& path) {
    const auto level = pictures::loadLevel(path);
    if (!level) return std::unexpected(level.error());
    std::vector<std::uint8_t> state(core::format::kMainRamOffset + core::format::kMainRamBytes, 0);
    std::ranges::copy(level->ram(), state.begin() + core::format::kMainRamOffset);
    const core::GameVerdict verdict = core::judgeGame(state);
    return verdict.isFirstGame() ? 1 : verdict.isSecondGame() ? 2 : 0;
}

}  // namespace

Command addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* command = app.add_subcommand("render", "Draw the level of a save state as a PNG picture");
    command->footer("The picture is cropped to the cells the layout uses, unless --full. Scaled pictures average\n"
                    "each N x N square of pixels (transparent pixels count as clear). OUT is written all or nothing;\n"
                    "a SAVESTATE that is a PNG picture, an OUT that is SAVESTATE itself, and an existing, non-empty\n"
                    "OUT that is not a PNG picture are refused. Without --game the game is told from SAVESTATE's\n"
                    "level (the check `tavro convert` makes) and named; a state that neither game reads is refused.\n"
                    "Exit status: 0 done, 1 failed, 2 usage.");
    command
        ->add_option("--game", options->game,
                     "Read SAVESTATE as a Tavro 1 or a Tavro 2 state (default: told from SAVESTATE)")
        ->check(CLI::IsMember({1, 2}))
        ->option_text("1|2");
    command->add_option("--plane", options->plane, "Foreground (the default) or background")
        ->check(CLI::IsMember({"fg", "bg"}))
        ->option_text("fg|bg");
    command->add_option("--scale", options->scale, "Scale the picture down by N (1 to 256, default 1)")
        ->check(CLI::Range(1, 256))
        ->option_text("N");
    command->add_flag("--full", options->full, "Draw the whole plane, not only the cells in use");
    command->add_option("SAVESTATE", options->saveState, "Save state to draw")->required();
    command
        ->add_option("OUT", options->output,
                     "PNG file to write (an existing PNG picture is replaced; any other file is refused)")
        ->required();

    return {command, [options] {
                std::string told;
                if (options->game == 0) {
                    const auto game = tellGame(options->saveState);
                    if (!game || *game == 0) {
                        std::cerr << "tavro: " << (game ? gameNotTold(options->saveState) : describe(game.error()))
                                  << '\n';
                        return 1;
                    }
                    options->game = *game;
                    told = gameTold(options->saveState, *game) + '\n';
                }
                const auto result = renderLevel(*options);
                if (!result) {
                    std::cerr << "tavro: " << describe(result.error()) << '\n';
                    return 1;
                }
                std::cout << told << *result << '\n';
                return 0;
            }};
}

}  // namespace tavro::cli
