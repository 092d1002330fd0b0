// The Windows primitives file access is built on (system_calls.h). Paths
// arrive as UTF-8 and go to the wide-character calls; every file is opened in
// binary, through handles, never through the C library (whose text mode would
// turn line feeds into pairs and stop at byte 0x1A).
#include <tavro/files/file_access.h>
#include "system_calls.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string_view>
#include <utility>

namespace tavro::files {

const int kIsAFolder = ERROR_DIRECTORY;
const std::uint32_t kFixedInodeFlags = 0;
const int kNameTooLong = ERROR_FILENAME_EXCED_RANGE;
const std::size_t kLongestPath = 32767 - 8;  // the wide calls' limit, less the prefix that lifts MAX_PATH
const std::uint32_t kComparedModeBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::size_t folderLength(const std::string& path) {
    const auto separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? 0 : separator + 1;
}

bool isWholePath(const std::string& path) {
    return path.starts_with('\\') || path.starts_with('/') || (path.size() > 1 && path[1] == ':');
}

namespace {

constexpr std::size_t kCopyPieceBytes = std::size_t{1} << 20;

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
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
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason;
}

bool notFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

std::unexpected<SystemError> errorOf(DWORD error) {
    const SystemError::Kind kind = notFound(error) ? SystemError::Kind::NotFound
                                   : error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                                       ? SystemError::Kind::Exists
                                       : SystemError::Kind::Other;
    return std::unexpected(SystemError{kind, static_cast<int>(error)});
}

std::unexpected<SystemError> lastError() { return errorOf(GetLastError()); }

std::unexpected<SystemError> unsupported() {
    return std::unexpected(SystemError{SystemError::Kind::Unsupported, ERROR_NOT_SUPPORTED});
}

// A UTF-8 path as the wide-character calls take it: made absolute with
// backslashes (every call then sees the same file, forward slashes or not),
// and a long one gets the prefix that lifts the MAX_PATH limit.
SystemResult<std::wstring> widen(const std::string& path) {
    if (path.empty()) return errorOf(ERROR_PATH_NOT_FOUND);
    const int size =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (size <= 0)
        return std::unexpected(
            SystemError{SystemError::Kind::Other, ERROR_NO_UNICODE_TRANSLATION, "the name is not valid UTF-8"});
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), size);
    if (wide.starts_with(LR"(\\?\)")) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return lastError();
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return lastError();
    full.resize(written);
    if (full.size() < MAX_PATH - 12) return full;
    if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

HANDLE native(NativeHandle handle) { return reinterpret_cast<HANDLE>(handle); }
NativeHandle portable(HANDLE handle) { return reinterpret_cast<NativeHandle>(handle); }

std::int64_t ticks(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// The attributes that make a file another file for our purposes.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what is at the name itself (a link, not what it names) to look at it.
HANDLE openEntry(const std::wstring& path, DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The real calls, as Windows makes them.
class WindowsCalls final : public SystemCalls {
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

// Identity from the open handle: volume, file index, size, last write and
// change times (in 100 ns ticks), attributes.
SystemResult<EntryStatus> WindowsCalls::statHandle(NativeHandle file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(native(file), &info)) return lastError();
    FILE_BASIC_INFO basic{};
    std::int64_t changed = ticks(info.ftLastWriteTime);
    if (GetFileInformationByHandleEx(native(file), FileBasicInfo, &basic, sizeof basic))
        changed = basic.ChangeTime.QuadPart;
    const std::int64_t written = ticks(info.ftLastWriteTime);
    EntryStatus status;
    status.identity = FileIdentity{info.dwVolumeSerialNumber,
                                   (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                                   (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow,
                                   written / 10'000'000,
                                   written % 10'000'000 * 100,
                                   changed / 10'000'000,
                                   changed % 10'000'000 * 100,
                                   info.dwFileAttributes & kKeptAttributes};
    status.type = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryStatus::Type::Link
                  : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? EntryStatus::Type::Folder
                  : GetFileType(native(file)) != FILE_TYPE_DISK          ? EntryStatus::Type::Other
                                                                         : EntryStatus::Type::File;
    status.links = info.nNumberOfLinks;
    return status;
}

SystemResult<NativeHandle> WindowsCalls::openRead(const std::string& path) {
    auto wide = widen(path);
    if (!wide) return std::unexpected(wide.error());
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::unexpected(SystemError{SystemError::Kind::Other, ERROR_DIRECTORY, "Is a directory"});
    const HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lastError();
    return portable(file);
}

SystemResult<std::optional<EntryStatus>> WindowsCalls::statName(const std::string& path) {
    auto wide = widen(path);
    if (!wide) return std::unexpected(wide.error());
    const HANDLE entry = openEntry(*wide);
    if (entry == INVALID_HANDLE_VALUE) {
        if (notFound(GetLastError())) return std::nullopt;
        return lastError();
    }
    auto status = statHandle(portable(entry));
    CloseHandle(entry);
    if (!status) return std::unexpected(status.error());
    return std::optional<EntryStatus>{*status};
}

SystemResult<std::string> WindowsCalls::readLink(const std::string& path) {
    auto wide = widen(path);
    if (!wide) return std::unexpected(wide.error());
    const HANDLE entry = openEntry(*wide, 0);
    if (entry == INVALID_HANDLE_VALUE) return lastError();
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(entry, final.data(), static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0 || length < final.size()) {
            const DWORD error = GetLastError();
            CloseHandle(entry);
            if (length == 0) return errorOf(error);
            final.resize(length);
            return narrow(final);
        }
        final.resize(length + 1);
    }
}

SystemResult<void> WindowsCalls::checkWritable(const std::string& path) {
    auto wide = widen(path);
    if (!wide) return std::unexpected(wide.error());
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_READONLY))
        return std::unexpected(SystemError{SystemError::Kind::Other, ERROR_ACCESS_DENIED, "it is read-only"});
    return {};
}

SystemResult<std::size_t> WindowsCalls::readAt(NativeHandle file, std::span<std::uint8_t> buffer,
                                               std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), kCopyPieceBytes));
    if (!ReadFile(native(file), buffer.data(), want, &got, &at)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        return lastError();
    }
    return got;
}

