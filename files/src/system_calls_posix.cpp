// The POSIX primitives file access is built on (system_calls.h): each one
// system call, or the few that make one step.
#include <tavro/files/file_access.h>
#include "system_calls.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <system_error>

namespace tavro::files {

const int kIsAFolder = EISDIR;
const std::uint32_t kFixedInodeFlags = FS_APPEND_FL | FS_IMMUTABLE_FL;
const int kNameTooLong = ENAMETOOLONG;
const std::size_t kLongestPath = PATH_MAX - 1;
const std::uint32_t kComparedModeBits = 07777;

std::size_t folderLength(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

bool isWholePath(const std::string& path) { return path.starts_with('/'); }

namespace {

int fd(NativeHandle handle) { return static_cast<int>(handle); }

SystemError::Kind kindOf(int error) {
    switch (error) {
    case ENOENT: return SystemError::Kind::NotFound;
    case EEXIST: return SystemError::Kind::Exists;
    default: return SystemError::Kind::Other;
    }
}

std::unexpected<SystemError> lastError() { return std::unexpected(SystemError{kindOf(errno), errno}); }

std::unexpected<SystemError> unsupported(int error) {
    return std::unexpected(SystemError{SystemError::Kind::Unsupported, error});
}

SystemResult<void> checked(int result) {
    if (result != 0) return lastError();
    return {};
}

EntryStatus statusOf(const struct stat& status) {
    EntryStatus entry;
    entry.type = S_ISREG(status.st_mode)    ? EntryStatus::Type::File
                 : S_ISLNK(status.st_mode)  ? EntryStatus::Type::Link
                 : S_ISDIR(status.st_mode)  ? EntryStatus::Type::Folder
                 : S_ISSOCK(status.st_mode) ? EntryStatus::Type::Socket
                                            : EntryStatus::Type::Other;
    entry.identity = FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                                  static_cast<std::uint64_t>(status.st_ino),
                                  static_cast<std::uintmax_t>(status.st_size),
                                  status.st_mtim.tv_sec,
                                  status.st_mtim.tv_nsec,
                                  status.st_ctim.tv_sec,
                                  status.st_ctim.tv_nsec,
                                  static_cast<std::uint32_t>(status.st_mode & 07777)};
    entry.links = status.st_nlink;
    entry.owner = status.st_uid;
    entry.group = status.st_gid;
    entry.sharedSticky = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) && (status.st_mode & S_IWOTH);
    return entry;
}

// Inode flags chattr sets that change how a file is kept (a, A, c, C, d, i,
// s, S, u, j, t, x); a new file may inherit some from its folder.
constexpr std::uint32_t kKeptFlags = FS_APPEND_FL | FS_NOATIME_FL | FS_COMPR_FL | FS_NOCOW_FL | FS_NODUMP_FL |
                                     FS_IMMUTABLE_FL | FS_SECRM_FL | FS_SYNC_FL | FS_UNRM_FL | FS_JOURNAL_DATA_FL |
                                     FS_NOTAIL_FL | FS_DAX_FL;

// The real calls, as POSIX makes them.
class PosixCalls final : public SystemCalls {
public:
    SystemResult<NativeHandle> openRead(const std::string& path) override;
    SystemResult<EntryStatus> statHandle(NativeHandle file) override;
    SystemResult<std::optional<EntryStatus>> statName(const std::string& path) override;
    SystemResult<std::string> readLink(const std::string& path) override;
    SystemResult<void> checkWritable(const std::string& path) override;
    SystemResult<std::size_t> readAt(NativeHandle file, std::span<std::uint8_t> buffer, std::uint64_t offset) override;
    SystemResult<std::size_t> write(NativeHandle file, std::span<const std::uint8_t> bytes) override;
    SystemResult<void> seek(NativeHandle file, std::uint64_t offset) override;
    SystemResult<std::uint64_t> nextData(NativeHandle file, std::uint64_t offset, bool hole) override;
    SystemResult<std::size_t> copyRange(NativeHandle from, NativeHandle to, std::uint64_t offset,
                                        std::size_t size) override;
    SystemResult<void> setSize(NativeHandle file, std::uint64_t size) override;
    SystemResult<void> flush(NativeHandle file) override;
    SystemResult<void> close(NativeHandle file) override;
    SystemResult<NativeHandle> createTemporary(const std::string& folder, const std::string& name,
                                               std::uint32_t mode) override;
    SystemResult<void> nameTemporary(NativeHandle file, const std::string& path) override;
    SystemResult<void> rename(const std::string& from, const std::string& to, bool ownRules) override;
    SystemResult<void> renameNew(const std::string& from, const std::string& to) override;
    SystemResult<void> remove(const std::string& path) override;
    SystemResult<bool> removeIfSame(const std::string& path, const FileIdentity& expected) override;
    SystemResult<void> syncFolder(const std::string& folder) override;
    SystemResult<void> setOwner(NativeHandle file, std::uint32_t owner, std::uint32_t group) override;
    SystemResult<void> setMode(NativeHandle file, std::uint32_t mode) override;
    SystemResult<std::vector<std::string>> listAttributes(NativeHandle file) override;
    SystemResult<std::vector<std::uint8_t>> getAttribute(NativeHandle file, const std::string& name) override;
    SystemResult<void> setAttribute(NativeHandle file, const std::string& name,
                                    std::span<const std::uint8_t> value) override;
    SystemResult<void> removeAttribute(NativeHandle file, const std::string& name) override;
    SystemResult<std::uint32_t> inodeFlags(NativeHandle file) override;
    SystemResult<void> setInodeFlags(NativeHandle file, std::uint32_t flags) override;
    SystemResult<bool> openElsewhere(const std::string& path, NativeHandle file) override;
    SystemResult<FileSystemKind> fileSystem(const std::string& folder) override;
    SystemResult<bool> holdLease(NativeHandle file) override;
    SystemResult<bool> leaseHeld(NativeHandle file) override;
    void releaseLease(NativeHandle file) override;
    std::uint32_t userId() override;
    SystemResult<void> checkOwner(std::uint32_t owner, std::uint32_t group) override;
    std::string reason(int code) override;
};

}  // namespace

