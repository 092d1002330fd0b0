// The engine's only access to files: this header and the algorithm behind it
// (file_access.cpp) are the same on every system; each system supplies the
// primitives it is built on (system_calls.h; system_calls_posix.cpp,
// system_calls_windows.cpp).
//
// Failures carry the step that failed, the system's reason and its error
// number, or what else was wrong as data. Every primitive goes through a
// SystemCalls object, so that tests can make any single one fail;
// systemCalls() makes the real calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <tavro/core/engine_error.h>
#include <tavro/files/file_identity.h>

namespace tavro::files {

// A failure: the step, and why (core::Cause). Besides the system refusing a
// call (System), file access names these causes. Changed: the file about to
// be replaced is no longer the one that was read (another program wrote,
// replaced or created it meanwhile); AttributeNotKept: an extended attribute
// (an ACL among them) could not be given to the new file; FlagsNotKept: inode
// flags (chattr's bits) that the new file could not be given, or that keep
// the file from being replaced (append-only, immutable); SharedFolderEntry:
// in a shared sticky folder, the file or link at the name belongs to a user
// who is neither the user nor the folder's owner; SharedFolderLink: such a
// link on the way to the file is not followed; OpenElsewhere: another program
// holds the file open; OtherBytes (Step::Write): the new file, read back
// before it took the name, holds other bytes; WroteNothing: the system
// accepted no byte of a write; Leftover: a replacement interrupted on a file
// system that cannot rename over a name in one step left a copy of the file's
// previous state (leftoverName()) and a whole state at the file's own name;
// LeftoverOnly: the same, with nothing at the file's name; ModeNotKept: the
// new file does not show the permission bits it was given. The numbers and
// names are in `facts`, typed as the engine's error types them
// (engine_error.h); a System failure at Step::Create names the folder.
struct IoFailure {
    core::Step step;
    std::string reason;  // the system's words; empty when it gave none
    int code = 0;        // the system's error number (errno, or GetLastError), where it gave one
    core::Cause cause = core::Cause::System;
    core::ErrorFacts facts{};
    std::string keptIn{};  // a failed replacement that left the destination's previous state under this name
};

// The system calls file access makes: an interface (system_calls.h).
class SystemCalls;

// The real system calls, as this system makes them.
SystemCalls& systemCalls();

struct FilePrefix {
    std::vector<std::uint8_t> bytes;  // at most the requested number
    std::uintmax_t fileSize = 0;      // the whole file's size when it was opened
};

// Reads up to `limit` bytes from the start of an existing regular file. A file
// that ends before its size said (it is being changed) is a Read failure.
std::expected<FilePrefix, IoFailure> readPrefix(const std::string& path, std::size_t limit,
                                                SystemCalls& calls = systemCalls());

// The system's name for an open file: a descriptor, or a Windows HANDLE.
using NativeHandle = std::intptr_t;

// An existing regular file, open for reading, with its identity as read.
class OpenFile {
public:
    OpenFile(SystemCalls& calls, NativeHandle handle, const FileIdentity& identity)
        : calls_(&calls), handle_(handle), identity_(identity) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    OpenFile(OpenFile&& other) noexcept;
    OpenFile& operator=(OpenFile&& other) noexcept;
    ~OpenFile();

    NativeHandle handle() const { return handle_; }
    const FileIdentity& identity() const { return identity_; }

    // Asks for a write lease and holds it until the file is closed (Linux):
    // granted only while no other descriptor (this process's included) is
    // open on the file, and broken by any later open. An OpenElsewhere
    // failure when another program holds the file open; success without a
    // lease where none can be had (leased() then says false).
    std::expected<void, IoFailure> holdLease();
    bool leased() const { return leased_; }
    // An OpenElsewhere failure when the lease held was broken (another
    // program opened the file since); the lease is then given back, so that
    // program waits no longer.
    std::expected<void, IoFailure> checkLease() const;

    // Up to `limit` bytes from the start; a file that ends before its size is a Read failure.
    std::expected<std::vector<std::uint8_t>, IoFailure> readHead(std::size_t limit) const;

