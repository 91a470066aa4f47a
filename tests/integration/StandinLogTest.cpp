// The NeroCmd.exe stand-in's run log: every argument exactly, as valid JSON, appended, one whole
// line a run when runs overlap, and exit code 3 when it cannot be written.
#include "StandinToolSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <fstream>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace StandinTest;

// --- The log ------------------------------------------------------------------------------------

struct EscapeCase {
    std::string Argument;
    std::string Json; // as written between the quotes
};

TEST(StandinLogTest, LogsEveryArgumentExactlyAsValidJson) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    const std::vector<EscapeCase> Cases = {
        {"plain /path", "plain /path"},
        {"quote\"d", R"(quote\"d)"},
        {R"(back\slash)", R"(back\\slash)"},
        {"line\nbreak\r", R"(line\u000abreak\u000d)"},
        {"\t\x01\x1f\x7f", R"(\u0009\u0001\u001f\u007f)"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"\xff", R"(\u00ff)"},
        {"\xc3", R"(\u00c3)"},                               // truncated sequence
        {"\xe2\x82", R"(\u00e2\u0082)"},                     // truncated sequence
        {"\xc0\xaf", R"(\u00c0\u00af)"},                     // overlong form
        {"\xed\xa0\x80", R"(\u00ed\u00a0\u0080)"},           // surrogate
        {"\xf4\x90\x80\x80", R"(\u00f4\u0090\u0080\u0080)"}, // past U+10FFFF
        {"\x80"
         "a\xc3\xa9",
         "\\u0080a\xc3\xa9"}, // stray continuation byte
    };
    // argv[0] is logged as the starter passed it, not as the path that was run.
    std::vector<std::string> Argv = {"NeroCmd.exe \"as named\""};
    const std::vector<std::string> Leading = Prefix("4", "two\nlines");
    Argv.insert(Argv.end(), Leading.begin(), Leading.end());
    for (const EscapeCase& Row : Cases) {
        Argv.push_back(Row.Argument);
    }

    const ProcessOutcome Run = RunStandin(Argv, {"NEROCMD_LOG=" + Log});

    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    ExpectOneLineWithPrefix(Run.Out);
    const LoggedRun Logged = ExpectOnlyLoggedRun(Log, Run, Argv, true);
    ASSERT_EQ(Logged.RawArgv.size(), Argv.size());
    const std::size_t FirstEntry = 1 + Leading.size();
    for (std::size_t I = 0; I < Cases.size(); ++I) {
        EXPECT_EQ(Logged.RawArgv[FirstEntry + I], Cases[I].Json) << "entry " << I;
    }
}

TEST(StandinLogTest, AppendsToWhatIsAlreadyThere) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    std::ofstream(Log) << "earlier line\n";

    const ProcessOutcome First =
        RunStandin(WithProgram(AcceptedArguments()), {"NEROCMD_LOG=" + Log});
    const ProcessOutcome Second = RunStandin(WithProgram({"--burn"}), {"NEROCMD_LOG=" + Log});

    const std::vector<std::string> Lines = QueltTest::SplitLines(QueltTest::ReadFile(Log));
    ASSERT_EQ(Lines.size(), 3U);
    EXPECT_EQ(Lines[0], "earlier line");
    const auto FirstLogged = QueltTest::ParseStandinLogLine(Lines[1]);
    const auto SecondLogged = QueltTest::ParseStandinLogLine(Lines[2]);
    ASSERT_TRUE(FirstLogged && SecondLogged);
    EXPECT_EQ(FirstLogged->Pid, First.Pid);
    EXPECT_TRUE(FirstLogged->Accepted);
    EXPECT_EQ(SecondLogged->Pid, Second.Pid);
    EXPECT_FALSE(SecondLogged->Accepted);
}

// Runs started together must each leave one whole line; long arguments make a line that was
// written in pieces likely to show up as interleaved text.
TEST(StandinLogTest, ConcurrentRunsDoNotInterleave) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    constexpr std::size_t RunCount = 16;
    std::vector<std::vector<std::string>> Argvs;
    for (std::size_t I = 0; I < RunCount; ++I) {
        Argvs.push_back(
            WithProgram(Join(Prefix("4", "L"), {std::string(8192, static_cast<char>('a' + I)),
                                                std::string(8192, static_cast<char>('A' + I))})));
    }
    std::vector<ProcessOutcome> Runs(RunCount);
    std::vector<std::thread> Threads;
    for (std::size_t I = 0; I < RunCount; ++I) {
        Threads.emplace_back([&, I] { Runs[I] = RunStandin(Argvs[I], {"NEROCMD_LOG=" + Log}); });
    }
    for (std::thread& Thread : Threads) {
        Thread.join();
    }

    const std::vector<std::string> Lines = QueltTest::SplitLines(QueltTest::ReadFile(Log));
    ASSERT_EQ(Lines.size(), RunCount);
    std::set<std::size_t> Seen;
    for (const std::string& Line : Lines) {
        const auto Logged = QueltTest::ParseStandinLogLine(Line);
        ASSERT_TRUE(Logged.has_value()) << Line.substr(0, 200);
        std::size_t Matches = 0;
        for (std::size_t I = 0; I < RunCount; ++I) {
            if (Logged->Pid == Runs[I].Pid && Logged->Argv == Argvs[I]) {
                Seen.insert(I);
                ++Matches;
            }
        }
        EXPECT_EQ(Matches, 1U);
    }
    EXPECT_EQ(Seen.size(), RunCount);
}

TEST(StandinLogTest, UnwritableLogExitsThree) {
    const TempDir Dir;
    const std::string Log = (Dir.Path() / "missing-directory/runs.jsonl").string();
    // The log takes precedence over a rejected command line: the caller relies on it.
    for (const auto& Arguments : {AcceptedArguments(), std::vector<std::string>{"--burn"}}) {
        SCOPED_TRACE(Arguments.front());
        const ProcessOutcome Run = RunStandin(WithProgram(Arguments), {"NEROCMD_LOG=" + Log});
        EXPECT_EQ(Run.ExitCode, 3);
        EXPECT_EQ(Run.Out, "");
        ExpectOneLineWithPrefix(Run.Err);
        EXPECT_NE(Run.Err.find("NEROCMD_LOG"), std::string::npos) << Run.Err;
    }
}

} // namespace