SystemResult<NativeHandle> PosixCalls::openRead(const std::string& path) {
    // O_NONBLOCK keeps a FIFO from blocking the open; regular files ignore it.
    const int opened = retried([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK); });
    if (opened < 0) return lastError();
    return opened;
}

SystemResult<EntryStatus> PosixCalls::statHandle(NativeHandle file) {
    struct stat status{};
    if (::fstat(fd(file), &status) != 0) return lastError();
    return statusOf(status);
}

SystemResult<std::optional<EntryStatus>> PosixCalls::statName(const std::string& path) {
    struct stat status{};
    if (::lstat(path.c_str(), &status) == 0) {
        EntryStatus entry = statusOf(status);
        struct statx mount{};
        if (entry.type == EntryStatus::Type::File &&
            ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, 0, &mount) == 0)
            entry.mountPoint = (mount.stx_attributes_mask & mount.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
        return entry;
    }
    if (errno == ENOENT) return std::nullopt;
    return lastError();
}

SystemResult<std::string> PosixCalls::readLink(const std::string& path) {
    std::string destination(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), destination.data(), destination.size());
    if (length < 0) return lastError();
    destination.resize(static_cast<std::size_t>(length));
    return destination;
}

SystemResult<void> PosixCalls::checkWritable(const std::string& path) {
    return checked(::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS));
}

SystemResult<std::size_t> PosixCalls::readAt(NativeHandle file, std::span<std::uint8_t> buffer, std::uint64_t offset) {
    const ssize_t got =
        retried([&] { return ::pread(fd(file), buffer.data(), buffer.size(), static_cast<off_t>(offset)); });
    if (got < 0) return lastError();
    return static_cast<std::size_t>(got);
}

SystemResult<std::size_t> PosixCalls::write(NativeHandle file, std::span<const std::uint8_t> bytes) {
    const ssize_t put = retried([&] { return ::write(fd(file), bytes.data(), bytes.size()); });
    if (put < 0) return lastError();
    return static_cast<std::size_t>(put);
}

SystemResult<void> PosixCalls::seek(NativeHandle file, std::uint64_t offset) {
    if (::lseek(fd(file), static_cast<off_t>(offset), SEEK_SET) < 0) return lastError();
    return {};
}

SystemResult<std::uint64_t> PosixCalls::nextData(NativeHandle file, std::uint64_t offset, bool hole) {
    const off_t found = ::lseek(fd(file), static_cast<off_t>(offset), hole ? SEEK_HOLE : SEEK_DATA);
    if (found >= 0) return static_cast<std::uint64_t>(found);
    if (errno == ENXIO) return std::unexpected(SystemError{SystemError::Kind::NotFound, errno});
    if (errno == EINVAL || errno == EOPNOTSUPP) return unsupported(errno);
    return lastError();
}

SystemResult<std::size_t> PosixCalls::copyRange(NativeHandle from, NativeHandle to, std::uint64_t offset,
                                                std::size_t size) {
    off_t in = static_cast<off_t>(offset), out = static_cast<off_t>(offset);
    const ssize_t copied = retried([&] { return ::copy_file_range(fd(from), &in, fd(to), &out, size, 0); });
    if (copied >= 0) return static_cast<std::size_t>(copied);
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) return unsupported(errno);
    return lastError();
}

