// tavro render --game 1|2 [--plane fg|bg] [--scale N] [--full] SAVESTATE OUT.png
#include <cstdint>
#include <expected>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "messages.h"
#include <tavro/picture_file.h>

namespace tavro::cli {
namespace {

struct RenderOptions {
    int game = 1;
    std::string plane = "fg";
    int scale = 1;
    bool full = false;
    std::string saveState;
    std::string output;
};

std::expected<std::string, EngineError> renderLevel(const RenderOptions& options) {
    render::PictureRequest request{
        .saveState = options.saveState,
        .game = options.game == 1 ? render::Game::First : render::Game::Second,
        .plane = options.plane == "bg" ? render::Plane::Background : render::Plane::Foreground,
        .box = options.full
                   ? std::optional(render::wholePlane(options.game == 1 ? render::Game::First : render::Game::Second))
                   : std::nullopt,
        .scale = options.scale,
        .picture = options.output};
    const auto saved = render::savePicture(request);
    if (!saved) return std::unexpected(saved.error());
    return pictureReport(options.output, saved->width, saved->height);
}

}  // namespace

Command addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* command = app.add_subcommand("render", "Draw the level of a save state as a PNG picture");
    command->footer("The picture is cropped to the cells the layout uses, unless --full. Scaled pictures average\n"
                    "each N x N square of pixels (transparent pixels count as clear). OUT is written all or nothing;\n"
                    "a SAVESTATE that is a PNG picture, an OUT that is SAVESTATE itself, and an existing, non-empty\n"
                    "OUT that is not a PNG picture are refused. Exit status: 0 done, 1 failed, 2 usage.");
    command->add_option("--game", options->game, "Read SAVESTATE as a Tavro 1 or a Tavro 2 state")
        ->required()
        ->check(CLI::IsMember({1, 2}))
        ->option_text("1|2 REQUIRED");
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
                const auto result = renderLevel(*options);
                if (!result) {
                    std::cerr << "tavro: " << describe(result.error()) << '\n';
                    return 1;
                }
                std::cout << *result << '\n';
                return 0;
            }};
}

}  // namespace tavro::cli
