// The command-line host while it waits: progress lines with --progress, a time limit, and Ctrl-C
// ending the tool through the component's cancel.
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace {

using namespace std::chrono_literals;
using QueltTest::Cli;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;
using QueltTest::Standin;
using Clock = std::chrono::steady_clock;

TEST(QueltburnProgress, ProgressLinesWhenAskedAndTheToolsLinesStill) {
    RealWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    const auto Plain = QueltTest::RunProgram({Cli, "eject", "E", "--tool", Standin.string()});
    const auto Shown =
        QueltTest::RunProgram({Cli, "eject", "E", "--tool", Standin.string(), "--progress"});
    ASSERT_EQ(Plain.ExitCode, 0) << Plain.Err;
    ASSERT_EQ(Shown.ExitCode, 0) << Shown.Err;
    // Without --progress (and not on a terminal) progress is off: the tool's other lines pass,
    // its progress lines do not.
    EXPECT_NE(Plain.Out.find("NeroCmd stand-in: would open the tray of drive E\n"),
              std::string::npos)
        << Plain.Out;
    EXPECT_EQ(Plain.Out.find("progress"), std::string::npos) << Plain.Out;
    // With it the host shows each step once, in its own form, and passes the other lines on.
    EXPECT_NE(Shown.Out.find("NeroCmd stand-in: would open the tray of drive E\n"),
              std::string::npos)
        << Shown.Out;
    EXPECT_NE(Shown.Out.find("progress: writing  25.0% 00:00\n"), std::string::npos) << Shown.Out;
    EXPECT_EQ(Shown.Out.find("progress writing"), std::string::npos) << Shown.Out;
    EXPECT_NE(Shown.Out.find("result: 0 (success)"), std::string::npos) << Shown.Out;
}

// After the run, standard error names each entry the component left out, in the order given, and
// nothing when it left none out.
TEST(QueltburnProgress, EntriesLeftOutAreNamedAfterTheRun) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string First = (W.Dir.Path() / "first-missing.txt").string();
    const std::string Second = (W.Dir.Path() / "also-missing").string();
    const struct {
        std::vector<std::string> Files;
        std::string LeftOut; // all that standard error says of them
    } Rows[] = {
        {{File}, ""},
        {{First, File}, "left out: " + First + "\n"},
        {{Second, File, First}, "left out: " + Second + "\nleft out: " + First + "\n"},
    };
    for (const auto& Row : Rows) {
        std::vector<std::string> Argv{Cli, "data", "E"};
        Argv.insert(Argv.end(), Row.Files.begin(), Row.Files.end());
        Argv.insert(Argv.end(), {"--skip-missing", "--tool", Standin.string()});
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
        std::string Said;
        for (std::size_t At = 0; (At = Outcome.Err.find("left out: ", At)) != std::string::npos;) {
            const std::size_t End = Outcome.Err.find('\n', At) + 1;
            Said += Outcome.Err.substr(At, End - At);
            At = End;
        }
        EXPECT_EQ(Said, Row.LeftOut) << Outcome.Err;
    }
}

// A phase that takes its time shows its rate in bytes per second and the time left: the
// stand-in's writing steps of 256 KiB (25%) come 0.4 s apart.
TEST(QueltburnProgress, WritingShowsItsRateAndTimeLeft) {
    RealWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "2800"};
    const auto Shown =
        QueltTest::RunProgram({Cli, "eject", "E", "--tool", Standin.string(), "--progress"});
    ASSERT_EQ(Shown.ExitCode, 0) << Shown.Err;
    // 768 KiB in 1.2 s, nominally; a loaded machine only slows it.
    const std::size_t Line = Shown.Out.find("progress: writing  75.0% 00:0");
    ASSERT_NE(Line, std::string::npos) << Shown.Out;
    const std::string Rest = Shown.Out.substr(Line, Shown.Out.find('\n', Line) - Line);
    double Rate = 0;
    char Unit[8] = {};
    int Minutes = -1;
    int Seconds = -1;
    ASSERT_EQ(std::sscanf(Rest.c_str() + Rest.find("  ", 25), " %lf %3s/s ETA %d:%d", &Rate, Unit,
                          &Minutes, &Seconds),
              4)
        << Rest;
    // At most 768 KiB in 1.2 s: shown in KiB/s, or in MiB/s where the lines came together.
    const std::string Units(Unit);
    EXPECT_TRUE(Units == "KiB" || Units == "MiB") << Rest;
    EXPECT_GT(Units == "MiB" ? Rate * 1024 : Rate, 50.0) << Rest;
    EXPECT_LE(Minutes * 60 + Seconds, 5) << Rest;
    // Preparing goes at no medium's pace: no rate there.
    const std::size_t Preparing = Shown.Out.find("progress: preparing 100.0%");
    ASSERT_NE(Preparing, std::string::npos) << Shown.Out;
    EXPECT_EQ(Shown.Out.substr(Preparing, Shown.Out.find('\n', Preparing) - Preparing).find("ETA"),
              std::string::npos)
        << Shown.Out;
}

