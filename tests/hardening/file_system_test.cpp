// Real file-system faults met by the `tavro` command line: every failure is
// exit status 1 and one line on standard error naming the file (nothing on
// standard output); the target keeps its old bytes, nothing is left.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "cli_runner.h"
#include "sample_pair.h"

namespace tavro::test {
namespace {

namespace fs = std::filesystem;

class FileSystemFaults : public SamplePair {
protected:
    // A failed run: exit 1, one line on stderr containing `words`, target kept.
    void expectFailure(const std::vector<std::string>& arguments, const std::string& words) {
        const auto result = runCli(folder, arguments);
        EXPECT_EQ(result.status, 1) << result.out;
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(contains(result.err, words)) << result.err;
        EXPECT_EQ(readBytes(target), targetBytes);
        EXPECT_EQ(readBytes(source), sourceBytes);
    }
};

TEST_F(FileSystemFaults, FoldersAndSpecialFilesInPlaceOfFiles) {
    const std::string sub = folder.file("sub");
    fs::create_directory(sub);
    const std::string missing = folder.file("missing.state");
    expectFailure({"convert", missing, target}, "tavro: cannot open source file " + missing + ": No such file or directory\n");
    expectFailure({"convert", sub, target}, "cannot read source file " + sub + ": Is a directory");
    expectFailure({"convert", source, sub}, "target file " + sub);
    EXPECT_TRUE(fs::is_empty(sub));
    const std::string fifo = folder.file("fifo"), device = folder.file("device");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0644, ::makedev(1, 3)), 0);
    for (const auto& out : {fifo, device}) {
        expectFailure({"render", "--game", "1", source, out}, "cannot open picture " + out + ": not a regular file");
        expectFailure({"convert", source, out}, "not a regular file");
    }
    EXPECT_TRUE(fs::is_fifo(fifo) && fs::is_character_file(device));
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    const std::string socketPath = folder.file("socket");
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    expectFailure({"convert", socketPath, target}, "tavro: cannot open source file " + socketPath + ": it is a socket, not a file\n");
    ::close(listening);
}

// Long names (the temporary name is cut to fit), odd ones, and a dangling
// link, which gets its file, all convert; names past the limits are refused.
TEST_F(FileSystemFaults, NamesConvertUpToTheSystemLimits) {
    fs::create_symlink("made.state", folder.file("link.state"));
    for (const std::string& name : {std::string(249, 'n'), std::string(255, 'n'), std::string("with spaces.state"), std::string("conversão ☃.state"),
                                    std::string("bytes \xff\xfe\x80.state"), std::string("-dash.state"), std::string("link.state")}) {
        const std::string path = folder.file(name);
        if (name != "link.state") writeBytes(path, targetBytes);
        const auto result = runCli(folder, {"convert", source, path});
        EXPECT_EQ(result.status, 0) << name << ": " << result.err;
        EXPECT_EQ(readBytes(path), name != "link.state" ? converted : core::patchTarget({}, core::convertRegions(core::readSourceRegions(sourceBytes)))) << name;
    }
    EXPECT_TRUE(fs::is_symlink(folder.file("link.state")));
    std::string deep = folder.path().string();
    while (deep.size() < 5000) deep += "/" + std::string(200, 'd');
    for (const auto& [from, to] : {std::pair{source, folder.file(std::string(256, 'n'))}, std::pair{source, deep}, std::pair{deep, target}})
        expectFailure({"convert", from, to}, "File name too long");
}

// Run as an unprivileged user (dropping to `nobody` when running as root,
// where permission bits would not stop anything): a target that user could
// not write, in a locked folder or not, and another user's file the group may
// write, whose owner the run could not keep, are all refused.
TEST_F(FileSystemFaults, TargetsTheUserCouldNotReplaceAsTheyAre) {
    std::string prefix;
    if (::geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "running as root without setpriv";
        prefix = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }
    const std::string locked = folder.file("locked"), open = folder.file("open");
    fs::create_directory(locked);
    fs::create_directory(open);
    ::chmod(folder.path().c_str(), 0755);
    ::chmod(source.c_str(), 0644);
    struct Case {
        std::string target;
        mode_t mode;
        bool owned;
        std::string words;
    };  // owned: by the user running, else root's
    const std::string replace = "tavro: cannot replace target file " + open;
    for (const Case& c : {Case{locked + "/two.state", 0666, true, "a temporary file in " + locked + ", the folder of target file " + locked + "/two.state: Permission denied"},
                          Case{open + "/read-only.state", 0444, true, replace + "/read-only.state: Permission denied"},
                          Case{open + "/theirs.state", 0664, false, replace + "/theirs.state: cannot keep its owner"}}) {
        writeBytes(c.target, targetBytes);
        if (!prefix.empty()) { ASSERT_EQ(::chown(c.target.c_str(), c.owned ? 65534 : 0, 65534), 0); }
        ::chmod(c.target.c_str(), c.mode);
        ::chmod(locked.c_str(), 0555);
        ::chmod(open.c_str(), 0777);
        const std::string command =
            prefix + shellQuoted(TAVRO_CLI) + " convert " + shellQuoted(source) + " " + shellQuoted(c.target) + " 2>" + shellQuoted(folder.file("err"));
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1) << c.target;
        const core::Bytes err = readBytes(folder.file("err"));
        const std::string said(err.begin(), err.end());
        EXPECT_TRUE(contains(said, c.words)) << said;
        EXPECT_EQ(readBytes(c.target), targetBytes);
        ::chmod(locked.c_str(), 0755);
        EXPECT_TRUE(temporaryFiles(locked).empty() && temporaryFiles(open).empty());
    }
}

