// The component through the POSIX host, with the stand-in tool (and a few scripts) as real
// processes: what the tool receives, exit codes, launches without waiting, discovery through a
// registry file, drives through QUELT_DRIVES, and the command-line host.
#include "ChildProcess.hpp"
#include "PosixHostServices.hpp"
#include "QueltBurner.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sys/wait.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using QueltTest::ReadStandinLog;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;
using QueltTest::Utf16;
using QueltTest::Utf8;
using Queltburner::TQueltBurner;
using System::UnicodeString;
using Strings = std::vector<std::string>;

const fs::path Standin = QUELT_STANDIN_PATH;

// A temporary world: drive E mapped, a log for the stand-in, a component on a POSIX host.
struct RealWorld {
    TempDir Dir;
    std::string Log = (Dir.Path() / "nerocmd.log").string();
    ScopedEnv Drives{"QUELT_DRIVES", "E=" + (Dir.Path() / "disc.iso").string()};
    ScopedEnv LogEnv{"NEROCMD_LOG", Log};
    ScopedEnv Exit{"NEROCMD_EXIT", std::nullopt};
    ScopedEnv Delay{"NEROCMD_DELAY_MS", std::nullopt};
    ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "missing.reg").string()};
    std::shared_ptr<Queltburner::Posix::PosixHostServices> Host =
        std::make_shared<Queltburner::Posix::PosixHostServices>();
    std::unique_ptr<TQueltBurner> Burner = std::make_unique<TQueltBurner>(nullptr, Host);
    Strings Events;

    RealWorld() {
        Burner->NeroCmdLocation = QueltTest::PathText(Standin);
        Burner->SetShowMessages(false);
        Burner->SetSynchronous(true);
        Burner->SetOnSuccess([this](System::TObject*) { Events.push_back("OnSuccess"); });
        Burner->SetOnError([this](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
    }

    std::vector<QueltTest::LoggedRun> Runs() const { return ReadStandinLog(Log); }
};

TEST(PosixHost, WorkedExampleReachesTheToolAsItsArgv) {
    RealWorld W;
    const fs::path Notes = W.Dir.Write("data/notes.txt", "notes");
    const fs::path Pictures = W.Dir.MakeDir("data/pictures");
    W.Burner->Files()->Add(QueltTest::PathText(Notes));
    W.Burner->Files()->Add(QueltTest::PathText(Pictures));
    W.Burner->Files()->Add(QueltTest::PathText(W.Dir.Path() / "data/absent"));
    EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(W.Events, Strings{"OnSuccess"});
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_TRUE(Runs[0].Accepted);
    EXPECT_EQ(Runs[0].Argv, (Strings{Standin.string(), "--write", "--drivename", "E", "--real",
                                     "--recursive", "--speed", "4", "--iso", "NEW", "--underrun_prot",
                                     Notes.string(), Pictures.string()}));
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
}

TEST(PosixHost, AwkwardValuesArriveExactly) {
    RealWorld W;
    const std::string Awkward = "x\" --erase --entire \" \\ \\\" tab\t\xE2\x82\xAC\xF0\x9F\x92\xBF end\\";
    const fs::path Entry = W.Dir.MakeDir("folder with \"quotes\" and blanks\\");
    W.Burner->SetTitle(Utf16(Awkward));
    W.Burner->SetVolumeLabel(u"");
    W.Burner->SetContinueSession(0);
    W.Burner->Files()->Add(QueltTest::PathText(Entry));
    ASSERT_EQ(W.Burner->BurnData(u'e'), 0);
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv, (Strings{Standin.string(), "--write", "--drivename", "e", "--real",
                                     "--title", Awkward, "--recursive", "--speed", "4", "--iso", "",
                                     "--import", "0", "--underrun_prot", Entry.string()}));
}

