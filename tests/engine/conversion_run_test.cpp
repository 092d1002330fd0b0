#include <tavro/run/conversion_run.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <tuple>

#include <tavro/core/chunk_conversion.h>
#include <tavro/core/layout_expansion.h>
#include <tavro/core/level_check.h>
#include "plausible_states.h"
#include <tavro/pictures/png_image.h>
#include <tavro/core/region_map.h>
#include "sample_pair.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;
using namespace tavro::test;

core::Bytes slice(const core::Bytes& bytes, std::size_t offset, std::size_t length) { return {&bytes.at(offset), &bytes.at(offset) + length}; }

// Checks the five target regions against the source and every other byte
// against `before` (zero where `before` had no byte).
void expectConverted(const core::Bytes& result, const core::Bytes& source, core::Bytes before) {
    using namespace core::format;
    before.resize(std::max(before.size(), core::kMinSaveStateSize), 0);
    ASSERT_EQ(result.size(), before.size());
    const std::size_t ram = kMainRamOffset, palette = ram + kLevelPaletteAddress;
    const std::pair<std::size_t, core::Bytes> regions[] = {{ram + kSecondGame.chunkTable, core::convertChunks(slice(source, ram, 65536))},
                                                           {ram + kSecondGame.layout, core::expandLayout(slice(source, ram + kFirstGame.layout, 1024))},
                                                           {ram + kSecondGame.blockTable, slice(source, ram + kFirstGame.blockTable, 6144)},
                                                           {palette, slice(source, palette, 225)},
                                                           {kVideoRamOffset, slice(source, kVideoRamOffset, 32768)}};
    core::Bytes rest = result;
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
        sourceBytes = plausible::plausibleState(core::format::kFirstGame, 11);
        sourceBytes.resize(core::kMinSaveStateSize);
        targetBytes = plausible::plausibleState(core::format::kSecondGame, 12);
        writePair();
    }
};

// A full-size target, one of the least size, and the source itself (with
// --force; read whole before it is patched): each gets the regions, keeps every
// other byte, is left alone by a second run and is put back by undo, to its old length.
TEST_F(ConversionRun, WritesTheRegionsKeepsEveryOtherByteAndUndoes) {
    core::Bytes shortest = plausible::plausibleState(core::format::kSecondGame, 13, true);
    shortest.resize(core::kMinSaveStateSize);
    for (const auto& [path, before] : {std::pair{target, targetBytes}, std::pair{target, shortest}, std::pair{source, sourceBytes}}) {
        SCOPED_TRACE(before.size());
        writeBytes(path, before);
        const auto dryRun = run::runConversion(source, path, {.dryRun = true, .force = path == source});
        ASSERT_TRUE(dryRun && dryRun->dryRun && dryRun->outcome == run::TargetOutcome::Patched);
        EXPECT_EQ(readBytes(path), before) << "a dry run wrote";
        const auto report = run::runConversion(source, path, {.force = path == source});
        ASSERT_TRUE(report && report->undo && report->verified && report->outcome == run::TargetOutcome::Patched);
        const core::Bytes once = readBytes(path);
        expectConverted(once, sourceBytes, before);
        EXPECT_EQ(folder.names(), (std::vector<std::string>{"one.state", "two.state"}));
        if (path == target) {  // the source itself would be converted once more
            const auto again = run::runConversion(source, path);  // a target converted before is a Tavro 2 state
            EXPECT_TRUE(again && again->outcome == run::TargetOutcome::Unchanged && !again->undo);
            EXPECT_EQ(readBytes(path), once);
        }
        ASSERT_EQ(run::undoConversion(*report->undo)->outcome, run::UndoOutcome::Restored);
        EXPECT_EQ(readBytes(path), before);
    }
    EXPECT_EQ(readBytes(source), sourceBytes);
}

