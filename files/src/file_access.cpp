// File access itself, the same on every system: reading, checking, writing a
// temporary file, reading it back and renaming it over the destination, over
// the primitives each system supplies (system_calls.h).
#include <tavro/files/file_access.h>
#include "system_calls.h"

#include <algorithm>
#include <cerrno>
#include <random>
#include <string_view>
#include <utility>

#include <tavro/core/try.h>

namespace tavro::files {
namespace {

// Pieces in which bytes are copied and compared, so that memory stays
// bounded whatever a file's size.
constexpr std::size_t kCopyPieceBytes = std::size_t{1} << 20;
constexpr NativeHandle kNoHandle = -1;  // -1 is also Windows' INVALID_HANDLE_VALUE
constexpr int kBusy = EBUSY;              // what renaming over a mount point gives

std::unexpected<IoFailure> failure(SystemCalls& calls, core::Step step, const SystemError& error) {
    return std::unexpected(IoFailure{step, error.reason.empty() ? calls.reason(error.code) : error.reason, error.code});
}

// A temporary file refused by `folder` (the folder of the file a path finally
// names, which may be another than the path's own).
std::unexpected<IoFailure> folderFailure(SystemCalls& calls, const std::string& folder, const SystemError& error) {
    auto refused = failure(calls, core::Step::Create, error);
    std::string name = folder;
    // Named without its last separator, unless it is a root ("/", "C:\").
    while (name.size() > 1 && (name.back() == '/' || name.back() == '\\') && !(name.size() == 3 && name[1] == ':'))
        name.pop_back();
    refused.error().facts = core::Folder{std::move(name)};
    return refused;
}

std::unexpected<IoFailure> problem(core::Step step, core::Cause cause, core::ErrorFacts facts = {}) {
    return std::unexpected(IoFailure{step, {}, 0, cause, std::move(facts)});
}

std::unexpected<IoFailure> changed() { return problem(core::Step::Replace, core::Cause::Changed); }

// A file that ends before the size it had when it was opened is being
// changed by someone else: its bytes cannot be trusted.
std::unexpected<IoFailure> shrank(std::uintmax_t got, std::uintmax_t size) {
    return problem(core::Step::Read, core::Cause::EndedEarly, core::ByteCounts{got, size});
}

// Closes a handle on every early return.
class Handle {
public:
    Handle(SystemCalls& calls, NativeHandle handle) : calls_(calls), handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != kNoHandle) calls_.close(handle_);
    }
    NativeHandle get() const { return handle_; }
    NativeHandle release() { return std::exchange(handle_, kNoHandle); }
    // Closes now, so that a failing close can be reported.
    SystemResult<void> close() { return calls_.close(release()); }

private:
    SystemCalls& calls_;
    NativeHandle handle_;
};

// Fills `buffer` from `offset`, unless the file ends first; returns the bytes read.
std::expected<std::size_t, IoFailure> readFully(SystemCalls& calls, NativeHandle file, std::span<std::uint8_t> buffer,
                                                std::uintmax_t offset) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        auto got = calls.readAt(file, buffer.subspan(done), offset + done);
        if (!got) return failure(calls, core::Step::Read, got.error());
        if (*got == 0) break;
        done += *got;
    }
    return done;
}

// A write the system accepts no byte of would be retried for ever: it fails.
std::expected<void, IoFailure> writeFully(SystemCalls& calls, NativeHandle file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        auto put = calls.write(file, bytes.subspan(done, std::min(bytes.size() - done, kCopyPieceBytes)));
        if (!put) return failure(calls, core::Step::Write, put.error());
        if (*put == 0)
            return problem(core::Step::Write, core::Cause::WroteNothing, core::ByteCounts{done, bytes.size()});
        done += *put;
    }
    return {};
}

// Where the next data at or after `offset` begins, `end` when only a hole
// follows; `offset` itself where the system cannot tell.
std::expected<std::uintmax_t, IoFailure> nextData(SystemCalls& calls, NativeHandle file, std::uintmax_t offset,
                                                  std::uintmax_t end) {
    auto found = calls.nextData(file, offset, false);
    if (found) return std::min<std::uintmax_t>(*found, end);
    if (found.error().kind == SystemError::Kind::NotFound) return end;
    if (found.error().kind == SystemError::Kind::Unsupported) return offset;
    return failure(calls, core::Step::Read, found.error());
}

// Where the data at `offset` ends (the next hole), at most `end`.
std::expected<std::uintmax_t, IoFailure> nextHole(SystemCalls& calls, NativeHandle file, std::uintmax_t offset,
                                                  std::uintmax_t end) {
    auto found = calls.nextData(file, offset, true);
    if (found) return std::min<std::uintmax_t>(std::max<std::uintmax_t>(*found, offset + 1), end);
    if (found.error().kind == SystemError::Kind::NotFound || found.error().kind == SystemError::Kind::Unsupported)
        return end;  // a file that shrank: the copy finds out
    return failure(calls, core::Step::Read, found.error());
}

