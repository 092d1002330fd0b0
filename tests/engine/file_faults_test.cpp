// Every primitive of a run made to fail in turn, on every system: the run
// must say what failed; the target must hold its old bytes, or, only when the
// error says the target was replaced, the complete new ones; the older backup
// at TARGET.bak stays as it is, and the new one (TARGET.bak.2) appears only
// whole. Then what file access refuses before writing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <string_view>
#include <tuple>
#include <utility>

#include <tavro/run/conversion_run.h>
#include <tavro/files/file_error.h>
#include <tavro/files/file_access.h>
#include "sample_pair.h"
#include "system_calls.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/fs.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace tavro {
namespace {

using namespace tavro::test;
using files::EntryStatus;
using files::FileIdentity;
using files::NativeHandle;
using files::SystemError;
using files::SystemResult;

enum class Call {
    OpenRead,
    StatHandle,
    StatName,
    CheckWritable,
    ReadAt,
    Write,
    CopyRange,
    Seek,
    SetSize,
    Flush,
    Close,
    CreateTemporary,
    NameTemporary,
    Rename,
    SetOwner,
    SetMode,
    ListAttributes,
    SetAttribute,
    InodeFlags,
    OpenElsewhere,
    SetInodeFlags
};

// Error numbers that stand for no error: the call seems to work but does not.
constexpr int kShort = 0;      // ReadAt: half, then the file seems to end; Write: nothing written
constexpr int kLie = -1;       // CopyRange, Write: claims every byte, writes none
constexpr int kCannot = -2;    // the system cannot do it here (Unsupported)
constexpr int kDrops = -3;     // SetMode: works, but the set-id bits are dropped

// The real calls, each one forwarded, except that occurrence `failAt`
// (1-based) of call `failing` fails with `error` (or one of the above).
// `before` sees every call first (with its path, if any) and may act, or
// fail it by returning an error number; `look` may change what statName reports.
class FailingCalls : public files::SystemCalls {
public:
    files::SystemCalls& real = files::systemCalls();
    FailingCalls() = default;
    FailingCalls(Call failing, int failAt, int error) : failing_(failing), failAt_(failAt), error_(error) {}
    std::function<int(Call, const std::string* path)> before;
    std::function<void(const std::string& path, EntryStatus&)> look;
    std::optional<std::uint32_t> user;  // the user the run acts as, in place of the real one

    std::map<Call, int> counts;
    bool fired = false;
    std::set<files::NativeHandle> handles;  // opened and not closed
    std::size_t readPiece = SIZE_MAX;  // the most one read returns, as on file systems that read in pieces
    // A card (FAT family, exFAT through FUSE): a rename over a name removes it first, names ignore case, times
    // are kept to 2 seconds, no lease. The process ends at change `crashAt` to a file or folder (a card pulled).
    bool card = false;
    int crashAt = 0, changes = 0;

