// The engine's only access to files (POSIX).
//
// Failures carry the step that failed, the system's reason (strerror text) and
// errno. Every system call goes through a SystemCalls object, so that tests
// can make any single call fail; the default makes the real calls.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavro::files {

enum class IoStep { Open, Read, Create, Write, Flush, Replace, Remove };

struct IoFailure {
    IoStep step;
    std::string reason;
    int code = 0;  // errno, where the system gave one
};

// The system calls file access makes. Each returns what the POSIX call
// returns and sets errno the same way.
class SystemCalls {
public:
    virtual ~SystemCalls() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual int fstat(int fd, struct stat* status);
    virtual ssize_t read(int fd, void* buffer, std::size_t size);
    virtual ssize_t write(int fd, const void* buffer, std::size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int link(int fd, const char* path);  // gives an unnamed (O_TMPFILE) file a name
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
};

// The real system calls.
SystemCalls& systemCalls();

struct FilePrefix {
    std::vector<std::uint8_t> bytes;  // at most the requested number
    std::uintmax_t fileSize = 0;      // the whole file's size when it was opened
};

// Reads up to `limit` bytes from the start of an existing regular file. A file
// that ends before its size said (it is being changed) is a Read failure, here
// and in readIfExists.
std::expected<FilePrefix, IoFailure> readPrefix(const std::string& path, std::size_t limit,
                                                SystemCalls& calls = systemCalls());

// Reads a whole regular file; nullopt when no file (or only a dangling link) is there.
std::expected<std::optional<std::vector<std::uint8_t>>, IoFailure> readIfExists(
    const std::string& path, SystemCalls& calls = systemCalls());

// Replaces the file at `path` with `bytes`, all or nothing: the bytes go to a
// temporary file in the same folder, which is flushed and then renamed over
// `path`. Where the file system offers unnamed temporary files (O_TMPFILE) the
// file has a name, `.NAME.tavro-XXXXXX`, only for the moment before the
// rename; elsewhere it is created under that name, exclusively. Symbolic
// links are followed, so a link stays a link and the file it names receives
// the bytes. An existing file's permission bits (and owner, where allowed)
// are kept; a new file gets 0666 less the umask. On failure nothing at `path`
// has changed and no temporary file is left.
std::expected<void, IoFailure> replace(const std::string& path, std::span<const std::uint8_t> bytes,
                                       SystemCalls& calls = systemCalls());

// Removes the file at `path` (following symbolic links to the file they name).
std::expected<void, IoFailure> remove(const std::string& path, SystemCalls& calls = systemCalls());

}  // namespace tavro::files