// EPERM: a file system that cannot lengthen a file so (fusefat).
SystemResult<void> PosixCalls::setSize(NativeHandle file, std::uint64_t size) {
    if (retried([&] { return ::ftruncate(fd(file), static_cast<off_t>(size)); }) == 0) return {};
    if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) return unsupported(errno);
    return lastError();
}

SystemResult<void> PosixCalls::flush(NativeHandle file) { return checked(::fsync(fd(file))); }

SystemResult<void> PosixCalls::close(NativeHandle file) { return checked(::close(fd(file))); }

SystemResult<NativeHandle> PosixCalls::createTemporary(const std::string& folder, const std::string& name,
                                                       std::uint32_t mode) {
    int opened = -1;
    if (name.empty()) {
        // Naming an unnamed file goes through /proc.
        if (::access("/proc/self/fd", X_OK) != 0) return unsupported(errno);
        opened = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode));
        if (opened < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) return unsupported(errno);
    } else {
        opened = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
    }
    if (opened < 0) return lastError();
    return opened;
}

SystemResult<void> PosixCalls::nameTemporary(NativeHandle file, const std::string& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd(file));
    return checked(::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW));
}

SystemResult<void> PosixCalls::rename(const std::string& from, const std::string& to, bool) {
    return checked(::rename(from.c_str(), to.c_str()));
}

SystemResult<void> PosixCalls::renameNew(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return lastError();
    // No such rename here (FUSE): a second name, which is never made over another file, then the first removed.
    if (::link(from.c_str(), to.c_str()) == 0) return checked(::unlink(from.c_str()));
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP) return lastError();
    auto status = statName(to);
    if (!status) return std::unexpected(status.error());
    if (*status) return std::unexpected(SystemError{SystemError::Kind::Exists, EEXIST});
    return checked(::rename(from.c_str(), to.c_str()));
}

SystemResult<void> PosixCalls::remove(const std::string& path) { return checked(::unlink(path.c_str())); }

SystemResult<bool> PosixCalls::removeIfSame(const std::string& path, const FileIdentity& expected) {
    auto status = statName(path);
    if (!status) return std::unexpected(status.error());
    if (!*status || (*status)->identity != expected) return false;
    if (::unlink(path.c_str()) != 0) return lastError();
    return true;
}

SystemResult<void> PosixCalls::syncFolder(const std::string& folder) {
    const int opened = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0) return lastError();
    const int synced = ::fsync(opened);
    ::close(opened);
    return checked(synced);
}

// ENOSYS: a file system that keeps no owners or modes (fusefat).
SystemResult<void> PosixCalls::setOwner(NativeHandle file, std::uint32_t owner, std::uint32_t group) {
    if (::fchown(fd(file), owner, group) == 0) return {};
    if (errno == ENOSYS || errno == EOPNOTSUPP) return unsupported(errno);
    return lastError();
}

SystemResult<void> PosixCalls::setMode(NativeHandle file, std::uint32_t mode) {
    if (::fchmod(fd(file), static_cast<mode_t>(mode)) == 0) return {};
    if (errno == ENOSYS || errno == EOPNOTSUPP) return unsupported(errno);
    return lastError();
}

SystemResult<std::vector<std::string>> PosixCalls::listAttributes(NativeHandle file) {
    for (;;) {
        const ssize_t size = ::flistxattr(fd(file), nullptr, 0);
        if (size < 0 && (errno == ENOTSUP || errno == ENOSYS)) return std::vector<std::string>{};
        if (size < 0) return lastError();
        std::string names(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::flistxattr(fd(file), names.data(), names.size());
        if (got < 0 && errno == ERANGE) continue;  // one was added meanwhile
        if (got < 0) return lastError();
        std::vector<std::string> list;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            const std::size_t end = names.find('\0', at);
            list.push_back(names.substr(at, end - at));
            at = end + 1;
        }
        return list;
    }
}

SystemResult<std::vector<std::uint8_t>> PosixCalls::getAttribute(NativeHandle file, const std::string& name) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd(file), name.c_str(), nullptr, 0);
        if (size < 0) return lastError();
        std::vector<std::uint8_t> value(static_cast<std::size_t>(size));
        const ssize_t got = ::fgetxattr(fd(file), name.c_str(), value.data(), value.size());
        if (got < 0 && errno == ERANGE) continue;
        if (got < 0) return lastError();
        value.resize(static_cast<std::size_t>(got));
        return value;
    }
}

