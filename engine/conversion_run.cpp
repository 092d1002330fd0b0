#include "conversion_run.h"

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
    }
    return Step::Open;
}

std::unexpected<ConversionError> fail(FileRole role, Step step, const std::string& path,
                                      std::string reason) {
    return std::unexpected(ConversionError{role, step, path, std::move(reason)});
}

std::unexpected<ConversionError> fail(FileRole role, const std::string& path,
                                      const files::IoFailure& failure) {
    return fail(role, stepOf(failure.step), path, failure.reason);
}

// Reads the target back and checks that it holds exactly `expected`.
std::expected<void, ConversionError> verify(const std::string& path, const Bytes& expected,
                                            files::SystemCalls& calls) {
    auto found = files::readIfExists(path, calls);
    if (!found) return fail(FileRole::Target, Step::Verify, path, found.error().reason);
    if (!*found) return fail(FileRole::Target, Step::Verify, path, "it is gone");
    if (**found != expected)
        return fail(FileRole::Target, Step::Verify, path, "it holds other bytes than were written");
    return {};
}

}  // namespace

std::string ConversionError::message() const {
    const std::string role{roleName(file)};
    switch (step) {
        case Step::Choose: return "no " + role + " file chosen";
        case Step::Check: return role + " file " + path + " is not a save state: " + reason;
        case Step::Verify: return role + " file " + path + " failed its check after writing: " + reason;
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
    const TargetRegions converted = convertRegions(source, numbering);

    // The whole target is read before anything is written, so a source that
    // is also the target has been read in full already.
    auto existing = files::readIfExists(targetPath, calls);
    if (!existing) return fail(FileRole::Target, targetPath, existing.error());
    Bytes output = patchTarget(existing->value_or(Bytes{}), converted);

    ConversionReport report;
    report.dryRun = options.dryRun;
    report.level = summarizeLevel(source, numbering);
    report.targetSize = output.size();

    if (*existing && **existing == output) {
        report.outcome = TargetOutcome::Unchanged;
        report.verified = true;
        return report;
    }
    report.outcome = *existing ? TargetOutcome::Patched : TargetOutcome::Created;
    if (options.dryRun) return report;

    if (options.backup && *existing) {
        const std::string backupPath = targetPath + ".bak";
        if (auto kept = files::replace(backupPath, **existing, calls); !kept)
            return fail(FileRole::Backup, backupPath, kept.error());
        report.backupPath = backupPath;
    }

    if (auto replaced = files::replace(targetPath, output, calls); !replaced)
        return fail(FileRole::Target, targetPath, replaced.error());
    if (auto checked = verify(targetPath, output, calls); !checked) return std::unexpected(checked.error());
    report.verified = true;
    report.undo = UndoRecord{targetPath, std::move(*existing), std::move(output)};
    return report;
}

std::expected<UndoOutcome, ConversionError> undoConversion(const UndoRecord& record,
                                                           files::SystemCalls& calls) {
    const std::string& path = record.targetPath;
    auto current = files::readIfExists(path, calls);
    if (!current) return fail(FileRole::Target, path, current.error());
    if (!*current) return fail(FileRole::Target, Step::Changed, path, "no longer exists");
    if (**current != record.written)
        return fail(FileRole::Target, Step::Changed, path, "was changed after the conversion");

    if (!record.previous) {
        if (auto removed = files::remove(path, calls); !removed) return fail(FileRole::Target, path, removed.error());
        return UndoOutcome::Removed;
    }
    if (auto replaced = files::replace(path, *record.previous, calls); !replaced)
        return fail(FileRole::Target, path, replaced.error());
    if (auto checked = verify(path, *record.previous, calls); !checked) return std::unexpected(checked.error());
    return UndoOutcome::Restored;
}

}  // namespace tavro