// Copies bytes [offset, end) of `from` to the same offsets of `to`, in the
// kernel where it can, else through a buffer. Ranges are copied one data
// extent at a time, so holes stay holes (`to` already has its final size);
// `dense`: every byte is written, holes as zeros (`to` grows as it is written).
std::expected<void, IoFailure> copyRange(SystemCalls& calls, NativeHandle from, NativeHandle to, std::uintmax_t offset,
                                         std::uintmax_t end, bool dense) {
    bool inKernel = !dense;
    std::vector<std::uint8_t> buffer;
    while (offset < end) {
        auto data = dense ? std::expected<std::uintmax_t, IoFailure>{offset} : nextData(calls, from, offset, end);
        TAVRO_TRY(data);
        offset = *data;
        if (offset >= end) break;
        auto hole = dense ? std::expected<std::uintmax_t, IoFailure>{end} : nextHole(calls, from, offset, end);
        TAVRO_TRY(hole);
        while (offset < *hole) {
            const std::size_t piece =
                static_cast<std::size_t>(std::min<std::uintmax_t>(*hole - offset, kCopyPieceBytes));
            if (inKernel) {
                auto copied = calls.copyRange(from, to, offset, piece);
                if (copied && *copied > 0) {
                    offset += *copied;
                    continue;
                }
                if (copied) return shrank(offset, end);
                if (copied.error().kind != SystemError::Kind::Unsupported)
                    return failure(calls, core::Step::Write, copied.error());
                inKernel = false;  // this pair of files cannot: copy through memory
            }
            buffer.resize(piece);
            auto got = readFully(calls, from, buffer, offset);
            TAVRO_TRY(got);
            if (*got < piece) return shrank(offset + *got, end);
            if (auto moved = calls.seek(to, offset); !moved) return failure(calls, core::Step::Write, moved.error());
            TAVRO_TRY(writeFully(calls, to, buffer));
            offset += piece;
        }
    }
    return {};
}

// Whether bytes [offset, end) of two open files are equal; ranges that are
// holes in both are skipped.
std::expected<bool, IoFailure> sameRange(SystemCalls& calls, NativeHandle a, NativeHandle b, std::uintmax_t offset,
                                         std::uintmax_t end) {
    std::vector<std::uint8_t> mine, theirs;
    while (offset < end) {
        auto myData = nextData(calls, a, offset, end);
        TAVRO_TRY(myData);
        auto theirData = nextData(calls, b, offset, end);
        TAVRO_TRY(theirData);
        const std::uintmax_t bothHoles = std::min(*myData, *theirData);  // zeros in both up to here
        if (bothHoles > offset) {
            offset = bothHoles;
            continue;
        }
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uintmax_t>(end - offset, kCopyPieceBytes));
        mine.resize(piece);
        theirs.resize(piece);
        for (auto [file, buffer] : {std::pair{a, &mine}, std::pair{b, &theirs}}) {
            auto got = readFully(calls, file, *buffer, offset);
            TAVRO_TRY(got);
            if (*got < piece) return shrank(offset + *got, end);
        }
        if (mine != theirs) return false;
        offset += piece;
    }
    return true;
}

// Opens an existing regular file for reading; nullopt when nothing is there.
std::expected<std::optional<OpenFile>, IoFailure> openExisting(SystemCalls& calls, const std::string& path) {
    auto opened = calls.openRead(path);
    if (!opened) {
        if (opened.error().kind == SystemError::Kind::NotFound) return std::nullopt;
        return failure(calls, opened.error().code == kIsAFolder ? core::Step::Read : core::Step::Open, opened.error());
    }
    Handle file{calls, *opened};
    auto status = calls.statHandle(file.get());
    if (!status) return failure(calls, core::Step::Open, status.error());
    if (status->type == EntryStatus::Type::Folder)
        return failure(calls, core::Step::Read, SystemError{.code = kIsAFolder});
    if (status->type != EntryStatus::Type::File) return problem(core::Step::Open, core::Cause::NotRegularFile);
    return std::optional<OpenFile>{OpenFile{calls, file.release(), status->identity}};
}

std::expected<OpenFile, IoFailure> openForReading(SystemCalls& calls, const std::string& path) {
    auto file = openExisting(calls, path);
    TAVRO_TRY(file);
    if (!*file) {
        auto again = calls.openRead(path);  // gone: the system's own words for it
        if (again) calls.close(*again);
        return failure(calls, core::Step::Open, again ? SystemError{} : again.error());
    }
    return std::move(**file);
}

std::string folderOf(const std::string& path) {
    const std::size_t length = folderLength(path);
    return length == 0 ? std::string{"."} : path.substr(0, length);
}

// In a shared sticky folder only what the user or the folder's owner owns
// is used, as the kernel rules for the links it follows itself.
std::expected<void, IoFailure> sharedFolderAllows(SystemCalls& calls, const std::string& path, const EntryStatus& entry,
                                                  core::Cause refusal, core::Step step) {
    if (entry.owner == calls.userId()) return {};
    auto folder = calls.statName(folderOf(path));
    if (!folder) return failure(calls, step, folder.error());
    if (!*folder || !(*folder)->sharedSticky || (*folder)->owner == entry.owner) return {};
    return problem(step, refusal, core::Owner{entry.owner, std::nullopt});
}

