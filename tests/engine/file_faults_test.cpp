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
#include <linux/fs.h>
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

// Real calls, except that occurrence `failAt` (1-based) of call `failing`
// fails with `error` (or one of the above). `before` sees every call first
// (with its path, if any) and may act, or fail it by returning an error
// number; `look` may change what statName reports.
class FailingCalls : public files::SystemCalls {
public:
    using Base = files::SystemCalls;
    FailingCalls() = default;
    FailingCalls(Call failing, int failAt, int error) : failing_(failing), failAt_(failAt), error_(error) {}
    std::function<int(Call, const std::string* path)> before;
    std::function<void(const std::string& path, EntryStatus&)> look;
    std::optional<std::uint32_t> user;  // the user the run acts as, in place of the real one

    std::map<Call, int> counts;
    bool fired = false;
    int handles = 0;  // opened and not closed
    std::size_t readPiece = SIZE_MAX;  // the most one read returns, as on file systems that read in pieces
    // A card (FAT family, exFAT through FUSE): a rename over a name removes it first, names ignore case, times
    // are kept to 2 seconds, no lease. The process ends at change `crashAt` to a file or folder (a card pulled).
    bool card = false;
    int crashAt = 0, changes = 0;

    SystemResult<files::NativeHandle> openRead(const std::string& p) override { return opened(hit(Call::OpenRead, &p) ? fail() : Base::openRead(p)); }
    SystemResult<EntryStatus> statHandle(files::NativeHandle f) override { return hit(Call::StatHandle) ? fail() : coarse(Base::statHandle(f)); }
    SystemResult<std::optional<EntryStatus>> statName(const std::string& p) override {
        if (hit(Call::StatName, &p)) return fail();
        auto status = Base::statName(p);
        if (look && status && *status) look(p, **status);
        if (status && *status) **status = *coarse(**status);
        return status;
    }
    SystemResult<files::FileSystemKind> fileSystem(const std::string& f) override { return card ? files::FileSystemKind{false, true} : Base::fileSystem(f); }
    SystemResult<bool> holdLease(files::NativeHandle f) override { return card ? std::unexpected(SystemError{SystemError::Kind::Unsupported, EINVAL}) : Base::holdLease(f); }
    SystemResult<void> remove(const std::string& p) override { return change(), Base::remove(p); }
    SystemResult<void> checkWritable(const std::string& p) override { return hit(Call::CheckWritable, &p) ? fail() : Base::checkWritable(p); }
    SystemResult<std::size_t> readAt(files::NativeHandle f, std::span<std::uint8_t> b, std::uint64_t offset) override {
        if (f == shortRead_) return 0;  // the file seems to end after a short read
        if (!hit(Call::ReadAt)) return Base::readAt(f, b.first(std::min(b.size(), readPiece)), offset);
        if (error_ != kShort) return fail();
        shortRead_ = f;
        return Base::readAt(f, b.first(b.size() / 2), offset);
    }
    SystemResult<std::size_t> write(files::NativeHandle f, std::span<const std::uint8_t> b) override {
        change();
        if (!hit(Call::Write)) return stripSetId(f), Base::write(f, b);
        if (error_ == kShort) return 0;
        if (error_ == kLie) return b.size();
        return fail();
    }
    SystemResult<std::size_t> copyRange(files::NativeHandle from, files::NativeHandle to, std::uint64_t offset, std::size_t size) override {
        change();
        if (!hit(Call::CopyRange)) return stripSetId(to), Base::copyRange(from, to, offset, size);
        if (error_ == kLie) return size;
        return fail();
    }
    SystemResult<void> seek(files::NativeHandle f, std::uint64_t offset) override { return hit(Call::Seek) ? fail() : Base::seek(f, offset); }
    SystemResult<void> setSize(files::NativeHandle f, std::uint64_t size) override { return hit(Call::SetSize) ? fail() : Base::setSize(f, size); }
    SystemResult<void> flush(files::NativeHandle f) override { return hit(Call::Flush) ? fail() : Base::flush(f); }
    SystemResult<void> close(files::NativeHandle f) override {
        if (f == shortRead_) shortRead_ = -1;
        --handles;
        auto result = Base::close(f);  // the handle is gone even when close fails
        return hit(Call::Close) ? fail() : result;
    }
    SystemResult<files::NativeHandle> createTemporary(const std::string& folder, const std::string& name, std::uint32_t mode) override {
        change();
        return opened(hit(Call::CreateTemporary, name.empty() ? &folder : &name) ? fail() : Base::createTemporary(folder, name, mode));
    }
    SystemResult<void> nameTemporary(files::NativeHandle f, const std::string& p) override { return hit(Call::NameTemporary, &p) ? fail() : Base::nameTemporary(f, p); }
    SystemResult<void> rename(const std::string& from, const std::string& to, bool own) override {
        if (hit(Call::Rename)) return fail();
        change();
#ifndef _WIN32  // Windows will not reuse the name of a file still open
        if (card && std::filesystem::exists(utf8Path(to))) Base::remove(to), change();  // the driver's two steps
#endif
        return Base::rename(from, to, own);
    }
    SystemResult<void> renameNew(const std::string& from, const std::string& to) override { return hit(Call::Rename, &to) ? fail() : (change(), Base::renameNew(from, to)); }
    SystemResult<void> setOwner(files::NativeHandle f, std::uint32_t u, std::uint32_t g) override { return hit(Call::SetOwner) ? fail() : Base::setOwner(f, u, g); }
    SystemResult<void> setMode(files::NativeHandle f, std::uint32_t mode) override {
        if (!hit(Call::SetMode)) return Base::setMode(f, mode);
        return errno_ == kDrops ? Base::setMode(f, mode & ~06000u) : fail();
    }
    SystemResult<std::vector<std::string>> listAttributes(files::NativeHandle f) override { return hit(Call::ListAttributes) ? fail() : Base::listAttributes(f); }
    SystemResult<void> setAttribute(files::NativeHandle f, const std::string& n, std::span<const std::uint8_t> v) override {
        return hit(Call::SetAttribute, &n) ? fail() : Base::setAttribute(f, n, v);
    }
    SystemResult<std::uint32_t> inodeFlags(files::NativeHandle f) override { return hit(Call::InodeFlags) ? fail() : Base::inodeFlags(f); }
    SystemResult<void> setInodeFlags(files::NativeHandle f, std::uint32_t flags) override { return hit(Call::SetInodeFlags) ? fail() : Base::setInodeFlags(f, flags); }
    SystemResult<bool> openElsewhere(const std::string& p, files::NativeHandle f) override { return hit(Call::OpenElsewhere) ? fail() : Base::openElsewhere(p, f); }
    std::uint32_t userId() override { return user.value_or(Base::userId()); }

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
        if (auto status = Base::statHandle(f)) Base::setMode(f, status->identity.permissions & ~06000u);
    }
    std::unexpected<SystemError> fail() const {
        if (errno_ == kCannot) return std::unexpected(SystemError{SystemError::Kind::Unsupported, EXDEV});
        return std::unexpected(SystemError{SystemError::Kind::Other, errno_});
    }
    SystemResult<files::NativeHandle> opened(SystemResult<files::NativeHandle> handle) {
        handles += handle.has_value();
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
    void reset() const {
        restoreTarget();
        writeBytes(older, olderBackup);
        std::filesystem::remove(backup);
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
        EXPECT_EQ(calls.handles, 0) << "handles leaked: " << said;
        return !result;
    }
};

