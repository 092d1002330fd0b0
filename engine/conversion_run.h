// A conversion run on files: read the source state, convert, and replace the
// target state with a patched copy, all or nothing.
//
// Guarantees:
// - the source is opened for reading only and never created;
// - a source shorter than kMinSaveStateSize is refused;
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
// - the backup goes to a temporary file first and takes the name TARGET.bak
//   only once the target is replaced; a link there is replaced, not followed;
// - a target that already holds the converted bytes is not written at all.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>

#include "conversion.h"
#include "file_access.h"

namespace tavro {

enum class FileRole { Source, Target, Backup };

// The step of a run at which something went wrong.
enum class Step {
    Choose,   // no path was given
    Open,
    Read,
    Check,    // the source is too short to be a save state
    Create,   // the temporary file beside the target
    Write,
    Flush,
    Replace,  // renaming the temporary file over the target
    Verify,   // reading the target back
    Remove,   // undoing the creation of a target
    Changed,  // undo: the target no longer holds what the run wrote
};

// What it takes to put a target back as it was before a run: only its first
// bytes (the ones a run changes) and its size, whatever the target's size.
struct UndoRecord {
    std::string targetPath;
    std::optional<Bytes> previous;  // the first kMinSaveStateSize bytes before; nullopt: the run created it
    std::uintmax_t previousSize = 0;
    Bytes written;                  // the first bytes the run wrote
    std::uintmax_t writtenSize = 0;
    std::optional<files::FileIdentity> writtenFile;  // the file as read back, when that worked
};

struct ConversionError {
    FileRole file = FileRole::Source;
    Step step = Step::Open;
    std::string path;
    std::string reason;  // the system's words, e.g. "No such file or directory"
    // Set when the target was replaced all the same (the failure came after
    // the rename): the error then says what the target holds, and this puts
    // it back.
    std::optional<UndoRecord> undo;

    // One line, e.g. "cannot open source file /x/a.state: No such file or directory".
    std::string message() const;
};

enum class TargetOutcome {
    Created,    // the target did not exist
    Patched,    // the target existed and its bytes changed
    Unchanged,  // the target already held exactly these bytes; nothing written
};

struct ConversionReport {
    TargetOutcome outcome = TargetOutcome::Unchanged;
    bool dryRun = false;
    bool verified = false;             // read back after writing (or found equal)
    std::optional<std::string> backupPath;  // where the previous bytes were kept
    bool olderBackupReplaced = false;       // something was at backupPath before
    std::uintmax_t targetSize = 0;
    LevelSummary level;
    std::optional<UndoRecord> undo;    // present when the target changed on disk
};

struct RunOptions {
    bool dryRun = false;  // do everything but write
    bool backup = false;  // keep an existing target's previous bytes as TARGET.bak
    bool pack = false;    // packed chunk numbering (packed_conversion.h): the whole level
};

// `calls` is where file access goes; tests pass failing ones.
std::expected<ConversionReport, ConversionError> runConversion(
    const std::string& sourcePath, const std::string& targetPath, RunOptions options = {},
    files::SystemCalls& calls = files::systemCalls());

// The undo record of a run that converted again over exactly what the run
// `earlier` describes had written: undoing it goes back to before both runs.
// Any other `later` is returned as it is.
UndoRecord undoBoth(const UndoRecord& earlier, UndoRecord later);

enum class UndoOutcome { Restored, Removed };

// Puts the target back as `record` says, all or nothing. Refuses with
// Step::Changed when the target no longer holds what the run wrote.
std::expected<UndoOutcome, ConversionError> undoConversion(
    const UndoRecord& record, files::SystemCalls& calls = files::systemCalls());

}  // namespace tavro
