// `tavro convert` killed at random moments, and two runs racing for one
// target: the target always holds either its old bytes or a complete result.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "sample_pair.h"

extern char** environ;

namespace tavro::test {
namespace {

namespace fs = std::filesystem;

pid_t startConvert(const std::string& source, const std::string& target) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = TAVRO_CLI, command = "convert";
    std::string sourceArgument = source, targetArgument = target;
    char* argv[] = {program.data(), command.data(), sourceArgument.data(), targetArgument.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, TAVRO_CLI, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
}

using KilledRuns = SamplePair;

// The kills are spread over a little more than a whole run's time here.
TEST_F(KilledRuns, TargetIsOldOrNewNeverAMix) {
    const auto start = std::chrono::steady_clock::now();
    waitFor(startConvert(source, target));
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    restoreTarget();
    std::mt19937 random(42);
    int old = 0, leftovers = 0;
    constexpr int kRuns = 250;
    for (int run = 0; run < kRuns; ++run) {
        const pid_t pid = startConvert(source, target);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(random()) % (runTime.count() * 5 / 4 + 1)));
        ::kill(pid, SIGKILL);
        waitFor(pid);
        if (const core::Bytes after = readBytes(target); after == targetBytes) {
            ++old;
        } else {
            ASSERT_EQ(after, converted) << "run " << run << " left a torn target";
            restoreTarget();
        }
        const auto temporary = temporaryFiles(folder.path());
        ASSERT_LE(temporary.size(), 1u) << "run " << run;
        leftovers += static_cast<int>(temporary.size());
        for (const auto& path : temporary) fs::remove(path);
    }
    std::printf("%d killed runs: %d left the old target, %d the converted one; %d left a temporary file\n", kRuns, old, kRuns - old, leftovers);
}

}  // namespace
}  // namespace tavro::test
