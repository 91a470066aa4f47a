// What the stand-in tool's tests share: running the stand-in with exactly an argv and an
// environment, what its one line and its log must look like, and the command lines they give it.
#pragma once

#include "ChildProcess.hpp"
#include "StandinLog.hpp"
#include "TestFiles.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace StandinTest {

using QueltTest::LoggedRun;
using QueltTest::ProcessOutcome;
using QueltTest::TempDir;

constexpr std::string_view Standin = QUELT_STANDIN_PATH;
constexpr std::string_view OutputPrefix = "NeroCmd stand-in: ";

// Starts the stand-in with exactly this argv (argv[0] included, whatever it says) and nothing in
// its environment but the given NAME=value entries.
ProcessOutcome RunStandin(const std::vector<std::string>& Argv,
                          const std::vector<std::string>& Environment);
std::vector<std::string> WithProgram(std::vector<std::string> Arguments);
// The log file in a test's own temporary folder.
std::string LogFileIn(const TempDir& Dir);
// The log must hold exactly one well-formed line, for this run, with this argv and verdict.
LoggedRun ExpectOnlyLoggedRun(const std::string& LogPath, const ProcessOutcome& Run,
                              const std::vector<std::string>& Argv, bool Accepted);
void ExpectOneLineWithPrefix(const std::string& Text);

std::vector<std::string> Join(std::vector<std::string> Leading,
                              const std::vector<std::string>& Tail);
std::vector<std::string> Head();
// The command up to and including its label, with speed and label free to vary.
std::vector<std::string> Prefix(const std::string& Speed, const std::string& Label);
// A command line the stand-in accepts.
std::vector<std::string> AcceptedArguments();

using Args = std::vector<std::string>;
inline const Args Burn{"--write", "--drivename", "E", "--real"};

} // namespace StandinTest
