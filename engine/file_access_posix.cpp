// POSIX file access: the one place where the engine touches the file system.
#include "file_access.h"
#include "posix_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

namespace tavro::files {

int SystemCalls::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int SystemCalls::fstat(int fd, struct stat* status) { return ::fstat(fd, status); }
int SystemCalls::stat(const char* path, struct stat* status) { return ::stat(path, status); }
int SystemCalls::lstat(const char* path, struct stat* status) { return ::lstat(path, status); }
ssize_t SystemCalls::readlink(const char* path, char* buffer, std::size_t size) {
    return ::readlink(path, buffer, size);
}
int SystemCalls::access(const char* path, int mode) { return ::access(path, mode); }
int SystemCalls::faccessat(const char* path, int mode) { return ::faccessat(AT_FDCWD, path, mode, AT_EACCESS); }
mode_t SystemCalls::umask(mode_t mask) { return ::umask(mask); }
ssize_t SystemCalls::pread(int fd, void* buffer, std::size_t size, off_t offset) {
    return ::pread(fd, buffer, size, offset);
}
ssize_t SystemCalls::read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }
ssize_t SystemCalls::write(int fd, const void* buffer, std::size_t size) { return ::write(fd, buffer, size); }
ssize_t SystemCalls::copyFileRange(int from, off_t* fromOffset, int to, off_t* toOffset, std::size_t size) {
    return ::copy_file_range(from, fromOffset, to, toOffset, size, 0);
}
off_t SystemCalls::lseek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }
int SystemCalls::ftruncate(int fd, off_t size) { return ::ftruncate(fd, size); }
int SystemCalls::fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }
int SystemCalls::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int SystemCalls::fsync(int fd) { return ::fsync(fd); }
int SystemCalls::close(int fd) { return ::close(fd); }
int SystemCalls::link(int fd, const char* path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW);
}
int SystemCalls::rename(const char* from, const char* to) { return ::rename(from, to); }
int SystemCalls::unlink(const char* path) { return ::unlink(path); }

SystemCalls& systemCalls() {
    static SystemCalls real;
    return real;
}

namespace {

int descriptor(NativeHandle handle) { return static_cast<int>(handle); }

// Pieces in which bytes are copied and compared, so that memory stays
// bounded whatever a file's size.
constexpr std::size_t kPiece = std::size_t{1} << 20;

std::string systemReason(int error) { return std::generic_category().message(error); }

std::unexpected<IoFailure> failure(IoStep step, int error) {
    return std::unexpected(IoFailure{step, systemReason(error), error});
}

class FileDescriptor {
public:
    FileDescriptor(SystemCalls& calls, int fd) : calls_(calls), fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) calls_.close(fd_);
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0) calls_.close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    // Closes now, so that a failing close can be reported.
    int close() { return calls_.close(std::exchange(fd_, -1)); }

private:
    SystemCalls& calls_;
    int fd_;
};

FileIdentity identityOf(const struct stat& status) {
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino),
                        static_cast<std::uintmax_t>(status.st_size),
                        status.st_mtim.tv_sec,
                        status.st_mtim.tv_nsec,
                        status.st_ctim.tv_sec,
                        status.st_ctim.tv_nsec,
                        static_cast<std::uint32_t>(status.st_mode & 07777)};
}

std::unexpected<IoFailure> notRegular(IoStep step) {
    return std::unexpected(IoFailure{step, {}, 0, IoProblem::NotRegularFile});
}

// Opens an existing regular file for reading. O_NONBLOCK keeps a FIFO from
// blocking the open; regular files ignore it.
std::expected<OpenFile, IoFailure> openForReading(SystemCalls& calls, const std::string& path) {
    FileDescriptor fd{calls, calls.open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0)};
    if (!fd.valid()) return failure(IoStep::Open, errno);
    struct stat status {};
    if (calls.fstat(fd.get(), &status) != 0) return failure(IoStep::Open, errno);
    if (S_ISDIR(status.st_mode)) return failure(IoStep::Read, EISDIR);
    if (!S_ISREG(status.st_mode)) return notRegular(IoStep::Open);
    return OpenFile{calls, fd.release(), identityOf(status)};
}

