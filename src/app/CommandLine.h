#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantor {

// What the executable was asked to do, read from its arguments.
struct CommandLine {
    // Level file started instead of the setup's startlevel; empty: the setup's.
    std::string level;
    // No window, render system, input or sound device; a fixed-step clock.
    bool headless = false;
    // Ticks the run lasts at most; 0: until the game ends itself.
    uint64_t ticks = 0;
    // Input journal written by this run, or played back into it; empty: none.
    std::string recordFile;
    std::string replayFile;
    bool help = false;
    bool version = false;
};

// Process exit codes of the executable.
constexpr int kExitOk = 0;
constexpr int kExitScriptErrors = 1;  // also: the game could not start
constexpr int kExitUsage = 2;         // bad arguments or an unusable recording

// The usage text --help prints and a refused command line ends with.
std::string usageText();

// Reads the arguments after the program name. Returns false with `error` set
// (one line, without the usage text) when they cannot be followed.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

}  // namespace vantor
