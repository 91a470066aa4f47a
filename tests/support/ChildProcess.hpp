// Runs a program as a real process for the integration tests, collects what it printed, and reads
// the run log the stand-in tool writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
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

// One line of the stand-in tool's log.
struct LoggedRun {
    std::vector<std::string> Argv;    // each argument decoded back to its bytes
    std::vector<std::string> RawArgv; // each argument as the JSON text between its quotes
    long long Pid = 0;
    bool Accepted = false;
};

// Splits Text into lines; every line must end in a line feed, as a half-written line is a fault
// that fails the test.
std::vector<std::string> SplitLines(const std::string& Text);

// Reads one log line: a flat JSON object of strings, arrays of strings, whole numbers and
// booleans that holds "argv", "pid" and "accepted". Anything else, malformed JSON included, gives
// no value.
std::optional<LoggedRun> ParseStandinLogLine(std::string_view Line);

// Reads every line of the stand-in's log file; a line that does not parse fails the test.
std::vector<LoggedRun> ReadStandinLog(const std::string& Path);

// True while a process with this id exists (a zombie counts as existing).
bool ProcessExists(long long Pid);

} // namespace QueltTest
