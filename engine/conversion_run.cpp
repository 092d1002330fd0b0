#include "conversion_run.h"

#include <algorithm>
#include <utility>

#include "file_access.h"
#include "region_map.h"

namespace tavro {
namespace {

std::string_view roleName(FileRole role) {
    switch (role) {
        case FileRole::Source: return "source";
        case FileRole::Target: return "target";
        case FileRole::Backup: return "backup";
    }
    return "?";
}

Step stepOf(files::IoStep step) {
    switch (step) {
        case files::IoStep::Open: return Step::Open;
        case files::IoStep::Read: return Step::Read;
        case files::IoStep::Create: return Step::Create;
        case files::IoStep::Write: return Step::Write;
        case files::IoStep::Flush: return Step::Flush;
        case files::IoStep::Replace: return Step::Replace;
        case files::IoStep::Remove: return Step::Remove;
        case files::IoStep::Changed: return Step::Replace;
    }
    return Step::Open;
}

std::unexpected<ConversionError> fail(FileRole role, Step step, const std::string& path,
                                      std::string reason) {
    return std::unexpected(ConversionError{role, step, path, std::move(reason), std::nullopt});
}

std::unexpected<ConversionError> fail(FileRole role, const std::string& path,
                                      const files::IoFailure& failure) {
    return fail(role, stepOf(failure.step), path, failure.reason);
}

// Reads the target back after its replacement: it must hold `head`, then
// bytes [head.size(), size) of `rest` (the file it replaced), and nothing more.
// Returns its identity; a failure's reason is what went wrong.
std::expected<files::FileIdentity, std::string> readBack(const std::string& path, const Bytes& head,
                                                        const files::OpenFile* rest, std::uintmax_t size,
                                                        files::SystemCalls& calls) {
    auto found = files::openIfExists(path, calls);
    if (!found) return std::unexpected(found.error().reason);
    if (!*found) return std::unexpected("it is gone");
    const files::OpenFile& file = **found;
    if (file.identity().size != size) return std::unexpected("it has another size than was written");
    auto first = file.readHead(head.size());
    if (!first) return std::unexpected(first.error().reason);
    bool same = *first == head;
    if (same && rest != nullptr && size > head.size()) {
        auto tail = file.sameBytes(*rest, head.size(), size);
        if (!tail) return std::unexpected(tail.error().reason);
        same = *tail;
    }
    if (!same) return std::unexpected("it holds other bytes than were written");
    return file.identity();
}

}  // namespace

std::string ConversionError::message() const {
    const std::string role{roleName(file)};
    switch (step) {
        case Step::Choose: return "no " + role + " file chosen";
        case Step::Check: return role + " file " + path + " is not a save state: " + reason;
        case Step::Verify: return role + " file " + path + ": " + reason;
        case Step::Changed: return "cannot undo: " + role + " file " + path + " " + reason;
        case Step::Open: return "cannot open " + role + " file " + path + ": " + reason;
        case Step::Read: return "cannot read " + role + " file " + path + ": " + reason;
        case Step::Create:
            return "cannot create a temporary file beside " + role + " file " + path + ": " + reason;
        case Step::Write: return "cannot write " + role + " file " + path + ": " + reason;
        case Step::Flush: return "cannot flush " + role + " file " + path + " to disk: " + reason;
        case Step::Replace: return "cannot replace " + role + " file " + path + ": " + reason;
        case Step::Remove: return "cannot remove " + role + " file " + path + ": " + reason;
    }
    return "cannot convert: " + reason;
}

std::expected<ConversionReport, ConversionError> runConversion(const std::string& sourcePath,
                                                                const std::string& targetPath,
                                                                RunOptions options, files::SystemCalls& calls) {
    if (sourcePath.empty()) return fail(FileRole::Source, Step::Choose, {}, "no file chosen");
    if (targetPath.empty()) return fail(FileRole::Target, Step::Choose, {}, "no file chosen");

    // Only the first kMinSaveStateSize bytes of the source matter.
    auto prefix = files::readPrefix(sourcePath, kMinSaveStateSize, calls);
    if (!prefix) return fail(FileRole::Source, sourcePath, prefix.error());
    if (prefix->fileSize < kMinSaveStateSize) {
        return fail(FileRole::Source, Step::Check, sourcePath,
                    "it is " + std::to_string(prefix->fileSize) + " bytes long; a save state has at least " +
                        std::to_string(kMinSaveStateSize) + " bytes");
    }
    const SourceRegions source = readSourceRegions(prefix->bytes);
    prefix->bytes = {};
    const ChunkNumbering numbering = options.pack ? ChunkNumbering::Packed : ChunkNumbering::Fixed;
    ConvertedLevel converted = convertLevel(source, numbering);

    // Only the target's first bytes are held; the rest is copied from the
    // same open file, so a source that is also the target was read already.
    auto existing = files::openIfExists(targetPath, calls);
    if (!existing) return fail(FileRole::Target, targetPath, existing.error());
    const files::OpenFile* before = *existing ? &**existing : nullptr;
    Bytes previous;
    if (before) {
        auto head = before->readHead(kMinSaveStateSize);
        if (!head) return fail(FileRole::Target, targetPath, head.error());
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
    if (!prepared) return fail(FileRole::Target, targetPath, prepared.error());

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
        if (!copy) return fail(FileRole::Backup, backupPath, copy.error());
        backup.emplace(std::move(*copy));
    }

    if (auto replaced = prepared->commit(); !replaced) {
        if (replaced.error().step == files::IoStep::Changed)
            return fail(FileRole::Target, Step::Replace, targetPath,
                        "the target changed while converting (another program wrote it); nothing was written");
        return fail(FileRole::Target, targetPath, replaced.error());
    }
    UndoRecord undo{targetPath, before ? std::optional<Bytes>(previous) : std::nullopt, previousSize, output,
                    outputSize, std::nullopt};

    if (backup) {
        if (auto kept = backup->commit(); !kept) {
            ConversionError error{FileRole::Backup, Step::Replace, backupPath,
                                  kept.error().reason + "; target file " + targetPath +
                                      " now holds the converted level, and its previous bytes are in " +
                                      backup->temporaryPath(),
                                  std::move(undo)};
            backup->keepTemporary();
            return std::unexpected(std::move(error));
        }
        report.backupPath = backupPath;
        report.olderBackupReplaced = backup->replacesFile();
    }

    auto checked = readBack(targetPath, output, before, outputSize, calls);
    if (!checked) {
        ConversionError error{FileRole::Target, Step::Verify, targetPath,
                              "it now holds the converted level, but reading it back failed: " + checked.error() +
                                  (backup ? "; its previous bytes are in " + backupPath : std::string{}),
                              std::move(undo)};
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

std::expected<UndoOutcome, ConversionError> undoConversion(const UndoRecord& record,
                                                           files::SystemCalls& calls) {
    const std::string& path = record.targetPath;
    auto current = files::openIfExists(path, calls);
    if (!current) return fail(FileRole::Target, path, current.error());
    if (!*current) return fail(FileRole::Target, Step::Changed, path, "no longer exists");
    const files::OpenFile& file = **current;
    auto head = file.readHead(record.written.size());
    if (!head) return fail(FileRole::Target, path, head.error());
    const bool asWritten = record.writtenFile ? file.identity() == *record.writtenFile
                                              : file.identity().size == record.writtenSize;
    if (!asWritten || *head != record.written)
        return fail(FileRole::Target, Step::Changed, path, "was changed after the conversion");

    const auto changedMeanwhile = [&] {
        return fail(FileRole::Target, Step::Changed, path, "changed while undoing; nothing was written");
    };
    if (!record.previous) {
        if (auto removed = files::remove(path, file.identity(), calls); !removed) {
            if (removed.error().step == files::IoStep::Changed) return changedMeanwhile();
            return fail(FileRole::Target, path, removed.error());
        }
        return UndoOutcome::Removed;
    }
    auto prepared = files::prepare(path, files::NewContent{*record.previous, &file, record.previousSize, std::nullopt},
                                   {files::Expectation::Kind::Same, file.identity()}, files::Links::Follow, calls);
    if (!prepared) return fail(FileRole::Target, path, prepared.error());
    if (auto replaced = prepared->commit(); !replaced) {
        if (replaced.error().step == files::IoStep::Changed) return changedMeanwhile();
        return fail(FileRole::Target, path, replaced.error());
    }
    if (auto checked = readBack(path, *record.previous, &file, record.previousSize, calls); !checked)
        return fail(FileRole::Target, Step::Verify, path,
                    "it holds its previous bytes again, but reading it back failed: " + checked.error());
    return UndoOutcome::Restored;
}

}  // namespace tavro