// On a terminal (script(1) gives the host one) the bar is drawn over itself on one line.
TEST(QueltburnProgress, ProgressBarOnATerminal) {
    if (::access("/usr/bin/script", X_OK) != 0) {
        GTEST_SKIP() << "script(1) is missing";
    }
    RealWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    const auto Outcome =
        QueltTest::RunProgram({"/usr/bin/script", "-q", "-c",
                               Cli + " eject E --tool '" + Standin.string() + "'", "/dev/null"});
    ASSERT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    EXPECT_NE(Outcome.Out.find("NeroCmd stand-in: would open the tray of drive E\r\n\r\x1b[K"
                               "preparing [..............................]   0.0%  00:00"),
              std::string::npos)
        << Outcome.Out;
    EXPECT_NE(Outcome.Out.find("\r\x1b[Kwriting   [###############...............]  50.0%"),
              std::string::npos)
        << Outcome.Out;
    // The bar is taken off before the result: no bar stays under it.
    EXPECT_NE(Outcome.Out.find("100.0%  00:00\r\x1b[Kresult: 0 (success)"), std::string::npos)
        << Outcome.Out;
}

// The time limit ends a burn's tool and a question's alike.
TEST(QueltburnProgress, TimeoutEndsTheToolWithItsResult) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "30000"};
    const struct {
        std::vector<std::string> Args;
        int Exit;
        std::string Event; // what follows the result line
    } Rows[] = {
        {{"eject", "E"}, 124, "event: OnError(-5)\n"}, // as timeout(1) says so
        {{"data", "E", File, "--estimate"}, 1, ""},
    };
    for (const auto& Row : Rows) {
        std::vector<std::string> Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        Argv.insert(Argv.end(), {"--tool", Standin.string(), "--timeout", "1"});
        const std::size_t RunsBefore = W.Runs().size();
        const auto Start = Clock::now();
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_LT(Clock::now() - Start, 5s) << Row.Args[0];
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << Row.Args[0] << Outcome.Err;
        EXPECT_NE(
            Outcome.Out.find("result: -5 (the run took longer than its time limit)\n" + Row.Event),
            std::string::npos)
            << Outcome.Out;
        const auto Runs = W.Runs();
        ASSERT_EQ(Runs.size(), RunsBefore + 1);
        EXPECT_FALSE(QueltTest::ProcessExists(Runs.back().Pid));
    }
    const auto TooLong =
        QueltTest::RunProgram({Cli, "eject", "E", "--tool", Standin.string(), "--timeout", "x"});
    EXPECT_EQ(TooLong.ExitCode, 2);
}

TEST(QueltburnProgress, CtrlCCancelsTheRunAndEndsTheTool) {
    RealWorld W;
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "30000"};
    int Out[2];
    ASSERT_EQ(pipe2(Out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Out[1], STDOUT_FILENO);
    std::vector<std::string> Args{Cli, "eject", "E", "--tool", Standin.string()};
    std::vector<char*> Argv;
    for (std::string& Arg : Args) {
        Argv.push_back(Arg.data());
    }
    Argv.push_back(nullptr);
    pid_t Host = 0;
    ASSERT_EQ(posix_spawn(&Host, Cli.c_str(), &Actions, nullptr, Argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&Actions);
    close(Out[1]);
    // The stand-in's line says the tool runs; then Ctrl-C reaches the host.
    std::string Printed;
    const auto Start = Clock::now();
    char Buffer[4096];
    while (Printed.find("NeroCmd stand-in:") == std::string::npos && Clock::now() - Start < 10s) {
        pollfd Ready{Out[0], POLLIN, 0};
        if (poll(&Ready, 1, 100) == 1) {
            const ssize_t Got = read(Out[0], Buffer, sizeof Buffer);
            if (Got <= 0) {
                break;
            }
            Printed.append(Buffer, static_cast<std::size_t>(Got));
        }
    }
    ASSERT_NE(Printed.find("NeroCmd stand-in:"), std::string::npos) << Printed;
    kill(Host, SIGINT);
    for (ssize_t Got = 0; (Got = read(Out[0], Buffer, sizeof Buffer)) > 0;) {
        Printed.append(Buffer, static_cast<std::size_t>(Got));
    }
    close(Out[0]);
    int Status = 0;
    ASSERT_EQ(waitpid(Host, &Status, 0), Host);
    EXPECT_LT(Clock::now() - Start, 5s);
    ASSERT_TRUE(WIFEXITED(Status)) << Printed;
    EXPECT_EQ(WEXITSTATUS(Status), 130); // as a shell reports Ctrl-C
    EXPECT_NE(Printed.find("result: -4 (the run was cancelled)\nevent: OnError(-4)\n"),
              std::string::npos)
        << Printed;
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_FALSE(QueltTest::ProcessExists(Runs[0].Pid));
}

} // namespace
