// What went wrong in an engine operation, as data: what was being done, to
// which file, at which step, and why. The engine makes no sentences of it:
// the command line and the window each turn it into words in one place, in
// their own language and number format.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace tavro::run {
// What puts a target back after a run (run/undo_record.h, above this library).
struct UndoRecord;
}  // namespace tavro::run

namespace tavro::core {

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
    Draw,     // finding what to draw
    Encode,   // making the PNG bytes
    Recheck,  // looking at a file again before acting on what was read: the source just before
              // the target's rename, the target before an undo puts it back
};

// The numbers behind a cause, typed by what they count.
// TooShort: the file's size, and the least a save state has; EndedEarly: the
// bytes read, and the size the file had; WroteNothing: the bytes written, of all.
struct ByteCounts {
    std::uintmax_t bytes = 0;
    std::uintmax_t of = 0;
    bool operator==(const ByteCounts&) const = default;
};
struct NameCount {  // HardLinks: the file's names
    std::uintmax_t names = 0;
    bool operator==(const NameCount&) const = default;
};
// OwnerNotKept: the user and group the new file could not be given;
// SharedFolderEntry, SharedFolderLink: the user who owns the file or link.
struct Owner {
    std::uint64_t user = 0;
    std::optional<std::uint64_t> group;
    bool operator==(const Owner&) const = default;
};
// What a file looks like to the game check (level_check.h).
enum class FileLooks {
    FirstGameState,   // it reads most strongly as a first-game level
    SecondGameState,  // as a second-game level
    Picture,          // a PNG picture
    Text,             // almost only printable characters
    Zeros,            // no level, and almost every byte zero: no save state at all
    Noise,            // no level of either game
};
// NotFirstGameLevel, NotSecondGameState, LooksSwapped (level_check.h).
struct CellCounts {
    std::uintmax_t impossible = 0;  // cells naming first-game chunks that cannot be stored; 0 also
                                    // when no foreground cell names a chunk with data
    std::uintmax_t naming = 0;      // cells naming any chunk
    FileLooks looks = FileLooks::Noise;  // what the file refused looks like instead
    std::string target{};                // LooksSwapped: the target's path, which holds a level
    bool operator==(const CellCounts&) const = default;
};
struct InodeFlags {  // FlagsNotKept: chattr's bits
    std::uintmax_t flags = 0;
    bool operator==(const InodeFlags&) const = default;
};
struct Modes {  // ModeNotKept: the permission bits given, and those the file shows
    std::uint32_t given = 0;
    std::uint32_t shown = 0;
    bool operator==(const Modes&) const = default;
};
struct OtherRole {  // SameFile: the other role the file has in the run, and its name there
    FileRole file = FileRole::Source;
    std::string path{};
    bool operator==(const OtherRole&) const = default;
};
struct Attribute {  // AttributeNotKept: the extended attribute's name
    std::string name{};
    bool operator==(const Attribute&) const = default;
};
struct Folder {  // Step::Create (System): the folder refusing a temporary file
    std::string path{};
    bool operator==(const Folder&) const = default;
};
struct LeftoverCopy {  // Leftover, LeftoverOnly: where the copy of the file's previous state is
    std::string path{};
    bool operator==(const LeftoverCopy&) const = default;
};
using ErrorFacts = std::variant<std::monostate, ByteCounts, NameCount, Owner, CellCounts, InodeFlags, Modes, OtherRole,
                                Attribute, Folder, LeftoverCopy>;

// Why. Where the system (or the PNG library) said why, `code` and `reason`
// hold its error number and its own words; the numbers and names are in `facts`.
enum class Cause {
    System,           // code: errno (0 when there was none); reason: the system's words
    NotChosen,        // the path is empty
    NotRegularFile,   // a folder, a device, a pipe...
    TooShort,         // ByteCounts
    EndedEarly,       // ByteCounts: the file ended early (it is being changed)
    HardLinks,        // NameCount: replacing the file would separate its names
    OwnerNotKept,     // Owner: the new file could not be given the user and group (code, reason)
    Changed,          // another program changed the file since it was read (Step::Recheck or
                      // Step::Replace): a run writes nothing; an undo would lose what it wrote
    Gone,             // the file no longer exists
    OtherSize,        // read back: another size than was written
    OtherBytes,       // read back: other bytes than were written
    EmptyForeground,  // no foreground cell names a chunk: nothing to draw
    EmptyBackground,  // no background cell names a chunk
    EmptyPicture,     // a picture without pixels cannot be encoded
    Encoder,          // the PNG library failed: code is its error number, reason its words
    IsTheSaveState,   // the picture would be written over the save state it shows

    // Which file holds what (Step::Check unless said otherwise):
    SameFile,           // OtherRole: the file is also the run's other file: one file in two roles
    NotAPicture,        // an existing, non-empty file that is not a PNG picture would be replaced by one
    IsAPicture,         // a PNG picture where a save state belongs
    NotFirstGameLevel,  // CellCounts (level_check.h)
    LooksSwapped,       // CellCounts, as NotFirstGameLevel; and the target (CellCounts::target) holds a level
    NotSecondGameState,  // CellCounts: an existing target that does not read as a second-game state
    Socket,             // Step::Open: the file is a socket
    MountPoint,         // Step::Replace: the system would not rename over it (a mount point, a bind-mounted file)
    // What file access refuses to drop, follow or overwrite.
    AttributeNotKept,   // Attribute: the extended attribute (an ACL, say) could not be carried (code, reason)
    FlagsNotKept,       // InodeFlags: a new file cannot be given them, or they keep the file as it is
    SharedFolderEntry,  // Owner: in a shared sticky folder, the file or link is that user's, not the user's
    SharedFolderLink,   // Owner: in a shared sticky folder, a link on the way is that user's: not followed
    OpenElsewhere,      // another program holds the file open
    WroteNothing,       // ByteCounts: the system accepted no byte of a write
    ModeNotKept,        // Modes: the new file does not keep the permission bits (set-uid, set-gid) given
    // Step::Replace: a replacement interrupted where names cannot be replaced
    // in one step (FAT family, exFAT) left a copy of the file's previous
    // state (LeftoverCopy: NAME.tavro-old); Leftover: a whole state (previous
    // or new) is at the file's name; LeftoverOnly: nothing is.
    Leftover,
    LeftoverOnly,
};

struct EngineError {
    Operation operation = Operation::Convert;
    FileRole file = FileRole::Source;
    Step step = Step::Open;
    std::string path{};
    Cause cause = Cause::System;
    std::string reason{};  // the system's or the PNG library's words, e.g. "No such file or directory"
    int code = 0;
    ErrorFacts facts{};
    // Set when the target was replaced all the same (the failure came after
    // the rename): the target holds the converted level, and this puts it back.
    std::shared_ptr<const run::UndoRecord> undo{};
    // Where the file's previous bytes wait when a failure left them somewhere
    // other than its name (for the target: its backup's name, or the backup
    // itself), whatever the cause.
    std::string keptIn{};
};

// The facts of the kind `Facts`, or empty ones when the error has another kind.
template <class Facts> Facts factsAs(const EngineError& error) {
    const Facts* facts = std::get_if<Facts>(&error.facts);
    return facts ? *facts : Facts{};
}

// Inode flags as chattr spells them, e.g. "dA".
std::string inodeFlagLetters(std::uintmax_t flags);

}  // namespace tavro::core
