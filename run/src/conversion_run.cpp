#include <tavro/run/conversion_run.h>

#include <algorithm>
#include <utility>

#include <tavro/files/file_access.h>
#include <tavro/files/file_error.h>
#include <tavro/core/level_check.h>
#include <tavro/core/region_map.h>
#include <tavro/core/try.h>

namespace tavro::run {
namespace {

constexpr core::Operation kConvert = core::Operation::Convert;

std::unexpected<core::EngineError> fail(core::Operation operation, core::FileRole role, core::Step step,
                                        const std::string& path, core::Cause cause) {
    return std::unexpected(
        core::EngineError{.operation = operation, .file = role, .step = step, .path = path, .cause = cause});
}

std::unexpected<core::EngineError> fail(core::Operation operation, core::FileRole role, const std::string& path,
                                        const files::IoFailure& failure) {
    return std::unexpected(files::fileError(operation, role, path, failure));
}

// Reads the target back after its replacement: it must hold `head`, then
// bytes [head.size(), size) of `rest` (the file it replaced), and nothing more.
// Returns its identity; a failure is a Verify error of the target.
std::expected<files::FileIdentity, core::EngineError> readBack(core::Operation operation, const std::string& path,
                                                               const core::Bytes& head, const files::OpenFile* rest,
                                                               std::uintmax_t size, files::SystemCalls& calls) {
    const auto failed = [&](core::Cause cause, const files::IoFailure* failure = nullptr) {
        core::EngineError error =
            failure ? files::fileError(operation, core::FileRole::Target, path, *failure)
                    : core::EngineError{
                          .operation = operation, .file = core::FileRole::Target, .path = path, .cause = cause};
        error.step = core::Step::Verify;
        return std::unexpected(std::move(error));
    };
    auto found = files::openIfExists(path, calls);
    if (!found) return failed(core::Cause::System, &found.error());
    if (!*found) return failed(core::Cause::Gone);
    const files::OpenFile& file = **found;
    if (file.identity().size != size) return failed(core::Cause::OtherSize);
    auto first = file.readHead(head.size());
    if (!first) return failed(core::Cause::System, &first.error());
    bool same = *first == head;
    if (same && rest != nullptr && size > head.size()) {
        auto tail = file.sameBytes(*rest, head.size(), size);
        if (!tail) return failed(core::Cause::System, &tail.error());
        same = *tail;
    }
    if (!same) return failed(core::Cause::OtherBytes);
    return file.identity();
}

// The source as read: its identity at the open and its first bytes.
struct ReadSource {
    files::FileIdentity identity;
    core::Bytes head;
};

// Refuses a source that is a socket, a PNG picture or too short to be a save state.
std::expected<ReadSource, core::EngineError> readSource(const std::string& path, files::SystemCalls& calls) {
    auto opened = files::openIfExists(path, calls);
    if (!opened) {
        if (opened.error().cause == core::Cause::System && files::isSocket(path, calls))
            return fail(kConvert, core::FileRole::Source, core::Step::Open, path, core::Cause::Socket);
        return fail(kConvert, core::FileRole::Source, path, opened.error());
    }
    if (!*opened) {  // the system's words for what is missing; a file that appeared meanwhile is a changed one
        auto prefix = files::readPrefix(path, 0, calls);
        if (!prefix) return fail(kConvert, core::FileRole::Source, path, prefix.error());
        return fail(kConvert, core::FileRole::Source, core::Step::Recheck, path, core::Cause::Changed);
    }
    const files::OpenFile& file = **opened;
    auto head = file.readHead(core::kMinSaveStateSize);
    if (!head) return fail(kConvert, core::FileRole::Source, path, head.error());
    if (core::isPng(*head))
        return fail(kConvert, core::FileRole::Source, core::Step::Check, path, core::Cause::IsAPicture);
    if (auto refused = core::tooShort(
            file.identity().size,
            {.operation = kConvert, .file = core::FileRole::Source, .step = core::Step::Check, .path = path}))
        return std::unexpected(std::move(*refused));
    return ReadSource{file.identity(), std::move(*head)};
}

// The target as found: still open, so that its bytes past the first ones are
// copied from the very file that was read (a source that is also the target
// was read already).
struct FoundTarget {
    std::optional<files::OpenFile> file;  // nullopt: there is none yet
    core::Bytes head;                           // its first kMinSaveStateSize bytes
    std::uintmax_t size = 0;

