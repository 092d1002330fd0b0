// Reading the `tavro` command line, apart from running what it asks for, so
// that parsing can be tested (and fuzzed) without touching any file.
#pragma once

#include <functional>
#include <ostream>

namespace tavro::cli {

struct Invocation {
    int status = 0;            // exit status when there is nothing to run (help, version, usage error)
    std::function<int()> run;  // the chosen command; returns the exit status
};

// Help and version go to `out`; usage errors, with the usage, to `err` (status 2).
Invocation parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The whole program on UTF-8 arguments: parses, runs, returns the exit status.
// Nothing escapes: whatever goes wrong unexpectedly is one line and status 1.
int runMain(int argc, const char* const* argv);

}  // namespace tavro::cli