    // Whether bytes [offset, end) of this file and of `other` are equal; reads
    // in pieces and skips ranges that are holes in both.
    std::expected<bool, IoFailure> sameBytes(const OpenFile& other, std::uintmax_t offset, std::uintmax_t end) const;

private:
    SystemCalls* calls_;
    NativeHandle handle_;
    FileIdentity identity_;
    bool leased_ = false;
};

// Opens the regular file at `path` (following links) for reading; nullopt
// when nothing (or only a dangling link) is there.
std::expected<std::optional<OpenFile>, IoFailure> openIfExists(const std::string& path,
                                                               SystemCalls& calls = systemCalls());

// Whether the file `path` names (links followed) is a socket, which cannot
// be opened for reading; false when that cannot be told.
bool isSocket(const std::string& path, SystemCalls& calls = systemCalls());

// What a replacement writes: `head`, then bytes [head.size(), size) of `rest`
// at the same offsets (nothing more when `rest` is absent). `permissions`,
// when given, are the new file's permission bits whatever was there before.
// `carryFrom`, when given, is the file whose owner, group, permission bits,
// inode flags and extended attributes (ACLs among them) the new file gets,
// whatever was at the destination before.
struct NewContent {
    std::span<const std::uint8_t> head;
    const OpenFile* rest = nullptr;
    std::uintmax_t size = 0;
    std::optional<std::uint32_t> permissions;
    const OpenFile* carryFrom = nullptr;
};

// What must be at the destination just before the rename: what was there
// when the replacement was prepared, nothing, or the file as it was read.
// For Same, `file` may be the file as read, held open (its lease, if it
// holds one, must still be held), and `head` its first bytes as read: they
// are read again and compared, as times kept to 2 seconds (FAT family) cannot
// show a write.
struct Expectation {
    enum class Kind { AsFound, Absent, Same } kind = Kind::AsFound;
    FileIdentity identity;  // for Same
    const OpenFile* file = nullptr;
    std::span<const std::uint8_t> head{};
};

// The name beside `path` (`NAME.tavro-old`, NAME shortened to fit the
// system's name limit) where the previous file waits while a replacement on
// a file system that cannot rename over a name in one step is under way.
std::string leftoverName(const std::string& path);

// Whether `a` and `b` name one file as its file system compares names: in
// the same folder, the same name, or, where names ignore case there (FAT
// family, exFAT, a case-folding folder, Windows), names that differ only in
// the case of letters (Latin, Greek, Cyrillic). Links at the names are
// followed. Identities are another matter: compare them as well.
std::expected<bool, IoFailure> sameName(const std::string& a, const std::string& b, SystemCalls& calls = systemCalls());

// Follow: a symbolic link at the path is followed to the file it names.
// Replace: a link at the path is itself replaced, never followed.
// Either way a link in a shared sticky folder owned by neither the user nor
// the folder's owner is refused, as the kernel refuses to follow it.
enum class Links { Follow, Replace };

// A temporary file beside a destination, written, flushed and read back,
// that takes the destination's place on commit(). Until then the destination
// is untouched; the temporary file is removed when this is destroyed
// uncommitted.
class PreparedFile {
public:
    // `ownRules`: the new file keeps what it was given (carried from a file
    // other than the destination) rather than taking on the destination's.
    PreparedFile(SystemCalls& calls, std::string temporary, std::string destination, Expectation expected,
                 bool replacesFile, FileIdentity written, bool ownRules = false)
        : calls_(&calls), temporary_(std::move(temporary)), destination_(std::move(destination)), expected_(expected),
          replacesFile_(replacesFile), written_(written), ownRules_(ownRules) {}
    PreparedFile(const PreparedFile&) = delete;
    PreparedFile& operator=(const PreparedFile&) = delete;
    PreparedFile(PreparedFile&& other) noexcept;
    PreparedFile& operator=(PreparedFile&&) = delete;
    ~PreparedFile();

