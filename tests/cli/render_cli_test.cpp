#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "cli_runner.h"
#include <tavro/drawing/level_render.h>
#include "png_decode.h"

namespace tavro::test {
namespace {

using drawing::Game;
using core::Plane;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

drawing::RgbaImage decoded(const std::string& path) { return decodePng(readBytes(path)).value(); }

class RenderCommand : public ::testing::Test {
protected:
    TempFolder folder;
    std::string source = folder.file("one.state");
    std::string picture = folder.file("level.png");
    drawing::LevelMemory level = drawing::LevelMemory::fromSaveState(readBytes(TAVRO_SAMPLE_SOURCE)).value();

    void SetUp() override { std::filesystem::copy_file(TAVRO_SAMPLE_SOURCE, source); }
};

// Plain, whole-plane and scaled pictures (to the largest factor) are the engine's drawings.
TEST_F(RenderCommand, PicturesAreTheEnginesDrawingsOfTheCellsInUse) {
    writeBytes(picture, {});  // an existing empty file is replaced
    const auto result = runCli(folder, {"render", "--game", "1", source, picture});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto box = drawing::usedCells(level, drawing::Game::First, core::Plane::Foreground).value();
    const auto palette = drawing::readPalette(level);
    const auto image = decoded(picture);
    EXPECT_EQ(image.width, box.columns * 256);
    EXPECT_EQ(image.pixels, drawing::toRgba(drawing::drawPlane(level, drawing::Game::First, core::Plane::Foreground, box), palette).pixels);
    EXPECT_EQ(result.out, "Wrote " + picture + ": 6,144 x 1,024 pixels.\n");  // the sample's level

    ASSERT_EQ(runCli(folder, {"render", "--game=1", "--full", "--plane", "bg", source, picture}).status, 0);
    const auto full = decoded(picture);
    EXPECT_EQ(std::pair(full.width, full.height), std::pair(drawing::kPlaneWidth, drawing::kPlaneHeight));
    EXPECT_EQ(full.pixels, drawing::toRgba(drawing::drawPlane(level, drawing::Game::First, core::Plane::Background), palette).pixels);
    for (const int scale : {2, 256}) {
        ASSERT_EQ(runCli(folder, {"render", "--game", "1", "--scale", std::to_string(scale), source, picture}).status, 0);
        EXPECT_EQ(decoded(picture).pixels, drawing::drawScaled(level, drawing::Game::First, core::Plane::Foreground, box, scale).pixels);
    }
}

// Without --game the game is told from the file and named; a file neither game reads is refused.
TEST_F(RenderCommand, TellsTheGameFromTheFile) {
    for (const auto& [state, game, named] : {std::tuple{TAVRO_SAMPLE_SOURCE, drawing::Game::First, "1"}, {TAVRO_SAMPLE_TARGET, drawing::Game::Second, "2"}}) {
        writeBytes(source, readBytes(state));
        const auto result = runCli(folder, {"render", source, picture});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out.substr(0, result.out.find('\n')), "Read " + source + " as a Tavro " + named + " save state (told from its level; --game says otherwise).");
        const auto drawn = drawing::LevelMemory::fromSaveState(readBytes(state)).value();
        const auto box = drawing::usedCells(drawn, game, core::Plane::Foreground).value();
        EXPECT_EQ(decoded(picture).pixels, drawing::toRgba(drawing::drawPlane(drawn, game, core::Plane::Foreground, box), drawing::readPalette(drawn)).pixels);
    }
    writeBytes(source, Bytes(200000, 0));
    const auto untold = runCli(folder, {"render", source, folder.file("zeros.png")});
    EXPECT_EQ(std::pair(untold.status, untold.err),
              std::pair(1, "tavro: cannot tell which game save state " + source + " holds: it holds no level of either game (--game 1 or --game 2 draws it all the same)\n"));
}

// Usage errors exit with 2; other failures with 1 and one line.
TEST_F(RenderCommand, FailuresGiveOneLineAndNoPicture) {
    using Arguments = std::vector<std::string>;
    for (const auto& arguments : {Arguments{"render", "--game", "0", source, picture},
                                  {"render", "--game", "1", "--plane", "up", source, picture},
                                  {"render", "--game", "1", source},
                                  {"render", "--game", "1", "--scale", "0", source, picture},
                                  {"render", "--game", "1", "--scale", "257", source, picture}}) {
        const auto usage = runCli(folder, arguments);
        EXPECT_TRUE(usage.status == 2 && contains(usage.err, "Usage")) << usage.status << usage.err;
    }
    const auto missing = runCli(folder, {"render", "--game", "1", folder.file("absent.state"), picture});
    EXPECT_EQ(missing.err, "tavro: cannot open save state " + folder.file("absent.state") + ": No such file or directory\n");

    writeBytes(source, Bytes(5000, 1));
    const auto tooShort = runCli(folder, {"render", "--game", "1", source, picture});
    const std::string shortWords = " " + source + " is too short to hold a level: 5,000 bytes, a save state has at least 107,640\n";
    EXPECT_EQ(tooShort.err, "tavro: save state" + shortWords);
    EXPECT_EQ(runCli(folder, {"convert", source, folder.file("t.state")}).err, "tavro: source file" + shortWords);  // one wording

    writeBytes(source, Bytes(200000, 0));
    const auto empty = runCli(folder, {"render", "--game", "2", source, picture});
    EXPECT_TRUE(contains(empty.err, "nothing to draw")) << empty.err;
    EXPECT_FALSE(std::filesystem::exists(picture));
    EXPECT_EQ(runCli(folder, {"render", "--game", "2", "--full", source, picture}).status, 0);

    const auto unwritable = runCli(folder, {"render", "--game", "2", "--full", source, folder.file("no/level.png")});
    EXPECT_TRUE(contains(unwritable.err, "cannot create a temporary file in ") && contains(unwritable.err, "no, the folder of picture ")) << unwritable.err;
    const auto overSource = runCli(folder, {"render", "--game", "2", "--full", source, source});
    EXPECT_EQ(overSource.err, "tavro: cannot replace picture " + source + ": it is the save state being drawn\n");
    EXPECT_EQ(readBytes(source), Bytes(200000, 0));
    const auto swapped = runCli(folder, {"render", "--game", "1", "--full", picture, source});  // picture made above
    EXPECT_EQ(swapped.err, "tavro: save state " + picture + " is a PNG picture, not a save state\n");
    writeBytes(picture, Bytes(10, 1));
    const auto notPicture = runCli(folder, {"render", "--game", "2", "--full", source, picture});
    EXPECT_EQ(notPicture.err, "tavro: picture " + picture + " exists and is not a PNG picture; nothing was written\n");
    EXPECT_EQ(readBytes(picture), Bytes(10, 1));
    EXPECT_EQ(readBytes(source), Bytes(200000, 0));
    for (const auto* failed : {&missing, &tooShort, &empty, &unwritable, &overSource, &swapped, &notPicture}) {
        EXPECT_EQ(failed->status, 1) << failed->err;
        EXPECT_EQ(std::count(failed->err.begin(), failed->err.end(), '\n'), 1) << failed->err;
    }
}

}  // namespace
}  // namespace tavro::test