// The file a path finally names, following symbolic links (even a dangling
// last one, so that a new file is created where the link points). In a
// shared sticky folder a link, at the name or among the folders on the way,
// is followed only when the user or the folder's owner owns it.
std::expected<std::string, IoFailure> followLinks(SystemCalls& calls, std::string path, core::Step step) {
    const core::Step refusing = step == core::Step::Create ? core::Step::Replace : step;
    // Links among the folders on the way, as the kernel follows them.
    for (std::string folder = path.substr(0, folderLength(path));;) {
        while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
        if (folder.empty() || folderLength(folder) == folder.size()) break;  // no folder, or a root
        auto status = calls.statName(folder);
        if (status && *status && (*status)->type == EntryStatus::Type::Link) {
            TAVRO_TRY(sharedFolderAllows(calls, folder, **status, core::Cause::SharedFolderLink, refusing));
        }
        folder.resize(folderLength(folder));
    }
    for (int depth = 0; depth < 40; ++depth) {
        auto status = calls.statName(path);
        if (!status || !*status || (*status)->type != EntryStatus::Type::Link) return path;
        TAVRO_TRY(sharedFolderAllows(calls, path, **status, core::Cause::SharedFolderLink, refusing));
        auto destination = calls.readLink(path);
        if (!destination) return failure(calls, step, destination.error());
        path = isWholePath(*destination) ? *destination : path.substr(0, folderLength(path)) + *destination;
    }
    return failure(calls, step, SystemError{.reason = "Too many levels of symbolic links"});
}

constexpr std::string_view kTemporaryMark = ".tavro-";
constexpr std::size_t kRandomCharacters = 6;
// "." + name + mark + random characters must fit in 255 bytes (255 UTF-16
// units on Windows, never fewer than the bytes).
constexpr std::size_t kLongestKeptName = 255 - 1 - kTemporaryMark.size() - kRandomCharacters;

// A prefix of `name` of at most `limit` bytes, cut between UTF-8 characters.
std::string cutName(const std::string& name, std::size_t limit) {
    std::size_t i = 0;
    while (i < name.size()) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
        if (i + length > limit) break;
        i += length;
    }
    return name.substr(0, i);
}

// `.NAME.tavro-XXXXXX` beside `path`, with six unpredictable characters; a
// long NAME is cut so that the whole fits the systems' limits.
std::string temporaryName(const std::string& path) {
    static constexpr std::string_view kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    const std::size_t folder = folderLength(path);
    std::string name = path.substr(0, folder) + "." + cutName(path.substr(folder), kLongestKeptName);
    name.append(kTemporaryMark);
    for (std::size_t i = 0; i < kRandomCharacters; ++i) name.push_back(kAlphabet[pick(random)]);
    return name;
}

constexpr std::string_view kLeftoverMark = ".tavro-old";

// A letter's small form (Latin, Greek, Cyrillic), as FAT-family and exFAT
// names are compared; any other character as it is.
char32_t smallLetter(char32_t c) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c + c % 2;
    return c;
}

// `name` with its letters small (ASCII and two-byte UTF-8 letters).
std::string folded(std::string_view name) {
    std::string text;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const bool pair = (byte & 0xE0) == 0xC0 && i + 1 < name.size() && (name[i + 1] & 0xC0) == 0x80;
        if (!pair) {
            text.push_back(static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte));
            continue;
        }
        const char32_t code = smallLetter(((byte & 0x1Fu) << 6) | (static_cast<unsigned char>(name[++i]) & 0x3Fu));
        text.push_back(static_cast<char>(0xC0 | (code >> 6)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    return text;
}

constexpr int kNameAttempts = 100;

// Removes the named temporary file on every early return.
class TemporaryName {
public:
    explicit TemporaryName(SystemCalls& calls) : calls_(calls) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!name_.empty()) calls_.remove(name_);
    }
    void set(std::string name) { name_ = std::move(name); }
    const std::string& get() const { return name_; }
    std::string release() { return std::exchange(name_, {}); }

private:
    SystemCalls& calls_;
    std::string name_;
};

// A Leftover failure when an interrupted replacement left a previous state
// beside `real` (LeftoverOnly when nothing is at `real` itself).
std::expected<void, IoFailure> leftoverAt(SystemCalls& calls, const std::string& real, bool present) {
    const std::string leftover = leftoverName(real);
    auto found = calls.statName(leftover);
    if (!found) return failure(calls, core::Step::Replace, found.error());
    if (!*found) return {};
    return problem(core::Step::Replace, present ? core::Cause::Leftover : core::Cause::LeftoverOnly,
                   core::LeftoverCopy{leftover});
}

// What is at a name about to be replaced, and the file itself, open.
struct Inspection {
    std::string real;                      // the final name, links followed as asked
    std::optional<EntryStatus> existing;   // what is at it
    bool replacesLink = false;             // Links::Replace, and a link is there
    std::optional<OpenFile> opened;        // the file there, opened for the checks
    const OpenFile* held = nullptr;        // or the caller's, when it is that file
    bool replacesFile() const { return existing && !replacesLink; }
    const OpenFile* file() const { return held != nullptr ? held : opened ? &*opened : nullptr; }
};

