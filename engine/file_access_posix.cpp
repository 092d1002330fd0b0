// POSIX file access: the one place where the engine touches the file system.
#include "file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>
#include <system_error>
#include <utility>

namespace tavro::files {
namespace {

std::string systemReason(int error) { return std::generic_category().message(error); }

std::unexpected<IoFailure> failure(IoStep step, int error) {
    return std::unexpected(IoFailure{step, systemReason(error), error});
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, so that a failing close can be reported.
    int close() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_;
};

struct OpenFile {
    FileDescriptor fd;
    struct stat status;
};

// Opens an existing regular file for reading. O_NONBLOCK keeps a FIFO from
// blocking the open; regular files ignore it.
std::expected<OpenFile, IoFailure> openForReading(const std::string& path) {
    FileDescriptor fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (fd.get() < 0) return failure(IoStep::Open, errno);
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return failure(IoStep::Open, errno);
    if (S_ISDIR(status.st_mode)) return failure(IoStep::Read, EISDIR);
    if (!S_ISREG(status.st_mode)) return std::unexpected(IoFailure{IoStep::Open, "not a regular file"});
    return OpenFile{std::move(fd), status};
}

// Reads until `buffer` is full or the file ends; returns the bytes read.
std::expected<std::size_t, IoFailure> readFully(int fd, std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::read(fd, buffer.data() + done, buffer.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return failure(IoStep::Read, errno);
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::expected<void, IoFailure> writeFully(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
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
void syncFolder(const std::string& folder) {
    FileDescriptor fd{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (fd.get() >= 0) ::fsync(fd.get());
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

std::expected<FilePrefix, IoFailure> readPrefix(const std::string& path, std::size_t limit) {
    auto file = openForReading(path);
    if (!file) return std::unexpected(file.error());
    FilePrefix prefix;
    prefix.fileSize = static_cast<std::uintmax_t>(file->status.st_size);
    prefix.bytes.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(limit, prefix.fileSize)));
    auto got = readFully(file->fd.get(), prefix.bytes);
    if (!got) return std::unexpected(got.error());
    prefix.bytes.resize(*got);
    return prefix;
}

std::expected<std::optional<std::vector<std::uint8_t>>, IoFailure> readIfExists(
    const std::string& path) {
    auto file = openForReading(path);
    if (!file) {
        if (file.error().step == IoStep::Open && file.error().code == ENOENT)
            return std::nullopt;
        return std::unexpected(file.error());
    }
    // Read past the size fstat gave, in case the file grew meanwhile.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->status.st_size) + 1);
    std::size_t total = 0;
    for (;;) {
        auto got = readFully(file->fd.get(), std::span(bytes).subspan(total));
        if (!got) return std::unexpected(got.error());
        total += *got;
        if (total < bytes.size()) break;
        bytes.resize(bytes.size() * 2);
    }
    bytes.resize(total);
    return bytes;
}

std::expected<void, IoFailure> replace(const std::string& path, std::span<const std::uint8_t> bytes) {
    auto real = followLinks(path, IoStep::Create);
    if (!real) return std::unexpected(real.error());
    const PathParts parts = splitPath(*real);

    struct stat existing {};
    const bool exists = ::stat(real->c_str(), &existing) == 0;

    std::string temporary = parts.folder + "/." + parts.name + ".tavro-XXXXXX";
    FileDescriptor fd{::mkostemp(temporary.data(), O_CLOEXEC)};
    if (fd.get() < 0) return failure(IoStep::Create, errno);

    // Removes the temporary file on every early return.
    struct TemporaryGuard {
        const std::string& name;
        bool armed = true;
        ~TemporaryGuard() {
            if (armed) ::unlink(name.c_str());
        }
    } guard{temporary};

    if (exists) {
        // Owner first: changing it would clear set-id bits set before.
        [[maybe_unused]] const int ignored = ::fchown(fd.get(), existing.st_uid, existing.st_gid);
    }
    const mode_t mode = exists ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
    if (::fchmod(fd.get(), mode) != 0) return failure(IoStep::Create, errno);

    if (auto written = writeFully(fd.get(), bytes); !written) return written;
    if (::fsync(fd.get()) != 0) return failure(IoStep::Flush, errno);
    if (fd.close() != 0) return failure(IoStep::Flush, errno);

    if (::rename(temporary.c_str(), real->c_str()) != 0) return failure(IoStep::Replace, errno);
    guard.armed = false;
    syncFolder(parts.folder);
    return {};
}

std::expected<void, IoFailure> remove(const std::string& path) {
    auto real = followLinks(path, IoStep::Remove);
    if (!real) return std::unexpected(real.error());
    if (::unlink(real->c_str()) != 0) return failure(IoStep::Remove, errno);
    syncFolder(splitPath(*real).folder);
    return {};
}

}  // namespace tavro::files