// A file that ends before the size it had when it was opened is being
// changed by someone else: its bytes cannot be trusted.
std::unexpected<IoFailure> shrank(std::uintmax_t got, std::uintmax_t size) {
    return std::unexpected(IoFailure{IoStep::Read, {}, 0, IoProblem::EndedEarly, got, size});
}

// Fills `buffer` from `offset`, unless the file ends first; returns the bytes read.
std::expected<std::size_t, IoFailure> readAt(SystemCalls& calls, int fd, std::span<std::uint8_t> buffer,
                                             std::uintmax_t offset) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = calls.pread(fd, buffer.data() + done, buffer.size() - done,
                                        static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return failure(IoStep::Read, errno);
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::expected<void, IoFailure> writeFully(SystemCalls& calls, int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = calls.write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return failure(IoStep::Write, errno);
        }
        done += static_cast<std::size_t>(put);
    }
    return {};
}

// Where the next data at or after `offset` begins, `end` when only a hole
// follows; `offset` itself where the file system cannot tell.
std::expected<std::uintmax_t, IoFailure> nextData(SystemCalls& calls, int fd, std::uintmax_t offset,
                                                  std::uintmax_t end) {
    const off_t found = calls.lseek(fd, static_cast<off_t>(offset), SEEK_DATA);
    if (found >= 0) return std::min<std::uintmax_t>(static_cast<std::uintmax_t>(found), end);
    if (errno == ENXIO) return end;
    if (errno == EINVAL || errno == EOPNOTSUPP) return offset;
    return failure(IoStep::Read, errno);
}

// Where the data at `offset` ends (the next hole), at most `end`.
std::expected<std::uintmax_t, IoFailure> nextHole(SystemCalls& calls, int fd, std::uintmax_t offset,
                                                  std::uintmax_t end) {
    const off_t found = calls.lseek(fd, static_cast<off_t>(offset), SEEK_HOLE);
    if (found >= 0) return std::min<std::uintmax_t>(std::max<std::uintmax_t>(static_cast<std::uintmax_t>(found), offset + 1), end);
    if (errno == ENXIO) return end;  // the file shrank: the copy finds out
    if (errno == EINVAL || errno == EOPNOTSUPP) return end;
    return failure(IoStep::Read, errno);
}

// Copies bytes [offset, end) of `from` to the same offsets of `to`, in the
// kernel where it can, else through a buffer. Ranges are copied one data
// extent at a time, so holes stay holes (`to` already has its final size).
std::expected<void, IoFailure> copyRange(SystemCalls& calls, int from, int to, std::uintmax_t offset,
                                         std::uintmax_t end) {
    bool inKernel = true;
    std::vector<std::uint8_t> buffer;
    while (offset < end) {
        auto data = nextData(calls, from, offset, end);
        if (!data) return std::unexpected(data.error());
        offset = *data;
        if (offset >= end) break;
        auto hole = nextHole(calls, from, offset, end);
        if (!hole) return std::unexpected(hole.error());
        while (offset < *hole) {
            const std::size_t piece = static_cast<std::size_t>(std::min<std::uintmax_t>(*hole - offset, kPiece));
            if (inKernel) {
                off_t in = static_cast<off_t>(offset), out = static_cast<off_t>(offset);
                const ssize_t copied = calls.copyFileRange(from, &in, to, &out, piece);
                if (copied > 0) {
                    offset += static_cast<std::uintmax_t>(copied);
                    continue;
                }
                if (copied == 0) return shrank(offset, end);
                if (errno == EINTR) continue;
                if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                    return failure(IoStep::Write, errno);
                inKernel = false;  // this pair of files cannot: copy through memory
            }
            buffer.resize(piece);
            auto got = readAt(calls, from, buffer, offset);
            if (!got) return std::unexpected(got.error());
            if (*got < piece) return shrank(offset + *got, end);
            if (calls.lseek(to, static_cast<off_t>(offset), SEEK_SET) < 0) return failure(IoStep::Write, errno);
            if (auto written = writeFully(calls, to, buffer); !written) return written;
            offset += piece;
        }
    }
    return {};
}