// checkReplace(), keeping what it found for prepare(). With `ownerCarried`
// the new file's owner comes from elsewhere than the file replaced, which is
// then not asked to keep it.
std::expected<Inspection, IoFailure> inspect(SystemCalls& calls, const std::string& path, Links links,
                                             const OpenFile* held, bool ownerCarried = false) {
    Inspection found;
    found.real = path;
    if (links == Links::Follow) {
        auto followed = followLinks(calls, path, core::Step::Create);
        TAVRO_TRY(followed);
        found.real = std::move(*followed);
    }
    // The temporary name beside it must fit the system's limit on paths.
    if (std::max(temporaryName(found.real).size(), leftoverName(found.real).size()) > kLongestPath)
        return failure(calls, core::Step::Create, SystemError{.code = kNameTooLong});
    // The checks look at what is at the final name itself, never through it.
    auto existing = calls.statName(found.real);
    if (!existing) return failure(calls, core::Step::Create, existing.error());
    found.existing = *existing;
    TAVRO_TRY(leftoverAt(calls, found.real, existing->has_value()));
    if (*existing && (*existing)->mountPoint)  // the system refuses to rename over it
        return failure(calls, core::Step::Replace, SystemError{SystemError::Kind::Busy, kBusy});
    found.replacesLink =
        existing->has_value() && links == Links::Replace && (*existing)->type == EntryStatus::Type::Link;
    if (*existing) {
        TAVRO_TRY(
            sharedFolderAllows(calls, found.real, **existing, core::Cause::SharedFolderEntry, core::Step::Replace));
    }
    if (found.replacesFile()) {
        const EntryStatus& status = **existing;
        if (status.type != EntryStatus::Type::File) return problem(core::Step::Replace, core::Cause::NotRegularFile);
        if (status.links > 1)
            return problem(core::Step::Replace, core::Cause::HardLinks, core::NameCount{status.links});
        if (auto owner = ownerCarried ? SystemResult<void>{} : calls.checkOwner(status.owner, status.group); !owner) {
            auto refused = failure(calls, core::Step::Replace, owner.error());
            refused.error().cause = core::Cause::OwnerNotKept;
            refused.error().facts = core::Owner{status.owner, status.group};
            return refused;
        }
        if (held != nullptr && sameFile(held->identity(), status.identity)) {
            found.held = held;
        } else {
            auto opened = openForReading(calls, found.real);
            TAVRO_TRY(opened);
            if (!sameFile(opened->identity(), status.identity)) return changed();
            found.opened.emplace(std::move(*opened));
        }
        auto flags = calls.inodeFlags(found.file()->handle());
        if (!flags && flags.error().kind != SystemError::Kind::Unsupported)
            return failure(calls, core::Step::Replace, flags.error());
        if (flags && (*flags & kFixedInodeFlags) != 0)
            return problem(core::Step::Replace, core::Cause::FlagsNotKept, core::InodeFlags{*flags & kFixedInodeFlags});
        if (auto writable = calls.checkWritable(found.real); !writable)
            return failure(calls, core::Step::Replace, writable.error());
        if (found.file()->leased()) {  // the caller's lease stands for the check
            TAVRO_TRY(found.file()->checkLease());
        } else {
            auto elsewhere = calls.openElsewhere(found.real, found.file()->handle());
            if (!elsewhere && elsewhere.error().kind != SystemError::Kind::Unsupported)
                return failure(calls, core::Step::Replace, elsewhere.error());
            if (elsewhere && *elsewhere) return problem(core::Step::Replace, core::Cause::OpenElsewhere);
        }
    }
    if (auto folder = calls.checkWritable(folderOf(found.real)); !folder)
        return folderFailure(calls, folderOf(found.real), folder.error());
    return found;
}

// Gives `file` the permission bits `mode` and checks that it shows them (a
// file system may drop set-id bits silently); one that cannot set them is
// refused only when the file lacks them.
std::expected<void, IoFailure> setPermissions(SystemCalls& calls, NativeHandle file, std::uint32_t mode) {
    auto now = calls.statHandle(file);
    if (!now) return failure(calls, core::Step::Replace, now.error());
    const bool already = (now->identity.permissions & kComparedModeBits) == (mode & kComparedModeBits);
    if (auto set = calls.setMode(file, mode); !set && (!already || set.error().kind != SystemError::Kind::Unsupported))
        return failure(calls, core::Step::Create, set.error());
    auto shown = calls.statHandle(file);
    if (!shown) return failure(calls, core::Step::Replace, shown.error());
    if ((shown->identity.permissions & kComparedModeBits) != (mode & kComparedModeBits))
        return problem(core::Step::Replace, core::Cause::ModeNotKept, core::Modes{mode, shown->identity.permissions});
    return {};
}

