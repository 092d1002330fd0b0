#include "conversion_run.h"

#include <algorithm>
#include <utility>

#include "file_access.h"
#include "region_map.h"

namespace tavro {
namespace {

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

}  // namespace

std::expected<ConversionReport, EngineError> runConversion(const std::string& sourcePath,
                                                                const std::string& targetPath,
                                                                RunOptions options, files::SystemCalls& calls) {
    constexpr Operation convert = Operation::Convert;
    if (sourcePath.empty()) return fail(convert, FileRole::Source, Step::Choose, {}, Cause::NotChosen);
    if (targetPath.empty()) return fail(convert, FileRole::Target, Step::Choose, {}, Cause::NotChosen);

    // Only the first kMinSaveStateSize bytes of the source matter.
    auto prefix = files::readPrefix(sourcePath, kMinSaveStateSize, calls);
    if (!prefix) return fail(convert, FileRole::Source, sourcePath, prefix.error());
    if (prefix->fileSize < kMinSaveStateSize) {
        return std::unexpected(EngineError{.operation = convert, .file = FileRole::Source, .step = Step::Check,
                                           .path = sourcePath, .cause = Cause::TooShort,
                                           .count = prefix->fileSize, .limit = kMinSaveStateSize});
    }
    const SourceRegions source = readSourceRegions(prefix->bytes);
    prefix->bytes = {};
    const ChunkNumbering numbering = options.pack ? ChunkNumbering::Packed : ChunkNumbering::Fixed;
    ConvertedLevel converted = convertLevel(source, numbering);

    // Only the target's first bytes are held; the rest is copied from the
    // same open file, so a source that is also the target was read already.
    auto existing = files::openIfExists(targetPath, calls);
    if (!existing) return fail(convert, FileRole::Target, targetPath, existing.error());
    const files::OpenFile* before = *existing ? &**existing : nullptr;
    Bytes previous;
    if (before) {
        auto head = before->readHead(kMinSaveStateSize);
        if (!head) return fail(convert, FileRole::Target, targetPath, head.error());
        previous = std::move(*head);
    }
    const std::uintmax_t previousSize = before ? before->identity().size : 0;
    Bytes output = patchTarget(previous, converted.regions);
    const std::uintmax_t outputSize = std::max<std::uintmax_t>(previousSize, output.size());

    ConversionReport report;
    report.dryRun = options.dryRun;
    report.level = std::move(converted.summary);
    report.targetSize = outputSize;

    if (before && previous == output) {
        report.outcome = TargetOutcome::Unchanged;
        report.verified = true;
        return report;
    }
    report.outcome = before ? TargetOutcome::Patched : TargetOutcome::Created;
    if (options.dryRun) return report;

    const files::Expectation asRead =
        before ? files::Expectation{files::Expectation::Kind::Same, before->identity()}
               : files::Expectation{files::Expectation::Kind::Absent, {}};
    auto prepared = files::prepare(targetPath, files::NewContent{output, before, outputSize, std::nullopt}, asRead,
                                   files::Links::Follow, calls);
    if (!prepared) return fail(convert, FileRole::Target, targetPath, prepared.error());

    // The backup's bytes are complete and flushed under a temporary name
    // before the target is replaced; they take the name TARGET.bak only once
    // it has been.
    std::optional<files::PreparedFile> backup;
    const std::string backupPath = targetPath + ".bak";
    if (options.backup && before) {
        // Readable by no more people than the target itself.
        const std::uint32_t permissions = before->identity().permissions & 0777;
        auto copy = files::prepare(backupPath, files::NewContent{{}, before, previousSize, permissions}, {},
                                   files::Links::Replace, calls);
        if (!copy) return fail(convert, FileRole::Backup, backupPath, copy.error());
        backup.emplace(std::move(*copy));
    }

    if (auto replaced = prepared->commit(); !replaced) {
        return fail(convert, FileRole::Target, targetPath, replaced.error());
    }
    UndoRecord undo{targetPath, before ? std::optional<Bytes>(previous) : std::nullopt, previousSize, output,
                    outputSize, std::nullopt};

    if (backup) {
        if (auto kept = backup->commit(); !kept) {
            EngineError error = fileError(convert, FileRole::Backup, backupPath, kept.error());
            error.undo = std::move(undo);
            error.keptIn = backup->temporaryPath();
            backup->keepTemporary();
            return std::unexpected(std::move(error));
        }
        report.backupPath = backupPath;
        report.olderBackupReplaced = backup->replacesFile();
    }

    auto checked = readBack(convert, targetPath, output, before, outputSize, calls);
    if (!checked) {
        EngineError error = std::move(checked.error());
        error.undo = std::move(undo);
        if (backup) error.keptIn = backupPath;
        return std::unexpected(std::move(error));
    }
    undo.writtenFile = *checked;
    report.verified = true;
    report.undo = std::move(undo);
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
