// POSIX file access: the one place where the engine touches the file system.
#include "file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>

namespace tavro::files {

int SystemCalls::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int SystemCalls::fstat(int fd, struct stat* status) { return ::fstat(fd, status); }
ssize_t SystemCalls::read(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }
ssize_t SystemCalls::write(int fd, const void* buffer, std::size_t size) { return ::write(fd, buffer, size); }
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

std::string systemReason(int error) { return std::generic_category().message(error); }

std::unexpected<IoFailure> failure(IoStep step, int error) {
    return std::unexpected(IoFailure{step, systemReason(error), error});
}

class FileDescriptor {
public:
    FileDescriptor(SystemCalls& calls, int fd) : calls_(calls), fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : calls_(other.calls_), fd_(std::exchange(other.fd_, -1)) {}
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
    // Closes now, so that a failing close can be reported.
    int close() { return calls_.close(std::exchange(fd_, -1)); }

private:
    SystemCalls& calls_;
    int fd_;
};

struct OpenFile {
    FileDescriptor fd;
    struct stat status;
};

// Opens an existing regular file for reading. O_NONBLOCK keeps a FIFO from
// blocking the open; regular files ignore it.
std::expected<OpenFile, IoFailure> openForReading(SystemCalls& calls, const std::string& path) {
    FileDescriptor fd{calls, calls.open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0)};
    if (!fd.valid()) return failure(IoStep::Open, errno);
    struct stat status {};
    if (calls.fstat(fd.get(), &status) != 0) return failure(IoStep::Open, errno);
    if (S_ISDIR(status.st_mode)) return failure(IoStep::Read, EISDIR);
    if (!S_ISREG(status.st_mode)) return std::unexpected(IoFailure{IoStep::Open, "not a regular file"});
    return OpenFile{std::move(fd), status};
}

// Reads until `buffer` is full or the file ends; returns the bytes read.
std::expected<std::size_t, IoFailure> readFully(SystemCalls& calls, int fd, std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = calls.read(fd, buffer.data() + done, buffer.size() - done);
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

// The file a path finally names, following symbolic links (even a dangling
// last one, so that a new file is created where the link points).
std::expected<std::string, IoFailure> followLinks(std::string path, IoStep step) {
    for (int depth = 0; depth < 40; ++depth) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        std::string destination(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), destination.data(), destination.size());
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

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// `.NAME.tavro-XXXXXX` in the folder, with six unpredictable characters.
std::string temporaryName(const PathParts& parts) {
    static constexpr std::string_view kAlphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string name = parts.folder + "/." + parts.name + ".tavro-";
    for (int i = 0; i < 6; ++i) name.push_back(kAlphabet[pick(random)]);
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
    void release() { name_.clear(); }

private:
    SystemCalls& calls_;
    std::string name_;
};

// A file that ends before the size it had when it was opened is being
// changed by someone else: its bytes cannot be trusted.
std::unexpected<IoFailure> shrank(std::uintmax_t got, std::uintmax_t size) {
    return std::unexpected(IoFailure{IoStep::Read,
                                     "it ended after " + std::to_string(got) + " of its " + std::to_string(size) +
                                         " bytes (is it being changed?)"});
}

bool unnamedFilesUnsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

}  // namespace

std::expected<FilePrefix, IoFailure> readPrefix(const std::string& path, std::size_t limit, SystemCalls& calls) {
    auto file = openForReading(calls, path);
    if (!file) return std::unexpected(file.error());
    FilePrefix prefix;
    prefix.fileSize = static_cast<std::uintmax_t>(file->status.st_size);
    prefix.bytes.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(limit, prefix.fileSize)));
    auto got = readFully(calls, file->fd.get(), prefix.bytes);
    if (!got) return std::unexpected(got.error());
    if (*got < prefix.bytes.size()) return shrank(*got, prefix.fileSize);
    return prefix;
}

std::expected<std::optional<std::vector<std::uint8_t>>, IoFailure> readIfExists(const std::string& path,
                                                                                 SystemCalls& calls) {
    auto file = openForReading(calls, path);
    if (!file) {
        if (file.error().code == ENOENT) return std::nullopt;
        return std::unexpected(file.error());
    }
    // Read past the size fstat gave, in case the file grew meanwhile.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->status.st_size) + 1);
    std::size_t total = 0;
    for (;;) {
        auto got = readFully(calls, file->fd.get(), std::span(bytes).subspan(total));
        if (!got) return std::unexpected(got.error());
        total += *got;
        if (total < bytes.size()) break;
        bytes.resize(bytes.size() * 2);
    }
    if (total < static_cast<std::uintmax_t>(file->status.st_size))
        return shrank(total, static_cast<std::uintmax_t>(file->status.st_size));
    bytes.resize(total);
    return bytes;
}

std::expected<void, IoFailure> replace(const std::string& path, std::span<const std::uint8_t> bytes,
                                       SystemCalls& calls) {
    auto real = followLinks(path, IoStep::Create);
    if (!real) return std::unexpected(real.error());
    const PathParts parts = splitPath(*real);

    struct stat existing {};
    const bool exists = ::stat(real->c_str(), &existing) == 0;
    const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~currentUmask());

    // An unnamed file where the file system has them, else an exclusively
    // created one under an unpredictable name.
    // Naming an unnamed file goes through /proc.
    TemporaryName temporary{calls};
    const bool tryUnnamed = ::access("/proc/self/fd", X_OK) == 0;
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

    if (exists) {
        // Owner first: changing it would clear set-id bits set before.
        [[maybe_unused]] const int ignored = ::fchown(fd.get(), existing.st_uid, existing.st_gid);
    }
    if (::fchmod(fd.get(), mode) != 0) return failure(IoStep::Create, errno);

    if (auto written = writeFully(calls, fd.get(), bytes); !written) return written;
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

    if (calls.rename(temporary.get().c_str(), real->c_str()) != 0) return failure(IoStep::Replace, errno);
    temporary.release();
    syncFolder(calls, parts.folder);
    return {};
}

std::expected<void, IoFailure> remove(const std::string& path, SystemCalls& calls) {
    auto real = followLinks(path, IoStep::Remove);
    if (!real) return std::unexpected(real.error());
    if (calls.unlink(real->c_str()) != 0) return failure(IoStep::Remove, errno);
    syncFolder(calls, splitPath(*real).folder);
    return {};
}

}  // namespace tavro::files
