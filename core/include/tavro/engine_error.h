// What went wrong in an engine operation, as data: what was being done, to
// which file, at which step, and why. The engine makes no sentences of it:
// the command line and the window each turn it into words in one place, in
// their own language and number format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <tavro/file_identity.h>

namespace tavro {

enum class Operation {
    Convert,      // runConversion
    Undo,         // undoConversion
    Draw,         // reading a save state's level and drawing it
    SavePicture,  // encoding a picture as PNG and writing it
};

enum class FileRole { Source, Target, Backup, SaveState, Picture };

// The step at which something went wrong.
enum class Step {
    Choose,   // no path was given
    Open,
    Read,
    Check,    // the file's contents do not fit (too short to be a save state)
    Create,   // the temporary file beside the file replaced
    Write,
    Flush,
    Replace,  // renaming the temporary file over the file
    Verify,   // reading the file back
    Remove,   // undoing the creation of a target
    Changed,  // undo: the target no longer holds what the run wrote
    Draw,     // finding what to draw
    Encode,   // making the PNG bytes
    Recheck,  // looking at the source again just before the target's rename
};

// Why. Where the system (or the PNG library) said why, `code` and `reason`
// hold its error number and its own words; the numbers go in `count` and
// `limit`, unformatted.
enum class Cause {
    System,            // code: errno (0 when there was none); reason: the system's words
    NotChosen,         // the path is empty
    NotRegularFile,    // a folder, a device, a pipe...
    TooShort,          // count bytes, where a save state has at least limit
    EndedEarly,        // the file ended after count of its limit bytes (it is being changed)
    HardLinks,         // the file has count names; replacing it would separate them
    OwnerNotKept,      // the new file could not be given user count, group limit (code, reason)
    ChangedMeanwhile,  // another program changed the file during the operation; nothing was written
    Gone,              // the file no longer exists
    OtherSize,         // read back: another size than was written
    OtherBytes,        // read back: other bytes than were written
    ChangedSince,      // undo: the target was changed after the conversion
    EmptyForeground,   // no foreground cell names a chunk: nothing to draw
    EmptyBackground,   // no background cell names a chunk
    EmptyPicture,      // a picture without pixels cannot be encoded
    Encoder,           // the PNG library failed: code is its error number, reason its words
    IsTheSaveState,    // the picture would be written over the save state it shows

    // Which file holds what (Step::Check unless said otherwise):
    SameFile,           // the file is also the run's otherFile at otherPath: one file in two roles
    NotAPicture,        // an existing, non-empty file that is not a PNG picture would be replaced by one
    IsAPicture,         // a PNG picture where a save state belongs
    NotFirstGameLevel,  // level_check.h: count cells name chunks that cannot be stored, of limit naming
                        // any (count 0: no foreground cell names a chunk with data)
    LooksSwapped,       // NotFirstGameLevel (count, limit alike), and the target (otherPath) holds one
    Socket,             // Step::Open: the file is a socket
    MountPoint,         // Step::Replace: the system would not rename over it (a mount point, a bind-mounted file)
    // What file access refuses to drop, follow or overwrite.
    AttributeNotKept,   // the extended attribute `detail` (an ACL, say) could not be carried (code, reason)
    FlagsNotKept,       // inode flags count (chattr's bits) a new file cannot be given, or that keep it as it is
    SharedFolderEntry,  // in a shared sticky folder, the file or link is user count's, not the user's
    SharedFolderLink,   // in a shared sticky folder, a link on the way is user count's: not followed
    OpenElsewhere,      // another program holds the file open
    WroteNothing,       // the system accepted no byte of a write (count of limit bytes written)
};

// What it takes to put a target back as it was before a run: only its first
// bytes (the ones a run changes) and its size, whatever the target's size.
struct UndoRecord {
    std::string targetPath;
    std::optional<std::vector<std::uint8_t>> previous;  // the first kMinSaveStateSize bytes before; nullopt: the run created it
    std::uintmax_t previousSize = 0;
    std::vector<std::uint8_t> written;                  // the first bytes the run wrote
    std::uintmax_t writtenSize = 0;
    std::optional<files::FileIdentity> writtenFile;  // the file as read back, when that worked
};

struct EngineError {
    Operation operation = Operation::Convert;
    FileRole file = FileRole::Source;
    Step step = Step::Open;
    std::string path{};
    Cause cause = Cause::System;
    std::string reason{};  // the system's or the PNG library's words, e.g. "No such file or directory"
    int code = 0;
    std::uintmax_t count = 0;
    std::uintmax_t limit = 0;
    // Set when the target was replaced all the same (the failure came after
    // the rename): the target holds the converted level, and this puts it back.
    std::optional<UndoRecord> undo{};
    // Where the target's previous bytes wait when a failure after the rename
    // left them somewhere other than the backup's name (or the backup itself).
    std::string keptIn{};
    // SameFile: the other role the file has in the run, and its name there;
    // LooksSwapped: the target.
    FileRole otherFile = FileRole::Source;
    std::string otherPath{};
    std::string detail{};  // AttributeNotKept: the attribute's name; Step::Create: the folder refusing a temporary file
};

// Inode flags (FlagsNotKept's count) as chattr spells them, e.g. "dA".
std::string inodeFlagLetters(std::uintmax_t flags);

}  // namespace tavro
