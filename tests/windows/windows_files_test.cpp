// What only Windows has: read-only files, files another program holds open
// without letting them go, drive letters, paths rooted on the current drive,
// long paths, and names no single-byte code page spells.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cli_runner.h"
#include <tavro/run/conversion_run.h>
#include "sample_pair.h"

namespace tavro {
namespace {

using namespace tavro::test;
using WindowsRun = test::SamplePair;

// Refused with the cause named; the target keeps its bytes and its
// attributes, and no temporary file is left. Once let go, it converts.
TEST_F(WindowsRun, RefusesReadOnlyAndHeldOpenTargets) {
    const std::wstring wide = utf8Path(target).wstring();
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    auto refused = run::runConversion(source, target, {.backup = true});
    ASSERT_FALSE(refused);
    using Said = std::tuple<core::FileRole, core::Step, std::string, core::Cause, std::string>;
    EXPECT_EQ(Said(refused.error().file, refused.error().step, refused.error().path, refused.error().cause, refused.error().reason),
              Said(core::FileRole::Target, core::Step::Replace, target, core::Cause::System, "it is read-only"));
    EXPECT_EQ(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL));

    // As an emulator might: reading and writing shared, deleting not.
    const HANDLE held = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    refused = run::runConversion(source, target);
    CloseHandle(held);
    ASSERT_FALSE(refused);
    EXPECT_EQ(Said(refused.error().file, refused.error().step, refused.error().path, refused.error().cause, refused.error().reason),
              Said(core::FileRole::Target, core::Step::Replace, target, core::Cause::OpenElsewhere, ""));
    EXPECT_EQ(readBytes(target), targetBytes);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"one.state", "two.state"}));

    ASSERT_TRUE(run::runConversion(source, target));
    EXPECT_EQ(readBytes(target), converted);
}

// A target named in other letters' case keeps its own name.
TEST_F(WindowsRun, TargetKeepsTheCaseOfItsName) {
    writeBytes(folder.file("lower.state"), targetBytes);
    ASSERT_TRUE(run::runConversion(source, folder.file("LOWER.STATE")));
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"lower.state", "one.state", "two.state"}));
    EXPECT_EQ(readBytes(folder.file("lower.state")), converted);
}

// Each way of naming a target, through tavro.exe: the report names it as
// given, the bytes are the converted ones, and the backup lies beside it.
// Paths rooted without a drive name a file on the current folder's drive
// (which Wine maps to the Unix root, where a "/" path is a Unix path too).
TEST_F(WindowsRun, TargetsNamedAnyWayConvertThroughTheCommandLine) {
    const auto here = std::filesystem::current_path() / ("rooted-" + std::to_string(GetCurrentProcessId()) + ".state");
    const std::string rooted = utf8(here.relative_path());  // "work\...\rooted-N.state"
    std::string slashed = "/" + rooted;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const std::string longName = std::string(220, 'x') + ".state";
    const std::vector<std::string> paths = {
        slashed, "\\" + rooted, utf8(folder.path().generic_u8string()) + "/two.state", folder.file("säve.state"), folder.file("レベル.state"), folder.file(longName)};
    // The test's own reads and writes of a long path need the prefix that lifts MAX_PATH.
    const auto local = [](const std::string& path) { return path.size() < MAX_PATH - 12 ? path : R"(\\?\)" + path; };
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        writeBytes(local(path), targetBytes);
        const CliResult result = runCli(folder, {"convert", "--backup", source, path});
        EXPECT_EQ(result.status, 0) << result.err;
        const std::string said = result.out.substr(0, result.out.find('\n'));  // a lossy conversion leads with its warning
        EXPECT_TRUE(said == "Patched " + path + " (verified)." || said.find(" in " + path + " (patched, verified);") != std::string::npos) << said;
        EXPECT_EQ(readBytes(local(path)), converted);
        EXPECT_EQ(readBytes(local(path + ".bak")), targetBytes);
        EXPECT_TRUE(temporaryFiles(utf8Path(path).parent_path()).empty());
    }
    std::filesystem::remove(here);
    std::filesystem::remove(here.string() + ".bak");
}

}  // namespace
}  // namespace tavro
