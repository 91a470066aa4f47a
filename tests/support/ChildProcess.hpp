// Runs a program as a real process for the POSIX integration tests and collects what it printed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace QueltTest {

struct ProcessOutcome {
    long long Pid = -1;
    int ExitCode = -1;         // the exit status, or -1 when the program did not exit normally
    std::optional<int> Signal; // the signal that ended it, if one did
    std::string Out;
    std::string Err;
};

// Runs Program with Argv (Argv[0] included, whatever it says) and standard input closed, reads
// both output streams to the end and waits for it. With no Environment it inherits the current
// environment; with one it gets exactly those NAME=value entries. Failing to start it or to
// collect its output throws std::system_error.
ProcessOutcome RunProgram(const std::string& Program, const std::vector<std::string>& Argv,
                          const std::optional<std::vector<std::string>>& Environment);

// The same with Argv[0] as the program.
ProcessOutcome
RunProgram(const std::vector<std::string>& Argv,
           const std::optional<std::vector<std::string>>& Environment = std::nullopt);

// True while a process with this id exists (a zombie counts as existing).
bool ProcessExists(long long Pid);

// The children of this process, as /proc shows them: all of them, or only those that have ended
// and not been collected (zombies).
std::vector<long> ChildProcesses();
std::vector<long> ZombieChildren();

} // namespace QueltTest
