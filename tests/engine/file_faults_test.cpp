// Every system call of a run made to fail in turn: the run must say what
// failed, and the target must hold its old bytes or, only when the failure
// came while checking the written file, the complete new ones.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "conversion_run.h"
#include "file_access.h"
#include "sample_pair.h"

namespace tavro {
namespace {

using testing::Bytes;
using testing::readBytes;
using testing::writeBytes;

enum class Call { Open, Fstat, Read, Write, Fsync, Close, Link, Rename, Unlink };

// Real calls, except that occurrence `failAt` (1-based) of call `failing`
// fails with `error`, or with a short read when `error` is 0.
class FailingCalls : public files::SystemCalls {
public:
    FailingCalls() = default;
    FailingCalls(Call failing, int failAt, int error) : failing_(failing), failAt_(failAt), error_(error) {}

    int count(Call call) const { return counts_.contains(call) ? counts_.at(call) : 0; }
    bool fired() const { return fired_; }

    int open(const char* path, int flags, mode_t mode) override {
        return hit(Call::Open) ? fail() : SystemCalls::open(path, flags, mode);
    }
    int fstat(int fd, struct stat* status) override {
        return hit(Call::Fstat) ? fail() : SystemCalls::fstat(fd, status);
    }
    ssize_t read(int fd, void* buffer, std::size_t size) override {
        if (fd == shortRead_) return 0;  // the file seems to end after a short read
        if (!hit(Call::Read)) return SystemCalls::read(fd, buffer, size);
        if (error_ != 0) return fail();
        shortRead_ = fd;  // half of what was asked, then the file seems to end
        return SystemCalls::read(fd, buffer, size / 2);
    }
    ssize_t write(int fd, const void* buffer, std::size_t size) override {
        return hit(Call::Write) ? fail() : SystemCalls::write(fd, buffer, size);
    }
    int fsync(int fd) override { return hit(Call::Fsync) ? fail() : SystemCalls::fsync(fd); }
    int close(int fd) override {
        if (fd == shortRead_) shortRead_ = -1;
        const int result = SystemCalls::close(fd);  // the descriptor is gone even when close fails
        return hit(Call::Close) ? fail() : result;
    }
    int link(int fd, const char* path) override { return hit(Call::Link) ? fail() : SystemCalls::link(fd, path); }
    int rename(const char* from, const char* to) override {
        return hit(Call::Rename) ? fail() : SystemCalls::rename(from, to);
    }
    int unlink(const char* path) override { return hit(Call::Unlink) ? fail() : SystemCalls::unlink(path); }

private:
    bool hit(Call call) {
        const int occurrence = ++counts_[call];
        if (call != failing_ || occurrence != failAt_) return false;
        fired_ = true;
        return true;
    }
    int fail() const {
        errno = error_;
        return -1;
    }

    std::map<Call, int> counts_;
    Call failing_ = Call::Open;
    int failAt_ = 0;
    int error_ = 0;
    bool fired_ = false;
    int shortRead_ = -1;
};

class FileFaults : public testing::SamplePair {
protected:
    void reset() const { restoreTarget(); }

