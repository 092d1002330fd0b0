// Windows file access: the one place where the engine touches the file system
// on Windows. Paths arrive as UTF-8 and go to the wide-character calls; every
// file is opened in binary, through handles, never through the C library
// (whose text mode would turn line feeds into pairs and stop at byte 0x1A).
#include "file_access.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <random>
#include <string_view>
#include <utility>

namespace tavro::files {

// Windows offers no hook: the real calls are made directly.
class SystemCalls {
public:
    virtual ~SystemCalls() = default;
};

SystemCalls& systemCalls() {
    static SystemCalls real;
    return real;
}

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

// The system's reason for `error`, in the words the other systems use where
// they mean the same.
std::string systemReason(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return "No such file or directory";
        case ERROR_ACCESS_DENIED: return "Permission denied";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return "another program has it open (close it there, then try again)";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return "No space left on device";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return "File exists";
        case ERROR_INVALID_NAME: return "the name is not valid here";
        case ERROR_FILENAME_EXCED_RANGE: return "File name too long";
        default: break;
    }
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string reason = length > 0 ? narrow({buffer, length}) : "system error " + std::to_string(error);
    LocalFree(buffer);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' ||
                               reason.back() == ' '))
        reason.pop_back();
    return reason;
}

std::unexpected<IoFailure> failure(IoStep step, DWORD error) {
    return std::unexpected(IoFailure{step, systemReason(error), static_cast<int>(error)});
}

std::unexpected<IoFailure> lastFailure(IoStep step) { return failure(step, GetLastError()); }

