// Runs a program as a real process for the integration tests and collects what it printed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace QueltTest {

struct ProcessOutcome {
    int ExitCode = -1; // the exit status, or 128 + signal
    std::string Out;
    std::string Err;
};

// Runs Argv[0] with Argv, the current environment, and standard input closed.
ProcessOutcome RunProgram(const std::vector<std::string>& Argv);

// One line of the stand-in tool's log.
struct LoggedRun {
    std::vector<std::string> Argv;
    long long Pid = 0;
    bool Accepted = false;
};

// Reads every line of the stand-in's log file; a line that does not parse fails the test.
std::vector<LoggedRun> ReadStandinLog(const std::string& Path);

// True while a process with this id exists (a zombie counts as existing).
bool ProcessExists(long long Pid);

} // namespace QueltTest