SystemResult<std::size_t> WindowsCalls::write(NativeHandle file, std::span<const std::uint8_t> bytes) {
    DWORD put = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kCopyPieceBytes));
    if (!WriteFile(native(file), bytes.data(), want, &put, nullptr)) return lastError();
    return put;
}

SystemResult<void> WindowsCalls::seek(NativeHandle file, std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(native(file), to, nullptr, FILE_BEGIN)) return lastError();
    return {};
}

SystemResult<std::uint64_t> WindowsCalls::nextData(NativeHandle, std::uint64_t, bool) { return unsupported(); }

SystemResult<std::size_t> WindowsCalls::copyRange(NativeHandle, NativeHandle, std::uint64_t, std::size_t) {
    return unsupported();
}

SystemResult<void> WindowsCalls::setSize(NativeHandle file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(native(file), FileEndOfFileInfo, &end, sizeof end)) return lastError();
    return {};
}

SystemResult<void> WindowsCalls::flush(NativeHandle file) {
    if (!FlushFileBuffers(native(file))) return lastError();
    return {};
}

SystemResult<void> WindowsCalls::close(NativeHandle file) {
    if (!CloseHandle(native(file))) return lastError();
    return {};
}

// Windows has no unnamed files: each is created under its name, shared with nobody.
SystemResult<NativeHandle> WindowsCalls::createTemporary(const std::string&, const std::string& name, std::uint32_t) {
    if (name.empty()) return unsupported();
    auto wide = widen(name);
    if (!wide) return std::unexpected(wide.error());
    const HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lastError();
    return portable(file);
}

SystemResult<void> WindowsCalls::nameTemporary(NativeHandle, const std::string&) { return unsupported(); }

// A file at `to` is replaced with ReplaceFileW, which gives the new file the
// old one's attributes and access rules (unless `ownRules`), under the old
// one's name as it is spelled (the case a user typed may differ); a link is
// replaced by the file.
SystemResult<void> WindowsCalls::rename(const std::string& from, const std::string& to, bool ownRules) {
    auto source = widen(from);
    if (!source) return std::unexpected(source.error());
    auto destination = widen(to);
    if (!destination) return std::unexpected(destination.error());
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(destination->c_str(), &found);
    const bool present = search != INVALID_HANDLE_VALUE;
    if (present) FindClose(search);
    const bool isLink = present && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    const std::wstring spelled = present && !isLink
                                     ? destination->substr(0, destination->find_last_of(L"\\/") + 1) + found.cFileName
                                     : *destination;
    if (present && !isLink && !ownRules) {
        if (ReplaceFileW(spelled.c_str(), source->c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return {};
        const DWORD error = GetLastError();
        return errorOf(error == ERROR_UNABLE_TO_REMOVE_REPLACED ? ERROR_SHARING_VIOLATION : error);
    }
    if (!MoveFileExW(source->c_str(), spelled.c_str(),
                     MOVEFILE_WRITE_THROUGH | (present ? MOVEFILE_REPLACE_EXISTING : 0)))
        return lastError();
    return {};
}

SystemResult<void> WindowsCalls::renameNew(const std::string& from, const std::string& to) {
    auto source = widen(from);
    if (!source) return std::unexpected(source.error());
    auto destination = widen(to);
    if (!destination) return std::unexpected(destination.error());
    if (!MoveFileExW(source->c_str(), destination->c_str(), MOVEFILE_WRITE_THROUGH)) return lastError();
    return {};
}

SystemResult<void> WindowsCalls::remove(const std::string& path) {
    auto wide = widen(path);
    if (!wide) return std::unexpected(wide.error());
    if (!DeleteFileW(wide->c_str())) return lastError();
    return {};
}

SystemResult<bool> WindowsCalls::removeIfSame(const std::string& path, const FileIdentity& expected) {
    auto wide = widen(path);
    if (!wide) return std::unexpected(wide.error());
    const HANDLE file = CreateFileW(wide->c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (notFound(error)) return false;
        return errorOf(error);
    }
    auto status = statHandle(portable(file));
    FILE_DISPOSITION_INFO dispose{TRUE};
    const bool same = status && status->identity == expected;
    const bool removed = same && SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) != 0;
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!status) return std::unexpected(status.error());
    if (same && !removed) return errorOf(error);
    return removed;
}