// Refusals, dry runs' too, name the file, the step and the reason, and leave
// the target, the backup's place and the folder as they were. One case gives
// the target a second name (a special file as the target is refused by the
// command-line tests), and the last ones give one file both roles (by name,
// and under another name) or a source holding no first-game level.
TEST_F(ConversionRun, RefusesBeforeTouchingTheTarget) {
    const std::string bak = target + ".bak", missing = folder.file("missing.state"), alias = utf8(folder.path() / "." / "one.state");
    const std::function<int()> none = [] { return 0; };
    using Said = std::tuple<core::FileRole, core::Step, std::string, core::Cause, int, core::ErrorFacts>;  // code, facts
    const auto cellsOf = [](const core::Bytes& state, core::FileLooks looks, std::string swappedWith = {}) {
        const core::GameReading read = core::readAsGame(state, core::format::kFirstGame);
        return core::CellCounts{std::uintmax_t(read.foregroundHasData ? read.cellsNamingImpossible : 0), std::uintmax_t(read.cellsNamingChunks), looks, swappedWith};
    };
    const core::CellCounts secondGame = cellsOf(targetBytes, core::FileLooks::SecondGameState, source);
    // What a player might pick as the target, and a swapped pair whose Tavro 2 block table holds ordinary art (over the
    // Tavro 1 layout) and whose entries fit Tavro 1's too.
    const core::Bytes text = plausible::plausibleText(3), noise = randomBytes(core::format::kRecordedStateBytes, 4), hard = plausible::fittingBothGames(5);
    const core::Bytes png = pictures::encodePng(drawing::RgbaImage{256, 256, randomBytes(256 * 256 * 4, 6)}).value();
    const auto targetHolding = [this](const core::Bytes& bytes) { return std::function<int()>([this, bytes] { return writeBytes(target, bytes), 0; }); };
    const struct Case {
        std::string from, to;
        std::function<int()> make;
        Said said;
    } cases[] = {{"", target, none, {core::FileRole::Source, core::Step::Choose, "", core::Cause::NotChosen, 0, {}}},
                 {source, "", none, {core::FileRole::Target, core::Step::Choose, "", core::Cause::NotChosen, 0, {}}},
                 {missing, target, none, {core::FileRole::Source, core::Step::Open, missing, core::Cause::System, ENOENT, {}}},
                 {source,
                  target,
                  [&] { return writeBytes(source, randomBytes(core::kMinSaveStateSize - 1, 14)), 0; },
                  {core::FileRole::Source, core::Step::Check, source, core::Cause::TooShort, 0, core::ByteCounts{core::kMinSaveStateSize - 1, core::kMinSaveStateSize}}},
                 {source,
                  target,
                  [&] { return fs::create_hard_link(target, folder.file("second.state")), 0; },
                  {core::FileRole::Target, core::Step::Replace, target, core::Cause::HardLinks, 0, core::NameCount{2}}},
                 {source,
                  target,
                  [&] { return writeBytes(target, randomBytes(core::kMinSaveStateSize - 1, 15)), 0; },
                  {core::FileRole::Target, core::Step::Check, target, core::Cause::TooShort, 0, core::ByteCounts{core::kMinSaveStateSize - 1, core::kMinSaveStateSize}}},
                 {source, alias, none, {core::FileRole::Target, core::Step::Check, alias, core::Cause::SameFile, 0, core::OtherRole{core::FileRole::Source, source}}},
                 {source,
                  target,
                  [&] { return writeBytes(source, core::Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}), 0; },
                  {core::FileRole::Source, core::Step::Check, source, core::Cause::IsAPicture, 0, {}}},
                 {target, source, none, {core::FileRole::Source, core::Step::Check, target, core::Cause::LooksSwapped, 0, secondGame}},
                 {target, target, none, {core::FileRole::Target, core::Step::Check, target, core::Cause::SameFile, 0, core::OtherRole{core::FileRole::Source, target}}},
                 {target,
                  source,
                  targetHolding(hard),
                  {core::FileRole::Source, core::Step::Check, target, core::Cause::LooksSwapped, 0, cellsOf(hard, core::FileLooks::SecondGameState, source)}},
                 {source,
                  target,
                  targetHolding(sourceBytes),
                  {core::FileRole::Target, core::Step::Check, target, core::Cause::NotSecondGameState, 0, cellsOf(sourceBytes, core::FileLooks::FirstGameState)}},
                 {source,
                  target,
                  targetHolding(text),
                  {core::FileRole::Target, core::Step::Check, target, core::Cause::NotSecondGameState, 0, core::CellCounts{0, 0, core::FileLooks::Text}}},
                 {source,
                  target,
                  targetHolding(noise),
                  {core::FileRole::Target, core::Step::Check, target, core::Cause::NotSecondGameState, 0, cellsOf(noise, core::FileLooks::Noise)}},
                 {source,
                  target,
                  targetHolding(png),
                  {core::FileRole::Target, core::Step::Check, target, core::Cause::NotSecondGameState, 0, core::CellCounts{0, 0, core::FileLooks::Picture}}},
                 {source,
                  target,
                  targetHolding(core::Bytes(core::kMinSaveStateSize, 0)),
                  {core::FileRole::Target, core::Step::Check, target, core::Cause::NotSecondGameState, 0, core::CellCounts{0, 0, core::FileLooks::Zeros}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::get<std::string>(c.said));
        fs::remove_all(bak), fs::remove(target), fs::remove(folder.file("second.state"));
        writePair();
        ASSERT_EQ(c.make(), 0);
        const auto type = fs::symlink_status(bak).type();
        const auto names = folder.names();
        const core::Bytes before = readBytes(target);
        for (const bool dryRun : {true, false}) {
            const auto result = run::runConversion(c.from, c.to, {.dryRun = dryRun, .backup = true});
            ASSERT_FALSE(result) << dryRun;
            const core::EngineError& e = result.error();
            EXPECT_EQ(Said(e.file, e.step, e.path, e.cause, e.code, e.facts), c.said) << dryRun;
        }
        EXPECT_EQ(fs::symlink_status(bak).type(), type);
        EXPECT_EQ(readBytes(target), before);
        EXPECT_EQ(folder.names(), names);
    }
    writePair();
    EXPECT_TRUE(run::runConversion(target, source, {.dryRun = true, .force = true}));
    EXPECT_EQ(readBytes(source), sourceBytes);
    writeBytes(target, text);
    EXPECT_TRUE(run::runConversion(source, target, {.force = true}));  // --force converts into any target
    EXPECT_NE(readBytes(target), text);
}