// The file a path finally names, following symbolic links (even a dangling
// last one, so that a new file is created where the link points).
std::expected<std::string, IoFailure> followLinks(SystemCalls& calls, std::string path, IoStep step) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat status {};
        if (calls.lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        std::string destination(PATH_MAX, '\0');
        const ssize_t length = calls.readlink(path.c_str(), destination.data(), destination.size());
        if (length < 0) return failure(step, errno);
        destination.resize(static_cast<std::size_t>(length));
        if (destination.starts_with('/')) {
            path = std::move(destination);
        } else {
            const auto slash = path.rfind('/');
            path = (slash == std::string::npos ? std::string{} : path.substr(0, slash + 1)) + destination;
        }
    }
    return failure(step, ELOOP);
}

struct PathParts {
    std::string folder;  // never empty: "." for a bare name
    std::string name;
};

PathParts splitPath(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Makes a rename durable; a folder that cannot be synced is no reason to fail.
void syncFolder(SystemCalls& calls, const std::string& folder) {
    FileDescriptor fd{calls, calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0)};
    if (fd.valid()) calls.fsync(fd.get());
}

mode_t currentUmask(SystemCalls& calls) {
    const mode_t mask = calls.umask(0);
    calls.umask(mask);
    return mask;
}

constexpr std::string_view kTemporaryMark = ".tavro-";
constexpr std::size_t kRandomCharacters = 6;
// "." + name + mark + random characters must fit in NAME_MAX bytes.
constexpr std::size_t kLongestKeptName = NAME_MAX - 1 - kTemporaryMark.size() - kRandomCharacters;

// `.NAME.tavro-XXXXXX` in the folder, with six unpredictable characters; a
// long NAME is cut so that the whole fits the system's limit.
std::string temporaryName(const PathParts& parts) {
    static constexpr std::string_view kAlphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string name = parts.folder + "/." + parts.name.substr(0, kLongestKeptName);
    name.append(kTemporaryMark);
    for (std::size_t i = 0; i < kRandomCharacters; ++i) name.push_back(kAlphabet[pick(random)]);
    return name;
}

constexpr int kNameAttempts = 100;

// Removes the named temporary file on every early return.
class TemporaryName {
public:
    explicit TemporaryName(SystemCalls& calls) : calls_(calls) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!name_.empty()) calls_.unlink(name_.c_str());
    }
    void set(std::string name) { name_ = std::move(name); }
    const std::string& get() const { return name_; }
    std::string release() { return std::exchange(name_, {}); }

private:
    SystemCalls& calls_;
    std::string name_;
};

bool unnamedFilesUnsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

std::unexpected<IoFailure> changed() {
    return std::unexpected(IoFailure{IoStep::Changed, {}, 0, IoProblem::Changed});
}

// Refuses what must not be replaced: anything but a regular file, a file the
// user could not open for writing, and a file with other names.
std::expected<void, IoFailure> checkReplaceable(SystemCalls& calls, const std::string& path,
                                                const struct stat& status) {
    if (!S_ISREG(status.st_mode)) return notRegular(IoStep::Replace);
    if (calls.faccessat(path.c_str(), W_OK) != 0) return failure(IoStep::Replace, errno);
    if (status.st_nlink > 1) {
        return std::unexpected(IoFailure{IoStep::Replace, {}, 0, IoProblem::HardLinks, status.st_nlink});
    }
    return {};
}

}  // namespace

OpenFile::OpenFile(OpenFile&& other) noexcept
    : calls_(other.calls_), handle_(std::exchange(other.handle_, -1)), identity_(other.identity_) {}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
    if (this != &other) {
        if (handle_ >= 0) calls_->close(descriptor(handle_));
        calls_ = other.calls_;
        handle_ = std::exchange(other.handle_, -1);
        identity_ = other.identity_;
    }
    return *this;
}