TEST(PosixHost, ExitCodesAndSignalsBecomeResultsAndEvents) {
    RealWorld W;
    const struct {
        const char* Exit;
        int Result;
        const char* Event;
    } Rows[] = {{"0", 0, "OnSuccess"}, {"3", 3, "OnError(3)"}, {"255", 255, "OnError(255)"}};
    for (const auto& Row : Rows) {
        ScopedEnv Exit{"NEROCMD_EXIT", Row.Exit};
        W.Events.clear();
        EXPECT_EQ(W.Burner->BurnData(u'E'), Row.Result);
        EXPECT_EQ(W.Events, Strings{Row.Event});
    }
    // A tool ended by a signal reports 128 + the signal's number.
    const fs::path Killed = W.Dir.Write("killed/NeroCmd.exe", "#!/bin/sh\nkill -TERM $$\n", true);
    W.Burner->NeroCmdLocation = QueltTest::PathText(Killed);
    W.Events.clear();
    EXPECT_EQ(W.Burner->BurnData(u'E'), 128 + SIGTERM);
    EXPECT_EQ(W.Events, Strings{"OnError(143)"});
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
}

TEST(PosixHost, LaunchWithoutWaitingReturnsAtOnceAndLeavesNoZombie) {
    RealWorld W;
    ScopedEnv Delay{"NEROCMD_DELAY_MS", "1500"};
    ScopedEnv Exit{"NEROCMD_EXIT", "3"};
    W.Burner->SetSynchronous(false);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
    const auto Took = std::chrono::steady_clock::now() - Start;
    EXPECT_LT(Took, std::chrono::milliseconds(1000));
    EXPECT_TRUE(W.Events.empty());
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);

    // The tool logs as it starts, then sleeps: it must be running after the call returned.
    std::vector<QueltTest::LoggedRun> Runs;
    for (int I = 0; I < 100 && Runs.empty(); ++I) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Runs = W.Runs();
    }
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_TRUE(QueltTest::ProcessExists(Runs[0].Pid));
    // It is nobody's child here: once it ends it is gone, not a zombie of this process.
    int Status = 0;
    EXPECT_EQ(waitpid(-1, &Status, WNOHANG), -1);
    for (int I = 0; I < 250 && QueltTest::ProcessExists(Runs[0].Pid); ++I) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(QueltTest::ProcessExists(Runs[0].Pid));
    EXPECT_TRUE(W.Events.empty());
}

TEST(PosixHost, ToolInAFolderWithBlanksStartsAndNotTheFirstWord) {
    RealWorld W;
    const fs::path Folder = W.Dir.MakeDir("Nero Burning Rom");
    fs::copy_file(Standin, Folder / "NeroCmd.exe");
    const fs::path Marker = W.Dir.Path() / "decoy-ran";
    W.Dir.Write("Nero", "#!/bin/sh\ntouch '" + Marker.string() + "'\n", true);
    W.Burner->NeroCmdLocation = QueltTest::PathText(Folder / "NeroCmd.exe");
    for (const bool Synchronous : {true, false}) {
        W.Burner->SetSynchronous(Synchronous);
        EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
    }
    for (int I = 0; I < 100 && W.Runs().size() < 2; ++I) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 2U);
    EXPECT_EQ(Runs[0].Argv[0], (Folder / "NeroCmd.exe").string());
    EXPECT_FALSE(fs::exists(Marker));
}

TEST(PosixHost, ToolThatCannotBeExecutedIsAFailedStart) {
    RealWorld W;
    const fs::path NotExecutable = W.Dir.Write("plain/NeroCmd.exe", "not a program");
    const fs::path NoInterpreter = W.Dir.Write("broken/NeroCmd.exe", "#!/nonexistent/sh\n", true);
    for (const fs::path& Tool : {NotExecutable, NoInterpreter}) {
        W.Burner->NeroCmdLocation = QueltTest::PathText(Tool);
        W.Burner->SetSynchronous(true);
        W.Events.clear();
        EXPECT_EQ(W.Burner->BurnData(u'E'), -1) << Tool;
        EXPECT_EQ(W.Events, Strings{"OnError(-1)"});
        W.Burner->SetSynchronous(false);
        W.Events.clear();
        EXPECT_EQ(W.Burner->BurnData(u'E'), -1) << Tool;
        EXPECT_TRUE(W.Events.empty());
        EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
    }
}