    // Runs with one failing call and checks the promise; returns the error's step, if any.
    std::optional<Step> runFailing(Call call, int occurrence, int error) {
        FailingCalls calls(call, occurrence, error);
        const auto result = runConversion(source, target, {}, calls);
        EXPECT_TRUE(calls.fired());
        const Bytes after = readBytes(target);
        EXPECT_EQ(readBytes(source), sourceBytes);
        EXPECT_EQ(folder.names(), (std::vector<std::string>{"one.state", "two.state"})) << "left a file behind";
        if (result) {
            EXPECT_EQ(after, converted) << "reported success without the converted bytes";
            return std::nullopt;
        }
        EXPECT_FALSE(result.error().message().empty());
        EXPECT_FALSE(result.error().reason.empty());
        if (result.error().step == Step::Verify) {
            EXPECT_TRUE(after == converted || after == targetBytes) << "torn target";
        } else {
            EXPECT_EQ(after, targetBytes) << "target changed by a failed run: " << result.error().message();
        }
        return result.error().step;
    }
};

TEST_F(FileFaults, EveryCallFailingInTurnKeepsThePromise) {
    FailingCalls counting;
    ASSERT_TRUE(runConversion(source, target, {}, counting));

    int injected = 0, failedRuns = 0;
    for (const Call call : {Call::Open, Call::Fstat, Call::Read, Call::Write, Call::Fsync, Call::Close, Call::Link,
                            Call::Rename, Call::Unlink}) {
        for (int occurrence = 1; occurrence <= counting.count(call); ++occurrence) {
            for (const int error : {EIO, 0}) {
                if (error == 0 && call != Call::Read) continue;
                reset();
                SCOPED_TRACE(::testing::Message() << "call " << static_cast<int>(call) << " #" << occurrence);
                ++injected;
                if (runFailing(call, occurrence, error)) ++failedRuns;
            }
        }
    }
    EXPECT_GT(injected, 15);
    EXPECT_GT(failedRuns, 10);
    std::printf("faults injected: %d, runs that reported a failure: %d\n", injected, failedRuns);
}

TEST_F(FileFaults, EachStepIsNamed) {
    const auto expectStep = [this](Call call, int occurrence, int error, FileRole role, Step step) -> std::string {
        reset();
        FailingCalls calls(call, occurrence, error);
        const auto result = runConversion(source, target, {}, calls);
        if (result) {
            ADD_FAILURE() << "call " << static_cast<int>(call) << " #" << occurrence << " did not fail the run";
            return {};
        }
        EXPECT_EQ(result.error().file, role) << result.error().message();
        EXPECT_EQ(result.error().step, step) << result.error().message();
        return result.error().message();
    };
    EXPECT_EQ(expectStep(Call::Open, 1, ENOENT, FileRole::Source, Step::Open),
              "cannot open source file " + source + ": No such file or directory");
    EXPECT_EQ(expectStep(Call::Read, 1, EIO, FileRole::Source, Step::Read),
              "cannot read source file " + source + ": Input/output error");
    EXPECT_NE(expectStep(Call::Read, 1, 0, FileRole::Source, Step::Read).find("ended after"), std::string::npos);
    expectStep(Call::Open, 2, EACCES, FileRole::Target, Step::Open);
    expectStep(Call::Open, 3, ENOSPC, FileRole::Target, Step::Create);
    EXPECT_EQ(expectStep(Call::Write, 1, ENOSPC, FileRole::Target, Step::Write),
              "cannot write target file " + target + ": No space left on device");
    expectStep(Call::Fsync, 1, EIO, FileRole::Target, Step::Flush);
    expectStep(Call::Rename, 1, EXDEV, FileRole::Target, Step::Replace);
    expectStep(Call::Open, 5, EIO, FileRole::Target, Step::Verify);
}

// Plants a symbolic link to a victim file at exactly the name the run is
// about to create or link its temporary file under, as an attacker sharing
// the folder might; the first time for unnamed files, which are given a name
// just before the rename, and once more with unnamed files unavailable.
class PlantingCalls : public files::SystemCalls {
public:
    PlantingCalls(std::string victim, bool unnamedAvailable) : victim_(std::move(victim)), unnamed_(unnamedAvailable) {}
    int planted = 0;

    int open(const char* path, int flags, mode_t mode) override {
        if ((flags & O_TMPFILE) == O_TMPFILE && !unnamed_) {
            errno = EOPNOTSUPP;
            return -1;
        }
        if ((flags & O_CREAT) != 0 && planted == 0) plant(path);
        return SystemCalls::open(path, flags, mode);
    }
    int link(int fd, const char* path) override {
        if (planted == 0) plant(path);
        return SystemCalls::link(fd, path);
    }

private:
    void plant(const char* path) {
        std::filesystem::create_symlink(victim_, path);
        ++planted;
    }
    std::string victim_;
    bool unnamed_;
};

TEST_F(FileFaults, TemporaryNamesAreTakenExclusively) {
    const std::string victim = folder.file("victim");
    for (const bool unnamed : {true, false}) {
        reset();
        writeBytes(victim, {1, 2, 3});
        PlantingCalls calls(victim, unnamed);
        const auto result = runConversion(source, target, {}, calls);
        ASSERT_TRUE(result) << result.error().message();
        EXPECT_EQ(calls.planted, 1);
        EXPECT_EQ(readBytes(victim), (Bytes{1, 2, 3})) << "written through a planted link";
        EXPECT_EQ(readBytes(target), converted);
        EXPECT_EQ(folder.names().size(), 4u);  // one, two, victim and the planted link, left alone
        for (const auto& name : folder.names())
            if (name.starts_with(".two.state.tavro-")) std::filesystem::remove(folder.file(name));
    }
}

}  // namespace
}  // namespace tavro