// Gives `file` the inode flags of `from`, and none it lacks: before any
// byte is written, as some apply only then.
std::expected<void, IoFailure> carryFlags(SystemCalls& calls, NativeHandle file, const OpenFile& from) {
    auto flags = calls.inodeFlags(from.handle());
    if (!flags && flags.error().kind == SystemError::Kind::Unsupported) return {};
    if (!flags) return failure(calls, core::Step::Replace, flags.error());
    if (auto set = calls.setInodeFlags(file, *flags & ~kFixedInodeFlags); !set) {
        auto refused = failure(calls, core::Step::Replace, set.error());
        refused.error().cause = core::Cause::FlagsNotKept;
        refused.error().facts = core::InodeFlags{*flags};
        return refused;
    }
    return {};
}

// Gives `file` the owner, group, extended attributes and permission bits of
// `from` (those with `permissions`, when given), and no attribute `from`
// lacks; once every byte is written, since a write takes set-id bits and
// file capabilities away. Owner first, since changing it clears them too;
// an owner that cannot be set is refused only when the file lacks it (a
// file system that keeps no
// owners has them all alike, and answers ENOSYS). The permission bits are
// looked at afterwards.
std::expected<void, IoFailure> carry(SystemCalls& calls, NativeHandle file, const OpenFile& from,
                                     std::optional<std::uint32_t> permissions) {
    auto status = calls.statHandle(from.handle());
    if (!status) return failure(calls, core::Step::Replace, status.error());
    auto mine = calls.statHandle(file);
    if (!mine) return failure(calls, core::Step::Replace, mine.error());
    if (auto owned = calls.setOwner(file, status->owner, status->group); !owned) {
        const bool alike = mine->owner == status->owner && mine->group == status->group;
        if (!alike || owned.error().kind != SystemError::Kind::Unsupported) {
            auto refused = failure(calls, core::Step::Replace, owned.error());
            refused.error().cause = core::Cause::OwnerNotKept;
            refused.error().facts = core::Owner{status->owner, status->group};
            return refused;
        }
    }
    const auto notKept = [&](const std::string& name, const SystemError& error) {
        auto refused = failure(calls, core::Step::Replace, error);
        refused.error().cause = core::Cause::AttributeNotKept;
        refused.error().facts = core::Attribute{name};
        return refused;
    };
    auto names = calls.listAttributes(from.handle());
    if (!names) return failure(calls, core::Step::Replace, names.error());
    for (const auto& name : *names) {
        auto value = calls.getAttribute(from.handle(), name);
        if (!value) return notKept(name, value.error());
        if (auto set = calls.setAttribute(file, name, *value); !set) return notKept(name, set.error());
    }
    auto inherited = calls.listAttributes(file);
    if (!inherited) return failure(calls, core::Step::Replace, inherited.error());
    for (const auto& name : *inherited) {
        if (std::find(names->begin(), names->end(), name) != names->end()) continue;
        if (auto removed = calls.removeAttribute(file, name); !removed) return notKept(name, removed.error());
    }
    return setPermissions(calls, file, permissions.value_or(status->identity.permissions));
}

// Whether the temporary file holds exactly what was to be written.
std::expected<bool, IoFailure> holdsContent(SystemCalls& calls, NativeHandle file, const NewContent& content,
                                            std::uintmax_t size, std::uintmax_t fileSize) {
    if (fileSize != size) return false;
    std::vector<std::uint8_t> head(content.head.size());
    auto got = readFully(calls, file, head, 0);
    TAVRO_TRY(got);
    if (*got < head.size() || !std::equal(head.begin(), head.end(), content.head.begin())) return false;
    if (content.rest == nullptr || size <= head.size()) return true;
    return sameRange(calls, file, content.rest->handle(), head.size(), size);
}

}  // namespace

OpenFile::OpenFile(OpenFile&& other) noexcept
    : calls_(other.calls_), handle_(std::exchange(other.handle_, kNoHandle)), identity_(other.identity_),
      leased_(std::exchange(other.leased_, false)) {}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
    if (this != &other) {
        if (handle_ != kNoHandle) calls_->close(handle_);
        calls_ = other.calls_;
        handle_ = std::exchange(other.handle_, kNoHandle);
        identity_ = other.identity_;
        leased_ = std::exchange(other.leased_, false);
    }
    return *this;
}

OpenFile::~OpenFile() {
    if (handle_ != kNoHandle) calls_->close(handle_);
}

std::expected<std::vector<std::uint8_t>, IoFailure> OpenFile::readHead(std::size_t limit) const {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uintmax_t>(limit, identity_.size)));
    auto got = readFully(*calls_, handle_, bytes, 0);
    TAVRO_TRY(got);
    if (*got < bytes.size()) return shrank(*got, identity_.size);
    return bytes;
}

std::expected<bool, IoFailure> OpenFile::sameBytes(const OpenFile& other, std::uintmax_t offset,
                                                   std::uintmax_t end) const {
    return sameRange(*calls_, handle_, other.handle_, offset, end);
}

std::expected<void, IoFailure> OpenFile::holdLease() {
    if (leased_) return {};
    auto held = calls_->holdLease(handle_);
    if (!held && held.error().kind == SystemError::Kind::Unsupported) return {};
    if (!held) return failure(*calls_, core::Step::Replace, held.error());
    if (!*held) return problem(core::Step::Replace, core::Cause::OpenElsewhere);
    leased_ = true;
    return {};
}