    SystemResult<files::NativeHandle> openRead(const std::string& p) override { return opened(hit(Call::OpenRead, &p) ? fail() : real.openRead(p)); }
    SystemResult<EntryStatus> statHandle(files::NativeHandle f) override { return hit(Call::StatHandle) ? fail() : coarse(real.statHandle(f)); }
    SystemResult<std::optional<EntryStatus>> statName(const std::string& p) override {
        if (hit(Call::StatName, &p)) return fail();
        auto status = real.statName(p);
        if (look && status && *status) look(p, **status);
        if (status && *status) **status = *coarse(**status);
        return status;
    }
    SystemResult<files::FileSystemKind> fileSystem(const std::string& f) override { return card ? files::FileSystemKind{false, true} : real.fileSystem(f); }
    SystemResult<bool> holdLease(files::NativeHandle f) override { return card ? std::unexpected(SystemError{SystemError::Kind::Unsupported, EINVAL}) : real.holdLease(f); }
    SystemResult<void> remove(const std::string& p) override { return change(), real.remove(p); }
    SystemResult<void> checkWritable(const std::string& p) override { return hit(Call::CheckWritable, &p) ? fail() : real.checkWritable(p); }
    SystemResult<std::size_t> readAt(files::NativeHandle f, std::span<std::uint8_t> b, std::uint64_t offset) override {
        if (f == shortRead_) return 0;  // the file seems to end after a short read
        if (!hit(Call::ReadAt)) return real.readAt(f, b.first(std::min(b.size(), readPiece)), offset);
        if (error_ != kShort) return fail();
        shortRead_ = f;
        return real.readAt(f, b.first(b.size() / 2), offset);
    }
    SystemResult<std::size_t> write(files::NativeHandle f, std::span<const std::uint8_t> b) override {
        change();
        if (!hit(Call::Write)) return stripSetId(f), real.write(f, b);
        if (error_ == kShort) return 0;
        if (error_ == kLie) return b.size();
        return fail();
    }
    SystemResult<std::size_t> copyRange(files::NativeHandle from, files::NativeHandle to, std::uint64_t offset, std::size_t size) override {
        change();
        if (!hit(Call::CopyRange)) return stripSetId(to), real.copyRange(from, to, offset, size);
        if (error_ == kLie) return size;
        return fail();
    }
    SystemResult<void> seek(files::NativeHandle f, std::uint64_t offset) override { return hit(Call::Seek) ? fail() : real.seek(f, offset); }
    SystemResult<void> setSize(files::NativeHandle f, std::uint64_t size) override { return hit(Call::SetSize) ? fail() : real.setSize(f, size); }
    SystemResult<void> flush(files::NativeHandle f) override { return hit(Call::Flush) ? fail() : real.flush(f); }
    SystemResult<void> close(files::NativeHandle f) override {
        if (f == shortRead_) shortRead_ = -1;
        EXPECT_EQ(handles.erase(f), 1u) << "closes a handle that is not open";
        auto result = real.close(f);  // the handle is gone even when close fails
        return hit(Call::Close) ? fail() : result;
    }
    SystemResult<files::NativeHandle> createTemporary(const std::string& folder, const std::string& name, std::uint32_t mode) override {
        change();
        return opened(hit(Call::CreateTemporary, name.empty() ? &folder : &name) ? fail() : real.createTemporary(folder, name, mode));
    }
    SystemResult<void> nameTemporary(files::NativeHandle f, const std::string& p) override { return hit(Call::NameTemporary, &p) ? fail() : real.nameTemporary(f, p); }
    SystemResult<void> rename(const std::string& from, const std::string& to, bool own) override {
        if (hit(Call::Rename)) return fail();
        change();
#ifndef _WIN32  // Windows will not reuse the name of a file still open
        if (card && std::filesystem::exists(utf8Path(to))) real.remove(to), change();  // the driver's two steps
#endif
        return real.rename(from, to, own);
    }
    SystemResult<void> renameNew(const std::string& from, const std::string& to) override { return hit(Call::Rename, &to) ? fail() : (change(), real.renameNew(from, to)); }
    SystemResult<void> setOwner(files::NativeHandle f, std::uint32_t u, std::uint32_t g) override { return hit(Call::SetOwner) ? fail() : real.setOwner(f, u, g); }
    SystemResult<void> setMode(files::NativeHandle f, std::uint32_t mode) override {
        if (!hit(Call::SetMode)) return real.setMode(f, mode);
        return errno_ == kDrops ? real.setMode(f, mode & ~06000u) : fail();
    }
    SystemResult<std::vector<std::string>> listAttributes(files::NativeHandle f) override { return hit(Call::ListAttributes) ? fail() : real.listAttributes(f); }
    SystemResult<void> setAttribute(files::NativeHandle f, const std::string& n, std::span<const std::uint8_t> v) override {
        return hit(Call::SetAttribute, &n) ? fail() : real.setAttribute(f, n, v);
    }
    SystemResult<std::uint32_t> inodeFlags(files::NativeHandle f) override { return hit(Call::InodeFlags) ? fail() : real.inodeFlags(f); }
    SystemResult<void> setInodeFlags(files::NativeHandle f, std::uint32_t flags) override { return hit(Call::SetInodeFlags) ? fail() : real.setInodeFlags(f, flags); }
    SystemResult<bool> openElsewhere(const std::string& p, files::NativeHandle f) override { return hit(Call::OpenElsewhere) ? fail() : real.openElsewhere(p, f); }
    std::uint32_t userId() override { return user.value_or(real.userId()); }
    SystemResult<std::string> readLink(const std::string& p) override { return real.readLink(p); }
    SystemResult<std::uint64_t> nextData(files::NativeHandle f, std::uint64_t offset, bool hole) override { return real.nextData(f, offset, hole); }
    SystemResult<bool> removeIfSame(const std::string& p, const FileIdentity& expected) override { return real.removeIfSame(p, expected); }
    SystemResult<void> syncFolder(const std::string& f) override { return real.syncFolder(f); }
    SystemResult<std::vector<std::uint8_t>> getAttribute(files::NativeHandle f, const std::string& n) override { return real.getAttribute(f, n); }
    SystemResult<void> removeAttribute(files::NativeHandle f, const std::string& n) override { return real.removeAttribute(f, n); }
    SystemResult<bool> leaseHeld(files::NativeHandle f) override { return real.leaseHeld(f); }
    void releaseLease(files::NativeHandle f) override { real.releaseLease(f); }
    SystemResult<void> checkOwner(std::uint32_t u, std::uint32_t g) override { return real.checkOwner(u, g); }
    std::string reason(int code) override { return real.reason(code); }

private:
    bool hit(Call call, const std::string* path = nullptr) {
        errno_ = before ? before(call, path) : 0;
        if (errno_ != 0) return true;
        errno_ = error_;
        const bool failing = ++counts[call] == failAt_ && call == failing_;
        fired = fired || failing;
        return failing;
    }
    void change() {
        if (crashAt != 0 && ++changes == crashAt) std::_Exit(0);
    }
    SystemResult<EntryStatus> coarse(SystemResult<EntryStatus> status) const {  // a card keeps times to 2 seconds
        if (files::FileIdentity* id = card && status ? &status->identity : nullptr)
            id->modifiedSeconds &= ~std::int64_t{1}, id->changedSeconds &= ~std::int64_t{1}, id->modifiedNanoseconds = id->changedNanoseconds = 0;
        return status;
    }
    void stripSetId(files::NativeHandle f) {  // as the kernel does for a user's writes
        if (auto status = real.statHandle(f)) real.setMode(f, status->identity.permissions & ~06000u);
    }
    std::unexpected<SystemError> fail() const {
        if (errno_ == kCannot) return std::unexpected(SystemError{SystemError::Kind::Unsupported, EXDEV});
        return std::unexpected(SystemError{SystemError::Kind::Other, errno_});
    }
    SystemResult<files::NativeHandle> opened(SystemResult<files::NativeHandle> handle) {
        if (handle) handles.insert(*handle);
        return handle;
    }

