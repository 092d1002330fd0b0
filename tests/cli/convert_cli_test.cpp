#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli_runner.h"
#include "sample_pair.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

using ConvertCommand = SamplePair;

TEST(TavroCommand, VersionHelpAndUsageErrors) {
    TempFolder folder;
    const auto version = runCli(folder, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "1.00\n");

    const auto help = runCli(folder, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "convert"));

    const auto convertHelp = runCli(folder, {"convert", "--help"});
    EXPECT_EQ(convertHelp.status, 0);
    EXPECT_TRUE(contains(convertHelp.out, "--dry-run"));
    for (const std::string words : {"nothing changed, unless the message says otherwise", "hard links",
                                    "replacing an older backup", "a failed run leaves it as it was"})
        EXPECT_TRUE(contains(convertHelp.out, words)) << convertHelp.out;

    for (const auto& arguments : {std::initializer_list<std::string>{},
                                  std::initializer_list<std::string>{"convert", "only-one"},
                                  std::initializer_list<std::string>{"convert", "--bogus", "a", "b"},
                                  std::initializer_list<std::string>{"frobnicate"}}) {
        const auto usage = runCli(folder, arguments);
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(contains(usage.err, "Usage")) << usage.err;
        EXPECT_TRUE(usage.out.empty());
    }
}

TEST_F(ConvertCommand, ConvertsTheSamplesAndReportsWhatCameAcross) {
    const auto result = runCli(folder, {"convert", source, target});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.err.empty());
    EXPECT_TRUE(contains(result.out, "Patched " + target + " (verified)")) << result.out;
    EXPECT_TRUE(contains(result.out, "Source chunks with data: 8 of 63")) << result.out;
    EXPECT_TRUE(contains(result.out, "Layout cells expanded:   124")) << result.out;
    EXPECT_TRUE(contains(result.out, "Warning: 3 layout cells name chunks 64 and above")) << result.out;
    EXPECT_EQ(readBytes(target), converted);

    const auto again = runCli(folder, {"convert", source, target});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(contains(again.out, "already holds the converted level")) << again.out;
}

TEST_F(ConvertCommand, PackCarriesTheChunksTheDefaultLeavesOut) {
    EXPECT_TRUE(contains(runCli(folder, {"convert", "--dry-run", source, target}).out, "Chunks left out: 65, 70, 127."));
    const auto packed = runCli(folder, {"convert", "--pack", source, target});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_TRUE(contains(packed.out, " of 255\n  Layout cells expanded:   127\n  Every layout cell arrived whole."))
        << packed.out;
    EXPECT_EQ(readBytes(target), patchTarget(targetBytes, convertRegions(readSourceRegions(sourceBytes), ChunkNumbering::Packed)));
}

TEST_F(ConvertCommand, DryRunAndBackupSayWhatTheyDid) {
    const auto dryRun = runCli(folder, {"convert", "--dry-run", source, target});
    EXPECT_EQ(dryRun.status, 0);
    EXPECT_TRUE(contains(dryRun.out, "Would patch " + target + "; nothing written (dry run).")) << dryRun.out;
    EXPECT_EQ(readBytes(target), targetBytes);

    const auto backup = runCli(folder, {"convert", "--backup", source, target});
    ASSERT_EQ(backup.status, 0) << backup.err;
    EXPECT_TRUE(contains(backup.out, "Previous bytes kept in " + target + ".bak.\n")) << backup.out;
    EXPECT_EQ(readBytes(target + ".bak"), targetBytes);

    restoreTarget();
    const auto again = runCli(folder, {"convert", "--backup", source, target});
    EXPECT_TRUE(contains(again.out, target + ".bak (the older backup there was replaced).")) << again.out;
}

TEST_F(ConvertCommand, FailureIsOneLineOnStandardError) {
    const std::string missing = folder.file("missing.state");
    const auto result = runCli(folder, {"convert", missing, target});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "tavro: cannot open source file " + missing + ": No such file or directory\n");
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(readBytes(target), targetBytes);
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace tavro::testing