    // Checks that the destination is still as expected (a Changed failure if
    // not; its first bytes read again and its lease, see Expectation),
    // renames, then checks that the destination is the file written
    // (a Changed failure if another program put something there meanwhile).
    // On failure before the rename the temporary file stays until this object
    // goes, or for good after keepTemporary(). Where the file system cannot
    // rename over a name in one step (FileSystemKind), a copy of the
    // destination is first kept, flushed, at leftoverName(), and removed
    // once the temporary file has the name: a whole file is at the name, or
    // at the leftover name, at every moment.
    std::expected<void, IoFailure> commit();
    const std::string& temporaryPath() const { return temporary_; }
    // The file that receives the bytes: the destination, links followed.
    const std::string& destination() const { return destination_; }
    void keepTemporary() { temporary_.clear(); }
    // Whether something (a file or, with Links::Replace, a link) was at the
    // destination when this was prepared.
    bool replacesFile() const { return replacesFile_; }
    // The new file as read back before the rename (its change time moves on
    // with the rename).
    const FileIdentity& written() const { return written_; }

private:
    SystemCalls* calls_;
    std::string temporary_;    // empty once renamed or kept
    std::string destination_;  // the final file, links followed
    Expectation expected_;
    bool replacesFile_;
    FileIdentity written_;  // the temporary file as read back
    bool ownRules_;
};

// Every check prepare() makes before it writes anything, without creating
// anything: what is at the name (links followed as `links` says; in a shared
// sticky folder only links owned by the user or the folder's owner, at the
// name or among the folders on the way, and only such a file or link at the
// final name), that no leftover of an interrupted replacement is beside it
// (checkLeftover()), that the temporary name fits the system's limit on
// paths, that it is a regular file the user may write and no mount point
// (a bind-mounted file), with no other names, whose owner and group the user
// may give, neither append-only nor immutable, that no other program holds
// it open, and that the folder takes a new file (read-only file systems
// included). Where nothing is at the name, only the folder is checked.
// Other programs: a lease `held` holds (OpenFile::holdLease()) must be
// unbroken; else on Linux a write lease is asked for on `held` (the caller's
// own open file, when it is that file) or on a descriptor opened for the
// check, and given back at once; any other
// descriptor on the file, this process's included, counts as another
// program's, and where no lease can be had (a file system without leases, a
// file of another user) the check is skipped. On Windows the file is opened
// to write and delete, sharing only reading. Not foreseen here: whether each
// extended attribute and inode flag can be given to a new file; prepare()
// finds out before the destination is touched.
std::expected<void, IoFailure> checkReplace(const std::string& path, Links links, const OpenFile* held = nullptr,
                                            SystemCalls& calls = systemCalls());

// A Leftover or LeftoverOnly failure when something is at leftoverName() of
// the file `path` names (links followed as `links` says); checkReplace() and
// prepare() refuse the same way.
std::expected<void, IoFailure> checkLeftover(const std::string& path, Links links, SystemCalls& calls = systemCalls());

// Prepares the replacement of the file at `path`, after checkReplace(), with
// `content.rest` as the held file. With Links::Follow a link stays a link
// and the file it names receives the bytes. Where the file system offers
// unnamed temporary files (O_TMPFILE) the temporary file has a name,
// `.NAME.tavro-XXXXXX` (NAME shortened to fit the system's name limit), only
// once it is complete; elsewhere it is created under that name, exclusively.
// An existing file's owner, group, permission bits, inode flags (chattr's)
// and extended attributes (ACLs among them) are carried to the new file
// after its last byte is written (a write takes set-id bits and file
// capabilities away), its permission bits compared afterwards (ModeNotKept),
// exactly: an attribute or flag the new file would get from its folder and
// the old one lacked is removed, and one that cannot be carried is a refusal
// naming it. A new file gets what creation gives (0666 less the umask, or
// the folder's default ACL). Bytes copied from `content.rest` keep its holes
// where the file system allows. The temporary file is read back and compared
// before it may take the name (a Write failure, OtherBytes, if it differs;
// Changed if `content.rest` changed while it was copied).
std::expected<PreparedFile, IoFailure> prepare(const std::string& path, const NewContent& content, Expectation expected,
                                               Links links, SystemCalls& calls = systemCalls());

// Replaces the file at `path` with `bytes`, all or nothing: prepare() and
// commit(), expecting the destination to stay as it was when the call began.
std::expected<void, IoFailure> replace(const std::string& path, std::span<const std::uint8_t> bytes,
                                       SystemCalls& calls = systemCalls());

// The first of `path`, `path`.2, `path`.3, ... at which nothing is (no file,
// folder, special file or link, dangling or not), looked at without following
// links, and that is none of `others` as the file system compares names
// (sameName()): a name a new file takes without replacing anything. A Replace
// failure when all of the first kMaxNumberedNames are taken.
inline constexpr int kMaxNumberedNames = 1000;
std::expected<std::string, IoFailure> freeName(const std::string& path, std::span<const std::string> others = {},
                                               SystemCalls& calls = systemCalls());

// Removes the file at `path` (following symbolic links to the file they
// name), provided it is still the file `expected` describes: on Windows
// checked and removed through one open handle.
std::expected<void, IoFailure> remove(const std::string& path, const FileIdentity& expected,
                                      SystemCalls& calls = systemCalls());

}  // namespace tavro::files
