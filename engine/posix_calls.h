// The POSIX system calls behind file_access.h, one virtual function each, so
// that tests can make any single call fail. Only the POSIX implementation and
// its fault tests include this header.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "file_access.h"

struct stat;

namespace tavro::files {

// Each returns what the POSIX call returns and sets errno the same way.
class SystemCalls {
public:
    virtual ~SystemCalls() = default;
    virtual int open(const char* path, int flags, mode_t mode);
    virtual int fstat(int fd, struct stat* status);
    virtual int stat(const char* path, struct stat* status);
    virtual int lstat(const char* path, struct stat* status);
    virtual ssize_t readlink(const char* path, char* buffer, std::size_t size);
    virtual int access(const char* path, int mode);             // real ids
    virtual int faccessat(const char* path, int mode);          // effective ids (AT_EACCESS)
    virtual mode_t umask(mode_t mask);
    virtual ssize_t pread(int fd, void* buffer, std::size_t size, off_t offset);
    virtual ssize_t read(int fd, void* buffer, std::size_t size);
    virtual ssize_t write(int fd, const void* buffer, std::size_t size);
    virtual ssize_t copyFileRange(int from, off_t* fromOffset, int to, off_t* toOffset, std::size_t size);
    virtual off_t lseek(int fd, off_t offset, int whence);
    virtual int ftruncate(int fd, off_t size);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int link(int fd, const char* path);  // gives an unnamed (O_TMPFILE) file a name
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
};

}  // namespace tavro::files