    Call failing_ = Call::OpenRead;
    int failAt_ = 0;
    int error_ = 0, errno_ = 0;
    files::NativeHandle shortRead_ = -1;
};

class FileFaults : public test::SamplePair {
protected:
    const std::string older = target + ".bak", backup = target + ".bak.2";
    const core::Bytes olderBackup{1, 2, 3};
    // Each case starts afresh: the folder emptied (its default ACL too) and the pair and older backup written anew.
    void reset() const {
        for (const auto& name : folder.names()) std::filesystem::remove_all(utf8Path(folder.file(name)));
#ifndef _WIN32
        ::removexattr(folder.path().c_str(), "system.posix_acl_default");
#endif
        writeBytes(source, sourceBytes), restoreTarget(), writeBytes(older, olderBackup);
    }

    // Runs with a backup and one failing call and checks the promise; says whether the run failed.
    bool runFailing(Call call, int occurrence, int error) {
        reset();
        FailingCalls calls(call, occurrence, error);
        const auto result = run::runConversion(source, target, {.backup = true}, calls);
        EXPECT_TRUE(calls.fired);
        EXPECT_EQ(readBytes(source), sourceBytes);
        const std::string said = result ? "success" : result.error().path + " " + std::to_string(int(result.error().cause));
        const bool replaced = result || result.error().undo;
        EXPECT_EQ(readBytes(target), replaced ? converted : targetBytes) << said;
        const bool backedUp = result || result.error().keptIn == backup;
        EXPECT_EQ(readBytes(older), olderBackup) << said;
        EXPECT_EQ(std::filesystem::exists(backup) ? readBytes(backup) : core::Bytes{1}, backedUp ? targetBytes : core::Bytes{1}) << said;
        EXPECT_TRUE(result || result.error().cause != core::Cause::System || !result.error().reason.empty()) << said;
        if (!result && result.error().file == core::FileRole::Backup && replaced) {  // the old bytes wait in the temporary file
            const auto kept = temporaryFiles(folder.path());
            EXPECT_EQ(kept.size(), 1u);
            for (const auto& path : kept) {
                EXPECT_TRUE(result.error().keptIn == utf8(path) && readBytes(utf8(path)) == targetBytes) << said;
                std::filesystem::remove(path);
            }
        }
        std::vector<std::string> names{"one.state", "two.state", "two.state.bak"};
        if (backedUp) names.push_back("two.state.bak.2");
        EXPECT_EQ(folder.names(), names) << "left a file behind: " << said;
        EXPECT_TRUE(calls.handles.empty()) << "handles leaked: " << said;
        return !result;
    }
};

TEST_F(FileFaults, EveryCallFailingInTurnKeepsThePromise) {
    reset();
    FailingCalls counting;
    ASSERT_TRUE(run::runConversion(source, target, {.backup = true}, counting));
    // Reads in pieces; a kernel that cannot copy between the files nor tell inode flags; a card without unnamed files: the same bytes.
    for (const auto& arrange : std::vector<std::function<void(FailingCalls&)>>{
             [](FailingCalls& calls) { calls.readPiece = 5000; },
             [](FailingCalls& calls) { calls.before = [](Call call, auto) { return call == Call::CopyRange || call == Call::InodeFlags ? kCannot : 0; }; },
             [](FailingCalls& calls) {
                 calls.card = true, calls.before = [](Call call, auto path) { return call == Call::CreateTemporary && !path->contains(".tavro-") ? kCannot : 0; };
             }}) {
        reset();
        FailingCalls calls;
        arrange(calls);
        ASSERT_TRUE(run::runConversion(source, target, {.backup = true}, calls));
        EXPECT_EQ(std::tuple(readBytes(target), readBytes(backup), temporaryFiles(folder.path()).size(), calls.handles.size()), std::tuple(converted, targetBytes, 0u, 0u));
    }

    int injected = 0, failedRuns = 0;
    for (const auto& [call, count] : counting.counts)
        for (int occurrence = 1; occurrence <= count; ++occurrence)
            for (const int error : call == Call::ReadAt || call == Call::Write ? std::vector{EIO, kShort} : std::vector{EIO}) {
                SCOPED_TRACE(::testing::Message() << "call " << int(call) << " #" << occurrence << " error " << error);
                ++injected, failedRuns += runFailing(call, occurrence, error);
            }
    EXPECT_GT(injected, 40);
    EXPECT_GT(failedRuns, 30);
}

// Which call fails: which file, step and words the error names.
TEST_F(FileFaults, EachStepIsNamed) {
    using enum core::FileRole;
    using enum core::Step;
    using enum core::Cause;
    struct Case {
        Call call;
        int occurrence = 1, error;
        core::FileRole role = Target;
        core::Step step;
        core::Cause cause = System;
    };
    for (const auto& c : std::vector<Case>{{.call = Call::OpenRead, .error = EACCES, .role = Source, .step = Open},
                                           {.call = Call::ReadAt, .error = EIO, .role = Source, .step = Read},
                                           {.call = Call::ReadAt, .error = kShort, .role = Source, .step = Read, .cause = EndedEarly},
                                           {.call = Call::OpenRead, .occurrence = 2, .error = EACCES, .step = Open},
                                           {.call = Call::CheckWritable, .error = EACCES, .step = Replace},
                                           {.call = Call::CheckWritable, .occurrence = 2, .error = EROFS, .step = Create},  // its folder
                                           {.call = Call::CreateTemporary, .error = ENOSPC, .step = Create},
                                           {.call = Call::SetOwner, .error = EPERM, .step = Replace, .cause = OwnerNotKept},
                                           {.call = Call::Write, .error = ENOSPC, .step = Write},
                                           {.call = Call::Write, .error = kShort, .step = Write, .cause = WroteNothing},
                                           {.call = Call::Write, .error = kLie, .step = Write, .cause = OtherBytes},  // read back before the rename
                                           {.call = Call::CopyRange, .error = EIO, .step = Write},  // the bytes after the regions
                                           {.call = Call::CopyRange, .error = kLie, .step = Write, .cause = OtherBytes},
                                           {.call = Call::Flush, .error = EIO, .step = Flush},
                                           {.call = Call::Close, .occurrence = 2, .error = EIO, .step = Flush},  // the temporary file
                                           {.call = Call::Rename, .error = EXDEV, .step = Replace},
#ifndef _WIN32
                                           {.call = Call::Rename, .error = EBUSY, .step = Replace, .cause = MountPoint},  // a bind-mounted file
#endif
                                           {.call = Call::OpenRead, .occurrence = 3, .error = EIO, .role = Source, .step = Open},  // the source, just before the rename
                                           {.call = Call::OpenRead, .occurrence = 4, .error = EIO, .step = Verify}}) {  // the read-back
        SCOPED_TRACE(::testing::Message() << "call " << int(c.call) << " #" << c.occurrence);
        restoreTarget();
        FailingCalls calls(c.call, c.occurrence, c.error);
        const auto result = run::runConversion(source, target, {}, calls);
        ASSERT_FALSE(result);
        const core::EngineError& e = result.error();
        const int code = c.cause == System || c.cause == OwnerNotKept || c.cause == MountPoint ? c.error : 0;
        EXPECT_EQ(std::tuple(e.file, e.step, e.path, e.cause, e.code), std::tuple(c.role, c.step, c.role == Source ? source : target, c.cause, code));
        ASSERT_EQ(e.undo != nullptr, c.step == Verify);  // the target holds the converted level: undoable
        EXPECT_EQ(readBytes(target), c.step == Verify ? converted : targetBytes);
        if (c.step != Verify) continue;
        EXPECT_EQ(run::undoConversion(*result.error().undo)->outcome, run::UndoOutcome::Restored);
        EXPECT_EQ(readBytes(target), targetBytes);
    }
}

// What is refused before anything is written, with the role and cause named:
// in a shared sticky folder another user's target or link on the way (the
// folder's owner's are used; another user's older backup is left alone), and
// a target another program holds open. Owners and the folder's kind are as
// `look` shows them.
TEST_F(FileFaults, RefusedBeforeAnythingIsWritten) {
    constexpr std::uint32_t kUser = 1000, kFolderOwner = 4343, kOther = 4242;
    std::optional<std::ifstream> holder;
    using enum core::FileRole;
    using enum core::Cause;
    struct Case {
        std::string what;
        std::map<std::string, std::uint32_t> owners{};
        bool held = false;
        std::optional<std::pair<core::FileRole, core::Cause>> refused{};
    };
    const std::string real = folder.file("real.state");
    for (const auto& c : std::vector<Case>{{.what = "another user's target", .owners = {{target, kOther}}, .refused = std::pair{Target, SharedFolderEntry}},
                                           {.what = "another user's older backup", .owners = {{older, kOther}}},
                                           {.what = "the folder owner's target and backup", .owners = {{target, kFolderOwner}, {older, kFolderOwner}}},
#ifndef _WIN32
                                           {.what = "another user's link", .owners = {{target, kOther}, {real, kUser}}, .refused = std::pair{Target, SharedFolderLink}},
                                           {.what = "the folder owner's link", .owners = {{target, kFolderOwner}, {real, kUser}}},
#endif
                                           {.what = "a target held open", .held = true, .refused = std::pair{Target, OpenElsewhere}}}) {
        SCOPED_TRACE(c.what);
        reset();
        if (c.owners.contains(real)) {
            std::filesystem::rename(target, real);
            std::filesystem::create_symlink("real.state", target);
        }
        FailingCalls calls;
        calls.user = kUser;
        const std::string here = folder.path().string();
        calls.look = [&](const std::string& path, EntryStatus& status) {
            const bool isFolder = path.starts_with(here) && path.find_first_not_of("/\\.", here.size()) == std::string::npos;
            status.sharedSticky = isFolder;
            status.owner = isFolder ? kFolderOwner : c.owners.contains(path) ? c.owners.at(path) : kUser;
        };
        if (c.held) holder.emplace(utf8Path(target), std::ios::binary);
        // The dry run's check says the same of the target, creating nothing.
        const auto checked = files::checkReplace(target, files::Links::Follow, nullptr, calls);
        EXPECT_EQ(checked ? core::Cause::System : files::fileError(core::Operation::Convert, core::FileRole::Target, target, checked.error()).cause,
                  c.refused && c.refused->first == core::FileRole::Target ? c.refused->second : core::Cause::System);
        EXPECT_EQ(folder.names().size(), c.owners.contains(real) ? 4u : 3u);
        const auto result = run::runConversion(source, target, {.backup = true}, calls);
        holder.reset();
        using Refusal = std::optional<std::pair<core::FileRole, core::Cause>>;
        const Refusal said = result ? Refusal{} : Refusal{std::pair{result.error().file, result.error().cause}};
        EXPECT_EQ(said, c.refused);
        EXPECT_EQ(readBytes(target), c.refused ? targetBytes : converted);
        EXPECT_EQ(std::pair(readBytes(older), readBytes(backup)), std::pair(olderBackup, c.refused ? core::Bytes{} : targetBytes));
        EXPECT_TRUE(temporaryFiles(folder.path()).empty());
        EXPECT_TRUE(calls.handles.empty());
    }
}

#ifndef _WIN32
// An access ACL in the kernel's format: the owner rw, user `reader` r, the
// owning group nothing, mask r, others nothing.
core::Bytes aclGranting(std::uint32_t reader) {
    core::Bytes acl{2, 0, 0, 0};
    for (const auto& [tag, perm, id] : {std::tuple{0x01, 6, ~0u}, std::tuple{0x02, 4, reader}, std::tuple{0x04, 0, ~0u}, std::tuple{0x10, 4, ~0u}, std::tuple{0x20, 0, ~0u}})
        for (const std::uint32_t value : {std::uint32_t(tag) | std::uint32_t(perm) << 16, id})
            for (int shift = 0; shift < 32; shift += 8) acl.push_back(static_cast<std::uint8_t>(value >> shift));
    return acl;
}

int flagsOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    ::ioctl(fd, FS_IOC_GETFLAGS, &flags);
    ::close(fd);
    return flags;
}

