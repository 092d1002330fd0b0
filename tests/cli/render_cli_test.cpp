#include <gtest/gtest.h>

#include <filesystem>

#include "cli_runner.h"
#include "level_render.h"
#include "png_image.h"

namespace tavro::testing {
namespace {

using render::Game;
using render::Plane;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

render::RgbaImage decoded(const std::string& path) {
    auto image = render::decodePng(readBytes(path));
    EXPECT_TRUE(image.has_value()) << image.error();
    return image.value_or(render::RgbaImage{});
}

class RenderCommand : public ::testing::Test {
protected:
    TempFolder folder;
    std::string source = folder.file("one.state");
    std::string picture = folder.file("level.png");
    render::LevelMemory level = render::LevelMemory::fromSaveState(readBytes(TAVRO_SAMPLE_SOURCE)).value();

    void SetUp() override { std::filesystem::copy_file(TAVRO_SAMPLE_SOURCE, source); }
};

TEST_F(RenderCommand, DrawsTheCellsInUseWithTheStatesColours) {
    writeBytes(picture, Bytes(10, 1));  // an existing file is replaced
    const auto result = runCli(folder, {"render", "--game", "1", source, picture});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto box = render::usedCells(level, Game::First, Plane::Foreground).value();
    const auto expected = render::toRgba(render::drawPlane(level, Game::First, Plane::Foreground, box),
                                         render::readPalette(level));
    const auto image = decoded(picture);
    EXPECT_EQ(image.width, box.columns * 256);
    EXPECT_EQ(image.pixels, expected.pixels);
    EXPECT_TRUE(contains(result.out, "Wrote " + picture + ": " + std::to_string(image.width) + " x ")) << result.out;
}

TEST_F(RenderCommand, FullPlaneBackgroundAndScaledPictures) {
    ASSERT_EQ(runCli(folder, {"render", "--game=1", "--full", "--plane", "bg", source, picture}).status, 0);
    const auto full = decoded(picture);
    EXPECT_EQ(full.width, render::kPlaneWidth);
    EXPECT_EQ(full.height, render::kPlaneHeight);
    EXPECT_EQ(full.pixels,
              render::toRgba(render::drawPlane(level, Game::First, Plane::Background), render::readPalette(level)).pixels);

    ASSERT_EQ(runCli(folder, {"render", "--game", "1", "--scale", "3", source, picture}).status, 0);
    const auto box = render::usedCells(level, Game::First, Plane::Foreground).value();
    EXPECT_EQ(decoded(picture).pixels, render::drawScaled(level, Game::First, Plane::Foreground, box, 3).pixels);
}

TEST_F(RenderCommand, FailuresGiveOneLineAndNoPicture) {
    const auto missing = runCli(folder, {"render", "--game", "1", folder.file("absent.state"), picture});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "tavro: cannot open " + folder.file("absent.state") + ": No such file or directory\n");

    writeBytes(source, Bytes(5000, 1));
    const auto tooShort = runCli(folder, {"render", "--game", "1", source, picture});
    EXPECT_EQ(tooShort.status, 1);
    EXPECT_TRUE(contains(tooShort.err, "too short to hold a level: 5,000 bytes")) << tooShort.err;

    writeBytes(source, Bytes(200000, 0));
    const auto empty = runCli(folder, {"render", "--game", "2", source, picture});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(contains(empty.err, "nothing to draw")) << empty.err;
    EXPECT_FALSE(std::filesystem::exists(picture));
    EXPECT_EQ(runCli(folder, {"render", "--game", "2", "--full", source, picture}).status, 0);

    const auto unwritable = runCli(folder, {"render", "--game", "2", "--full", source, folder.file("no/level.png")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(contains(unwritable.err, "cannot write")) << unwritable.err;
    const auto overSource = runCli(folder, {"render", "--game", "2", "--full", source, source});
    EXPECT_EQ(overSource.status, 1);
    EXPECT_EQ(readBytes(source), Bytes(200000, 0));
    for (const auto* err : {&missing.err, &tooShort.err, &empty.err, &unwritable.err, &overSource.err})
        EXPECT_EQ(std::count(err->begin(), err->end(), '\n'), 1) << *err;
}

TEST_F(RenderCommand, UsageErrorsExitWithTwo) {
    for (const auto& arguments : {std::initializer_list<std::string>{"render", source, picture},
                                  std::initializer_list<std::string>{"render", "--game", "0", source, picture},
                                  std::initializer_list<std::string>{"render", "--game", "1", "--plane", "up", source, picture},
                                  std::initializer_list<std::string>{"render", "--game", "1", "--scale", "0", source, picture},
                                  std::initializer_list<std::string>{"render", "--game", "1", source}}) {
        const auto usage = runCli(folder, arguments);
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(contains(usage.err, "Usage")) << usage.err;
    }
    EXPECT_FALSE(std::filesystem::exists(picture));
}

}  // namespace
}  // namespace tavro::testing
