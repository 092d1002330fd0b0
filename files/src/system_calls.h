// The primitives file access is built on: an interface with one pure virtual
// function each, so that a test can put a double in front of the real calls
// and make any single one fail. Each system implements it
// (system_calls_posix.cpp, system_calls_windows.cpp) and systemCalls()
// (file_access.h) gives that implementation. The replacement algorithm itself
// (file_access.cpp) is the same on every system. Only file access and its
// fault tests include this header.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <tavro/files/file_access.h>

namespace tavro::files {

// A primitive's failure: the system's error number (errno, or GetLastError),
// what the algorithm needs to know of it, and words where the system's own
// would mislead.
struct SystemError {
    enum class Kind { Other, NotFound, Exists, Unsupported, Busy } kind = Kind::Other;
    int code = 0;
    std::string reason{};  // empty: the system's words for `code`
};

template <typename T> using SystemResult = std::expected<T, SystemError>;

// What is at a name, or behind an open handle.
struct EntryStatus {
    enum class Type { File, Link, Folder, Socket, Other } type = Type::File;
    FileIdentity identity;
    std::uint64_t links = 1;
    std::uint32_t owner = 0, group = 0;  // user and group ids (0 where the system has none)
    // A folder anyone may write to, where only a name's owner (or the
    // folder's) may remove or replace it: /tmp and its like.
    bool sharedSticky = false;
    // The root of a mount (a bind-mounted file among them): nothing can be
    // renamed over it.
    bool mountPoint = false;
};

// How the file system that holds a folder keeps names.
struct FileSystemKind {
    // A rename over an existing name takes one step: no moment when neither
    // file has the name. FAT-family and exFAT drivers remove, then rename.
    bool replacesInOneStep = true;
    // Names that differ only in case name one file (FAT family, exFAT, a
    // case-folding folder, Windows).
    bool foldsCase = false;
};

class SystemCalls {
public:
    SystemCalls() = default;
    SystemCalls(const SystemCalls&) = delete;
    SystemCalls& operator=(const SystemCalls&) = delete;
    virtual ~SystemCalls() = default;