int setFlags(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    flags |= flagsOf(path) & ~(FS_NODUMP_FL | FS_NOATIME_FL | FS_IMMUTABLE_FL);
    const int result = ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    return result;
}

std::map<std::string, core::Bytes> attributesOf(const std::string& path) {
    std::map<std::string, core::Bytes> found;
    std::string names(4096, '\0');
    names.resize(static_cast<std::size_t>(std::max<ssize_t>(::listxattr(path.c_str(), names.data(), names.size()), 0)));
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const std::string name = names.c_str() + at;
        core::Bytes value(4096);
        value.resize(static_cast<std::size_t>(std::max<ssize_t>(::getxattr(path.c_str(), name.c_str(), value.data(), value.size()), 0)));
        found[name] = value;
    }
    return found;
}

// A target's ACL, extended attributes and inode flags go to its replacement
// and its backup, exactly: not the folder's default ACL, which only a new
// target gets. What cannot be carried (an attribute or flags the system will
// not set) or keeps the target from being replaced (immutable) is refused
// before anything is written, naming it.
TEST_F(FileFaults, WhatTheTargetCarriesIsKeptOrRefused) {
    for (std::uintmax_t i = 0, every = 0; const int flag : {FS_SECRM_FL, FS_UNRM_FL, FS_SYNC_FL, FS_APPEND_FL, FS_NODUMP_FL, FS_NOATIME_FL, FS_COMPR_FL, FS_IMMUTABLE_FL,
                                                            FS_JOURNAL_DATA_FL, FS_NOTAIL_FL, FS_NOCOW_FL, FS_DAX_FL})  // flag by flag: lsattr's letters, in its order
        EXPECT_EQ(core::inodeFlagLetters(every |= std::uintmax_t(flag)), std::string("suSadAcijtCx").substr(0, ++i));
    const std::string created = folder.file("new.state");
    struct Case {
        std::string what;
        bool folderDefault = false, withAttributes = false;
        int flags = 0;
        Call failing = Call::OpenRead;  // with `refused` only: the call that fails
        std::optional<core::Cause> refused{};
        std::uint32_t mode = 0644;
        bool capability = false;
    };
    // A file capability (security.capability, version 2: CAP_NET_BIND_SERVICE, effective).
    const core::Bytes capability{1, 0, 0, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const auto& c : std::vector<Case>{
             {.what = "ACL and a note", .withAttributes = true},
             {.what = "set-uid and set-gid bits, which a write takes away", .mode = 06755},
             {.what = "set-id bits the file system drops", .failing = Call::SetMode, .refused = core::Cause::ModeNotKept, .mode = 06755},
             {.what = "a file capability, which a write takes away", .mode = 0755, .capability = true},
             {.what = "a folder with a default ACL", .folderDefault = true},
             {.what = "a note the system will not set", .withAttributes = true, .failing = Call::SetAttribute, .refused = core::Cause::AttributeNotKept},
             {.what = "nodump and noatime flags", .flags = FS_NODUMP_FL | FS_NOATIME_FL},
             {.what = "flags the system will not set", .flags = FS_NODUMP_FL | FS_NOATIME_FL, .failing = Call::SetInodeFlags, .refused = core::Cause::FlagsNotKept},
             {.what = "an immutable target", .flags = FS_IMMUTABLE_FL, .refused = core::Cause::FlagsNotKept}}) {
        SCOPED_TRACE(c.what);
        reset();  // nothing of the case before: neither its ACLs nor the folder's default
        const core::Bytes acl = aclGranting(65534), note{'h', 'i'};
        if (c.folderDefault) { ASSERT_EQ(::setxattr(folder.path().c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0), 0); }
        if (c.withAttributes) {
            ASSERT_EQ(::setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
            ASSERT_EQ(::setxattr(target.c_str(), "user.note", note.data(), note.size(), 0), 0);
        }
        ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
        if (c.capability) { ASSERT_EQ(::setxattr(target.c_str(), "security.capability", capability.data(), capability.size(), 0), 0); }
        ASSERT_EQ(setFlags(target, c.flags), 0);
        const auto before = attributesOf(target);
        FailingCalls calls(c.failing,
                           c.failing == Call::SetAttribute                                  ? 2
                           : c.failing == Call::SetInodeFlags || c.failing == Call::SetMode ? 1
                                                                                            : 0,
                           c.failing == Call::SetMode ? kDrops : EPERM);
        const auto result = run::runConversion(source, target, {.backup = true}, calls);
        const auto creation = run::runConversion(source, created);
        ASSERT_TRUE(creation);
        if (c.refused) {
            ASSERT_FALSE(result);
            EXPECT_EQ(std::tuple(result.error().file, result.error().cause), std::tuple(core::FileRole::Target, *c.refused));
            EXPECT_EQ(factsAs<core::Attribute>(result.error()).name, c.failing == Call::SetAttribute ? "user.note" : "");
            EXPECT_EQ(factsAs<core::InodeFlags>(result.error()).flags, std::uintmax_t(c.flags));
            EXPECT_EQ(readBytes(target), targetBytes);
            EXPECT_EQ(std::pair(readBytes(older), std::filesystem::exists(backup)), std::pair(olderBackup, false));
        } else {
            ASSERT_TRUE(result) << int(result.error().cause);
            EXPECT_EQ(readBytes(target), converted);
            for (const auto& path : {target, backup}) {
                EXPECT_EQ(attributesOf(path), before) << path;
                EXPECT_EQ(flagsOf(path) & (FS_NODUMP_FL | FS_NOATIME_FL), c.flags) << path;
                EXPECT_EQ(unsigned(std::filesystem::status(path).permissions()) & 07777, c.mode) << path;
            }
            EXPECT_EQ(attributesOf(created).contains("system.posix_acl_access"), c.folderDefault);
        }
        for (const auto& path : {target, backup}) setFlags(path, 0);  // so that the next case can remove them
        EXPECT_TRUE(temporaryFiles(folder.path()).empty());
    }
}
#endif

// Another program writes or creates the target (or rewrites the source) while
// a run or an undo is under way, just before its check: nothing may be written.
// Its open breaks the lease on the target and waits until the run gives up,
// so that its writes land in the target, never in a file replaced;
// on a card (no lease, times kept to 2 seconds) only the bytes read again
// show a write in place.
TEST_F(FileFaults, AnotherWriterIsNeverOverwritten) {
    const core::Bytes theirs = test::randomBytes(targetBytes.size(), 7);  // same size: only the times tell
    struct Case {
        bool undo = false, exists = true, ofSource = false, card = false;
    };
    for (const auto& [undo, exists, ofSource, card] :
         std::vector<Case>{{}, {.exists = false}, {.undo = true}, {.ofSource = true}, {.card = true}, {.undo = true, .card = true}, {.ofSource = true, .card = true}}) {
        SCOPED_TRACE(::testing::Message() << (undo ? "undo" : "run") << (exists ? "" : " of a new target") << (ofSource ? ", source rewritten" : "")
                                          << (card ? ", on a card" : ""));
        reset();
        if (!exists) std::filesystem::remove(target);
        FailingCalls calls;
        calls.card = card;
        const auto record = undo ? run::runConversion(source, target, {}, calls).value().undo : std::nullopt;
        const core::Bytes before = readBytes(ofSource ? source : target);
        std::thread writer;
        bool started = false;
        calls.before = [&](Call call, auto) {
            if (call != Call::Flush || std::exchange(started, true)) return 0;  // the temporary file's flush
            writer = std::thread([&] {
                if (!card || !exists) return writeBytes(ofSource ? source : target, theirs);
                std::fstream(utf8Path(ofSource ? source : target), std::ios::in | std::ios::out | std::ios::binary).seekp(100).write("theirs", 6);
            });
            if (card) writer.join();
            std::this_thread::sleep_for(std::chrono::milliseconds(card ? 0 : 200));  // until its open is under way
            return 0;
        };
        const auto said = [](const auto& result) { return result ? std::pair(core::Step::Open, core::Cause::System) : std::pair(result.error().step, result.error().cause); };
        const auto step = record ? said(run::undoConversion(*record, calls)) : said(run::runConversion(source, target, {}, calls));
        if (writer.joinable()) writer.join();
#ifdef _WIN32
        const bool held = false;  // no leases: the times tell
#else
        const bool held = exists && !ofSource && !card;
#endif
        EXPECT_EQ(step, std::pair(held               ? core::Step::Replace
                                  : undo || ofSource ? core::Step::Recheck
                                                     : core::Step::Replace,
                                  held ? core::Cause::OpenElsewhere : core::Cause::Changed));
        core::Bytes expected = theirs;
        if (card && exists) expected = before, std::copy_n("theirs", 6, expected.begin() + 100);
        EXPECT_EQ(readBytes(ofSource ? source : target), expected);
        EXPECT_TRUE(!ofSource || readBytes(target) == targetBytes);
        EXPECT_TRUE(temporaryFiles(folder.path()).empty());
    }
}

#ifndef _WIN32
// A card pulled at every change a run makes (the process ends there) leaves a
// whole state, old or new, at the target's name or at its leftover name; the
// next run names the leftover and writes nothing.
TEST_F(FileFaults, ACardPulledAtAnyStepLeavesAWholeState) {
    const std::string leftover = files::leftoverName(target);
    int pulled = 0;
    for (int change = 1;; ++change) {
        SCOPED_TRACE(change);
        reset();
        if (const pid_t child = ::fork(); child == 0) {
            FailingCalls calls;
            calls.card = true, calls.crashAt = change;
            std::_Exit(run::runConversion(source, target, {}, calls) ? 1 : 2);  // ran to its end
        } else if (int status = 0; ::waitpid(child, &status, 0) == child && WEXITSTATUS(status) != 0) {
            break;
        }
        ++pulled;
        const bool atName = std::filesystem::exists(utf8Path(target));
        const core::Bytes whole = readBytes(atName ? target : leftover);
        EXPECT_TRUE(whole == targetBytes || whole == converted) << "no whole state at " << (atName ? target : leftover);
        FailingCalls calls;
        calls.card = true;
        const auto next = run::runConversion(source, target, {}, calls);
        const bool left = std::filesystem::exists(utf8Path(leftover));
        const auto said = next ? std::pair(core::Cause::System, std::string{}) : std::pair(next.error().cause, factsAs<core::LeftoverCopy>(next.error()).path);
        EXPECT_EQ(said, std::pair(!left ? core::Cause::System : atName ? core::Cause::Leftover : core::Cause::LeftoverOnly, left ? leftover : std::string{}));
        EXPECT_EQ(readBytes(left ? leftover : target), left ? targetBytes : converted);
    }
    EXPECT_GT(pulled, 5);
}

// On a card names ignore case: another spelling of the target may be the
// source (refused), and another spelling of TARGET.bak is never the backup.
TEST_F(FileFaults, NamesAreComparedAsTheCardComparesThem) {
    const std::string spelled = folder.file("TWO.STATE.BAK"), other = folder.file("TWO.STATE");
    writeBytes(spelled, sourceBytes);
    writeBytes(other, sourceBytes);
    for (const bool card : {false, true}) {
        FailingCalls calls;
        calls.card = card;
        struct Names {
            const char *a, *b;
            bool folds = true;
        };
        for (const auto& [a, b, folds] : std::vector<Names>{{.a = "two.state", .b = "TWO.STATE"},
                                                            {.a = "conversão ÇÃO", .b = "CONVERSÃO ção"},
                                                            {.a = "Ωmega Жук Ѐ Zed", .b = "ωMEGA жУК ѐ zED"},
                                                            {.a = "two.state", .b = "two.stat", .folds = false}})
            EXPECT_EQ(files::sameName(folder.file(a), folder.file(b), calls), folds && card) << a;
        std::string euros;  // a long name is cut between characters: 81 of these 3-byte ones fit the leftover's name
        for (int i = 0; i < 100; ++i) euros += "€";
        EXPECT_EQ(files::leftoverName("d/" + euros), "d/" + euros.substr(0, 243) + ".tavro-old");
        for (const bool dryRun : {true, false}) {
            const auto result = run::runConversion(spelled, target, {.dryRun = dryRun, .backup = true}, calls);
            ASSERT_TRUE(result) << result.error().reason;
            EXPECT_EQ(result->backupPath, target + (card ? ".bak.2" : ".bak"));
            EXPECT_EQ(readBytes(spelled), sourceBytes);
            const auto same = run::runConversion(other, target, {.dryRun = true}, calls);
            EXPECT_EQ(same ? core::Cause::System : same.error().cause, card ? core::Cause::SameFile : core::Cause::System);
        }
        restoreTarget();
        std::filesystem::remove(utf8Path(target + ".bak"));
    }
}
#endif

// A file another program renames to the target's name just after the run's
// rename is theirs: the run says the target changed, never that it holds the
// converted level; one made at the backup's name is never replaced. So is one
// renamed to, or made at, a prepared file's name before its commit().
TEST_F(FileFaults, AFileSwappedInAfterTheRenameStays) {
    const core::Bytes theirs = test::randomBytes(targetBytes.size(), 9), ours{4, 5, 6};
    FailingCalls calls;
    bool renamed = false, swapped = false;
    calls.before = [&](Call call, const std::string* path) {
        renamed = renamed || call == Call::Rename;
        if (call == Call::StatName && renamed && *path == target && !std::exchange(swapped, true)) {
            writeBytes(folder.file("theirs"), theirs);
            std::filesystem::rename(utf8Path(folder.file("theirs")), utf8Path(target));
        }
        return 0;
    };
    const auto result = run::runConversion(source, target, {}, calls);
    ASSERT_FALSE(result);
    EXPECT_EQ(std::tuple(result.error().cause, result.error().undo != nullptr), std::tuple(core::Cause::Changed, false));
    EXPECT_EQ(readBytes(target), theirs);
    // So is a file made at the backup's free name just before the backup takes it.
    restoreTarget();
    FailingCalls late;
    late.before = [&](Call call, const std::string* path) { return call == Call::Rename && path && *path == target + ".bak" ? (writeBytes(*path, core::Bytes{7}), 0) : 0; };
    const auto backedUp = run::runConversion(source, target, {.backup = true}, late);
    ASSERT_FALSE(backedUp);
    EXPECT_EQ(std::pair(backedUp.error().file, readBytes(target + ".bak")), std::pair(core::FileRole::Backup, core::Bytes{7}));
    for (const bool exists : {true, false}) {
        if (!exists) std::filesystem::remove(target);
        auto prepared = files::prepare(target, files::NewContent{ours, nullptr, ours.size(), std::nullopt}, {}, files::Links::Follow);
        ASSERT_TRUE(prepared);
        writeBytes(folder.file("theirs"), theirs);
        std::filesystem::rename(utf8Path(folder.file("theirs")), utf8Path(target));
        EXPECT_EQ(std::pair(prepared->commit().has_value(), readBytes(target)), std::pair(false, theirs)) << exists;
    }
}

#ifndef _WIN32
// A link re-pointed by someone else just after the rename: the run reads back
// the file its bytes went to, and that file holds them.
TEST_F(FileFaults, ALinkRepointedAfterTheRenameIsNotWhatIsReadBack) {
    const std::string real = folder.file("real.state"), link = folder.file("link.state");
    std::filesystem::rename(utf8Path(target), utf8Path(real));
    std::filesystem::create_symlink("real.state", utf8Path(link));
    FailingCalls calls;
    calls.before = [&](Call call, auto) {
        if (call == Call::Rename) std::filesystem::remove(utf8Path(link)), std::filesystem::create_symlink("one.state", utf8Path(link));
        return 0;
    };
    const auto result = run::runConversion(source, link, {}, calls);
    EXPECT_TRUE(result) << result.error().path;
    EXPECT_EQ(std::tuple(readBytes(real), readBytes(source)), std::tuple(converted, sourceBytes));
}
#endif

#ifndef _WIN32
// Plants a symbolic link to a victim file at exactly the name the run is about
// to create or link its temporary file under, as an attacker sharing the folder
// might: once where unnamed files are given a name just before the rename, and
// once with unnamed files unavailable.
TEST_F(FileFaults, TemporaryNamesAreTakenExclusively) {
    const std::string victim = folder.file("victim");
    for (const bool unnamed : {true, false}) {
        reset();
        writeBytes(victim, {1, 2, 3});
        int planted = 0;
        FailingCalls calls;
        calls.before = [&](Call call, const std::string* path) {
            if (call == Call::CreateTemporary && !unnamed && folder.path() == *path) return kCannot;  // O_TMPFILE
            if (path != nullptr && path->find(".tavro-") != std::string::npos && !path->ends_with("-old") && planted++ == 0) std::filesystem::create_symlink(victim, *path);
            return 0;
        };
        const auto result = run::runConversion(source, target, {}, calls);
        ASSERT_TRUE(result) << result.error().path;
        EXPECT_EQ(planted, 2);  // planted once, then a fresh name
        EXPECT_EQ(readBytes(victim), (core::Bytes{1, 2, 3})) << "written through a planted link";
        EXPECT_EQ(readBytes(target), converted);
        EXPECT_EQ(folder.names().size(), 5u);  // the pair, the older backup, victim and the planted link, left alone
    }
}

#endif

// A call a signal interrupted is made again, and only such a call: any other
// result (a success with a stale EINTR among them) is returned at once. A
// call made once too often ends the loop, with a result no case expects.
TEST(SystemCalls, OnlyAnInterruptedCallIsMadeAgain) {
    struct Case {
        std::vector<std::pair<int, int>> answers;
        int result;
    };  // each call's result and errno
    for (const auto& c :
         std::vector<Case>{{.answers = {{-1, EINTR}, {-1, EINTR}, {7, 0}}, .result = 7}, {.answers = {{-1, EIO}}, .result = -1}, {.answers = {{3, EINTR}}, .result = 3}}) {
        std::size_t made = 0;
        const int result = files::retried([&] {
            const auto [answer, error] = made < c.answers.size() ? c.answers[made] : std::pair{0, 0};
            return ++made, errno = error, answer;
        });
        EXPECT_EQ(std::pair(result, made), std::pair(c.result, c.answers.size())) << c.result;
    }
}

#ifndef _WIN32
// A folder is a shared one (as /tmp is) only when it is both sticky and writable by anyone.
TEST(SystemCalls, ASharedFolderIsStickyAndWritableByAll) {
    test::TempFolder folder;
    struct Case {
        mode_t mode;
        bool shared;
    };
    for (const auto& c :
         std::vector<Case>{{.mode = 01777, .shared = true}, {.mode = 0777, .shared = false}, {.mode = 01755, .shared = false}, {.mode = 0755, .shared = false}}) {
        ASSERT_EQ(::chmod(folder.path().c_str(), c.mode), 0);
        const auto status = files::systemCalls().statName(folder.path().string());
        EXPECT_EQ(status && *status && (*status)->sharedSticky, c.shared) << std::oct << c.mode;
    }
}

// Where the kernel cannot copy between two files (EXDEV, ENOSYS, EINVAL,
// EOPNOTSUPP) or has no rename that keeps an existing name (FUSE), the run
// copies through memory, or links (or, where it cannot link, looks first)
// and renames: the same files. The kernel's answers come from a filter on
// the calls, in a child process.
TEST_F(FileFaults, WhatTheKernelCannotDoHereHasAFallback) {
    struct Case {
        std::vector<std::pair<int, int>> refused;
    };  // system call, errno
    for (const auto& c : std::vector<Case>{{.refused = {{__NR_copy_file_range, EXDEV}}},
                                           {.refused = {{__NR_copy_file_range, ENOSYS}}},
                                           {.refused = {{__NR_copy_file_range, EINVAL}}},
                                           {.refused = {{__NR_copy_file_range, EOPNOTSUPP}}},
                                           {.refused = {{__NR_renameat2, EINVAL}}},
                                           {.refused = {{__NR_renameat2, ENOSYS}}},
                                           {.refused = {{__NR_renameat2, EOPNOTSUPP}}},
                                           {.refused = {{__NR_renameat2, EINVAL}, {__NR_link, EPERM}}}}) {
        SCOPED_TRACE(::testing::Message() << "call " << c.refused.back().first << " errno " << c.refused.back().second);
        reset();
        if (const pid_t child = ::fork(); child == 0) {
            std::vector<sock_filter> filter{BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
            for (const auto& [call, error] : c.refused)
                filter.insert(filter.end(), {BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(call), 0, 1), BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | unsigned(error))});
            filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
            const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
            if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) std::_Exit(3);
            const auto result = run::runConversion(source, target, {.backup = true});
            std::_Exit(result && readBytes(target) == converted && readBytes(backup) == targetBytes && temporaryFiles(folder.path()).empty() ? 0 : 1);
        } else {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "3: no filter could be set";
        }
    }
}
#endif

}  // namespace
}  // namespace tavro
