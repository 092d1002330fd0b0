#include <tavro/conversion_run.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <tuple>

#include <tavro/chunk_conversion.h>
#include <tavro/layout_expansion.h>
#include <tavro/level_check.h>
#include "plausible_states.h"
#include <tavro/png_image.h>
#include <tavro/region_map.h>
#include "sample_pair.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;
using namespace tavro::test;

Bytes slice(const Bytes& bytes, std::size_t offset, std::size_t length) { return {&bytes.at(offset), &bytes.at(offset) + length}; }

// Checks the five target regions against the source and every other byte
// against `before` (zero where `before` had no byte).
void expectConverted(const Bytes& result, const Bytes& source, Bytes before) {
    using namespace format;
    before.resize(std::max(before.size(), kMinSaveStateSize), 0);
    ASSERT_EQ(result.size(), before.size());
    const std::size_t ram = kMainRamOffset, palette = ram + kLevelPaletteAddress;
    const std::pair<std::size_t, Bytes> regions[] = {{ram + kSecondGame.chunkTable, convertChunks(slice(source, ram, 65536))},
                                                     {ram + kSecondGame.layout, expandLayout(slice(source, ram + kFirstGame.layout, 1024))},
                                                     {ram + kSecondGame.blockTable, slice(source, ram + kFirstGame.blockTable, 6144)},
                                                     {palette, slice(source, palette, 225)},
                                                     {kVideoRamOffset, slice(source, kVideoRamOffset, 32768)}};
    Bytes rest = result;
    for (const auto& [offset, expected] : regions) {
        EXPECT_EQ(slice(result, offset, expected.size()), expected) << offset;
        std::copy_n(&before.at(offset), expected.size(), &rest.at(offset));
    }
    EXPECT_EQ(rest, before) << "a byte outside the regions changed";
}

// Random bytes around the levels, so that a region read or written at a wrong
// offset shows: a plausible first-game state of exactly the least size a
// source may have, and a plausible second-game one (tools/plausible_states.h).
class ConversionRun : public test::SamplePair {
protected:
    void SetUp() override {
        sourceBytes = plausible::plausibleState(format::kFirstGame, 11);
        sourceBytes.resize(kMinSaveStateSize);
        targetBytes = plausible::plausibleState(format::kSecondGame, 12);
        writePair();
    }
};

// A full-size target, one of the least size, and the source itself (read whole
// before it is patched): each gets the regions, keeps every other byte, is left
// alone by a second run and is put back by undo, to its old length.
TEST_F(ConversionRun, WritesTheRegionsKeepsEveryOtherByteAndUndoes) {
    Bytes shortest = plausible::plausibleState(format::kSecondGame, 13, true);
    shortest.resize(kMinSaveStateSize);
    for (const auto& [path, before] : {std::pair{target, targetBytes}, std::pair{target, shortest}, std::pair{source, sourceBytes}}) {
        SCOPED_TRACE(before.size());
        writeBytes(path, before);
        const auto dryRun = runConversion(source, path, {.dryRun = true});
        ASSERT_TRUE(dryRun && dryRun->dryRun && dryRun->outcome == TargetOutcome::Patched);
        EXPECT_EQ(readBytes(path), before) << "a dry run wrote";
        const auto report = runConversion(source, path);
        ASSERT_TRUE(report && report->undo && report->verified && report->outcome == TargetOutcome::Patched);
        const Bytes once = readBytes(path);
        expectConverted(once, sourceBytes, before);
        EXPECT_EQ(folder.names(), (std::vector<std::string>{"one.state", "two.state"}));
        if (path == target) {  // the source itself would be converted once more
            const auto again = runConversion(source, path);  // a target converted before is a Tavro 2 state
            EXPECT_TRUE(again && again->outcome == TargetOutcome::Unchanged && !again->undo);
            EXPECT_EQ(readBytes(path), once);
        }
        ASSERT_EQ(undoConversion(*report->undo), UndoOutcome::Restored);
        EXPECT_EQ(readBytes(path), before);
    }
    EXPECT_EQ(readBytes(source), sourceBytes);
}