TEST_F(FileFaults, EveryCallFailingInTurnKeepsThePromise) {
    reset();
    FailingCalls counting;
    ASSERT_TRUE(run::runConversion(source, target, {.backup = true}, counting));
    // Reads in pieces, and a kernel that cannot copy between the files: the same bytes.
    for (const auto& arrange :
         std::vector<std::function<void(FailingCalls&)>>{[](FailingCalls& calls) { calls.readPiece = 5000; },
                                                         [](FailingCalls& calls) { calls.before = [](Call call, auto) { return call == Call::CopyRange ? kCannot : 0; }; }}) {
        reset();
        FailingCalls calls;
        arrange(calls);
        ASSERT_TRUE(run::runConversion(source, target, {.backup = true}, calls));
        EXPECT_EQ(readBytes(target), converted);
        EXPECT_EQ(readBytes(backup), targetBytes);
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
    struct Case {
        Call call;
        int occurrence, error;
        core::FileRole role;
        core::Step step;
        core::Cause cause;
    };
    for (const auto& c : std::vector<Case>{{Call::OpenRead, 1, EACCES, core::FileRole::Source, core::Step::Open, core::Cause::System},
                                           {Call::ReadAt, 1, EIO, core::FileRole::Source, core::Step::Read, core::Cause::System},
                                           {Call::ReadAt, 1, kShort, core::FileRole::Source, core::Step::Read, core::Cause::EndedEarly},
                                           {Call::OpenRead, 2, EACCES, core::FileRole::Target, core::Step::Open, core::Cause::System},
                                           {Call::CheckWritable, 1, EACCES, core::FileRole::Target, core::Step::Replace, core::Cause::System},
                                           {Call::CheckWritable, 2, EROFS, core::FileRole::Target, core::Step::Create, core::Cause::System},  // its folder
                                           {Call::CreateTemporary, 1, ENOSPC, core::FileRole::Target, core::Step::Create, core::Cause::System},
                                           {Call::SetOwner, 1, EPERM, core::FileRole::Target, core::Step::Replace, core::Cause::OwnerNotKept},
                                           {Call::Write, 1, ENOSPC, core::FileRole::Target, core::Step::Write, core::Cause::System},
                                           {Call::Write, 1, kShort, core::FileRole::Target, core::Step::Write, core::Cause::WroteNothing},
                                           {Call::Write, 1, kLie, core::FileRole::Target, core::Step::Write, core::Cause::OtherBytes},  // read back before the rename
                                           {Call::CopyRange, 1, EIO, core::FileRole::Target, core::Step::Write, core::Cause::System},  // the bytes after the regions
                                           {Call::CopyRange, 1, kLie, core::FileRole::Target, core::Step::Write, core::Cause::OtherBytes},
                                           {Call::Flush, 1, EIO, core::FileRole::Target, core::Step::Flush, core::Cause::System},
                                           {Call::Close, 2, EIO, core::FileRole::Target, core::Step::Flush, core::Cause::System},  // the temporary file
                                           {Call::Rename, 1, EXDEV, core::FileRole::Target, core::Step::Replace, core::Cause::System},
#ifndef _WIN32
                                           {Call::Rename, 1, EBUSY, core::FileRole::Target, core::Step::Replace, core::Cause::MountPoint},  // a bind-mounted file
#endif
                                           {Call::OpenRead, 3, EIO, core::FileRole::Source, core::Step::Open, core::Cause::System},  // the source, just before the rename
                                           {Call::OpenRead, 4, EIO, core::FileRole::Target, core::Step::Verify, core::Cause::System}}) {  // the read-back
        SCOPED_TRACE(::testing::Message() << "call " << int(c.call) << " #" << c.occurrence);
        restoreTarget();
        FailingCalls calls(c.call, c.occurrence, c.error);
        const auto result = run::runConversion(source, target, {}, calls);
        ASSERT_FALSE(result);
        const core::EngineError& e = result.error();
        const int code = c.cause == core::Cause::System || c.cause == core::Cause::OwnerNotKept || c.cause == core::Cause::MountPoint ? c.error : 0;
        EXPECT_EQ(std::tuple(e.file, e.step, e.path, e.cause, e.code), std::tuple(c.role, c.step, c.role == core::FileRole::Source ? source : target, c.cause, code));
        ASSERT_EQ(e.undo != nullptr, c.step == core::Step::Verify);  // the target holds the converted level: undoable
        EXPECT_EQ(readBytes(target), c.step == core::Step::Verify ? converted : targetBytes);
        if (c.step != core::Step::Verify) continue;
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
    struct Case {
        std::string what;
        std::map<std::string, std::uint32_t> owners;
        bool held;
        std::optional<std::pair<core::FileRole, core::Cause>> refused;
    };
    const std::string real = folder.file("real.state");
    for (const auto& c : std::vector<Case>{{"another user's target", {{target, kOther}}, false, std::pair{core::FileRole::Target, core::Cause::SharedFolderEntry}},
                                           {"another user's older backup", {{older, kOther}}, false, std::nullopt},
                                           {"the folder owner's target and backup", {{target, kFolderOwner}, {older, kFolderOwner}}, false, std::nullopt},
#ifndef _WIN32
                                           {"another user's link", {{target, kOther}, {real, kUser}}, false, std::pair{core::FileRole::Target, core::Cause::SharedFolderLink}},
                                           {"the folder owner's link", {{target, kFolderOwner}, {real, kUser}}, false, std::nullopt},
#endif
                                           {"a target held open", {}, true, std::pair{core::FileRole::Target, core::Cause::OpenElsewhere}}}) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(target);
        std::filesystem::remove(real);
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
        EXPECT_EQ(calls.handles, 0);
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
        core::Bytes folderDefault;
        bool withAttributes;
        int flags;
        Call failing;
        std::optional<core::Cause> refused;
        std::uint32_t mode = 0644;
        bool capability = false;
    };
    // A file capability (security.capability, version 2: CAP_NET_BIND_SERVICE, effective).
    const core::Bytes capability{1, 0, 0, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (const auto& c : std::vector<Case>{{"ACL and a note", {}, true, 0, Call::OpenRead, std::nullopt},
                                           {"set-uid and set-gid bits, which a write takes away", {}, false, 0, Call::OpenRead, std::nullopt, 06755},
                                           {"set-id bits the file system drops", {}, false, 0, Call::SetMode, core::Cause::ModeNotKept, 06755},
                                           {"a file capability, which a write takes away", {}, false, 0, Call::OpenRead, std::nullopt, 0755, true},
                                           {"a folder with a default ACL", aclGranting(65534), false, 0, Call::OpenRead, std::nullopt},
                                           {"a note the system will not set", {}, true, 0, Call::SetAttribute, core::Cause::AttributeNotKept},
                                           {"nodump and noatime flags", {}, false, FS_NODUMP_FL | FS_NOATIME_FL, Call::OpenRead, std::nullopt},
                                           {"flags the system will not set", {}, false, FS_NODUMP_FL | FS_NOATIME_FL, Call::SetInodeFlags, core::Cause::FlagsNotKept},
                                           {"an immutable target", {}, false, FS_IMMUTABLE_FL, Call::OpenRead, core::Cause::FlagsNotKept}}) {
        SCOPED_TRACE(c.what);
        reset();
        std::filesystem::remove(created);
        ::removexattr(folder.path().c_str(), "system.posix_acl_default");
        if (!c.folderDefault.empty()) { ASSERT_EQ(::setxattr(folder.path().c_str(), "system.posix_acl_default", c.folderDefault.data(), c.folderDefault.size(), 0), 0); }
        const core::Bytes acl = aclGranting(65534), note{'h', 'i'};
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
            EXPECT_EQ(attributesOf(created).contains("system.posix_acl_access"), !c.folderDefault.empty());
        }
        for (const auto& path : {target, backup}) setFlags(path, 0), ::chmod(path.c_str(), 0644), ::removexattr(path.c_str(), "security.capability");
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
    for (const auto& [undo, exists, ofSource, card] :
         {std::tuple{false, true, false, false}, std::tuple{false, false, false, false}, std::tuple{true, true, false, false}, std::tuple{false, true, true, false},
          std::tuple{false, true, false, true}, std::tuple{true, true, false, true}, std::tuple{false, true, true, true}}) {
        SCOPED_TRACE(::testing::Message() << (undo ? "undo" : "run") << (exists ? "" : " of a new target") << (ofSource ? ", source rewritten" : "")
                                          << (card ? ", on a card" : ""));
        restoreTarget();
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
        writeBytes(source, sourceBytes);
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
        for (const auto& path : temporaryFiles(folder.path())) std::filesystem::remove(path);
        restoreTarget();
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
        for (const auto& [a, b, folds] :
             {std::tuple{"two.state", "TWO.STATE", true}, {"conversão ÇÃO", "CONVERSÃO ção", true}, {"Ωmega Жук", "ωMEGA жУК", true}, {"two.state", "two.stat", false}})
            EXPECT_EQ(files::sameName(folder.file(a), folder.file(b), calls), folds && card) << a;
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
// converted level; one made at the backup's name is never replaced.
TEST_F(FileFaults, AFileSwappedInAfterTheRenameStays) {
    const core::Bytes theirs = test::randomBytes(targetBytes.size(), 9);
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
        restoreTarget();
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
        EXPECT_EQ(folder.names().size(), 4u);  // one, two, victim and the planted link, left alone
        for (const auto& path : temporaryFiles(folder.path())) std::filesystem::remove(path);
    }
}

#endif

}  // namespace
}  // namespace tavro
