// Runs the `tavro` executable and captures what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_files.h"

namespace tavro::testing {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::string shellQuoted(const std::string& text) {
    std::string quoted(1, '\'');
    for (const char c : text) {
        if (c == '\'') {
            quoted.append("'\\''");
        } else {
            quoted.push_back(c);
        }
    }
    quoted.push_back('\'');
    return quoted;
}

inline CliResult runCli(const TempFolder& folder, const std::vector<std::string>& arguments) {
    std::string command = shellQuoted(TAVRO_CLI);
    for (const auto& argument : arguments) command.append(" ").append(shellQuoted(argument));
    const std::string out = folder.file(".out"), err = folder.file(".err");
    command.append(" >").append(shellQuoted(out)).append(" 2>").append(shellQuoted(err)).append(" </dev/null");
    const int raw = std::system(command.c_str());
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto outBytes = readBytes(out), errBytes = readBytes(err);
    result.out.assign(outBytes.begin(), outBytes.end());
    result.err.assign(errBytes.begin(), errBytes.end());
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

}  // namespace tavro::testing
