// Every system call of a run made to fail in turn: the run must say what
// failed; the target and its backup must hold their old bytes, or, only when
// the error says the target was replaced, the target the complete new ones.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string_view>
#include <tuple>
#include <utility>

#include "conversion_run.h"
#include "file_access.h"
#include "posix_calls.h"
#include "sample_pair.h"

namespace tavro {
namespace {

using namespace testing;

enum class Call { Open, Fstat, Lstat, Faccessat, Pread, Write, CopyRange, Lseek, Ftruncate, Fchown, Fchmod, Fsync,
                  Close, Link, Rename, Unlink };

// Real calls, except that occurrence `failAt` (1-based) of call `failing`
// fails with `error` (a short read when `error` is 0, a copy that copies
// nothing when it is -1). `before` sees every call first (with its path, if
// any) and may act, or fail it by returning an error number.
class FailingCalls : public files::SystemCalls {
public:
    FailingCalls() = default;
    FailingCalls(Call failing, int failAt, int error) : failing_(failing), failAt_(failAt), error_(error) {}
    std::function<int(Call, const char* path)> before;

    std::map<Call, int> counts;
    bool fired = false;
    std::size_t readPiece = SIZE_MAX;  // the most one pread returns, as on file systems that read in pieces

    int open(const char* p, int flags, mode_t mode) override { return hit(Call::Open, p) ? fail() : SystemCalls::open(p, flags, mode); }
    int fstat(int fd, struct stat* s) override { return hit(Call::Fstat) ? fail() : SystemCalls::fstat(fd, s); }
    int lstat(const char* p, struct stat* s) override { return hit(Call::Lstat) ? fail() : SystemCalls::lstat(p, s); }
    int faccessat(const char* p, int mode) override { return hit(Call::Faccessat) ? fail() : SystemCalls::faccessat(p, mode); }
    ssize_t pread(int fd, void* buffer, std::size_t size, off_t offset) override {
        if (fd == shortRead_) return 0;  // the file seems to end after a short read
        if (!hit(Call::Pread)) return SystemCalls::pread(fd, buffer, std::min(size, readPiece), offset);
        if (error_ != 0) return fail();
        shortRead_ = fd;  // half of what was asked, then the file seems to end
        return SystemCalls::pread(fd, buffer, size / 2, offset);
    }
    ssize_t write(int fd, const void* b, std::size_t size) override { return hit(Call::Write) ? fail() : SystemCalls::write(fd, b, size); }
    ssize_t copyFileRange(int from, off_t* fo, int to, off_t* to_, std::size_t size) override {
        if (!hit(Call::CopyRange)) return SystemCalls::copyFileRange(from, fo, to, to_, size);
        if (error_ >= 0) return fail();
        *fo += static_cast<off_t>(size);  // claims to have copied, and copies nothing
        *to_ += static_cast<off_t>(size);
        return static_cast<ssize_t>(size);
    }
    off_t lseek(int fd, off_t offset, int whence) override { return hit(Call::Lseek) ? fail() : SystemCalls::lseek(fd, offset, whence); }
    int ftruncate(int fd, off_t size) override { return hit(Call::Ftruncate) ? fail() : SystemCalls::ftruncate(fd, size); }
    int fchown(int fd, uid_t u, gid_t g) override { return hit(Call::Fchown) ? fail() : SystemCalls::fchown(fd, u, g); }
    int fchmod(int fd, mode_t mode) override { return hit(Call::Fchmod) ? fail() : SystemCalls::fchmod(fd, mode); }
    int fsync(int fd) override { return hit(Call::Fsync) ? fail() : SystemCalls::fsync(fd); }
    int close(int fd) override {
        if (fd == shortRead_) shortRead_ = -1;
        const int result = SystemCalls::close(fd);  // the descriptor is gone even when close fails
        return hit(Call::Close) ? fail() : result;
    }
    int link(int fd, const char* path) override { return hit(Call::Link, path) ? fail() : SystemCalls::link(fd, path); }
    int rename(const char* from, const char* to) override { return hit(Call::Rename) ? fail() : SystemCalls::rename(from, to); }
    int unlink(const char* path) override { return hit(Call::Unlink) ? fail() : SystemCalls::unlink(path); }

private:
    bool hit(Call call, const char* path = nullptr) {
        errno_ = before ? before(call, path) : 0;
        if (errno_ != 0) return true;
        errno_ = error_;
        const bool failing = ++counts[call] == failAt_ && call == failing_;
        fired = fired || failing;
        return failing;
    }
    int fail() const {
        errno = errno_;
        return -1;
    }

