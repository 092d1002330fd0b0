#include "conversion_run.h"

#include <algorithm>
#include <utility>

#include "file_access.h"
#include "region_map.h"

namespace tavro {
namespace {

constexpr Operation kConvert = Operation::Convert;

std::unexpected<EngineError> fail(Operation operation, FileRole role, Step step, const std::string& path, Cause cause) {
    return std::unexpected(EngineError{.operation = operation, .file = role, .step = step, .path = path, .cause = cause});
}

std::unexpected<EngineError> fail(Operation operation, FileRole role, const std::string& path,
                                  const files::IoFailure& failure) {
    return std::unexpected(fileError(operation, role, path, failure));
}

// Reads the target back after its replacement: it must hold `head`, then
// bytes [head.size(), size) of `rest` (the file it replaced), and nothing more.
// Returns its identity; a failure is a Verify error of the target.
std::expected<files::FileIdentity, EngineError> readBack(Operation operation, const std::string& path,
                                                         const Bytes& head, const files::OpenFile* rest,
                                                         std::uintmax_t size, files::SystemCalls& calls) {
    const auto failed = [&](Cause cause, const files::IoFailure* failure = nullptr) {
        EngineError error = failure ? fileError(operation, FileRole::Target, path, *failure)
                                    : EngineError{.operation = operation, .file = FileRole::Target, .path = path,
                                                  .cause = cause};
        error.step = Step::Verify;
        return std::unexpected(std::move(error));
    };
    auto found = files::openIfExists(path, calls);
    if (!found) return failed(Cause::System, &found.error());
    if (!*found) return failed(Cause::Gone);
    const files::OpenFile& file = **found;
    if (file.identity().size != size) return failed(Cause::OtherSize);
    auto first = file.readHead(head.size());
    if (!first) return failed(Cause::System, &first.error());
    bool same = *first == head;
    if (same && rest != nullptr && size > head.size()) {
        auto tail = file.sameBytes(*rest, head.size(), size);
        if (!tail) return failed(Cause::System, &tail.error());
        same = *tail;
    }
    if (!same) return failed(Cause::OtherBytes);
    return file.identity();
}

// The source's level, converted. Only its first kMinSaveStateSize bytes matter.
std::expected<ConvertedLevel, EngineError> readAndConvert(const std::string& sourcePath, ChunkNumbering numbering,
                                                          files::SystemCalls& calls) {
    auto prefix = files::readPrefix(sourcePath, kMinSaveStateSize, calls);
    if (!prefix) return fail(kConvert, FileRole::Source, sourcePath, prefix.error());
    if (prefix->fileSize < kMinSaveStateSize) {
        return std::unexpected(EngineError{.operation = kConvert, .file = FileRole::Source, .step = Step::Check,
                                           .path = sourcePath, .cause = Cause::TooShort,
                                           .count = prefix->fileSize, .limit = kMinSaveStateSize});
    }
    return convertLevel(readSourceRegions(prefix->bytes), numbering);
}

// The target as found: still open, so that its bytes past the first ones are
// copied from the very file that was read (a source that is also the target
// was read already).
struct FoundTarget {
    std::optional<files::OpenFile> file;  // nullopt: there is none yet
    Bytes head;                           // its first kMinSaveStateSize bytes
    std::uintmax_t size = 0;

