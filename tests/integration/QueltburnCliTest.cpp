// The command-line host as a user runs it: the stand-in or the recorder as the tool, the result
// and event it prints, its exit codes and advice, and its tool ending with it.
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "CommandLineSplit.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;
using QueltTest::Cli;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;
using QueltTest::Standin;
using Strings = std::vector<std::string>;

TEST(QueltburnCli, DataBurnPrintsResultAndEvent) {
    RealWorld W;
    const fs::path File = W.Dir.Write("a.txt", "a");
    const fs::path Folder = W.Dir.MakeDir("b");
    const auto Outcome = QueltTest::RunProgram(
        {Cli, "data", "E", File.string(), Folder.string(), "--sync", "--tool", Standin.string(),
         "--label", "My Disc", "--title", " T ", "--no-underrun-prot", "--verify", "--speed", "16",
         "--continue-session", "1"});
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    EXPECT_NE(Outcome.Out.find("result: 0 (success)\nevent: OnSuccess\n"), std::string::npos)
        << Outcome.Out;
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv,
              (Strings{Standin.string(), "--write", "--drivename", "E", "--real", "--title", "T",
                       "--recursive", "--speed", "16", "--iso", "My Disc", "--import", "1",
                       "--verify", File.string(), Folder.string()}));
}

// The host waits for the tool unless told not to, whatever a settings file says, and prints the
// result with its meaning.
TEST(QueltburnCli, ExitCodesFollowTheResult) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string NoWaitForm =
        W.Dir.Write("nowait.dfm", "object B: TQueltBurner\n  Synchronous = False\nend\n").string();
    const auto Meaning = [](int Result) {
        return "result: " + std::to_string(Result) + " (" +
               QueltTest::Utf8(Queltburner::ResultText(Result)) + ")\n";
    };
    const struct {
        Strings Args;
        std::optional<std::string> ToolExit;
        int Exit;
        std::string Out;
    } Rows[] = {
        {{"data", "E", File, "--tool", Standin.string()},
         "3",
         1,
         Meaning(3) + "event: OnError(3)\n"},
        {{"data", "E", File, "--sync", "--tool", Standin.string()},
         "3",
         1,
         Meaning(3) + "event: OnError(3)\n"},
        {{"data", "E", File, "--settings", NoWaitForm, "--tool", Standin.string()},
         "3",
         1,
         Meaning(3) + "event: OnError(3)\n"},
        {{"data", "E", File, "--no-wait", "--tool", Standin.string()},
         "3",
         0,
         "result: 0 (the tool was started)\nevent: none\n"},
        {{"data", "E", File, "--tool", Standin.string()},
         "0",
         0,
         Meaning(0) + "event: OnSuccess\n"},
        {{"data", "Q", File, "--quiet", "--tool", Standin.string()},
         std::nullopt,
         1,
         Meaning(Queltburner::ResultNotOpticalDrive) + "event: none\n"},
        {{"data", "E", File, "--quiet", "--tool", "/nonexistent"},
         std::nullopt,
         1,
         Meaning(Queltburner::ResultToolFailed) + "event: none\n"},
    };
    for (const auto& Row : Rows) {
        ScopedEnv Exit{"NEROCMD_EXIT", Row.ToolExit};
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << testing::PrintToString(Row.Args) << Outcome.Err;
        EXPECT_NE(Outcome.Out.find(Row.Out), std::string::npos) << Outcome.Out;
    }
}

TEST(QueltburnCli, UsageErrorsExitTwo) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const Strings Cases[] = {
        {},
        {"format", "E"},
        {"data"},
        {"data", "EF", File},
        {"data", "E", File, "--speed", "65536"},
        {"data", "E", File, "--speed"},
        {"data", "E", File, "--continue-session", "x"},
        {"data", "E", File, "--bogus"},
        {"data", "E", File, "--no-label", "x"},
        {"data", "E", File, "--verify=yes"},
        {"data", "E", File, "--no-verify=1"},
        {"data", "E", File, "--speed="},
        {"audio", "E", File, "--verify"},
        {"burn", "E", File, "--type", "audio", "--verify"},
        {"burn", "E", File, "--type", "video", "--label", "X"},
        {"image", "E"},
        {"image", "E", "a.iso", "b.iso"},
        {"erase", "E", "extra"},
        {"eject", "E", "--speed", "4"},
        {"burn", "E", File, "--type", "blu-ray"},
        {"settings", "--no-wait"},
    };
    for (const Strings& Args : Cases) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Args.begin(), Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 2) << testing::PrintToString(Args);
        EXPECT_EQ(Outcome.Err.rfind("queltburn: ", 0), 0U) << Outcome.Err;
    }
    EXPECT_TRUE(W.Runs().empty());
    const auto Timeout = QueltTest::RunProgram({Cli, "eject", "E", "--timeout", "-3"});
    EXPECT_NE(Timeout.Err.find("from 0 to 4294967,"), std::string::npos) << Timeout.Err;
}

