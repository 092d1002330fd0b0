// What a run keeps and refuses that only POSIX systems have: modes, owners,
// the umask, symbolic links (one at TARGET.bak, which stays) and FIFOs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include <tavro/run/conversion_run.h>
#include "sample_pair.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;
using namespace tavro::test;
using PosixRun = test::SamplePair;

// Through a chain of two links, with a set-group-ID bit in the mode; as root
// the owner is given away first, so that keeping it shows. A link at
// TARGET.bak stays, never written through, and the backup takes the next
// name with the target's owner, group and mode.
TEST_F(PosixRun, TargetKeepsItsModeAndOwnerAndLinksStayLinks) {
    const std::string real = folder.file("real.state");
    fs::rename(target, real);
    fs::create_symlink("real.state", folder.file("middle.state"));
    fs::create_symlink("middle.state", target);
    writeBytes(folder.file("victim"), {1, 2, 3});
    fs::create_symlink("victim", target + ".bak");
    ::chmod(real.c_str(), 02640);
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(real.c_str(), 1234, 5678) == 0);

    const auto report = run::runConversion(source, target, {.backup = true});
    ASSERT_TRUE(report && report->backupPath == target + ".bak.2" && report->olderBackupsKept);
    EXPECT_TRUE(fs::is_symlink(target) && fs::is_symlink(folder.file("middle.state")));
    EXPECT_EQ(readBytes(real), converted);
    EXPECT_EQ(readBytes(*report->backupPath), targetBytes);
    EXPECT_EQ(readBytes(folder.file("victim")), (core::Bytes{1, 2, 3}));
    for (const auto& path : {real, *report->backupPath}) {
        struct stat status{};
        ASSERT_EQ(::lstat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 02640u) << path;
        EXPECT_TRUE(!root || (status.st_uid == 1234u && status.st_gid == 5678u)) << path << " " << status.st_uid << ":" << status.st_gid;
    }
    EXPECT_TRUE(fs::is_symlink(target + ".bak"));
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"middle.state", "one.state", "real.state", "two.state", "two.state.bak", "two.state.bak.2", "victim"}));
}

// A new file gets 0666 less the umask, which stays as it was; undo refuses to
// touch a FIFO put where the created file was.
TEST_F(PosixRun, CreatesWithTheUmaskAndUndoLeavesAFifoAlone) {
    const std::string created = folder.file("new.state");
    const mode_t umask = ::umask(027);
    const auto creation = run::runConversion(source, created);
    EXPECT_EQ(::umask(umask), 027u);
    ASSERT_TRUE(creation && creation->undo);
    EXPECT_EQ(fs::status(created).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::remove(created);
    ASSERT_EQ(::mkfifo(created.c_str(), 0644), 0);
    const auto special = run::undoConversion(*creation->undo).error();
    EXPECT_EQ(std::tuple(special.operation, special.step, special.cause), std::tuple(core::Operation::Undo, core::Step::Open, core::Cause::NotRegularFile));
    EXPECT_TRUE(fs::is_fifo(created));
}

}  // namespace
}  // namespace tavro