    const files::OpenFile* open() const { return file ? &*file : nullptr; }
};

std::expected<FoundTarget, EngineError> findTarget(const std::string& targetPath, files::SystemCalls& calls) {
    auto existing = files::openIfExists(targetPath, calls);
    if (!existing) return fail(kConvert, FileRole::Target, targetPath, existing.error());
    FoundTarget found{std::move(*existing), {}, 0};
    if (found.file) {
        auto head = found.file->readHead(kMinSaveStateSize);
        if (!head) return fail(kConvert, FileRole::Target, targetPath, head.error());
        found.head = std::move(*head);
        found.size = found.file->identity().size;
    }
    return found;
}

// The backup's bytes, complete and flushed under a temporary name; they take
// the name TARGET.bak only once the target has been replaced. It gets the
// target's owner, group, permission bits and ACL, whatever was at its name.
std::expected<files::PreparedFile, EngineError> prepareBackup(const std::string& backupPath, const FoundTarget& target,
                                                              files::SystemCalls& calls) {
    auto copy = files::prepare(backupPath, files::NewContent{{}, target.open(), target.size, std::nullopt, target.open()},
                               {}, files::Links::Replace, calls);
    if (!copy) return fail(kConvert, FileRole::Backup, backupPath, copy.error());
    return std::move(*copy);
}

// Replaces the target with `output` (its first bytes; the rest comes from the
// target as found), keeps the backup when asked, and reads the target back.
// Fills in the report's backup and undo.
std::expected<void, EngineError> writeTarget(const std::string& targetPath, const FoundTarget& target,
                                             const Bytes& output, bool keepBackup, ConversionReport& report,
                                             files::SystemCalls& calls) {
    const files::Expectation asRead =
        target.file ? files::Expectation{files::Expectation::Kind::Same, target.file->identity()}
                    : files::Expectation{files::Expectation::Kind::Absent, {}};
    auto prepared = files::prepare(targetPath, files::NewContent{output, target.open(), report.targetSize, std::nullopt},
                                   asRead, files::Links::Follow, calls);
    if (!prepared) return fail(kConvert, FileRole::Target, targetPath, prepared.error());

    std::optional<files::PreparedFile> backup;
    const std::string backupPath = targetPath + ".bak";
    if (keepBackup && target.file) {
        auto copy = prepareBackup(backupPath, target, calls);
        if (!copy) return std::unexpected(std::move(copy.error()));
        backup.emplace(std::move(*copy));
    }

    if (auto replaced = prepared->commit(); !replaced) {
        return fail(kConvert, FileRole::Target, targetPath, replaced.error());
    }
    UndoRecord undo{targetPath, target.file ? std::optional<Bytes>(target.head) : std::nullopt, target.size, output,
                    report.targetSize, std::nullopt};

    if (backup) {
        if (auto kept = backup->commit(); !kept) {
            EngineError error = fileError(kConvert, FileRole::Backup, backupPath, kept.error());
            error.undo = std::move(undo);
            error.keptIn = backup->temporaryPath();
            backup->keepTemporary();
            return std::unexpected(std::move(error));
        }
        report.backupPath = backupPath;
        report.olderBackupReplaced = backup->replacesFile();
    }

    auto checked = readBack(kConvert, targetPath, output, target.open(), report.targetSize, calls);
    if (!checked) {
        EngineError error = std::move(checked.error());
        error.undo = std::move(undo);
        if (backup) error.keptIn = backupPath;
        return std::unexpected(std::move(error));
    }
    undo.writtenFile = *checked;
    report.verified = true;
    report.undo = std::move(undo);
    return {};
}

}  // namespace

std::expected<ConversionReport, EngineError> runConversion(const std::string& sourcePath,
                                                           const std::string& targetPath, RunOptions options,
                                                           files::SystemCalls& calls) {
    if (sourcePath.empty()) return fail(kConvert, FileRole::Source, Step::Choose, {}, Cause::NotChosen);
    if (targetPath.empty()) return fail(kConvert, FileRole::Target, Step::Choose, {}, Cause::NotChosen);

    auto converted =
        readAndConvert(sourcePath, options.pack ? ChunkNumbering::Packed : ChunkNumbering::Fixed, calls);
    if (!converted) return std::unexpected(std::move(converted.error()));
    auto target = findTarget(targetPath, calls);
    if (!target) return std::unexpected(std::move(target.error()));

    const Bytes output = patchTarget(target->head, converted->regions);
    ConversionReport report;
    report.dryRun = options.dryRun;
    report.level = std::move(converted->summary);
    report.targetSize = std::max<std::uintmax_t>(target->size, output.size());

    if (target->file && target->head == output) {
        report.outcome = TargetOutcome::Unchanged;
        report.verified = true;
        return report;
    }
    report.outcome = target->file ? TargetOutcome::Patched : TargetOutcome::Created;
    if (options.dryRun) return report;
    if (auto written = writeTarget(targetPath, *target, output, options.backup, report, calls); !written)
        return std::unexpected(std::move(written.error()));
    return report;
}

UndoRecord undoBoth(const UndoRecord& earlier, UndoRecord later) {
    if (later.targetPath == earlier.targetPath && later.previous && *later.previous == earlier.written &&
        later.previousSize == earlier.writtenSize) {
        later.previous = earlier.previous;
        later.previousSize = earlier.previousSize;
    }
    return later;
}

std::expected<UndoOutcome, EngineError> undoConversion(const UndoRecord& record, files::SystemCalls& calls) {
    const std::string& path = record.targetPath;
    constexpr Operation undo = Operation::Undo;
    // Another writer met on the way is a refusal, like a target changed before.
    const auto failed = [&](const files::IoFailure& failure) {
        auto error = fail(undo, FileRole::Target, path, failure);
        if (failure.problem == files::IoProblem::Changed) error.error().step = Step::Changed;
        return error;
    };
    auto current = files::openIfExists(path, calls);
    if (!current) return failed(current.error());
    if (!*current) return fail(undo, FileRole::Target, Step::Changed, path, Cause::Gone);
    const files::OpenFile& file = **current;
    auto head = file.readHead(record.written.size());
    if (!head) return failed(head.error());
    const bool asWritten = record.writtenFile ? file.identity() == *record.writtenFile
                                              : file.identity().size == record.writtenSize;
    if (!asWritten || *head != record.written) return fail(undo, FileRole::Target, Step::Changed, path, Cause::ChangedSince);

    if (!record.previous) {
        if (auto removed = files::remove(path, file.identity(), calls); !removed) return failed(removed.error());
        return UndoOutcome::Removed;
    }
    auto prepared = files::prepare(path, files::NewContent{*record.previous, &file, record.previousSize, std::nullopt},
                                   {files::Expectation::Kind::Same, file.identity()}, files::Links::Follow, calls);
    if (!prepared) return failed(prepared.error());
    if (auto replaced = prepared->commit(); !replaced) return failed(replaced.error());
    if (auto checked = readBack(undo, path, *record.previous, &file, record.previousSize, calls); !checked)
        return std::unexpected(std::move(checked.error()));
    return UndoOutcome::Restored;
}

}  // namespace tavro