OpenFile::~OpenFile() {
    if (handle_ >= 0) calls_->close(descriptor(handle_));
}

std::expected<std::vector<std::uint8_t>, IoFailure> OpenFile::readHead(std::size_t limit) const {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uintmax_t>(limit, identity_.size)));
    auto got = readAt(*calls_, descriptor(handle_), bytes, 0);
    if (!got) return std::unexpected(got.error());
    if (*got < bytes.size()) return shrank(*got, identity_.size);
    return bytes;
}

std::expected<bool, IoFailure> OpenFile::sameBytes(const OpenFile& other, std::uintmax_t offset,
                                                   std::uintmax_t end) const {
    std::vector<std::uint8_t> mine, theirs;
    while (offset < end) {
        auto myData = nextData(*calls_, descriptor(handle_), offset, end);
        if (!myData) return std::unexpected(myData.error());
        auto theirData = nextData(*calls_, descriptor(other.handle_), offset, end);
        if (!theirData) return std::unexpected(theirData.error());
        const std::uintmax_t bothHoles = std::min(*myData, *theirData);  // zeros in both up to here
        if (bothHoles > offset) {
            offset = bothHoles;
            continue;
        }
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uintmax_t>(end - offset, kPiece));
        mine.resize(piece);
        theirs.resize(piece);
        auto got = readAt(*calls_, descriptor(handle_), mine, offset);
        if (!got) return std::unexpected(got.error());
        if (*got < piece) return shrank(offset + *got, end);
        got = readAt(*calls_, descriptor(other.handle_), theirs, offset);
        if (!got) return std::unexpected(got.error());
        if (*got < piece) return shrank(offset + *got, end);
        if (mine != theirs) return false;
        offset += piece;
    }
    return true;
}

std::expected<std::optional<OpenFile>, IoFailure> openIfExists(const std::string& path, SystemCalls& calls) {
    auto file = openForReading(calls, path);
    if (!file) {
        if (file.error().code == ENOENT) return std::nullopt;
        return std::unexpected(file.error());
    }
    return std::optional<OpenFile>{std::move(*file)};
}

std::expected<FilePrefix, IoFailure> readPrefix(const std::string& path, std::size_t limit, SystemCalls& calls) {
    auto file = openForReading(calls, path);
    if (!file) return std::unexpected(file.error());
    auto bytes = file->readHead(limit);
    if (!bytes) return std::unexpected(bytes.error());
    return FilePrefix{std::move(*bytes), file->identity().size};
}

PreparedFile::~PreparedFile() {
    if (!temporary_.empty()) calls_->unlink(temporary_.c_str());
}

std::expected<void, IoFailure> PreparedFile::commit() {
    struct stat status {};
    const bool present = calls_->lstat(destination_.c_str(), &status) == 0;
    if (!present && errno != ENOENT) return failure(IoStep::Replace, errno);
    if (expected_.kind == Expectation::Kind::Absent && present) return changed();
    if (expected_.kind == Expectation::Kind::Same && (!present || identityOf(status) != expected_.identity))
        return changed();
    if (calls_->rename(temporary_.c_str(), destination_.c_str()) != 0) return failure(IoStep::Replace, errno);
    temporary_.clear();
    syncFolder(*calls_, splitPath(destination_).folder);
    return {};
}