std::expected<void, IoFailure> OpenFile::checkLease() const {
    if (!leased_) return {};
    auto held = calls_->leaseHeld(handle_);
    if (held && *held) return {};
    calls_->releaseLease(handle_);  // whoever opened it need not wait for the break to time out
    if (!held) return failure(*calls_, core::Step::Replace, held.error());
    return problem(core::Step::Replace, core::Cause::OpenElsewhere);
}

std::expected<std::optional<OpenFile>, IoFailure> openIfExists(const std::string& path, SystemCalls& calls) {
    return openExisting(calls, path);
}

bool isSocket(const std::string& path, SystemCalls& calls) {
    auto real = followLinks(calls, path, core::Step::Open);
    if (!real) return false;
    auto status = calls.statName(*real);
    return status && *status && (*status)->type == EntryStatus::Type::Socket;
}

std::expected<FilePrefix, IoFailure> readPrefix(const std::string& path, std::size_t limit, SystemCalls& calls) {
    auto file = openForReading(calls, path);
    TAVRO_TRY(file);
    auto bytes = file->readHead(limit);
    TAVRO_TRY(bytes);
    return FilePrefix{std::move(*bytes), file->identity().size};
}

PreparedFile::PreparedFile(PreparedFile&& other) noexcept
    : calls_(other.calls_), temporary_(std::exchange(other.temporary_, {})),
      destination_(std::move(other.destination_)), expected_(other.expected_), replacesFile_(other.replacesFile_),
      written_(other.written_), ownRules_(other.ownRules_) {}

PreparedFile::~PreparedFile() {
    if (!temporary_.empty()) calls_->remove(temporary_);
}

std::expected<void, IoFailure> checkReplace(const std::string& path, Links links, const OpenFile* held,
                                            SystemCalls& calls) {
    auto found = inspect(calls, path, links, held);
    TAVRO_TRY(found);
    return {};
}

std::string leftoverName(const std::string& path) {
    const std::size_t folder = folderLength(path);
    return path.substr(0, folder) + cutName(path.substr(folder), 255 - kLeftoverMark.size()) +
           std::string(kLeftoverMark);
}

std::expected<void, IoFailure> checkLeftover(const std::string& path, Links links, SystemCalls& calls) {
    std::string real = path;
    if (links == Links::Follow) {
        auto followed = followLinks(calls, path, core::Step::Open);
        TAVRO_TRY(followed);
        real = std::move(*followed);
    }
    auto present = calls.statName(real);
    if (!present) return failure(calls, core::Step::Open, present.error());
    return leftoverAt(calls, real, present->has_value());
}

std::expected<bool, IoFailure> sameName(const std::string& a, const std::string& b, SystemCalls& calls) {
    auto first = followLinks(calls, a, core::Step::Open);
    TAVRO_TRY(first);
    auto second = followLinks(calls, b, core::Step::Open);
    TAVRO_TRY(second);
    const std::string folderA = folderOf(*first), folderB = folderOf(*second);
    const std::string nameA = first->substr(folderLength(*first)), nameB = second->substr(folderLength(*second));
    bool folds = false;
    if (nameA != nameB || folderA != folderB) {
        auto kind = calls.fileSystem(folderA);
        if (!kind) return failure(calls, core::Step::Open, kind.error());
        folds = kind->foldsCase;
    }
    if (nameA != nameB && (!folds || folded(nameA) != folded(nameB))) return false;
    if (folderA == folderB || (folds && folded(folderA) == folded(folderB))) return true;
    auto here = calls.statName(folderA);
    auto there = calls.statName(folderB);
    if (!here || !there) return failure(calls, core::Step::Open, here ? there.error() : here.error());
    return *here && *there && sameFile((*here)->identity, (*there)->identity);
}

namespace {

// A temporary file in `folder`, open for writing: an unnamed one where the
// file system has them (`name` empty), else one created exclusively under an
// unpredictable name beside `real`.
struct CreatedTemporary {
    NativeHandle handle;
    std::string name;
};

std::expected<CreatedTemporary, IoFailure> createTemporary(SystemCalls& calls, const std::string& folder,
                                                           const std::string& real, std::uint32_t mode) {
    auto created = calls.createTemporary(folder, {}, mode);
    if (created) return CreatedTemporary{*created, {}};
    if (created.error().kind != SystemError::Kind::Unsupported) return folderFailure(calls, folder, created.error());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = temporaryName(real);
        created = calls.createTemporary(folder, name, mode);
        if (created) return CreatedTemporary{*created, std::move(name)};
        if (created.error().kind != SystemError::Kind::Exists) break;
    }
    return folderFailure(calls, folder, created.error());
}