// A rename with MOVEFILE_WRITE_THROUGH is on disk when it returns.
SystemResult<void> WindowsCalls::syncFolder(const std::string&) { return {}; }

// Owners stay as the system gives them; ReplaceFileW carries access rules.
SystemResult<void> WindowsCalls::setOwner(NativeHandle, std::uint32_t, std::uint32_t) { return {}; }

// The hidden and system attributes of `mode`; never read-only, which would
// keep the next run from replacing the file.
SystemResult<void> WindowsCalls::setMode(NativeHandle file, std::uint32_t mode) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(native(file), FileBasicInfo, &basic, sizeof basic)) return lastError();
    constexpr DWORD kSet = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    DWORD attributes =
        (basic.FileAttributes & ~(kSet | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL)) | (mode & kSet);
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(native(file), FileBasicInfo, &basic, sizeof basic)) return lastError();
    return {};
}

SystemResult<std::vector<std::string>> WindowsCalls::listAttributes(NativeHandle) { return std::vector<std::string>{}; }

SystemResult<std::vector<std::uint8_t>> WindowsCalls::getAttribute(NativeHandle, const std::string&) {
    return unsupported();
}

SystemResult<void> WindowsCalls::setAttribute(NativeHandle, const std::string&, std::span<const std::uint8_t>) {
    return unsupported();
}

SystemResult<void> WindowsCalls::removeAttribute(NativeHandle, const std::string&) { return unsupported(); }

SystemResult<std::uint32_t> WindowsCalls::inodeFlags(NativeHandle) { return unsupported(); }

SystemResult<void> WindowsCalls::setInodeFlags(NativeHandle, std::uint32_t) { return unsupported(); }

// Opening it to write and delete, sharing only reading (as the caller's own
// handle does), fails while another program holds it open to write or keeps
// it from being deleted.
SystemResult<bool> WindowsCalls::openElsewhere(const std::string& path, NativeHandle) {
    auto wide = widen(path);
    if (!wide) return std::unexpected(wide.error());
    const HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
    if (error == ERROR_ACCESS_DENIED) return unsupported();
    return errorOf(error);
}

// Names ignore case on Windows; FAT-family volumes (FAT, FAT32, exFAT)
// cannot rename over a name in one step.
SystemResult<FileSystemKind> WindowsCalls::fileSystem(const std::string& folder) {
    auto wide = widen(folder);
    if (!wide) return std::unexpected(wide.error());
    std::wstring root(wide->size() + 1, L'\0');
    if (!GetVolumePathNameW(wide->c_str(), root.data(), static_cast<DWORD>(root.size()))) return lastError();
    wchar_t name[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1))
        return lastError();
    const std::wstring_view kind = name;
    return FileSystemKind{!(kind.starts_with(L"FAT") || kind == L"exFAT"), true};
}

// Windows has no leases: openElsewhere() asks instead.
SystemResult<bool> WindowsCalls::holdLease(NativeHandle) { return unsupported(); }

SystemResult<bool> WindowsCalls::leaseHeld(NativeHandle) { return unsupported(); }

void WindowsCalls::releaseLease(NativeHandle) {}

std::uint32_t WindowsCalls::userId() { return 0; }

SystemResult<void> WindowsCalls::checkOwner(std::uint32_t, std::uint32_t) { return {}; }

std::string WindowsCalls::reason(int code) { return systemReason(static_cast<DWORD>(code)); }

SystemCalls& systemCalls() {
    static WindowsCalls real;
    return real;
}

}  // namespace tavro::files
