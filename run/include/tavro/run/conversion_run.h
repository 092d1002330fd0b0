// A conversion run on files: read the source state, convert, and replace the
// target state with a patched copy, all or nothing.
//
// Guarantees:
// - the source is opened for reading only and never created;
// - a source shorter than kMinSaveStateSize, a PNG picture, a socket, and a
//   source that does not read as a first-game state (level_check.h: a
//   first-game level, read more strongly as one than as a second-game level;
//   unless RunOptions::force) are refused, the last as LooksSwapped when the
//   target reads as a first-game state;
// - an existing target shorter than kMinSaveStateSize is refused, and so is
//   one that does not read as a second-game state (Cause::NotSecondGameState,
//   saying what it looks like; unless RunOptions::force, while
//   RunOptions::forceSource lets only the source through); a target this tool
//   converted before is one; a missing target is not judged;
// - one file is never both the source and the target: the same name, or the
//   same file (device and inode, links followed as the run follows them), or
//   names that the file system compares as equal (case folded where it
//   ignores case, files::sameName()), is refused (Cause::SameFile) before
//   anything is written and before the games are judged, unless
//   RunOptions::force, which patches the source in place;
// - a leftover of a replacement interrupted on a card (files::leftoverName())
//   beside the target is refused (Cause::Leftover,
//   LeftoverOnly), on a dry run and when the target holds the converted level
//   already too;
// - the target's write lease (files::OpenFile::holdLease()) is held from the
//   role checks until after the rename: another program's open ends the run
//   before the rename (Cause::OpenElsewhere), the target untouched;
// - the source must still be the file that was read just before the target's
//   rename, its first bytes the same (Step::Recheck, Cause::Changed), and so
//   must the target (Step::Replace), as times kept to 2 seconds cannot show
//   a write;
// - a dry run makes the same checks as a run up to the writing;
// - failures are EngineErrors (Operation::Convert or Undo);
// - the target is rewritten through a temporary file in its folder, flushed and
//   renamed over it, then read back and compared; on any failure before the
//   rename it holds exactly its previous bytes, and an error that comes after
//   it says so and carries the undo record;
// - just before the rename the target must still be the file that was read,
//   else nothing is written;
// - a missing target is created; an existing one keeps its length, permission
//   bits, owner and every byte outside the five regions; a symbolic link stays
//   a link; only its first kMinSaveStateSize bytes are held in memory, the rest
//   is copied in pieces;
// - a special file, a file the user could not write, and a file with other
//   names (hard links) are refused;
// - a backup never replaces anything: it takes the first name of TARGET.bak,
//   TARGET.bak.2, TARGET.bak.3, ... at which nothing is (files::freeName),
//   goes to a temporary file first and takes that name only once the target
//   is replaced, and only if the name is still free;
// - a target that already holds the converted bytes is not written at all.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include <tavro/core/conversion.h>
#include <tavro/core/engine_error.h>
#include <tavro/files/file_access.h>
#include <tavro/core/level_check.h>
#include <tavro/run/undo_record.h>

namespace tavro::run {

enum class TargetOutcome {
    Created,    // the target did not exist
    Patched,    // the target existed and its bytes changed
    Unchanged,  // the target already held exactly these bytes; nothing written
};

struct ConversionReport {
    TargetOutcome outcome = TargetOutcome::Unchanged;
    bool dryRun = false;
    bool verified = false;             // read back after writing (or found equal)
    std::optional<std::string> backupPath;  // where the previous bytes were kept (or would be, on a dry run)
    bool olderBackupsKept = false;          // TARGET.bak was taken: backupPath is a numbered one
    std::uintmax_t targetSize = 0;
    core::LevelSummary level;
    // The target's first kMinSaveStateSize bytes as the run leaves them (a new
    // target's whole content), on a dry run too: what a preview draws.
    core::Bytes written;
    std::optional<UndoRecord> undo;    // present when the target changed on disk
};

struct RunOptions {
    bool dryRun = false;  // do everything but write
    bool backup = false;  // keep an existing target's previous bytes in a new backup (TARGET.bak, .bak.2, ...)
    bool pack = false;    // packed chunk numbering (packed_conversion.h): the whole level
    // Convert a source that does not read as a first-game state, or into a
    // target that does not read as a second-game one (level_check.h), and
    // patch a source that is also the target in place.
    bool force = false;
    bool forceSource = false;  // convert a source that does not read as a first-game state; the target is judged
};

// `calls` is where file access goes; tests pass failing ones.
std::expected<ConversionReport, core::EngineError> runConversion(const std::string& sourcePath,
                                                                 const std::string& targetPath, RunOptions options = {},
                                                                 files::SystemCalls& calls = files::systemCalls());

// The game check (level_check.h) of the file at `path`, read as a run reads
// its source (refusing a picture, a socket, a file too short).
std::expected<core::GameVerdict, core::EngineError> sourceVerdict(const std::string& path,
                                                                  files::SystemCalls& calls = files::systemCalls());

// The undo record of a run that converted again over exactly what the run
// `earlier` describes had written: undoing it goes back to before both runs,
// and removes the backups of both. Any other `later` is returned as it is.
UndoRecord undoBoth(const UndoRecord& earlier, UndoRecord later);

enum class UndoOutcome { Restored, Removed };

struct UndoReport {
    UndoOutcome outcome = UndoOutcome::Restored;
    std::vector<std::string> backupsRemoved;  // the run's backups, gone with it
    std::vector<std::string> backupsKept;     // the run's backups changed since, or that could not be removed
};

// Puts the target back as `record` says, all or nothing, then removes the
// backups the run made (each only while it is the file the run wrote).
// Refuses with Step::Recheck (Changed, or Gone) when the target no longer
// holds what the run wrote. A target held open by another program is
// refused (Cause::OpenElsewhere), whether the run created or patched it.
std::expected<UndoReport, core::EngineError> undoConversion(const UndoRecord& record,
                                                            files::SystemCalls& calls = files::systemCalls());

// Whether an undo's error is such a refusal: the target was left as it is,
// and the record is of no more use.
bool undoRefused(const core::EngineError& error);

}  // namespace tavro::run