// Writes the content into the new file, gives it what `carrier` carries (or
// the permissions asked for) after the last write, and flushes it. Returns
// the size written.
std::expected<std::uintmax_t, IoFailure> fill(SystemCalls& calls, NativeHandle file, const OpenFile* carrier,
                                              const NewContent& content) {
    if (carrier != nullptr) { TAVRO_TRY(carryFlags(calls, file, *carrier)); }
    const std::uintmax_t size = std::max<std::uintmax_t>(content.size, content.head.size());
    TAVRO_TRY(writeFully(calls, file, content.head));
    if (size > content.head.size()) {
        // A file system that cannot lengthen a file (fusefat) gets every byte written.
        auto sized = calls.setSize(file, size);
        if (!sized && sized.error().kind != SystemError::Kind::Unsupported)
            return failure(calls, core::Step::Write, sized.error());
        if (content.rest != nullptr) {
            TAVRO_TRY(copyRange(calls, content.rest->handle(), file, content.head.size(), size, !sized));
        } else if (!sized) {
            const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(size - content.head.size()));
            TAVRO_TRY(writeFully(calls, file, zeros));
        }
    }
    if (carrier != nullptr) {
        TAVRO_TRY(carry(calls, file, *carrier, content.permissions));
    } else if (content.permissions) {
        TAVRO_TRY(setPermissions(calls, file, *content.permissions));
    }
    if (auto flushed = calls.flush(file); !flushed) return failure(calls, core::Step::Flush, flushed.error());
    return size;
}

// Reads the new file back before it may take the name: a write that lied
// stops here, and so does a copy of bytes another program changed meanwhile.
// Returns the new file's identity.
std::expected<FileIdentity, IoFailure> checkWritten(SystemCalls& calls, NativeHandle file, const NewContent& content,
                                                    std::uintmax_t size) {
    if (content.rest != nullptr) {
        auto current = calls.statHandle(content.rest->handle());
        if (!current) return failure(calls, core::Step::Read, current.error());
        if (current->identity != content.rest->identity()) return changed();
    }
    auto written = calls.statHandle(file);
    if (!written) return failure(calls, core::Step::Write, written.error());
    auto holds = holdsContent(calls, file, content, size, written->identity.size);
    TAVRO_TRY(holds);
    if (!*holds) return problem(core::Step::Write, core::Cause::OtherBytes);
    return written->identity;
}

// Gives an unnamed temporary file a name beside `real`; returns the name.
std::expected<std::string, IoFailure> nameTemporary(SystemCalls& calls, NativeHandle file, const std::string& real) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = temporaryName(real);
        auto named = calls.nameTemporary(file, name);
        if (named) return name;
        if (named.error().kind != SystemError::Kind::Exists) return failure(calls, core::Step::Replace, named.error());
    }
    return failure(calls, core::Step::Replace, SystemError{SystemError::Kind::Exists});
}

}  // namespace

namespace {

// Whether `file` still holds what was read of it, the lease (if any) unbroken.
std::expected<void, IoFailure> stillAsRead(SystemCalls& calls, const Expectation& expected) {
    if (expected.file == nullptr) return {};
    const OpenFile& file = *expected.file;
    auto now = calls.statHandle(file.handle());
    if (!now) return failure(calls, core::Step::Replace, now.error());
    if (now->identity != expected.identity) return changed();
    if (!expected.head.empty()) {
        auto head = file.readHead(expected.head.size());
        TAVRO_TRY(head);
        if (!std::equal(head->begin(), head->end(), expected.head.begin(), expected.head.end())) return changed();
    }
    return file.checkLease();
}

// A copy of the file at `destination` (read through `held`, when it is that
// file), complete and flushed, named `leftoverName(destination)` at once.
std::expected<void, IoFailure> keepAside(SystemCalls& calls, const std::string& destination, const OpenFile* held) {
    std::optional<OpenFile> opened;
    if (held == nullptr) {
        auto file = openForReading(calls, destination);
        TAVRO_TRY(file);
        held = &opened.emplace(std::move(*file));
    }
    const std::string folder = folderOf(destination), aside = leftoverName(destination);
    auto created = createTemporary(calls, folder, destination, 0600);
    TAVRO_TRY(created);
    TemporaryName temporary{calls};
    temporary.set(std::move(created->name));
    Handle file{calls, created->handle};
    const NewContent copy{{}, held, held->identity().size, std::nullopt};
    auto size = fill(calls, file.get(), nullptr, copy);
    TAVRO_TRY(size);
    TAVRO_TRY(checkWritten(calls, file.get(), copy, *size));
    // An unnamed file is named while open; a named one once closed (Windows
    // renames no file open without sharing its deletion).
    if (temporary.get().empty()) {
        if (auto named = calls.nameTemporary(file.get(), aside); !named)
            return failure(calls, core::Step::Replace, named.error());
    }
    if (auto closed = file.close(); !closed) return failure(calls, core::Step::Flush, closed.error());
    if (!temporary.get().empty()) {
        if (auto named = calls.rename(temporary.get(), aside, false); !named)
            return failure(calls, core::Step::Replace, named.error());
        temporary.release();
    }
    calls.syncFolder(folder);
    return {};
}

// Where a rename over a name is not one step, a copy of the file at
// `destination` is kept at its leftover name first, each step made durable
// before the next, then `temporary` takes the name and the copy goes: at
// every moment a whole file is at `destination` or at its leftover name.
std::expected<void, IoFailure> renameAside(SystemCalls& calls, const std::string& temporary,
                                           const std::string& destination, bool ownRules, const OpenFile* held) {
    const std::string folder = folderOf(destination), aside = leftoverName(destination);
    TAVRO_TRY(leftoverAt(calls, destination, true));
    TAVRO_TRY(keepAside(calls, destination, held));
    if (auto renamed = calls.rename(temporary, destination, ownRules); !renamed) {
        auto refused = failure(calls, core::Step::Replace, renamed.error());
        auto still = calls.statName(destination);
        if (still && *still) calls.remove(aside);  // the destination as it was: the copy is of no use
        else refused.error().keptIn = aside;
        calls.syncFolder(folder);
        return refused;
    }
    calls.syncFolder(folder);
    calls.remove(aside);  // one that stays is named by the next run
    return {};
}

}  // namespace

