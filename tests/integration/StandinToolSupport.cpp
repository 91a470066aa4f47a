#include "StandinToolSupport.hpp"

#include <gtest/gtest.h>

#include <utility>

namespace StandinTest {

// --- Running the stand-in -----------------------------------------------------------------------

// Starts the stand-in with exactly this argv (argv[0] included, whatever it says) and nothing in
// its environment but the given NAME=value entries.
ProcessOutcome RunStandin(const std::vector<std::string>& Argv,
                          const std::vector<std::string>& Environment) {
    return QueltTest::RunProgram(std::string(Standin), Argv, Environment);
}

std::vector<std::string> WithProgram(std::vector<std::string> Arguments) {
    Arguments.insert(Arguments.begin(), std::string(Standin));
    return Arguments;
}

// The log file in a test's own temporary folder.
std::string LogFileIn(const TempDir& Dir) {
    return (Dir.Path() / "runs.jsonl").string();
}

// The log must hold exactly one well-formed line, for this run, with this argv and verdict.
LoggedRun ExpectOnlyLoggedRun(const std::string& LogPath, const ProcessOutcome& Run,
                              const std::vector<std::string>& Argv, bool Accepted) {
    const std::vector<LoggedRun> Runs = QueltTest::ReadStandinLog(LogPath);
    EXPECT_EQ(Runs.size(), 1U);
    if (Runs.empty()) {
        return {};
    }
    EXPECT_EQ(Runs.front().Pid, Run.Pid);
    EXPECT_EQ(Runs.front().Argv, Argv);
    EXPECT_EQ(Runs.front().Accepted, Accepted);
    return Runs.front();
}

void ExpectOneLineWithPrefix(const std::string& Text) {
    EXPECT_TRUE(Text.starts_with(OutputPrefix)) << Text;
    EXPECT_TRUE(Text.ends_with("\n")) << Text;
    EXPECT_EQ(Text.find('\n'), Text.size() - 1) << Text;
}

// --- Command lines ------------------------------------------------------------------------------

std::vector<std::string> Join(std::vector<std::string> Leading,
                              const std::vector<std::string>& Tail) {
    Leading.insert(Leading.end(), Tail.begin(), Tail.end());
    return Leading;
}

std::vector<std::string> Head() {
    return {"--write", "--drivename", "E", "--real"};
}

// The command up to and including its label, with speed and label free to vary.
std::vector<std::string> Prefix(const std::string& Speed, const std::string& Label) {
    return Join(Head(), {"--recursive", "--speed", Speed, "--iso", Label});
}

std::vector<std::string> AcceptedArguments() {
    return Join(Prefix("4", "L"), {"/a"});
}

} // namespace StandinTest