bool notFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// A UTF-8 path as the wide-character calls take it: made absolute with
// backslashes (every call then sees the same file, forward slashes or not),
// and a long one gets the prefix that lifts the MAX_PATH limit.
std::expected<std::wstring, IoFailure> widen(const std::string& path, IoStep step) {
    if (path.empty()) return failure(step, ERROR_PATH_NOT_FOUND);
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                                         nullptr, 0);
    if (size <= 0) return std::unexpected(IoFailure{step, "the name is not valid UTF-8", ERROR_NO_UNICODE_TRANSLATION});
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), size);
    if (wide.starts_with(LR"(\\?\)")) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return lastFailure(step);
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return lastFailure(step);
    full.resize(written);
    if (full.size() < MAX_PATH - 12) return full;
    if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : handle_(other.release()) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    ~Handle() { reset(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    // Closes now, so that a failing close can be reported.
    bool close() { return CloseHandle(release()) != 0; }

private:
    void reset() {
        if (valid()) CloseHandle(release());
    }
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

HANDLE native(NativeHandle handle) { return reinterpret_cast<HANDLE>(handle); }

std::int64_t ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// The attributes that make a file another file for our purposes.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct Information {
    FileIdentity identity;
    DWORD attributes = 0;
    DWORD links = 0;
};

// Identity from the open handle: volume, file index, size, last write and
// change times (in 100 ns ticks), attributes.
std::expected<Information, IoFailure> informationOf(HANDLE handle, IoStep step) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return lastFailure(step);
    FILE_BASIC_INFO basic{};
    std::int64_t changed = ticks(info.ftLastWriteTime);
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        changed = basic.ChangeTime.QuadPart;
    const std::int64_t written = ticks(info.ftLastWriteTime);
    Information result;
    result.identity = FileIdentity{info.dwVolumeSerialNumber,
                                   (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                                   (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                                   written / 10'000'000,
                                   written % 10'000'000 * 100,
                                   changed / 10'000'000,
                                   changed % 10'000'000 * 100,
                                   info.dwFileAttributes & kKeptAttributes};
    result.attributes = info.dwFileAttributes;
    result.links = info.nNumberOfLinks;
    return result;
}

std::unexpected<IoFailure> notRegular(IoStep step) {
    return std::unexpected(IoFailure{step, {}, 0, IoProblem::NotRegularFile});
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what is at the name itself (a link, not what it names) to look at it,
// and, with `access` DELETE, to learn whether another program holds it open
// in a way that keeps it from being replaced. Nothing there: an invalid handle.
std::expected<Handle, IoFailure> openEntry(const std::wstring& path, DWORD access, IoStep step) {
    Handle handle{CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | access, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (!handle.valid() && !notFound(GetLastError())) return lastFailure(step);
    return handle;
}

std::expected<OpenFile, IoFailure> openForReading(SystemCalls& calls, const std::string& path) {
    auto wide = widen(path, IoStep::Open);
    if (!wide) return std::unexpected(wide.error());
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::unexpected(IoFailure{IoStep::Read, "Is a directory", ERROR_DIRECTORY});
    Handle handle{CreateFileW(wide->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (!handle.valid()) return lastFailure(IoStep::Open);
    if (GetFileType(handle.get()) != FILE_TYPE_DISK) return notRegular(IoStep::Open);
    auto info = informationOf(handle.get(), IoStep::Open);
    if (!info) return std::unexpected(info.error());
    return OpenFile{calls, reinterpret_cast<NativeHandle>(handle.release()), info->identity};
}

std::unexpected<IoFailure> shrank(std::uintmax_t got, std::uintmax_t size) {
    return std::unexpected(IoFailure{IoStep::Read, {}, 0, IoProblem::EndedEarly, got, size});
}

// Fills `buffer` from `offset`, unless the file ends first; returns the bytes read.
std::expected<std::size_t, IoFailure> readAt(HANDLE handle, std::span<std::uint8_t> buffer, std::uintmax_t offset) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        OVERLAPPED at{};
        const std::uintmax_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, kPiece));
        if (!ReadFile(handle, buffer.data() + done, want, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return lastFailure(IoStep::Read);
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

std::expected<void, IoFailure> writeFully(HANDLE handle, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kPiece));
        if (!WriteFile(handle, bytes.data() + done, want, &put, nullptr)) return lastFailure(IoStep::Write);
        done += put;
    }
    return {};
}

// Appends bytes [offset, end) of `from` to `to`, in pieces.
std::expected<void, IoFailure> copyRange(HANDLE from, HANDLE to, std::uintmax_t offset, std::uintmax_t end) {
    std::vector<std::uint8_t> buffer;
    while (offset < end) {
        buffer.resize(static_cast<std::size_t>(std::min<std::uintmax_t>(end - offset, kPiece)));
        auto got = readAt(from, buffer, offset);
        if (!got) return std::unexpected(got.error());
        if (*got < buffer.size()) return shrank(offset + *got, end);
        if (auto written = writeFully(to, buffer); !written) return written;
        offset += buffer.size();
    }
    return {};
}

struct PathParts {
    std::string folder;  // with its trailing separator; empty for a bare name
    std::string name;
};

PathParts splitPath(const std::string& path) {
    const auto separator = path.find_last_of("/\\:");
    if (separator == std::string::npos) return {{}, path};
    return {path.substr(0, separator + 1), path.substr(separator + 1)};
}

// The file a path finally names, following symbolic links and junctions; the
// path itself when it is not a link (or nothing is there).
std::expected<std::string, IoFailure> followLinks(const std::string& path, IoStep step) {
    auto wide = widen(path, step);
    if (!wide) return std::unexpected(wide.error());
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    Handle handle{CreateFileW(wide->c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (!handle.valid()) return lastFailure(step);
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return lastFailure(step);
        if (length < final.size()) {
            final.resize(length);
            return narrow(final);
        }
        final.resize(length + 1);
    }
}

constexpr std::string_view kTemporaryMark = ".tavro-";
constexpr std::size_t kRandomCharacters = 6;
// Characters of NAME kept in ".NAME.tavro-XXXXXX", so that a name of up to
// 255 UTF-16 units stays within the limit (a UTF-8 cut may take fewer).
constexpr std::size_t kLongestKeptName = 255 - 1 - kTemporaryMark.size() - kRandomCharacters;

// A UTF-8 prefix of `name` of at most `limit` UTF-16 units, cut between characters.
std::string cutName(const std::string& name, std::size_t limit) {
    std::size_t units = 0, i = 0;
    while (i < name.size()) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t width = length == 4 ? 2 : 1;
        if (units + width > limit) break;
        units += width;
        i += length;
    }
    return name.substr(0, i);
}

std::string temporaryName(const PathParts& parts) {
    static constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string name = parts.folder + "." + cutName(parts.name, kLongestKeptName);
    name.append(kTemporaryMark);
    for (std::size_t i = 0; i < kRandomCharacters; ++i) name.push_back(kAlphabet[pick(random)]);
    return name;
}

constexpr int kNameAttempts = 100;

void removeFile(const std::string& path) {
    if (auto wide = widen(path, IoStep::Remove)) DeleteFileW(wide->c_str());
}

// Removes the named temporary file on every early return.
class TemporaryName {
public:
    TemporaryName() = default;
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!name_.empty()) removeFile(name_);
    }
    void set(std::string name) { name_ = std::move(name); }
    std::string release() { return std::exchange(name_, {}); }

private:
    std::string name_;
};

std::unexpected<IoFailure> changed() {
    return std::unexpected(IoFailure{IoStep::Changed, {}, 0, IoProblem::Changed});
}

// Refuses what must not be replaced: anything but a file on a disk, a
// read-only file, a file with other names, and one another program holds
// open without letting it be replaced.
std::expected<void, IoFailure> checkReplaceable(HANDLE entry, const Information& info) {
    if ((info.attributes & FILE_ATTRIBUTE_DIRECTORY) || GetFileType(entry) != FILE_TYPE_DISK)
        return notRegular(IoStep::Replace);
    if (info.attributes & FILE_ATTRIBUTE_READONLY)
        return std::unexpected(IoFailure{IoStep::Replace, "it is read-only", ERROR_ACCESS_DENIED});
    if (info.links > 1) return std::unexpected(IoFailure{IoStep::Replace, {}, 0, IoProblem::HardLinks, info.links});
    return {};
}

}  // namespace