// What the POSIX argv cannot carry is refused rather than handed over altered.
TEST(PosixHost, WhatCannotBeCarriedIsAFailedStart) {
    RealWorld W;
    const fs::path Quoted = W.Dir.MakeDir("a\"b");
    fs::copy_file(Standin, Quoted / "NeroCmd.exe");
    W.Burner->NeroCmdLocation = QueltTest::PathText(Quoted / "NeroCmd.exe");
    EXPECT_EQ(W.Burner->BurnData(u'E'), -1);

    W.Burner->NeroCmdLocation = QueltTest::PathText(Standin);
    W.Burner->SetTitle(UnicodeString(u"lone ") + u'\xD800');
    EXPECT_EQ(W.Burner->BurnData(u'E'), -1);
    EXPECT_EQ(W.Events, (Strings{"OnError(-1)", "OnError(-1)"}));
    EXPECT_TRUE(W.Runs().empty());
}

TEST(PosixHost, DrivesComeFromQueltDrives) {
    RealWorld W;
    W.Burner->SetShowMessages(true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(W.Burner->BurnData(u'F'), -2);
    {
        ScopedEnv Drives{"QUELT_DRIVES", " f = /dev/null ; junk"};
        EXPECT_EQ(W.Burner->BurnData(u'F'), 0);
        EXPECT_EQ(W.Burner->BurnData(u'E'), -2);
    }
    W.Burner->NeroCmdLocation = u"/nonexistent/NeroCmd.exe";
    EXPECT_EQ(W.Burner->BurnData(u'E'), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Invalid drive F.\nInvalid drive E.\nInvalid path to NeroCmd.exe.\n");
}

TEST(PosixHost, DiscoveryThroughTheRegistryFile) {
    TempDir Dir;
    const fs::path ToolFolder = Dir.MakeDir("Nero 7");
    fs::copy_file(Standin, ToolFolder / "NeroCmd.exe");
    const fs::path EmptyFolder = Dir.MakeDir("empty");
    const fs::path Cwd = Dir.MakeDir("cwd");
    fs::copy_file(Standin, Cwd / "NeroCmd.exe");
    const auto RegFile = [&Dir](const std::string& Name, const std::string& ValueLine) {
        return Dir.Write(Name, "Windows Registry Editor Version 5.00\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\r\n" +
                                   ValueLine + "\r\n")
            .string();
    };
    const auto Escaped = [](const fs::path& Path) {
        std::string Out;
        for (const char C : Path.string()) {
            if (C == '\\' || C == '"') {
                Out.push_back('\\');
            }
            Out.push_back(C);
        }
        return Out;
    };
    const struct {
        const char* Case;
        std::string RegistryFile;
        std::string Expected;
    } Rows[] = {
        {"folder holding the tool",
         RegFile("a.reg", "\"RegisteredTypesNeroPath\"=\"" + Escaped(ToolFolder / "nero.exe") + "\""),
         (ToolFolder / "NeroCmd.exe").string()},
        {"folder lacking the tool",
         RegFile("b.reg", "\"RegisteredTypesNeroPath\"=\"" + Escaped(EmptyFolder / "nero.exe") + "\""), ""},
        {"missing file", (Dir.Path() / "none.reg").string(), "NeroCmd.exe"},
        {"value of another type", RegFile("c.reg", "\"RegisteredTypesNeroPath\"=dword:00000001"),
         "NeroCmd.exe"},
    };
    const fs::path Before = fs::current_path();
    fs::current_path(Cwd);
    for (const auto& Row : Rows) {
        ScopedEnv Registry{"QUELT_REGISTRY", Row.RegistryFile};
        const TQueltBurner Burner(nullptr, std::make_shared<Queltburner::Posix::PosixHostServices>());
        EXPECT_EQ(Utf8(Burner.NeroCmdLocation), Row.Expected) << Row.Case;
    }
    fs::current_path(EmptyFolder);
    {
        ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "none.reg").string()};
        const TQueltBurner Burner(nullptr, std::make_shared<Queltburner::Posix::PosixHostServices>());
        EXPECT_EQ(Burner.NeroCmdLocation, u"");
    }
    fs::current_path(Before);
}