// Refusals, dry runs' too, name the file, the step and the reason, and leave
// the target, the backup's place and the folder as they were. The special
// files are at the backup's place (more kinds in conversion_run_posix_test.cpp),
// one case gives the target a second name (a special file as the target is
// refused by the command-line tests), and the last ones give one file two
// roles or a source holding no first-game level.
TEST_F(ConversionRun, RefusesBeforeTouchingTheTarget) {
    const std::string bak = target + ".bak", missing = folder.file("missing.state");
    const std::function<int()> none = [] { return 0; };
    using Said = std::tuple<FileRole, Step, std::string, Cause, int, ErrorFacts>;  // code, facts
    const Said special{FileRole::Backup, Step::Replace, bak, Cause::NotRegularFile, 0, {}};
    const auto cellsOf = [](const Bytes& state, FileLooks looks) {
        const GameReading read = readAsGame(state, format::kFirstGame);
        return CellCounts{std::uintmax_t(read.foregroundHasData ? read.cellsNamingImpossible : 0), std::uintmax_t(read.cellsNamingChunks), looks};
    };
    const CellCounts secondGame = cellsOf(targetBytes, FileLooks::SecondGameState);
    // What a player might pick as the target, and a swapped pair whose Tavro 2 block table holds ordinary art (over the
    // Tavro 1 layout) and whose entries fit Tavro 1's too.
    const Bytes text = plausible::plausibleText(3), noise = randomBytes(format::kRecordedStateBytes, 4), hard = plausible::fittingBothGames(5);
    const Bytes png = render::encodePng(render::RgbaImage{256, 256, randomBytes(256 * 256 * 4, 6)}).value();
    const auto targetHolding = [this](const Bytes& bytes) { return std::function<int()>([this, bytes] { return writeBytes(target, bytes), 0; }); };
    const struct Case {
        std::string from, to;
        std::function<int()> make;
        Said said;
    } cases[] = {
        {"", target, none, {FileRole::Source, Step::Choose, "", Cause::NotChosen, 0, {}}},
        {source, "", none, {FileRole::Target, Step::Choose, "", Cause::NotChosen, 0, {}}},
        {missing, target, none, {FileRole::Source, Step::Open, missing, Cause::System, ENOENT, {}}},
        {source,
         target,
         [&] { return writeBytes(source, randomBytes(kMinSaveStateSize - 1, 14)), 0; },
         {FileRole::Source, Step::Check, source, Cause::TooShort, 0, ByteCounts{kMinSaveStateSize - 1, kMinSaveStateSize}}},
        {source, target, [&] { return fs::create_directory(bak) ? 0 : 1; }, special},
        {source,
         target,
         [&] { return fs::create_hard_link(target, folder.file("second.state")), 0; },
         {FileRole::Target, Step::Replace, target, Cause::HardLinks, 0, NameCount{2}}},
        {source,
         target,
         [&] { return writeBytes(target, randomBytes(kMinSaveStateSize - 1, 15)), 0; },
         {FileRole::Target, Step::Check, target, Cause::TooShort, 0, ByteCounts{kMinSaveStateSize - 1, kMinSaveStateSize}}},
        {bak, target, [&] { return fs::copy_file(source, bak), 0; }, {FileRole::Backup, Step::Check, bak, Cause::SameFile, 0, {}}},
        {source,
         target,
         [&] {  // a link to its own TARGET.bak (a second name where links cannot be made)
             std::error_code noLinks;
             fs::rename(target, bak), fs::create_symlink("two.state.bak", target, noLinks);
             return noLinks ? (fs::create_hard_link(bak, target), 0) : 0;
         },
         {FileRole::Target, Step::Check, target, Cause::SameFile, 0, {}}},
        {source,
         target,
         [&] { return writeBytes(source, Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}), 0; },
         {FileRole::Source, Step::Check, source, Cause::IsAPicture, 0, {}}},
        {target, source, none, {FileRole::Source, Step::Check, target, Cause::LooksSwapped, 0, secondGame}},
        {target, target, none, {FileRole::Source, Step::Check, target, Cause::NotFirstGameLevel, 0, secondGame}},
        {target, source, targetHolding(hard), {FileRole::Source, Step::Check, target, Cause::LooksSwapped, 0, cellsOf(hard, FileLooks::SecondGameState)}},
        {source, target, targetHolding(sourceBytes), {FileRole::Target, Step::Check, target, Cause::NotSecondGameState, 0, cellsOf(sourceBytes, FileLooks::FirstGameState)}},
        {source, target, targetHolding(text), {FileRole::Target, Step::Check, target, Cause::NotSecondGameState, 0, CellCounts{0, 0, FileLooks::Text}}},
        {source, target, targetHolding(noise), {FileRole::Target, Step::Check, target, Cause::NotSecondGameState, 0, cellsOf(noise, FileLooks::Noise)}},
        {source, target, targetHolding(png), {FileRole::Target, Step::Check, target, Cause::NotSecondGameState, 0, CellCounts{0, 0, FileLooks::Picture}}},
        {source,
         target,
         targetHolding(Bytes(kMinSaveStateSize, 0)),
         {FileRole::Target, Step::Check, target, Cause::NotSecondGameState, 0, CellCounts{0, 0, FileLooks::Zeros}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::get<std::string>(c.said));
        fs::remove_all(bak), fs::remove(target), fs::remove(folder.file("second.state"));
        writePair();
        ASSERT_EQ(c.make(), 0);
        const auto type = fs::symlink_status(bak).type();
        const auto names = folder.names();
        const Bytes before = readBytes(target);
        for (const bool dryRun : {true, false}) {
            const auto result = runConversion(c.from, c.to, {.dryRun = dryRun, .backup = true});
            ASSERT_FALSE(result) << dryRun;
            const EngineError& e = result.error();
            EXPECT_EQ(Said(e.file, e.step, e.path, e.cause, e.code, e.facts), c.said) << dryRun;
        }
        EXPECT_EQ(fs::symlink_status(bak).type(), type);
        EXPECT_EQ(readBytes(target), before);
        EXPECT_EQ(folder.names(), names);
    }
    writePair();
    EXPECT_TRUE(runConversion(target, source, {.dryRun = true, .force = true}));
    EXPECT_EQ(readBytes(source), sourceBytes);
    writeBytes(target, text);
    EXPECT_TRUE(runConversion(source, target, {.force = true}));  // --force converts into any target
    EXPECT_NE(readBytes(target), text);
}