OpenFile::OpenFile(OpenFile&& other) noexcept
    : calls_(other.calls_),
      handle_(std::exchange(other.handle_, reinterpret_cast<NativeHandle>(INVALID_HANDLE_VALUE))),
      identity_(other.identity_) {}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
    if (this != &other) {
        if (native(handle_) != INVALID_HANDLE_VALUE) CloseHandle(native(handle_));
        calls_ = other.calls_;
        handle_ = std::exchange(other.handle_, reinterpret_cast<NativeHandle>(INVALID_HANDLE_VALUE));
        identity_ = other.identity_;
    }
    return *this;
}

OpenFile::~OpenFile() {
    if (native(handle_) != INVALID_HANDLE_VALUE) CloseHandle(native(handle_));
}

std::expected<std::vector<std::uint8_t>, IoFailure> OpenFile::readHead(std::size_t limit) const {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uintmax_t>(limit, identity_.size)));
    auto got = readAt(native(handle_), bytes, 0);
    if (!got) return std::unexpected(got.error());
    if (*got < bytes.size()) return shrank(*got, identity_.size);
    return bytes;
}

std::expected<bool, IoFailure> OpenFile::sameBytes(const OpenFile& other, std::uintmax_t offset,
                                                   std::uintmax_t end) const {
    std::vector<std::uint8_t> mine, theirs;
    while (offset < end) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uintmax_t>(end - offset, kPiece));
        mine.resize(piece);
        theirs.resize(piece);
        auto got = readAt(native(handle_), mine, offset);
        if (!got) return std::unexpected(got.error());
        if (*got < piece) return shrank(offset + *got, end);
        got = readAt(native(other.handle_), theirs, offset);
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
        if (notFound(static_cast<DWORD>(file.error().code))) return std::nullopt;
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
    if (!temporary_.empty()) removeFile(temporary_);
}

