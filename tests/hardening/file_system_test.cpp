// Real file-system faults met by the `tavro` command line: every failure is
// one line naming the file, the target keeps its old bytes, nothing is left.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "cli_runner.h"
#include "sample_pair.h"

namespace tavro::testing {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class FileSystemFaults : public SamplePair {
protected:
    // A failed run: exit 1, one line on stderr containing `words`, target kept.
    void expectFailure(std::initializer_list<std::string> arguments, const std::string& words) {
        const auto result = runCli(folder, arguments);
        EXPECT_EQ(result.status, 1) << result.out;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(contains(result.err, words)) << result.err;
        EXPECT_EQ(readBytes(target), targetBytes);
        EXPECT_EQ(readBytes(source), sourceBytes);
    }
};

TEST_F(FileSystemFaults, FoldersInPlaceOfFiles) {
    const std::string sub = folder.file("sub");
    fs::create_directory(sub);
    expectFailure({"convert", sub, target}, "cannot read source file " + sub + ": Is a directory");
    expectFailure({"convert", source, sub}, "target file " + sub);
    EXPECT_TRUE(fs::is_empty(sub));
}

TEST_F(FileSystemFaults, NamesTooLongForTheSystem) {
    const std::string longName = folder.file(std::string(300, 'n'));
    expectFailure({"convert", source, longName}, "File name too long");
    std::string deep = folder.path().string();
    while (deep.size() < 5000) deep += "/" + std::string(200, 'd');
    expectFailure({"convert", source, deep}, "File name too long");
    expectFailure({"convert", deep, target}, "File name too long");
}

TEST_F(FileSystemFaults, UnusualNamesConvert) {
    for (const std::string name : {"with spaces.state", "conversão ☃.state", "bytes \xff\xfe\x80.state", "-dash.state"}) {
        const std::string odd = folder.file(name);
        writeBytes(odd, targetBytes);
        const auto result = runCli(folder, {"convert", source, odd});
        EXPECT_EQ(result.status, 0) << name << ": " << result.err;
        EXPECT_EQ(readBytes(odd), converted) << name;
    }
}

TEST_F(FileSystemFaults, DanglingLinkGetsItsFile) {
    const std::string link = folder.file("link.state");
    fs::create_symlink("made.state", link);
    const auto result = runCli(folder, {"convert", source, link});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(folder.file("made.state")).size(), 107640u);
}

// Drops to an unprivileged user when running as root, where permission bits
// would not stop anything.
TEST_F(FileSystemFaults, ReadOnlyFolder) {
    const std::string locked = folder.file("locked");
    fs::create_directory(locked);
    const std::string lockedTarget = locked + "/two.state";
    writeBytes(lockedTarget, targetBytes);
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    fs::permissions(lockedTarget, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                                      fs::perms::others_write);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);

    std::string command;
    if (::geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "running as root without setpriv";
        command = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }
    command.append(shellQuoted(TAVRO_CLI)).append(" convert ").append(shellQuoted(source)).append(" ");
    command.append(shellQuoted(lockedTarget)).append(" 2>").append(shellQuoted(folder.file("err")));
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    const Bytes err = readBytes(folder.file("err"));
    EXPECT_TRUE(contains(std::string(err.begin(), err.end()), "Permission denied")) << std::string(err.begin(), err.end());
    EXPECT_EQ(readBytes(lockedTarget), targetBytes);
    EXPECT_TRUE(temporaryFiles(locked).empty());
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(FileSystemFaults, FullDisk) {
    const std::string small = folder.file("small");
    fs::create_directory(small);
    if (::mount("tavro-test", small.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    const std::string smallTarget = small + "/two.state";
    writeBytes(smallTarget, targetBytes);  // the copy beside it cannot fit
    const auto result = runCli(folder, {"convert", source, smallTarget});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(contains(result.err, "No space left on device")) << result.err;
    EXPECT_EQ(readBytes(smallTarget), targetBytes);
    EXPECT_TRUE(temporaryFiles(small).empty());
    ::umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace tavro::testing