SystemResult<void> PosixCalls::setAttribute(NativeHandle file, const std::string& name,
                                            std::span<const std::uint8_t> value) {
    return checked(::fsetxattr(fd(file), name.c_str(), value.data(), value.size(), 0));
}

SystemResult<void> PosixCalls::removeAttribute(NativeHandle file, const std::string& name) {
    return checked(::fremovexattr(fd(file), name.c_str()));
}

SystemResult<std::uint32_t> PosixCalls::inodeFlags(NativeHandle file) {
    int flags = 0;
    if (::ioctl(fd(file), FS_IOC_GETFLAGS, &flags) != 0) {
        if (errno == ENOTTY || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) return unsupported(errno);
        return lastError();
    }
    return static_cast<std::uint32_t>(flags) & kKeptFlags;
}

SystemResult<void> PosixCalls::setInodeFlags(NativeHandle file, std::uint32_t flags) {
    int current = 0;
    if (::ioctl(fd(file), FS_IOC_GETFLAGS, &current) != 0) {
        if (flags == 0 && (errno == ENOTTY || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) return {};
        return lastError();
    }
    int wanted = static_cast<int>((static_cast<std::uint32_t>(current) & ~kKeptFlags) | flags);
    if (wanted == current) return {};
    return checked(::ioctl(fd(file), FS_IOC_SETFLAGS, &wanted));
}

// A write lease is granted only while no other descriptor (this process's or
// another's) is open on the file; it is given back at once. Its break would
// be signalled, so the signal is one that is ignored unless handled.
SystemResult<bool> PosixCalls::openElsewhere(const std::string&, NativeHandle file) {
    ::fcntl(fd(file), F_SETSIG, SIGURG);
    if (::fcntl(fd(file), F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(fd(file), F_SETLEASE, F_UNLCK);
        return false;
    }
    if (errno == EAGAIN || errno == EBUSY) return true;
    if (errno == EINVAL || errno == EACCES || errno == ENOSYS || errno == EOPNOTSUPP) return unsupported(errno);
    return lastError();
}

SystemResult<FileSystemKind> PosixCalls::fileSystem(const std::string& folder) {
    // Magic numbers of statfs(2): the FAT family, exFAT, FUSE.
    constexpr long kFat = 0x4d44, kExfat = 0x2011BAB0, kFuse = 0x65735546;
    struct statfs kind{};
    if (::statfs(folder.c_str(), &kind) != 0) return lastError();
    const long type = static_cast<long>(kind.f_type);
    FileSystemKind found;
    if (type == kFat || type == kExfat || type == kFuse) return FileSystemKind{false, true};
    // A folder whose names ignore case (ext4's and f2fs's casefold, chattr +F).
    constexpr int kCaseFold = 0x40000000;  // FS_CASEFOLD_FL
    const int opened = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    if (opened >= 0 && ::ioctl(opened, FS_IOC_GETFLAGS, &flags) == 0) found.foldsCase = (flags & kCaseFold) != 0;
    if (opened >= 0) ::close(opened);
    return found;
}

SystemResult<bool> PosixCalls::holdLease(NativeHandle file) {
    ::fcntl(fd(file), F_SETSIG, SIGURG);
    if (::fcntl(fd(file), F_SETLEASE, F_WRLCK) == 0) return true;
    if (errno == EAGAIN || errno == EBUSY) return false;
    if (errno == EINVAL || errno == EACCES || errno == ENOSYS || errno == EOPNOTSUPP) return unsupported(errno);
    return lastError();
}

// A broken lease reads as the kind it is being lowered to.
SystemResult<bool> PosixCalls::leaseHeld(NativeHandle file) {
    const int lease = ::fcntl(fd(file), F_GETLEASE);
    if (lease < 0) return lastError();
    return lease == F_WRLCK;
}

void PosixCalls::releaseLease(NativeHandle file) { ::fcntl(fd(file), F_SETLEASE, F_UNLCK); }

std::uint32_t PosixCalls::userId() { return ::geteuid(); }

SystemResult<void> PosixCalls::checkOwner(std::uint32_t owner, std::uint32_t group) {
    if (::geteuid() == 0) return {};
    if (owner != ::geteuid()) return std::unexpected(SystemError{SystemError::Kind::Other, EPERM});
    if (group == ::getegid()) return {};
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    if (std::find(groups.begin(), groups.begin() + std::max(count, 0), group) != groups.begin() + std::max(count, 0))
        return {};
    return std::unexpected(SystemError{SystemError::Kind::Other, EPERM});
}

std::string PosixCalls::reason(int code) { return std::generic_category().message(code); }

SystemCalls& systemCalls() {
    static PosixCalls real;
    return real;
}

}  // namespace tavro::files