std::expected<void, IoFailure> PreparedFile::commit() {
    auto destination = widen(destination_, IoStep::Replace);
    if (!destination) return std::unexpected(destination.error());
    auto temporary = widen(temporary_, IoStep::Replace);
    if (!temporary) return std::unexpected(temporary.error());
    bool present = false;
    bool isLink = false;
    {
        // Asking for DELETE finds a program that holds the file open without
        // letting it go: then nothing is replaced.
        auto entry = openEntry(*destination, DELETE, IoStep::Replace);
        if (!entry) return std::unexpected(entry.error());
        present = entry->valid();
        if (present) {
            auto info = informationOf(entry->get(), IoStep::Replace);
            if (!info) return std::unexpected(info.error());
            isLink = (info->attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (info->attributes & FILE_ATTRIBUTE_READONLY)
                return std::unexpected(IoFailure{IoStep::Replace, "it is read-only", ERROR_ACCESS_DENIED});
            if (expected_.kind == Expectation::Kind::Same && info->identity != expected_.identity) return changed();
        }
    }
    if (expected_.kind == Expectation::Kind::Absent && present) return changed();
    if (expected_.kind == Expectation::Kind::Same && !present) return changed();
    // ReplaceFileW keeps the replaced file's attributes and access rules; a
    // link is replaced by the file itself.
    const bool replaced =
        present && !isLink
            ? ReplaceFileW(destination->c_str(), temporary->c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                           nullptr, nullptr) != 0
            : MoveFileExW(temporary->c_str(), destination->c_str(),
                          MOVEFILE_WRITE_THROUGH | (present ? MOVEFILE_REPLACE_EXISTING : 0)) != 0;
    if (!replaced) {
        const DWORD error = GetLastError();
        if (!present && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) return changed();
        return failure(IoStep::Replace, error == ERROR_UNABLE_TO_REMOVE_REPLACED ? ERROR_SHARING_VIOLATION : error);
    }
    temporary_.clear();
    return {};
}

std::expected<PreparedFile, IoFailure> prepare(const std::string& path, const NewContent& content,
                                               Expectation expected, Links links, SystemCalls& calls) {
    std::string real = path;
    if (links == Links::Follow) {
        auto followed = followLinks(path, IoStep::Create);
        if (!followed) return std::unexpected(followed.error());
        real = std::move(*followed);
    }
    const PathParts parts = splitPath(real);
    auto wideReal = widen(real, IoStep::Create);
    if (!wideReal) return std::unexpected(wideReal.error());

    auto entry = openEntry(*wideReal, DELETE, IoStep::Replace);
    if (!entry) return std::unexpected(entry.error());
    const bool exists = entry->valid();
    Information existing;
    if (exists) {
        auto info = informationOf(entry->get(), IoStep::Create);
        if (!info) return std::unexpected(info.error());
        existing = *info;
    }
    const bool replacesLink = exists && links == Links::Replace && (existing.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    const bool replacesFile = exists && !replacesLink;
    if (replacesFile) {
        if (auto allowed = checkReplaceable(entry->get(), existing); !allowed) return std::unexpected(allowed.error());
    }
    entry->close();
    if (expected.kind == Expectation::Kind::AsFound) {
        expected = exists ? Expectation{Expectation::Kind::Same, existing.identity}
                          : Expectation{Expectation::Kind::Absent, {}};
    }
    // A new file's attributes: hidden or system as asked; never read-only,
    // which would keep the next run from replacing it.
    const DWORD attributes =
        content.permissions ? (*content.permissions & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) : 0;

    TemporaryName temporary;
    std::string name;
    Handle file;
    for (int attempt = 0; attempt < kNameAttempts && !file.valid(); ++attempt) {
        name = temporaryName(parts);
        auto wide = widen(name, IoStep::Create);
        if (!wide) return std::unexpected(wide.error());
        file = Handle{CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.valid()) break;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return failure(IoStep::Create, error);
    }
    if (!file.valid()) return failure(IoStep::Create, ERROR_FILE_EXISTS);
    temporary.set(name);

    const std::uintmax_t size = std::max<std::uintmax_t>(content.size, content.head.size());
    if (auto written = writeFully(file.get(), content.head); !written) return std::unexpected(written.error());
    if (size > content.head.size()) {
        if (content.rest != nullptr) {
            if (auto copied = copyRange(native(content.rest->handle()), file.get(), content.head.size(), size);
                !copied)
                return std::unexpected(copied.error());
        } else {
            LARGE_INTEGER end{};
            end.QuadPart = static_cast<LONGLONG>(size);
            if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get()))
                return lastFailure(IoStep::Write);
        }
    }
    if (!FlushFileBuffers(file.get())) return lastFailure(IoStep::Flush);
    if (!file.close()) return lastFailure(IoStep::Flush);
    return PreparedFile{calls, temporary.release(), real, expected, replacesFile || replacesLink};
}

std::expected<void, IoFailure> remove(const std::string& path, const FileIdentity& expected, SystemCalls&) {
    auto real = followLinks(path, IoStep::Remove);
    if (!real) return std::unexpected(real.error());
    auto wide = widen(*real, IoStep::Remove);
    if (!wide) return std::unexpected(wide.error());
    // The check and the removal on one handle: nobody can swap the file between them.
    auto entry = openEntry(*wide, DELETE, IoStep::Remove);
    if (!entry) return std::unexpected(entry.error());
    if (!entry->valid()) return changed();
    auto info = informationOf(entry->get(), IoStep::Remove);
    if (!info) return std::unexpected(info.error());
    if (info->identity != expected) return changed();
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(entry->get(), FileDispositionInfo, &disposition, sizeof disposition))
        return lastFailure(IoStep::Remove);
    if (!entry->close()) return lastFailure(IoStep::Remove);
    return {};
}

}  // namespace tavro::files