// --- The command-line host -------------------------------------------------------------------

const std::string Cli = QUELT_CLI_PATH;

TEST(QueltburnCli, DataBurnPrintsResultAndEvent) {
    RealWorld W;
    const fs::path File = W.Dir.Write("a.txt", "a");
    const fs::path Folder = W.Dir.MakeDir("b");
    const auto Outcome = QueltTest::RunProgram({Cli, "data", "E", File.string(), Folder.string(),
                                                "--sync", "--tool", Standin.string(), "--label",
                                                "My Disc", "--title", " T ", "--no-underrun-prot",
                                                "--verify", "--speed", "16", "--continue-session", "1"});
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    EXPECT_NE(Outcome.Out.find("result: 0\nevent: OnSuccess\n"), std::string::npos) << Outcome.Out;
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv, (Strings{Standin.string(), "--write", "--drivename", "E", "--real",
                                     "--title", "T", "--recursive", "--speed", "16", "--iso",
                                     "My Disc", "--import", "1", "--verify", File.string(),
                                     Folder.string()}));
}

TEST(QueltburnCli, ExitCodesFollowTheResult) {
    RealWorld W;
    const struct {
        Strings Args;
        std::optional<std::string> ToolExit;
        int Exit;
        std::string Out;
    } Rows[] = {
        {{"data", "E", "--sync", "--tool", Standin.string()}, "3", 1, "result: 3\nevent: OnError(3)\n"},
        {{"data", "E", "--tool", Standin.string()}, "3", 0, "result: 0\nevent: none\n"},
        {{"data", "Q", "--sync", "--quiet", "--tool", Standin.string()}, std::nullopt, 1,
         "result: -2\nevent: none\n"},
        {{"data", "E", "--sync", "--quiet", "--tool", "/nonexistent"}, std::nullopt, 1,
         "result: -1\nevent: none\n"},
    };
    for (const auto& Row : Rows) {
        ScopedEnv Exit{"NEROCMD_EXIT", Row.ToolExit};
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << Outcome.Err;
        EXPECT_NE(Outcome.Out.find(Row.Out), std::string::npos) << Outcome.Out;
    }
}

TEST(QueltburnCli, UsageErrorsAndHelp) {
    for (const Strings& Args : {Strings{}, Strings{"format", "E"}, Strings{"data"}, Strings{"data", "EF"},
                                Strings{"data", "E", "--speed", "65536"}, Strings{"data", "E", "--speed"},
                                Strings{"data", "E", "--bogus"}, Strings{"data", "E", "--no-label", "x"}}) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Args.begin(), Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 2) << testing::PrintToString(Args);
        EXPECT_NE(Outcome.Err.find("queltburn: "), std::string::npos);
    }
    const auto Help = QueltTest::RunProgram({Cli, "--help"});
    EXPECT_EQ(Help.ExitCode, 0);
    for (const char* Option : {"--label", "--artist", "--title", "--speed", "--continue-session",
                               "--tao", "--speedtest", "--close-session", "--detect-non-empty-disk",
                               "--underrun-prot, --no-underrun-prot", "--disable-eject", "--verify",
                               "--dvd", "--force-erase-disk", "--sync", "--hide", "--quiet", "--tool"}) {
        EXPECT_NE(Help.Out.find(Option), std::string::npos) << Option;
    }
}

TEST(QueltburnCli, FileNamesThatLookLikeOptionsAfterDoubleDash) {
    RealWorld W;
    const fs::path Odd = W.Dir.Write("--verify", "x");
    const fs::path Before = fs::current_path();
    fs::current_path(W.Dir.Path());
    const auto Outcome = QueltTest::RunProgram({Cli, "data", "E", "--sync", "--tool", Standin.string(),
                                                "--", "--verify"});
    fs::current_path(Before);
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv.back(), "--verify");
    EXPECT_EQ(std::count(Runs[0].Argv.begin(), Runs[0].Argv.end(), "--verify"), 1);
}

} // namespace
