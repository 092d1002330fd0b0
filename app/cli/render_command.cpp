// tavro render --game 1|2 [--plane fg|bg] [--scale N] [--full] SAVESTATE OUT.png
#include <cstdint>
#include <expected>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "level_render.h"
#include "messages.h"
#include "png_image.h"

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
    const render::Game game = options.game == 1 ? render::Game::First : render::Game::Second;
    const render::Plane plane = options.plane == "bg" ? render::Plane::Background : render::Plane::Foreground;
    const auto level = render::LevelMemory::load(options.saveState);
    if (!level) return std::unexpected(level.error());
    std::error_code ignored;
    if (std::filesystem::equivalent(options.saveState, options.output, ignored)) {
        return std::unexpected(EngineError{.operation = Operation::SavePicture, .file = FileRole::Picture,
                                           .step = Step::Replace, .path = options.output,
                                           .cause = Cause::IsTheSaveState});
    }

    render::CellBox box = render::wholePlane(game);
    if (!options.full) {
        const auto used = render::usedCells(*level, game, plane);
        if (!used) {
            return std::unexpected(EngineError{
                .operation = Operation::Draw, .file = FileRole::SaveState, .step = Step::Draw, .path = options.saveState,
                .cause = plane == render::Plane::Foreground ? Cause::EmptyForeground : Cause::EmptyBackground});
        }
        box = *used;
    }

    // Unscaled pictures keep the save state's palette; scaled ones mix colours.
    int width = 0, height = 0;
    std::expected<std::vector<std::uint8_t>, EngineError> png;
    if (options.scale == 1) {
        const auto picture = render::drawPlane(*level, game, plane, box);
        width = picture.width;
        height = picture.height;
        png = render::encodePng(picture, render::readPalette(*level));
    } else {
        const auto picture = render::drawScaled(*level, game, plane, box, options.scale);
        width = picture.width;
        height = picture.height;
        png = render::encodePng(picture);
    }
    if (!png) {
        png.error().path = options.saveState;
        return std::unexpected(png.error());
    }
    if (auto saved = render::savePng(options.output, *png); !saved) return std::unexpected(saved.error());
    return "Wrote " + options.output + ": " + grouped(static_cast<std::uintmax_t>(width)) + " x " +
           grouped(static_cast<std::uintmax_t>(height)) + " pixels.";
}

}  // namespace

Command addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* command = app.add_subcommand("render", "Draw the level of a save state as a PNG picture");
    command->footer(
        "The picture is cropped to the cells the layout uses, unless --full. Scaled pictures average\n"
        "each N x N square of pixels (transparent pixels count as clear). Exit status: 0 done, 1 failed, 2 usage.");
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
    command->add_option("OUT", options->output, "PNG file to write (replaced if it exists)")->required();

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