// In a shared sticky folder (as root, planting another user's files there):
// a link of theirs, at the name or to a folder on the way, is not followed
// for a picture or a target (one already converted included), and a
// held-open target is refused, writing nothing; their older backup stays and
// the new backup takes the next name.
TEST_F(FileSystemFaults, OthersFilesInASharedFolderAndHeldTargetsAreRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "planting another user's files needs root";
    const std::string shared = folder.file("shared"), victim = folder.file("victim"), victimState = folder.file("victim.state");
    fs::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    // Someone's files that pass for a picture and for a Tavro 2 save state: only the link rule keeps them.
    core::Bytes victimBytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    victimBytes.insert(victimBytes.end(), targetBytes.begin(), targetBytes.end());
    writeBytes(victim, victimBytes);
    writeBytes(victimState, targetBytes);
    const std::string picture = shared + "/out.png", linked = shared + "/linked.state", kept = shared + "/kept.state";
    fs::create_symlink(victim, picture);
    fs::create_symlink(victimState, linked);
    writeBytes(kept, targetBytes);
    writeBytes(kept + ".bak", {4, 5, 6});
    // Their link to a file that holds the converted level already, and to a folder on the way.
    const std::string done = folder.file("done.state"), linkedDone = shared + "/done.state", folderLink = shared + "/dir";
    writeBytes(done, converted);
    fs::create_symlink(done, linkedDone);
    fs::create_symlink(folder.path(), folderLink);
    for (const auto& path : {picture, linked, kept + ".bak", linkedDone, folderLink}) ASSERT_EQ(::lchown(path.c_str(), 65534, 65534), 0);
    for (const auto& [arguments, words] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{{{"render", "--game", "1", source, picture}, "a link on the way belongs to user nobody (65534)"},
                                                                       {{"convert", source, linked}, "a link on the way belongs to user nobody (65534)"},
                                                                       {{"convert", source, linkedDone}, "a link on the way belongs to user nobody (65534)"},
                                                                       {{"convert", source, folderLink + "/two.state"}, "a link on the way belongs to user nobody (65534)"}})
        expectFailure(arguments, words);
    EXPECT_EQ(readBytes(victim), victimBytes);
    EXPECT_EQ(readBytes(victimState), targetBytes);
    EXPECT_EQ(runCli(folder, {"convert", "--backup", source, kept}).status, 0);
    EXPECT_EQ(std::tuple(readBytes(kept), readBytes(kept + ".bak"), readBytes(kept + ".bak.2")), std::tuple(converted, core::Bytes{4, 5, 6}, targetBytes));
    std::ifstream holder(target, std::ios::binary);  // another program's descriptor, as far as the run can tell
    expectFailure({"convert", source, target}, "another program has it open");
}

// What the run refuses, its dry run refuses too, and the run before anything is
// written: a target whose temporary name would pass the limit on paths, a
// bind-mounted target or TARGET.bak (as root).
TEST_F(FileSystemFaults, TheDryRunRefusesWhatTheRunRefuses) {
    std::string deep = folder.path().string();
    while (deep.size() < PATH_MAX - 107) deep += "/" + std::string(std::min<std::size_t>(200, PATH_MAX - 108 - deep.size()), 'd');
    fs::create_directories(deep);
    const std::string near = deep + "/" + std::string(100, 'n');  // fits the limit, its temporary name does not
    writeBytes(near, targetBytes);
    const std::string other = folder.file("other");
    writeBytes(other, targetBytes);
    for (const auto& [mounted, arguments, words] : std::vector<std::tuple<std::string, std::vector<std::string>, std::string>>{
             {"", {"convert", source, near}, "File name too long"}, {target, {"convert", source, target}, "it is a mount point"}}) {
        if (!mounted.empty() && (::geteuid() != 0 || ::mount(other.c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) != 0)) continue;
        for (const bool dryRun : {true, false}) {
            auto said = arguments;
            if (dryRun) said.insert(said.begin() + 1, "--dry-run");
            expectFailure(said, words);
        }
        EXPECT_EQ(readBytes(near), targetBytes);
        if (!mounted.empty()) ::umount(mounted.c_str());
    }
}

// A 2 GiB target, mostly a hole, is converted with little memory: the regions
// are patched, every later byte (and the size) is kept, and so are the holes.
TEST_F(FileSystemFaults, HugeSparseTargetConvertsInBoundedMemory) {
    constexpr std::uintmax_t kSize = std::uintmax_t{2} << 30;
    const std::vector<std::pair<std::uintmax_t, std::string>> marks{{200000, "early"}, {kSize / 2, "middle"}, {kSize - 4, "end!"}};
    {
        std::fstream file(target, std::ios::in | std::ios::out | std::ios::binary);
        for (const auto& [offset, text] : marks) file.seekp(static_cast<std::streamoff>(offset)) << text;
    }
    const auto result = runCli(folder, {"convert", source, target});
    ASSERT_EQ(result.status, 0) << result.err;
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "peak resident set size in KiB";
    struct stat status{};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(static_cast<std::uintmax_t>(status.st_size), kSize);
    EXPECT_LT(status.st_blocks, 64 * 2048) << "the holes were filled in";
    std::ifstream file(target, std::ios::binary);
    core::Bytes head(converted.size());
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    EXPECT_EQ(head, converted);
    for (const auto& [offset, text] : marks) {
        std::string found(text.size(), '\0');
        file.seekg(static_cast<std::streamoff>(offset)).read(found.data(), static_cast<std::streamsize>(found.size()));
        EXPECT_EQ(found, text) << "at " << offset;
    }
}

}  // namespace
}  // namespace tavro::test