// After a failed check of the drive or the tool, the component's message is followed by what to
// do: map the letter, or where the tool was looked for and why there. --quiet says neither.
TEST(QueltburnCli, FailedChecksSayWhatToDo) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string Registry =
        W.Dir
            .Write("user.reg", "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\n"
                               "\"RegisteredTypesNeroPath\"=\"/opt/nero/Nero.exe\"\n")
            .string();
    const std::string Empty =
        W.Dir.Write("empty.reg", "Windows Registry Editor Version 5.00\n").string();
    const struct {
        Strings Args;
        std::optional<std::string> Registry;
        std::string Err;
    } Rows[] = {
        {{"data", "Q", File},
         std::nullopt,
         "Invalid drive Q.\nqueltburn: drive Q is not an optical drive; map it with "
         "QUELT_DRIVES=Q=/path/disc.iso\n"},
        {{"data", "E", File, "--tool", "/nonexistent/NeroCmd.exe"},
         std::nullopt,
         "Invalid path to NeroCmd.exe.\nqueltburn: /nonexistent/NeroCmd.exe (given with --tool) "
         "is not a file\n"},
        {{"eject", "E"},
         Registry,
         "Invalid path to NeroCmd.exe.\nqueltburn: tried /opt/nero/NeroCmd.exe, the folder of "
         "RegisteredTypesNeroPath=\"/opt/nero/Nero.exe\" under [HKEY_CURRENT_USER\\Software\\"
         "ahead\\Nero - Burning Rom\\General] in " +
             Registry},
        {{"eject", "E"},
         Empty,
         "queltburn: " + Empty + " has no text value RegisteredTypesNeroPath"},
        {{"eject", "E"}, std::nullopt, "queltburn: no registry file names the tool"},
        {{"data", "Q", File, "--quiet"}, std::nullopt, ""},
    };
    for (const auto& Row : Rows) {
        const ScopedEnv Reg{"QUELT_REGISTRY",
                            Row.Registry.value_or((W.Dir.Path() / "missing.reg").string())};
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 1) << testing::PrintToString(Row.Args);
        if (Row.Err.empty()) {
            EXPECT_EQ(Outcome.Err, "");
        } else {
            EXPECT_NE(Outcome.Err.find(Row.Err), std::string::npos) << Outcome.Err;
        }
    }
}