std::expected<PreparedFile, IoFailure> prepare(const std::string& path, const NewContent& content,
                                               Expectation expected, Links links, SystemCalls& calls) {
    std::string real = path;
    if (links == Links::Follow) {
        auto followed = followLinks(calls, path, IoStep::Create);
        if (!followed) return std::unexpected(followed.error());
        real = std::move(*followed);
    }
    const PathParts parts = splitPath(real);

    // The checks look at what is at the final name itself, never through it.
    struct stat existing {};
    const bool exists = calls.lstat(real.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return failure(IoStep::Create, errno);
    const bool replacesLink = exists && links == Links::Replace && S_ISLNK(existing.st_mode);
    const bool replacesFile = exists && !replacesLink;
    if (replacesFile) {
        if (auto allowed = checkReplaceable(calls, real, existing); !allowed) return std::unexpected(allowed.error());
    }
    if (expected.kind == Expectation::Kind::AsFound) {
        expected = exists ? Expectation{Expectation::Kind::Same, identityOf(existing)}
                          : Expectation{Expectation::Kind::Absent, {}};
    }
    const mode_t mode = content.permissions ? static_cast<mode_t>(*content.permissions)
                        : replacesFile      ? (existing.st_mode & 07777)
                                            : (0666 & ~currentUmask(calls));

    // An unnamed file where the file system has them, else an exclusively
    // created one under an unpredictable name.
    // Naming an unnamed file goes through /proc.
    TemporaryName temporary{calls};
    const bool tryUnnamed = calls.access("/proc/self/fd", X_OK) == 0;
    FileDescriptor fd{calls, tryUnnamed ? calls.open(parts.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1};
    const bool unnamed = fd.valid();
    if (!unnamed) {
        if (tryUnnamed && !unnamedFilesUnsupported(errno)) return failure(IoStep::Create, errno);
        for (int attempt = 0; attempt < kNameAttempts && !fd.valid(); ++attempt) {
            std::string name = temporaryName(parts);
            const int opened = calls.open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (opened < 0 && errno == EEXIST) continue;
            if (opened < 0) return failure(IoStep::Create, errno);
            fd = FileDescriptor{calls, opened};
            temporary.set(std::move(name));
        }
        if (!fd.valid()) return failure(IoStep::Create, EEXIST);
    }

    if (replacesFile) {
        // Owner first: changing it would clear set-id bits set before. A file
        // whose owner cannot be kept is not taken over.
        if (calls.fchown(fd.get(), existing.st_uid, existing.st_gid) != 0) {
            const int error = errno;
            return std::unexpected(IoFailure{IoStep::Replace, systemReason(error), error, IoProblem::OwnerNotKept,
                                             existing.st_uid, existing.st_gid});
        }
    }
    if (calls.fchmod(fd.get(), mode) != 0) return failure(IoStep::Create, errno);

    const std::uintmax_t size = std::max<std::uintmax_t>(content.size, content.head.size());
    if (auto written = writeFully(calls, fd.get(), content.head); !written) return std::unexpected(written.error());
    if (size > content.head.size()) {
        if (calls.ftruncate(fd.get(), static_cast<off_t>(size)) != 0) return failure(IoStep::Write, errno);
        if (content.rest != nullptr) {
            if (auto copied = copyRange(calls, descriptor(content.rest->handle()), fd.get(), content.head.size(), size);
                !copied)
                return std::unexpected(copied.error());
        }
    }
    if (calls.fsync(fd.get()) != 0) return failure(IoStep::Flush, errno);

    if (unnamed) {
        for (int attempt = 0; attempt < kNameAttempts && temporary.get().empty(); ++attempt) {
            std::string name = temporaryName(parts);
            if (calls.link(fd.get(), name.c_str()) == 0) {
                temporary.set(std::move(name));
            } else if (errno != EEXIST) {
                return failure(IoStep::Replace, errno);
            }
        }
        if (temporary.get().empty()) return failure(IoStep::Replace, EEXIST);
    }
    if (fd.close() != 0) return failure(IoStep::Flush, errno);
    return PreparedFile{calls, temporary.release(), real, expected, replacesFile || replacesLink};
}

std::expected<void, IoFailure> remove(const std::string& path, const FileIdentity& expected, SystemCalls& calls) {
    auto real = followLinks(calls, path, IoStep::Remove);
    if (!real) return std::unexpected(real.error());
    struct stat status {};
    if (calls.lstat(real->c_str(), &status) != 0 || identityOf(status) != expected) return changed();
    if (calls.unlink(real->c_str()) != 0) return failure(IoStep::Remove, errno);
    syncFolder(calls, splitPath(*real).folder);
    return {};
}

}  // namespace tavro::files