// A dry run creates nothing; a run creates the file; undo removes it.
TEST_F(ConversionRun, UndoRemovesWhatTheRunCreatedAndLeavesAChangedTargetAlone) {
    const std::string created = folder.file("new.state");
    const auto dryRun = runConversion(source, created, {.dryRun = true});
    ASSERT_TRUE(dryRun && dryRun->outcome == TargetOutcome::Created && !fs::exists(created));
    const auto creation = runConversion(source, created);
    ASSERT_TRUE(creation && creation->undo && creation->outcome == TargetOutcome::Created);
    expectConverted(readBytes(created), sourceBytes, {});
    ASSERT_EQ(undoConversion(*creation->undo), UndoOutcome::Removed);
    EXPECT_FALSE(fs::exists(created));

    const auto again = runConversion(source, target);
    ASSERT_TRUE(again && again->undo);
    Bytes changed = readBytes(target);
    changed[150000] ^= 1;  // past the first bytes, which undo keeps a copy of
    writeBytes(target, changed);
    const auto refused = undoConversion(*again->undo);
    ASSERT_FALSE(refused);
    EXPECT_EQ(std::pair(refused.error().step, refused.error().cause), std::pair(Step::Recheck, Cause::Changed));
    EXPECT_EQ(readBytes(target), changed);

    // Converting again (packed) over a target's first conversion: undoing both gives it back.
    Bytes shortest = plausible::plausibleState(format::kSecondGame, 14);
    shortest.resize(kMinSaveStateSize);
    writeBytes(target, shortest);
    const auto first = runConversion(source, target), second = runConversion(source, target, {.pack = true});
    ASSERT_TRUE(first && first->undo && second && second->undo);
    ASSERT_EQ(undoConversion(undoBoth(*first->undo, *second->undo)), UndoOutcome::Restored);
    EXPECT_EQ(readBytes(target), shortest);
}

}  // namespace
}  // namespace tavro