std::expected<void, IoFailure> PreparedFile::commit() {
    TAVRO_TRY(stillAsRead(*calls_, expected_));
    auto status = calls_->statName(destination_);
    if (!status) return failure(*calls_, core::Step::Replace, status.error());
    const bool present = status->has_value();
    if (expected_.kind == Expectation::Kind::Absent && present) return changed();
    if (expected_.kind == Expectation::Kind::Same && (!present || (*status)->identity != expected_.identity))
        return changed();
    auto kind = calls_->fileSystem(folderOf(destination_));
    if (present && (!kind || !kind->replacesInOneStep)) {  // unknown: as if not
        TAVRO_TRY(renameAside(*calls_, temporary_, destination_, ownRules_, expected_.file));
    } else if (auto renamed = present ? calls_->rename(temporary_, destination_, ownRules_)
                                      : calls_->renameNew(temporary_, destination_);
               !renamed) {
        if (!present && renamed.error().kind == SystemError::Kind::Exists) return changed();
        return failure(*calls_, core::Step::Replace, renamed.error());
    }
    temporary_.clear();
    calls_->syncFolder(folderOf(destination_));
    // Another file at the name after the rename is another program's, and
    // stays. A name that cannot be looked at is for the caller's read-back.
    auto after = calls_->statName(destination_);
    if (after && (!*after || !sameFile((*after)->identity, written_))) return changed();
    return {};
}

std::expected<PreparedFile, IoFailure> prepare(const std::string& path, const NewContent& content, Expectation expected,
                                               Links links, SystemCalls& calls) {
    auto found = inspect(calls, path, links, content.rest, content.carryFrom != nullptr);
    TAVRO_TRY(found);
    if (expected.kind == Expectation::Kind::AsFound) {
        expected = found->existing ? Expectation{Expectation::Kind::Same, found->existing->identity}
                                   : Expectation{Expectation::Kind::Absent, {}};
    }
    const OpenFile* carrier = content.carryFrom != nullptr ? content.carryFrom : found->file();
    const bool fresh = carrier == nullptr && !content.permissions;  // gets what creation gives

    auto created = createTemporary(calls, folderOf(found->real), found->real, fresh ? 0666 : 0600);
    TAVRO_TRY(created);
    TemporaryName temporary{calls};  // removed after the file is closed
    temporary.set(std::move(created->name));
    Handle file{calls, created->handle};

    auto size = fill(calls, file.get(), carrier, content);
    TAVRO_TRY(size);
    auto written = checkWritten(calls, file.get(), content, *size);
    TAVRO_TRY(written);
    if (temporary.get().empty()) {
        auto named = nameTemporary(calls, file.get(), found->real);
        TAVRO_TRY(named);
        temporary.set(std::move(*named));
    }
    if (auto closed = file.close(); !closed) return failure(calls, core::Step::Flush, closed.error());
    return PreparedFile{calls,    temporary.release(),         found->real, expected, found->existing.has_value(),
                        *written, content.carryFrom != nullptr};
}

std::expected<void, IoFailure> replace(const std::string& path, std::span<const std::uint8_t> bytes,
                                       SystemCalls& calls) {
    auto prepared = prepare(path, NewContent{bytes, nullptr, bytes.size(), std::nullopt}, {}, Links::Follow, calls);
    TAVRO_TRY(prepared);
    return prepared->commit();
}

std::expected<std::string, IoFailure> freeName(const std::string& path, std::span<const std::string> others,
                                               SystemCalls& calls) {
    for (int number = 1; number <= kMaxNumberedNames; ++number) {
        std::string name = number == 1 ? path : path + "." + std::to_string(number);
        auto status = calls.statName(name);
        if (!status) return failure(calls, core::Step::Create, status.error());
        if (*status) continue;
        bool another = false;
        for (const std::string& other : others) {
            auto same = sameName(name, other, calls);
            TAVRO_TRY(same);
            another = another || *same;
        }
        if (!another) return name;
    }
    return std::unexpected(IoFailure{core::Step::Replace, "it and every numbered name up to ." +
                                                              std::to_string(kMaxNumberedNames) + " are taken"});
}

std::expected<void, IoFailure> remove(const std::string& path, const FileIdentity& expected, SystemCalls& calls) {
    auto real = followLinks(calls, path, core::Step::Remove);
    TAVRO_TRY(real);
    auto removed = calls.removeIfSame(*real, expected);
    if (!removed) return failure(calls, core::Step::Remove, removed.error());
    if (!*removed) return changed();
    calls.syncFolder(folderOf(*real));
    return {};
}

}  // namespace tavro::files