    const files::OpenFile* heldFile() const { return file ? &*file : nullptr; }
};

std::expected<FoundTarget, core::EngineError> findTarget(const std::string& targetPath, files::SystemCalls& calls) {
    auto existing = files::openIfExists(targetPath, calls);
    if (!existing) return fail(kConvert, core::FileRole::Target, targetPath, existing.error());
    FoundTarget found{std::move(*existing), {}, 0};
    if (found.file) {
        auto head = found.file->readHead(core::kMinSaveStateSize);
        if (!head) return fail(kConvert, core::FileRole::Target, targetPath, head.error());
        found.head = std::move(*head);
        found.size = found.file->identity().size;
        if (auto refused = core::tooShort(
                found.size,
                {.operation = kConvert, .file = core::FileRole::Target, .step = core::Step::Check, .path = targetPath}))
            return std::unexpected(std::move(*refused));
    }
    return found;
}

std::unexpected<core::EngineError> twoRoles(core::FileRole role, const std::string& path, core::FileRole other,
                                            const std::string& otherPath) {
    return std::unexpected(core::EngineError{.operation = kConvert,
                                             .file = role,
                                             .step = core::Step::Check,
                                             .path = path,
                                             .cause = core::Cause::SameFile,
                                             .facts = core::OtherRole{other, otherPath}});
}

// Refuses one file as both the source and the target: the same name, or the
// same file under two names. `inPlace` (RunOptions::force) patches it in
// place, its bytes read whole before anything is written. A backup takes only
// a free name, so it is never one of the two.
std::expected<void, core::EngineError> checkRoles(const std::string& sourcePath, const files::FileIdentity& source,
                                                  const std::string& targetPath, const FoundTarget& target,
                                                  bool inPlace, files::SystemCalls& calls) {
    if (inPlace) return {};
    const bool sameName = sourcePath == targetPath || files::sameName(sourcePath, targetPath, calls).value_or(false);
    if (sameName || (target.file && files::sameFile(source, target.file->identity())))
        return twoRoles(core::FileRole::Target, targetPath, core::FileRole::Source, sourcePath);
    return {};
}

// The backup's name: the first free one of TARGET.bak, TARGET.bak.2, ...
// that is not the source's as the file system compares names (where names
// ignore case, TWO.STATE.BAK may be the source for two.state).
std::expected<std::string, core::EngineError> backupName(const std::string& targetPath, const std::string& sourcePath,
                                                         files::SystemCalls& calls) {
    const std::string first = targetPath + ".bak";
    auto name = files::freeName(first, std::span(&sourcePath, 1), calls);
    if (!name) return fail(kConvert, core::FileRole::Backup, first, name.error());
    return std::move(*name);
}

// Refuses a source that does not read as a first-game state and an existing
// target that does not read as a second-game one (level_check.h), naming the
// target when the two look swapped. With `sourceTaken` only the target is
// judged. (A source that is the target is refused before, by checkRoles.)
std::expected<void, core::EngineError> checkGame(const std::string& sourcePath, const ReadSource& source,
                                                 const std::string& targetPath, const FoundTarget& target,
                                                 bool sourceTaken) {
    auto refusal = core::wrongGame(
        source.head, target.file ? std::optional<std::span<const std::uint8_t>>(target.head) : std::nullopt,
        sourceTaken);
    if (!refusal) return {};
    refusal->operation = kConvert;
    refusal->path = refusal->file == core::FileRole::Target ? targetPath : sourcePath;
    if (auto* cells = std::get_if<core::CellCounts>(&refusal->facts);
        cells && refusal->cause == core::Cause::LooksSwapped)
        cells->target = targetPath;
    return std::unexpected(std::move(*refusal));
}

// The backup's bytes, complete and flushed under a temporary name; they take
// the backup's name only once the target has been replaced, and only while
// nothing is there. It gets the target's owner, group, permission bits and ACL.
std::expected<files::PreparedFile, core::EngineError>
prepareBackup(const std::string& backupPath, const FoundTarget& target, files::SystemCalls& calls) {
    auto copy = files::prepare(backupPath,
                               files::NewContent{{}, target.heldFile(), target.size, std::nullopt, target.heldFile()},
                               {files::Expectation::Kind::Absent, {}}, files::Links::Replace, calls);
    if (!copy) return fail(kConvert, core::FileRole::Backup, backupPath, copy.error());
    return std::move(*copy);
}

// Replaces the target with `output` (its first bytes; the rest comes from the
// target as found), keeps the backup at `backupPath` when one is given, and
// reads the target back.
// Fills in the report's backup and undo.
// The source must still be the file that was read when the target takes its
// new bytes.
std::expected<void, core::EngineError> writeTarget(const std::string& sourcePath, const ReadSource& source,
                                                   const std::string& targetPath, const FoundTarget& target,
                                                   const core::Bytes& output,
                                                   const std::optional<std::string>& backupPath,
                                                   ConversionReport& report, files::SystemCalls& calls) {
    // Just before the rename the target's first bytes are read again, as
    // times kept to 2 seconds cannot show another program's write.
    const files::Expectation asRead =
        target.file
            ? files::Expectation{files::Expectation::Kind::Same, target.file->identity(), &*target.file, target.head}
            : files::Expectation{files::Expectation::Kind::Absent, {}};
    auto prepared =
        files::prepare(targetPath, files::NewContent{output, target.heldFile(), report.targetSize, std::nullopt},
                       asRead, files::Links::Follow, calls);
    if (!prepared) return fail(kConvert, core::FileRole::Target, targetPath, prepared.error());

    std::optional<files::PreparedFile> backup;
    if (backupPath) {
        auto copy = prepareBackup(*backupPath, target, calls);
        TAVRO_TRY(copy);
        backup.emplace(std::move(*copy));
    }

    // The source, unless it is the target (whose check covers it, and whose
    // lease an open would break): the same file, its first bytes as read.
    const auto spelled = files::sameName(sourcePath, targetPath, calls);
    if (!(target.file && files::sameFile(source.identity, target.file->identity())) && !(spelled && *spelled)) {
        auto now = files::openIfExists(sourcePath, calls);
        if (!now) return fail(kConvert, core::FileRole::Source, sourcePath, now.error());
        if (!*now || (*now)->identity() != source.identity)
            return fail(kConvert, core::FileRole::Source, core::Step::Recheck, sourcePath, core::Cause::Changed);
        auto head = (*now)->readHead(source.head.size());
        if (!head) return fail(kConvert, core::FileRole::Source, sourcePath, head.error());
        if (*head != source.head)
            return fail(kConvert, core::FileRole::Source, core::Step::Recheck, sourcePath, core::Cause::Changed);
    }
    if (auto replaced = prepared->commit(); !replaced) {
        return fail(kConvert, core::FileRole::Target, targetPath, replaced.error());
    }
    UndoRecord undo{targetPath,        target.file ? std::optional<core::Bytes>(target.head) : std::nullopt,
                    target.size,       output,
                    report.targetSize, std::nullopt};

    if (backup) {
        if (auto kept = backup->commit(); !kept) {
            core::EngineError error = files::fileError(kConvert, core::FileRole::Backup, *backupPath, kept.error());
            error.undo = std::make_shared<const UndoRecord>(std::move(undo));
            error.keptIn = backup->temporaryPath();
            backup->keepTemporary();
            return std::unexpected(std::move(error));
        }
        undo.backups.push_back({*backupPath, backup->written()});
    }

    // Read back where the bytes went, even should a link on the way point elsewhere by now.
    auto checked = readBack(kConvert, prepared->destination(), output, target.heldFile(), report.targetSize, calls);
    if (!checked) {
        core::EngineError error = std::move(checked.error());
        error.undo = std::make_shared<const UndoRecord>(std::move(undo));
        if (backup) error.keptIn = *backupPath;
        return std::unexpected(std::move(error));
    }
    undo.writtenFile = *checked;
    report.verified = true;
    report.undo = std::move(undo);
    return {};
}

}  // namespace

std::expected<ConversionReport, core::EngineError> runConversion(const std::string& sourcePath,
                                                                 const std::string& targetPath, RunOptions options,
                                                                 files::SystemCalls& calls) {
    if (sourcePath.empty())
        return fail(kConvert, core::FileRole::Source, core::Step::Choose, {}, core::Cause::NotChosen);
    if (targetPath.empty())
        return fail(kConvert, core::FileRole::Target, core::Step::Choose, {}, core::Cause::NotChosen);

    auto source = readSource(sourcePath, calls);
    TAVRO_TRY(source);
    auto target = findTarget(targetPath, calls);
    TAVRO_TRY(target);
    // A replacement interrupted on a card: the run says which file holds what.
    if (auto clear = files::checkLeftover(targetPath, files::Links::Follow, calls); !clear)
        return fail(kConvert, core::FileRole::Target, targetPath, clear.error());
    TAVRO_TRY(checkRoles(sourcePath, source->identity, targetPath, *target, options.force, calls));
    // From here until after the rename no other program may open the target.
    if (target->file) {
        if (auto held = target->file->holdLease(); !held)
            return fail(kConvert, core::FileRole::Target, targetPath, held.error());
    }
    if (!options.force) { TAVRO_TRY(checkGame(sourcePath, *source, targetPath, *target, options.forceSource)); }
    auto converted = core::convertLevel(core::readSourceRegions(source->head),
                                        options.pack ? core::ChunkNumbering::Packed : core::ChunkNumbering::Fixed);

    const core::Bytes output = core::patchTarget(target->head, converted.regions);
    ConversionReport report;
    report.dryRun = options.dryRun;
    report.level = std::move(converted.summary);
    report.targetSize = std::max<std::uintmax_t>(target->size, output.size());
    report.written = output;

    if (target->file && target->head == output) {
        report.outcome = TargetOutcome::Unchanged;
        report.verified = true;
        return report;
    }
    report.outcome = target->file ? TargetOutcome::Patched : TargetOutcome::Created;
    if (options.backup && target->file) {
        auto name = backupName(targetPath, sourcePath, calls);
        TAVRO_TRY(name);
        report.backupPath = std::move(*name);
        report.olderBackupsKept = *report.backupPath != targetPath + ".bak";
    }
    if (options.dryRun) {
        // What the replacement itself would refuse, at the target and, with a
        // backup, at its name: the same checks, nothing created.
        if (auto allowed = files::checkReplace(targetPath, files::Links::Follow, target->heldFile(), calls); !allowed)
            return fail(kConvert, core::FileRole::Target, targetPath, allowed.error());
        if (report.backupPath) {
            if (auto allowed = files::checkReplace(*report.backupPath, files::Links::Replace, nullptr, calls); !allowed)
                return fail(kConvert, core::FileRole::Backup, *report.backupPath, allowed.error());
        }
        return report;
    }
    TAVRO_TRY(writeTarget(sourcePath, *source, targetPath, *target, output, report.backupPath, report, calls));
    return report;
}

std::expected<core::GameVerdict, core::EngineError> sourceVerdict(const std::string& path, files::SystemCalls& calls) {
    auto source = readSource(path, calls);
    TAVRO_TRY(source);
    return core::judgeGame(source->head);
}

UndoRecord undoBoth(const UndoRecord& earlier, UndoRecord later) {
    if (later.targetPath == earlier.targetPath && later.previous && *later.previous == earlier.written &&
        later.previousSize == earlier.writtenSize) {
        later.previous = earlier.previous;
        later.previousSize = earlier.previousSize;
        later.backups.insert(later.backups.begin(), earlier.backups.begin(), earlier.backups.end());
    }
    return later;
}

namespace {

// Removes each backup that is still the file the run wrote there (its change
// time moved on with the rename); says which went and which stay.
void removeBackups(const std::vector<MadeBackup>& backups, UndoReport& report, files::SystemCalls& calls) {
    for (const MadeBackup& backup : backups) {
        auto found = files::openIfExists(backup.path, calls);
        bool removed = false;
        if (found && *found) {
            const files::FileIdentity now = (**found).identity();
            const bool asWritten = files::sameFile(now, backup.file) && now.size == backup.file.size &&
                                   now.modifiedSeconds == backup.file.modifiedSeconds &&
                                   now.modifiedNanoseconds == backup.file.modifiedNanoseconds;
            found->reset();  // closed: an open descriptor would keep some systems from removing it
            removed = asWritten && files::remove(backup.path, now, calls).has_value();
        }
        (removed ? report.backupsRemoved : report.backupsKept).push_back(backup.path);
    }
}

}  // namespace

std::expected<UndoReport, core::EngineError> undoConversion(const UndoRecord& record, files::SystemCalls& calls) {
    const std::string& path = record.targetPath;
    constexpr core::Operation undo = core::Operation::Undo;
    // Another writer met on the way is a refusal, like a target changed before.
    const auto failed = [&](const files::IoFailure& failure) {
        auto error = fail(undo, core::FileRole::Target, path, failure);
        if (failure.cause == core::Cause::Changed) error.error().step = core::Step::Recheck;
        return error;
    };
    auto current = files::openIfExists(path, calls);
    if (!current) return failed(current.error());
    if (!*current) return fail(undo, core::FileRole::Target, core::Step::Recheck, path, core::Cause::Gone);
    files::OpenFile& file = **current;
    if (auto held = file.holdLease(); !held) return failed(held.error());
    auto head = file.readHead(record.written.size());
    if (!head) return failed(head.error());
    const bool asWritten =
        record.writtenFile ? file.identity() == *record.writtenFile : file.identity().size == record.writtenSize;
    if (!asWritten || *head != record.written)
        return fail(undo, core::FileRole::Target, core::Step::Recheck, path, core::Cause::Changed);

    UndoReport report;
    if (!record.previous) {
        // The same checks as a replacement's: no other program holds it open.
        if (auto allowed = files::checkReplace(path, files::Links::Follow, &file, calls); !allowed)
            return failed(allowed.error());
        if (auto removed = files::remove(path, file.identity(), calls); !removed) return failed(removed.error());
        report.outcome = UndoOutcome::Removed;
        removeBackups(record.backups, report, calls);
        return report;
    }
    auto prepared =
        files::prepare(path, files::NewContent{*record.previous, &file, record.previousSize, std::nullopt},
                       {files::Expectation::Kind::Same, file.identity(), &file, *head}, files::Links::Follow, calls);
    if (!prepared) return failed(prepared.error());
    if (auto replaced = prepared->commit(); !replaced) return failed(replaced.error());
    TAVRO_TRY(readBack(undo, path, *record.previous, &file, record.previousSize, calls));
    removeBackups(record.backups, report, calls);
    return report;
}

bool undoRefused(const core::EngineError& error) {
    return error.operation == core::Operation::Undo && error.step == core::Step::Recheck;
}

}  // namespace tavro::run
