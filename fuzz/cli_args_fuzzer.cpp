// Reading arbitrary `tavro` command lines. Only parsing: the chosen command
// is never run, so no file is touched.
//
// Input: the arguments, separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments{"tavro"};
    std::string current;
    for (std::size_t i = 0; i < size && arguments.size() < 64; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    arguments.push_back(current);

    std::vector<const char*> argv;
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);

    std::ostringstream out, err;
    const auto invocation = tavro::cli::parseCommandLine(static_cast<int>(arguments.size()), argv.data(), out, err);
    if (invocation.run && invocation.status != 0) std::abort();
    if (!invocation.run && invocation.status != 0 && invocation.status != 2) std::abort();
    if (invocation.status == 2 && err.str().empty()) std::abort();  // a usage error always says why
    return 0;
}
