// Reads the run log of the stand-in tool: one JSON object a line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace QueltTest {

// One line of the stand-in tool's log.
struct LoggedRun {
    std::vector<std::string> Argv;    // each argument decoded back to its bytes
    std::vector<std::string> RawArgv; // each argument as the JSON text between its quotes
    long long Pid = 0;
    bool Accepted = false;
    std::optional<std::string> CommandLine; // Windows: the raw command line the tool received
    std::optional<unsigned> Show;           // Windows: the show state it was started with
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

} // namespace QueltTest
