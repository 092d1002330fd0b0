#include <gtest/gtest.h>

#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <unistd.h>
#endif

#include "cli_runner.h"
#include "messages.h"
#include "sample_pair.h"

namespace tavro::test {
namespace {

using Arguments = std::vector<std::string>;
using ConvertCommand = SamplePair;

TEST(TavroCommand, VersionHelpAndUsageErrors) {
    TempFolder folder;
    const auto version = runCli(folder, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "1.00\n");
    EXPECT_TRUE(runCli(folder, {"--help"}).out.starts_with("tavro: "));
    const auto help = runCli(folder, {"convert", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const std::string words : {"--dry-run", "nothing changed, unless the message says otherwise", "hard links", "TARGET.bak.2", "never replaces any file",
                                    "which patches it in place", "holds only the level", "would be refused", "told apart as files", "shorter than a save state"})
        EXPECT_TRUE(contains(help.out, words)) << help.out;
    // Usage errors: the error, the usage line (one program name) and where to read more; an unknown
    // command or option, or a file name taken for an option, in one line of its own.
    const std::string dashHint = "names beginning with \"-\" go after \"--\": tavro convert [OPTIONS] -- SOURCE TARGET\n";
    const std::string seeHelp = "\nSee tavro convert --help.\n";
    for (const auto& [arguments, words] :
         {std::pair<Arguments, std::string>{{}, "tavro: a command is needed: convert or render\nUsage: tavro [OPTIONS] SUBCOMMAND\nSee tavro --help.\n"},
          {{"convert", "only-one"}, "tavro: TARGET is required\nUsage: tavro convert [OPTIONS] SOURCE TARGET" + seeHelp},
          {{"convert", "--bogus", "a", "b"}, "tavro convert: unknown option --bogus (see tavro convert --help)\n"},
          {{"--bogus"}, "tavro: unknown option --bogus (see tavro --help)\n"},
          {{"frobnicate"}, "tavro: unknown command \"frobnicate\"; the commands are convert and render (see tavro --help)\n"},
          {{"convert", "s.state", "-t.state"}, "tavro: -t.state is not an option; " + dashHint},
          {{"convert", "", "t.state"}, "tavro: SOURCE is empty\nUsage: tavro convert [OPTIONS] SOURCE TARGET" + seeHelp},
          {{"render", "--game", "1", "s.state", ""}, "tavro: OUT is empty\nUsage: tavro render [OPTIONS] SAVESTATE OUT\nSee tavro render --help.\n"},
          {{"render", "--game=", "1", "s.state", "p.png"}, "tavro: --game= has no value after the \"=\"\nUsage: tavro render "}}) {
        const auto usage = runCli(folder, arguments);
        EXPECT_EQ(usage.status, 2);
        EXPECT_TRUE(usage.err.starts_with(words)) << usage.err;
        EXPECT_TRUE(usage.out.empty());
    }
#ifndef _WIN32
    for (const std::string& arguments : {std::string("--version"), std::string("--help"), "convert --dry-run " + shellQuoted(TAVRO_SAMPLE_SOURCE) + " t.state"})
        EXPECT_EQ(WEXITSTATUS(std::system((shellQuoted(TAVRO_CLI) + " " + arguments + " >/dev/full 2>&1").c_str())), 1) << arguments;
#endif
}

// Failures after the target was replaced say what it holds now and where its previous bytes are.
TEST(TavroCommand, ErrorsSayWhatTheTargetHolds) {
    const auto undo = std::make_shared<const run::UndoRecord>(run::UndoRecord{"t.state", std::nullopt, 0, {}, 0, std::nullopt});
    const core::EngineError eio{.file = core::FileRole::Target, .step = core::Step::Verify, .path = "t.state", .reason = "Input/output error", .code = EIO};
    core::EngineError verify = eio, backup = eio, undoing = eio;
    verify.undo = undo, verify.keptIn = "t.state.bak";
    backup.file = core::FileRole::Backup, backup.step = core::Step::Replace, backup.path = "t.state.bak", backup.undo = undo, backup.keptIn = "tmp";
    undoing.operation = core::Operation::Undo, undoing.step = core::Step::Recheck, undoing.cause = core::Cause::Changed;
    const core::EngineError game{.step = core::Step::Check,
                                 .path = "s\n\x1b[2J\u0085\x9b\u202e\xc1\xbf\U0010FFFF🎮\xf5éetats",
                                 .cause = core::Cause::NotFirstGameLevel,
                                 .facts = core::CellCounts{1, 2}},
        roles{.file = core::FileRole::Target, .step = core::Step::Check, .path = "t", .cause = core::Cause::SameFile, .facts = core::OtherRole{core::FileRole::Source, "s"}},
        mounted{.file = core::FileRole::Target, .step = core::Step::Replace, .path = "t", .cause = core::Cause::MountPoint, .reason = "Device or resource busy"},
        leftover{.file = core::FileRole::Target, .step = core::Step::Replace, .path = "t", .cause = core::Cause::LeftoverOnly, .facts = core::LeftoverCopy{"t.tavro-old"}};
    for (const auto& [error, words] :
         {std::pair{verify, "target file t.state now holds the converted level, but reading it back "
                            "failed: Input/output error; its previous bytes are in t.state.bak"},
          {backup, "cannot replace backup t.state.bak: Input/output error; target file t.state now "
                   "holds the converted level, and its previous bytes are in tmp"},
          {undoing, "cannot undo target file t.state: it was changed after the conversion"},
          {game, "source file s\\n\\x1b[2J\\u0085\\x9b\\u202e\\xc1\\xbf\U0010FFFF🎮\\xf5éetats does not hold a Tavro 1 level: 1 of its 2 cells that name a "
                 "chunk names one whose bytes would lie over the level's cells or the block table. Is it a "
                 "Tavro 2 save state? (--force converts it anyway)"},
          {roles, "target file t is also the source file s: one file cannot be both the source and the "
                  "target; nothing was written (--force patches it in place)"},
          {mounted, "cannot replace target file t: the system will not put another file in its place "
                    "(Device or resource busy): it is a mount point, such as a bind-mounted file; work on a copy instead"},
          {leftover, "cannot replace target file t: nothing is at its name: a replacement that was interrupted (a card pulled out?) left "
                     "its previous state in t.tavro-old (and the new one, if it was complete, in a hidden .NAME.tavro-XXXXXX beside it); "
                     "rename t.tavro-old back to its name and try again; nothing was written"}})
        EXPECT_EQ(cli::describe(error), words);
#ifndef _WIN32
    core::EngineError group = mounted;  // the target's owner and group, its group not the user's
    group.cause = core::Cause::OwnerNotKept, group.reason = "Operation not permitted", group.facts = core::Owner{::geteuid(), ::getegid()};
    const struct group* named = ::getgrgid(::getegid());
    EXPECT_EQ(cli::describe(group), "cannot replace target file t: cannot keep its group " + std::string(named ? named->gr_name : "") + (named ? " (" : "") +
                                        std::to_string(::getegid()) + (named ? ")" : "") + ", which you do not belong to: Operation not permitted");
#endif
}

TEST_F(ConvertCommand, ConvertsTheSamplesAndReportsWhatCameAcross) {
    const auto result = runCli(folder, {"convert", source, target});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.err.empty());
    EXPECT_EQ(result.out, "Warning: 3 cells arrived empty in " + target +
                              " (patched, verified); convert with --pack to carry the whole level.\n  Source chunks with data: 8 of 63\n"
                              "  Cells expanded:          124\n  3 cells name chunks 64 and above, which "
                              "the target cannot hold; each arrives as four empty cells.\n  Chunks left out: 65, 70, 127.\n");
    EXPECT_EQ(readBytes(target), converted);
    EXPECT_TRUE(runCli(folder, {"convert", source, target}).out.starts_with("Warning: 3 cells arrived empty in " + target + " (already converted; nothing written)"));
    run::ConversionReport oneLost;  // one cell lost: the warning in the singular
    oneLost.outcome = run::TargetOutcome::Patched, oneLost.verified = true, oneLost.level.cellsLost = 1;
    EXPECT_EQ(cli::conversionReport(oneLost, "t").substr(0, 55), "Warning: 1 cell arrived empty in t (patched, verified);");
}

TEST_F(ConvertCommand, PackCarriesTheChunksTheDefaultLeavesOut) {
    const auto packed = runCli(folder, {"convert", "--pack", source, target});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_TRUE(packed.out.starts_with("Patched " + target + " (verified).\n") && contains(packed.out, " of 255\n  Cells expanded:          127\n  Every cell arrived whole."))
        << packed.out;
    EXPECT_EQ(readBytes(target), core::patchTarget(targetBytes, core::convertRegions(core::readSourceRegions(sourceBytes), core::ChunkNumbering::Packed)));
}

TEST_F(ConvertCommand, DryRunAndBackupSayWhatTheyDid) {
    const auto dryRun = runCli(folder, {"convert", "--dry-run", source, target});
    EXPECT_EQ(dryRun.status, 0);
    EXPECT_TRUE(dryRun.out.starts_with("Warning: 3 cells would arrive empty in " + target +
                                       " (would be patched; dry run, nothing written); "
                                       "convert with --pack to carry the whole level.\n"))
        << dryRun.out;
    const std::string refusal = "tavro: would be refused: source file " + target + " looks like a Tavro 2 save state, not a Tavro 1 one, and target file " + source +
                                " holds a Tavro 1 level: are the two files swapped? (--force converts it anyway; --verbose tells why)\n";
    for (const bool verbose : {false, true}) {
        const auto swapped = runCli(folder, verbose ? Arguments{"convert", "--dry-run", "--verbose", target, source} : Arguments{"convert", "--dry-run", target, source});
        const std::string why = "tavro: " + target + ": its layout names no chunk holding a level's data\n";
        EXPECT_EQ(std::pair(swapped.status, swapped.err), std::pair(1, refusal + (verbose ? why : "")));
    }
    const auto forced = runCli(folder, {"convert", "--dry-run", "--force", target, source});
    EXPECT_TRUE(contains(forced.out, "Would patch " + source)) << forced.out;
    EXPECT_EQ(readBytes(target), targetBytes);
    const std::string diary = folder.file("diary.txt");  // the wrong target: refused, even by a dry run, unless --force
    writeBytes(diary, core::Bytes(200000, 'a'));
    for (const auto& arguments : {std::vector<std::string>{"convert", source, diary}, {"convert", "--dry-run", source, diary}})
        EXPECT_EQ(runCli(folder, arguments).err, std::string("tavro: ") + (arguments.size() == 4 ? "would be refused: " : "") + "target file " + diary +
                                                     " is not a Tavro 2 save state: it looks like text; nothing was written (--force converts into it anyway)\n");
    EXPECT_EQ(readBytes(diary), core::Bytes(200000, 'a'));
    EXPECT_EQ(runCli(folder, {"convert", "--force", source, diary}).status, 0);
    // Each --backup takes a new name and keeps the bytes before its run: the second, packed, keeps the first's.
    for (const auto& [option, kept, older, before] :
         {std::tuple{"--dry-run", ".bak", "", core::Bytes{}}, {"--backup", ".bak", "", targetBytes}, {"--pack", ".bak.2", " (older backups stay as they are)", converted}}) {
        const auto backup = runCli(folder, {"convert", "--backup", option, source, target});
        ASSERT_EQ(backup.status, 0) << backup.err;
        EXPECT_TRUE(contains(backup.out, "kept in " + target + kept + older + ".\n")) << backup.out;
        EXPECT_EQ(readBytes(target + kept), before);
    }
    EXPECT_EQ(readBytes(target + ".bak"), targetBytes);
    // A created target holds only the level, and says so; a dry run would create it.
    const std::string created = folder.file("new.state"), only = "only the level, not a whole save state an emulator can load";
    const auto wouldCreate = runCli(folder, {"convert", "--dry-run", source, created}), create = runCli(folder, {"convert", source, created});
    EXPECT_TRUE(contains(wouldCreate.out, created + " (would be created; dry run, nothing written)") && contains(wouldCreate.out, "\n  It would hold " + only))
        << wouldCreate.out;
    EXPECT_TRUE(contains(create.out, created + " (created, verified)") && contains(create.out, "\n  It holds " + only)) << create.out;
    // One file in both roles is refused, by name or under another, writing nothing.
    for (const std::string& alias : {source, folder.file("./one.state")})
        EXPECT_TRUE(contains(runCli(folder, {"convert", source, alias}).err, "target file " + alias + " is also the source file " + source + ": one file cannot"));
    EXPECT_EQ(readBytes(source), sourceBytes);
}

#ifndef _WIN32
// A report that cannot be written still says, on standard error, what happened to the target.
TEST_F(ConvertCommand, AReportThatCannotBeWrittenStillSaysWhatHappened) {
    const std::string err = folder.file("err.txt");
    EXPECT_EQ(WEXITSTATUS(std::system(
                  (shellQuoted(TAVRO_CLI) + " convert --backup " + shellQuoted(source) + " " + shellQuoted(target) + " >/dev/full 2>" + shellQuoted(err)).c_str())),
              1);
    const core::Bytes said = readBytes(err);
    EXPECT_EQ(std::string(said.begin(), said.end()),
              "tavro: patched " + target + ", its previous bytes kept in " + target + ".bak; the report could not be written: No space left on device\n");
    EXPECT_EQ(readBytes(target), converted);
}
#endif

}  // namespace
}  // namespace tavro::test