// Through the recorder, a failure's error line comes before the result and again with it as its
// reason, and the result names the recorder's exit code by its meaning; what the recorder says
// about a close it cannot do reaches the user too.
TEST(QueltburnCli, TheRecordersLinesAndExitCodesReachTheUser) {
    if (const std::string Missing = RecorderTest::MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string Folder = W.Dir.MakeDir("folder").string();
    const std::string Dvd = W.Dir.MakeDir("DVD").string();
    W.Dir.MakeDir("DVD/VIDEO_TS");
    const fs::path Image = W.Dir.Path() / "image.iso";
    ASSERT_EQ(RecorderTest::RunRecorder(RecorderTest::DataDisc("IMG", {}, {File}),
                                        RecorderTest::RecorderEnvironment(Image))
                  .ExitCode,
              0);
    const auto Named = [](int Code) {
        return "result: " + std::to_string(Code) + " (" +
               QueltTest::Utf8(Queltburner::ResultText(Code, true)) + ")\n";
    };
    const struct {
        Strings Args;
        std::string Target;
        int Exit;
        std::string Said; // on standard error for a failure, else on standard output
        std::string Result;
    } Rows[] = {
        {{"data", "E", File}, Folder, 1, "is a folder", Named(Queltburner::RecorderTarget)},
        {{"dvdvideo", "E", Dvd},
         (W.Dir.Path() / "dvd.iso").string(),
         1,
         "give " + Dvd + "/VIDEO_TS (and " + Dvd + "/AUDIO_TS",
         Named(Queltburner::RecorderSource)},
        {{"data", "E", (W.Dir.Path() / "gone.txt").string(), "--skip-missing"},
         (W.Dir.Path() / "nothing.iso").string(),
         1,
         "nothing to write",
         Named(Queltburner::RecorderSource)},
        {{"image", "E", Image.string(), "--close-session"},
         (W.Dir.Path() / "copy.iso").string(),
         0,
         "which cannot be closed",
         "result: 0 (success)\n"},
        {{"data", "E", File, "--close-session"},
         (W.Dir.Path() / "data.iso").string(),
         0,
         "which cannot be closed",
         "result: 0 (success)\n"},
    };
    for (const auto& Row : Rows) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        Argv.insert(Argv.end(), {"--tool", RecorderTest::RecorderPath});
        const auto Outcome =
            QueltTest::RunProgram(Argv, RecorderTest::RecorderEnvironment(Row.Target));
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << testing::PrintToString(Row.Args) << Outcome.Err;
        const std::string& Said = Row.Exit == 0 ? Outcome.Out : Outcome.Err;
        EXPECT_NE(Said.find(Row.Said), std::string::npos) << Said;
        EXPECT_NE(Outcome.Out.find(Row.Result), std::string::npos) << Outcome.Out;
        if (Row.Exit == 0) {
            EXPECT_EQ(Outcome.Out.find("reason: "), std::string::npos) << Outcome.Out;
            continue;
        }
        // The recorder's error line is the last on standard error but the entries left out.
        std::string Last = Outcome.Err.substr(
            0, std::min(Outcome.Err.find("\nleft out: "), Outcome.Err.find_last_not_of('\n') + 1));
        Last = Last.substr(Last.rfind('\n') + 1);
        EXPECT_NE(Last.find(Row.Said), std::string::npos) << Outcome.Err;
        EXPECT_NE(Outcome.Out.find("reason: " + Last + "\n" + Row.Result), std::string::npos)
            << Outcome.Out;
    }
}

// However the host ends (asked, hung up on, killed), its tool ends with it: a tool never goes on
// writing a disc that no one watches.
TEST(QueltburnCli, TheToolEndsWithItsHost) {
    RealWorld W;
    const fs::path File = W.Dir.Write("a.txt", "a");
    const Strings Environment{"QUELT_DRIVES=E=" + (W.Dir.Path() / "disc.iso").string(),
                              "QUELT_REGISTRY=" + (W.Dir.Path() / "none.reg").string(),
                              "NEROCMD_DELAY_MS=60000"};
    for (const int Signal : {SIGTERM, SIGHUP, SIGKILL}) {
        for (int Try = 0; Try < 5; ++Try) {
            RecorderTest::WatchedProgram Host(
                {Cli, "data", "E", File.string(), "--tool", Standin.string()}, Environment);
            // The host's child is the waiter, whose child is the tool.
            std::vector<long> Tools;
            for (int Wait = 0; Wait < 500 && Tools.empty(); ++Wait) {
                for (const long Waiter : RecorderTest::ChildrenOf(Host.Pid())) {
                    Tools = RecorderTest::ChildrenOf(Waiter);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ASSERT_EQ(Tools.size(), 1U) << "signal " << Signal;
            Host.Signal(Signal);
            bool Ended = false;
            for (int Wait = 0; Wait < 200 && !Ended; ++Wait) {
                Ended = RecorderTest::HasEnded(Tools[0]);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_TRUE(Ended) << "signal " << Signal << " try " << Try;
            if (!Ended) {
                ::kill(static_cast<pid_t>(Tools[0]), SIGKILL); // it holds the host's output open
            }
            const auto Outcome = Host.Finish();
            if (Signal != SIGKILL) {
                EXPECT_NE(Outcome.Out.find("result: -4 (the run was cancelled)"), std::string::npos)
                    << Outcome.Out << Outcome.Err;
                // As a shell reports a program that the signal ended.
                EXPECT_EQ(Outcome.ExitCode, 128 + Signal) << "signal " << Signal;
            }
        }
    }
}

} // namespace