    // Opens an existing file (links followed) for reading; a FIFO does not block.
    virtual SystemResult<NativeHandle> openRead(const std::string& path) = 0;
    virtual SystemResult<EntryStatus> statHandle(NativeHandle file) = 0;
    // What is at the name itself (a link is not followed); nullopt: nothing.
    virtual SystemResult<std::optional<EntryStatus>> statName(const std::string& path) = 0;
    // Where the link at `path` points (on Windows: the final file's whole path).
    virtual SystemResult<std::string> readLink(const std::string& path) = 0;
    // Whether the user (effective ids) may write the file or folder.
    virtual SystemResult<void> checkWritable(const std::string& path) = 0;
    // One read at `offset`: the bytes read, 0 at the end.
    virtual SystemResult<std::size_t> readAt(NativeHandle file, std::span<std::uint8_t> buffer,
                                             std::uint64_t offset) = 0;
    // One write at the file's position: the bytes written.
    virtual SystemResult<std::size_t> write(NativeHandle file, std::span<const std::uint8_t> bytes) = 0;
    virtual SystemResult<void> seek(NativeHandle file, std::uint64_t offset) = 0;
    // Where the next data (hole: the next hole) at or after `offset` begins;
    // NotFound: none before the end; Unsupported: the system cannot tell.
    virtual SystemResult<std::uint64_t> nextData(NativeHandle file, std::uint64_t offset, bool hole) = 0;
    // Copies up to `size` bytes at `offset` to the same offset, in the kernel;
    // Unsupported: not between these two files.
    virtual SystemResult<std::size_t> copyRange(NativeHandle from, NativeHandle to, std::uint64_t offset,
                                                std::size_t size) = 0;
    virtual SystemResult<void> setSize(NativeHandle file, std::uint64_t size) = 0;
    virtual SystemResult<void> flush(NativeHandle file) = 0;
    virtual SystemResult<void> close(NativeHandle file) = 0;
    // A new file for reading and writing in `folder`: unnamed when `name` is
    // empty (Unsupported where the file system has no such files), else
    // created exclusively under `name` (Exists when taken). `mode` is the new
    // file's permission bits as creation gives them (the umask or the
    // folder's default ACL apply; the attributes on Windows).
    virtual SystemResult<NativeHandle> createTemporary(const std::string& folder, const std::string& name,
                                                       std::uint32_t mode) = 0;
    // Gives an unnamed file the name `path` (Exists when taken).
    virtual SystemResult<void> nameTemporary(NativeHandle file, const std::string& path) = 0;
    // Puts `from` at the name `to` in one step (an existing file at `to` keeps
    // the case of its name where names ignore case). With `ownRules` the new
    // file keeps its own attributes and access rules where the system would
    // give it those of the file it replaces (Windows' ReplaceFileW).
    virtual SystemResult<void> rename(const std::string& from, const std::string& to, bool ownRules) = 0;
    // Puts `from` at the name `to` only if nothing is there, in one step
    // (Exists when taken), so that a name checked free is never another
    // file's by the time it is taken. Where the file system has no such step
    // (FAT family), the name is looked at just before a plain rename.
    virtual SystemResult<void> renameNew(const std::string& from, const std::string& to) = 0;
    virtual SystemResult<void> remove(const std::string& path) = 0;
    // Removes the file at `path` (a link there is not followed) only if it is
    // still `expected`, state included; false when it is not. On Windows one
    // open handle is looked at and marked for deletion, in one step;
    // elsewhere the name is looked at, then removed.
    virtual SystemResult<bool> removeIfSame(const std::string& path, const FileIdentity& expected) = 0;
    virtual SystemResult<void> syncFolder(const std::string& folder) = 0;
    virtual SystemResult<void> setOwner(NativeHandle file, std::uint32_t owner, std::uint32_t group) = 0;
    virtual SystemResult<void> setMode(NativeHandle file, std::uint32_t mode) = 0;
    // Extended attributes (POSIX ACLs among them) by name.
    virtual SystemResult<std::vector<std::string>> listAttributes(NativeHandle file) = 0;
    virtual SystemResult<std::vector<std::uint8_t>> getAttribute(NativeHandle file, const std::string& name) = 0;
    virtual SystemResult<void> setAttribute(NativeHandle file, const std::string& name,
                                            std::span<const std::uint8_t> value) = 0;
    virtual SystemResult<void> removeAttribute(NativeHandle file, const std::string& name) = 0;
    // The inode flags (chattr's) that make a file kept another way; 0 where
    // there are none. setInodeFlags makes them exactly `flags`.
    virtual SystemResult<std::uint32_t> inodeFlags(NativeHandle file) = 0;
    virtual SystemResult<void> setInodeFlags(NativeHandle file, std::uint32_t flags) = 0;
    // Whether another open descriptor or handle (this process's or another
    // program's) holds the file open; Unsupported where it cannot be told.
    virtual SystemResult<bool> openElsewhere(const std::string& path, NativeHandle file) = 0;
    // What kind of file system holds `folder`. An unknown FUSE file system
    // counts as one that neither replaces in one step nor tells case apart.
    virtual SystemResult<FileSystemKind> fileSystem(const std::string& folder) = 0;
    // A write lease on the file, held until released or the file is closed:
    // false when another descriptor or handle (this process's too) is open on
    // it; Unsupported where no lease can be had. leaseHeld: whether nobody
    // opened the file since (an open breaks the lease).
    virtual SystemResult<bool> holdLease(NativeHandle file) = 0;
    virtual SystemResult<bool> leaseHeld(NativeHandle file) = 0;
    virtual void releaseLease(NativeHandle file) = 0;
    // The user the calls act as, and whether that user may give a file this
    // owner and group (the error setOwner would give).
    virtual std::uint32_t userId() = 0;
    virtual SystemResult<void> checkOwner(std::uint32_t owner, std::uint32_t group) = 0;
    // The system's words for an error number.
    virtual std::string reason(int code) = 0;
};

// How each system spells paths: the length of `path`'s folder part, with its
// last separator (0 for a bare name), and whether a link's text is a whole path.
std::size_t folderLength(const std::string& path);
bool isWholePath(const std::string& path);

// The error number a file opened for reading that is a folder gives.
extern const int kIsAFolder;
// The error number of a name too long for the system, and the longest path
// it takes (bytes, the terminating zero not counted).
extern const int kNameTooLong;
extern const std::size_t kLongestPath;
// The permission bits (attributes on Windows) a new file must show as they
// were given, once set.
extern const std::uint32_t kComparedModeBits;
// Inode flags that keep a file from being replaced or carried (append-only, immutable).
extern const std::uint32_t kFixedInodeFlags;

// Makes `call` (a system call: negative on failure, errno set) again while
// the arrival of a signal interrupts it, up to kAttempts times; any other
// result is returned as it is.
template <typename Call> auto retried(Call call) {
    constexpr int kAttempts = 1000;  // signals without end: the call fails
    for (int attempt = 1;; ++attempt) {
        const auto result = call();
        if (result >= 0 || errno != EINTR || attempt == kAttempts) return result;
    }
}

}  // namespace tavro::files