// A dry run creates nothing; a run creates the file; undo removes it, once no
// other program holds it open.
TEST_F(ConversionRun, UndoRemovesWhatTheRunCreatedAndLeavesAChangedTargetAlone) {
    const std::string created = folder.file("new.state");
    const auto dryRun = run::runConversion(source, created, {.dryRun = true});
    ASSERT_TRUE(dryRun && dryRun->outcome == run::TargetOutcome::Created && !fs::exists(created));
    const auto creation = run::runConversion(source, created);
    ASSERT_TRUE(creation && creation->undo && creation->outcome == run::TargetOutcome::Created);
    expectConverted(readBytes(created), sourceBytes, {});
    std::optional<std::ifstream> holder(std::in_place, utf8Path(created), std::ios::binary);
    const auto held = run::undoConversion(*creation->undo);
    ASSERT_FALSE(held);
    EXPECT_EQ(std::pair(held.error().file, held.error().cause), std::pair(core::FileRole::Target, core::Cause::OpenElsewhere));
    EXPECT_TRUE(fs::exists(created));
    holder.reset();
    ASSERT_EQ(run::undoConversion(*creation->undo)->outcome, run::UndoOutcome::Removed);
    EXPECT_FALSE(fs::exists(created));

    const auto again = run::runConversion(source, target);
    ASSERT_TRUE(again && again->undo);
    core::Bytes changed = readBytes(target);
    changed[150000] ^= 1;  // past the first bytes, which undo keeps a copy of
    writeBytes(target, changed);
    const auto refused = run::undoConversion(*again->undo);
    ASSERT_FALSE(refused);
    EXPECT_EQ(std::pair(refused.error().step, refused.error().cause), std::pair(core::Step::Recheck, core::Cause::Changed));
    EXPECT_EQ(readBytes(target), changed);

    // Converting again (packed) over a target's first conversion, each with a
    // backup, a folder taking TARGET.bak.2: each backup takes the next free name
    // and keeps the bytes before its run; undoing both gives the target back and
    // removes the backup still as written, keeping the one changed since.
    core::Bytes original = plausible::plausibleState(core::format::kSecondGame, 14);
    original.resize(core::kMinSaveStateSize);
    writeBytes(target, original);
    fs::create_directory(target + ".bak.2");
    const auto first = run::runConversion(source, target, {.backup = true});
    const core::Bytes once = readBytes(target);
    const auto second = run::runConversion(source, target, {.backup = true, .pack = true});
    ASSERT_TRUE(first && first->undo && second && second->undo);
    EXPECT_EQ(std::tuple(*first->backupPath, *second->backupPath, second->olderBackupsKept), std::tuple(target + ".bak", target + ".bak.3", true));
    EXPECT_EQ(std::pair(readBytes(target + ".bak"), readBytes(target + ".bak.3")), std::pair(original, once));
    writeBytes(target + ".bak.3", core::Bytes{1});
    const auto undone = run::undoConversion(run::undoBoth(*first->undo, *second->undo));
    ASSERT_TRUE(undone && undone->outcome == run::UndoOutcome::Restored);
    EXPECT_EQ(std::pair(undone->backupsRemoved, undone->backupsKept), std::pair(std::vector{target + ".bak"}, std::vector{target + ".bak.3"}));
    EXPECT_EQ(readBytes(target), original);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"one.state", "two.state", "two.state.bak.2", "two.state.bak.3"}));
}

}  // namespace
}  // namespace tavro