    Call failing_ = Call::Open;
    int failAt_ = 0;
    int error_ = 0, errno_ = 0;
    int shortRead_ = -1;
};

class FileFaults : public testing::SamplePair {
protected:
    const std::string backup = target + ".bak";
    const Bytes olderBackup{1, 2, 3};
    void reset() const {
        restoreTarget();
        writeBytes(backup, olderBackup);
    }

    // Runs with a backup and one failing call and checks the promise; says whether the run failed.
    bool runFailing(Call call, int occurrence, int error) {
        reset();
        FailingCalls calls(call, occurrence, error);
        const auto result = runConversion(source, target, {.backup = true}, calls);
        EXPECT_TRUE(calls.fired);
        EXPECT_EQ(readBytes(source), sourceBytes);
        const std::string said = result ? "success" : result.error().path + " " + std::to_string(int(result.error().cause));
        const bool replaced = result || result.error().undo;
        EXPECT_EQ(readBytes(target), replaced ? converted : targetBytes) << said;
        EXPECT_EQ(readBytes(backup), result || result.error().keptIn == backup ? targetBytes : olderBackup) << said;
        EXPECT_TRUE(result || result.error().cause != Cause::System || !result.error().reason.empty()) << said;
        if (!result && result.error().file == FileRole::Backup && replaced) {  // the old bytes wait in the temporary file
            const auto kept = temporaryFiles(folder.path());
            EXPECT_EQ(kept.size(), 1u);
            for (const auto& path : kept) {
                EXPECT_TRUE(result.error().keptIn == path.string() && readBytes(path) == targetBytes) << said;
                std::filesystem::remove(path);
            }
        }
        EXPECT_EQ(folder.names(), (std::vector<std::string>{"one.state", "two.state", "two.state.bak"})) << "left a file behind: " << said;
        return !result;
    }
};

TEST_F(FileFaults, EveryCallFailingInTurnKeepsThePromise) {
    reset();
    FailingCalls counting;
    ASSERT_TRUE(runConversion(source, target, {.backup = true}, counting));
    reset();
    FailingCalls pieces;
    pieces.readPiece = 5000;
    ASSERT_TRUE(runConversion(source, target, {.backup = true}, pieces));
    EXPECT_EQ(readBytes(target), converted);

    const auto openDescriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto descriptors = openDescriptors();
    int injected = 0, failedRuns = 0;
    for (const auto& [call, count] : counting.counts)
        for (int occurrence = 1; occurrence <= count; ++occurrence)
            for (const int error : call == Call::Pread ? std::vector{EIO, 0} : std::vector{EIO}) {  // 0: a short read
                SCOPED_TRACE(::testing::Message() << "call " << int(call) << " #" << occurrence);
                ++injected, failedRuns += runFailing(call, occurrence, error);
            }
    EXPECT_EQ(openDescriptors(), descriptors) << "descriptors leaked over " << injected << " runs";
    EXPECT_GT(injected, 40);
    EXPECT_GT(failedRuns, 30);
}

// Which call fails: which file, step and words the error names.
TEST_F(FileFaults, EachStepIsNamed) {
    struct Case { Call call; int occurrence, error; FileRole role; Step step; Cause cause; };
    for (const auto& c : std::vector<Case>{
             {Call::Open, 1, EACCES, FileRole::Source, Step::Open, Cause::System},
             {Call::Pread, 1, EIO, FileRole::Source, Step::Read, Cause::System},
             {Call::Pread, 1, 0, FileRole::Source, Step::Read, Cause::EndedEarly},  // a short read
             {Call::Open, 2, EACCES, FileRole::Target, Step::Open, Cause::System},
             {Call::Faccessat, 1, EACCES, FileRole::Target, Step::Replace, Cause::System},
             {Call::Open, 3, ENOSPC, FileRole::Target, Step::Create, Cause::System},  // the temporary file
             {Call::Fchown, 1, EPERM, FileRole::Target, Step::Replace, Cause::OwnerNotKept},
             {Call::Write, 1, ENOSPC, FileRole::Target, Step::Write, Cause::System},
             {Call::CopyRange, 1, EIO, FileRole::Target, Step::Write, Cause::System},  // the bytes after the regions
             {Call::Fsync, 1, EIO, FileRole::Target, Step::Flush, Cause::System},
             {Call::Close, 2, EIO, FileRole::Target, Step::Flush, Cause::System},  // the temporary file
             {Call::Rename, 1, EXDEV, FileRole::Target, Step::Replace, Cause::System},
             {Call::Rename, 1, EBUSY, FileRole::Target, Step::Replace, Cause::MountPoint},  // a bind-mounted file
             {Call::Open, 4, EIO, FileRole::Source, Step::Open, Cause::System},  // the source, just before the rename
             {Call::Open, 6, EIO, FileRole::Target, Step::Verify, Cause::System},  // the read-back
             {Call::CopyRange, 1, -1, FileRole::Target, Step::Verify, Cause::OtherBytes}}) {
        SCOPED_TRACE(::testing::Message() << "call " << int(c.call) << " #" << c.occurrence);
        restoreTarget();
        FailingCalls calls(c.call, c.occurrence, c.error);
        const auto result = runConversion(source, target, {}, calls);
        ASSERT_FALSE(result);
        const EngineError& e = result.error();
        const int code = c.cause == Cause::System || c.cause == Cause::OwnerNotKept || c.cause == Cause::MountPoint ? c.error : 0;
        EXPECT_EQ(std::tuple(e.file, e.step, e.path, e.cause, e.code), std::tuple(c.role, c.step, c.role == FileRole::Source ? source : target, c.cause, code));
        ASSERT_EQ(e.undo.has_value(), c.step == Step::Verify);  // the target holds the converted level: undoable
        if (c.step != Step::Verify || c.error < 0) continue;  // undo restores the first bytes only
        EXPECT_EQ(undoConversion(*result.error().undo), UndoOutcome::Restored);
        EXPECT_EQ(readBytes(target), targetBytes);
    }
}

// Another program writes or creates the target (or rewrites the source) while
// a run or an undo is under way, just before its check: nothing may be written.
TEST_F(FileFaults, AnotherWriterIsNeverOverwritten) {
    const Bytes theirs = testing::randomBytes(targetBytes.size(), 7);  // same size: only the times tell
    for (const auto& [undo, exists, ofSource] : {std::tuple{false, true, false}, std::tuple{false, false, false},
                                                 std::tuple{true, true, false}, std::tuple{false, true, true}}) {
        SCOPED_TRACE(::testing::Message() << (undo ? "undo" : "run") << (exists ? "" : " of a new target")
                                          << (ofSource ? ", source rewritten" : ""));
        restoreTarget();
        if (!exists) std::filesystem::remove(target);
        const auto record = undo ? runConversion(source, target).value().undo : std::nullopt;
        FailingCalls calls;
        bool wrote = false;
        calls.before = [&](Call call, const char*) {
            if (call == Call::Fsync && !std::exchange(wrote, true)) writeBytes(ofSource ? source : target, theirs);
            return 0;  // the temporary file's fsync
        };
        const auto said = [](const auto& result) { return result ? std::pair(Step::Open, Cause::System) : std::pair(result.error().step, result.error().cause); };
        const auto step = record ? said(undoConversion(*record, calls)) : said(runConversion(source, target, {}, calls));
        EXPECT_TRUE(wrote);
        EXPECT_EQ(step, std::pair(undo ? Step::Changed : ofSource ? Step::Recheck : Step::Replace, Cause::ChangedMeanwhile));
        EXPECT_EQ(readBytes(target), ofSource ? targetBytes : theirs);
        writeBytes(source, sourceBytes);
        EXPECT_TRUE(temporaryFiles(folder.path()).empty());
    }
}

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
        calls.before = [&](Call call, const char* path) {
            if (call == Call::Open && !unnamed && folder.path() == path) return EOPNOTSUPP;  // O_TMPFILE on the folder
            if (path != nullptr && std::string_view(path).find(".tavro-") != std::string_view::npos && planted++ == 0)
                std::filesystem::create_symlink(victim, path);
            return 0;
        };
        const auto result = runConversion(source, target, {}, calls);
        ASSERT_TRUE(result) << result.error().path;
        EXPECT_EQ(planted, 2);  // planted once, then a fresh name
        EXPECT_EQ(readBytes(victim), (Bytes{1, 2, 3})) << "written through a planted link";
        EXPECT_EQ(readBytes(target), converted);
        EXPECT_EQ(folder.names().size(), 4u);  // one, two, victim and the planted link, left alone
        for (const auto& path : temporaryFiles(folder.path())) std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace tavro
