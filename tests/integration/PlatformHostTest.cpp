// The component through the POSIX host, with the stand-in tool (and a few scripts) as real
// processes: what the tool receives, exit codes, launches without waiting, drives through
// QUELT_DRIVES.
#include "ChildProcess.hpp"
#include "PosixHostServices.hpp"
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Queltburner::TQueltBurner;
using QueltTest::ReadStandinLog;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;
using QueltTest::Utf16;
using QueltTest::Utf8;
using System::UnicodeString;
using Strings = std::vector<std::string>;

using QueltTest::RealWorld;
using QueltTest::Standin;

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
                                     "--recursive", "--speed", "4", "--iso", "NEW",
                                     "--underrun_prot", Notes.string(), Pictures.string()}));
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
}

// One waiting run of every operation, with its worked example's settings.
TEST(PosixHost, EveryOperationReachesTheToolAsItsArgv) {
    RealWorld W;
    const std::string Track = W.Dir.Write("media/track 1.wav", "a").string();
    const std::string Folder = W.Dir.MakeDir("media/Disc1").string();
    const std::string Image = W.Dir.Write("media/disc.iso", "iso").string();
    W.Burner->Files()->Add(QueltTest::PathText(Track));
    W.Burner->Files()->Add(QueltTest::PathText(Folder));
    const struct {
        const char* Case;
        std::function<int(TQueltBurner&)> Run;
        Strings Expected; // after the tool's path
    } Rows[] = {
        {"audio",
         [](TQueltBurner& B) { return B.BurnAudio(u'E'); },
         {"--write", "--drivename", "E", "--real", "--recursive", "--speed", "4", "--audio", Track,
          Folder}},
        {"video",
         [](TQueltBurner& B) { return B.BurnVideo(u'E'); },
         {"--write", "--drivename", "E", "--real", "--videocd", "--recursive", "--speed", "4",
          Track, Folder}},
        {"super video",
         [](TQueltBurner& B) { return B.BurnSuperVideo(u'E'); },
         {"--write", "--drivename", "E", "--real", "--svideocd", "--recursive", "--speed", "4",
          Track, Folder}},
        {"dvd-video",
         [](TQueltBurner& B) { return B.BurnDVDVideo(u'E'); },
         {"--write", "--drivename", "E", "--real", "--recursive", "--speed", "4", "--iso", "NEW",
          "--underrun_prot", "--dvd", "--create_iso_fs", "--create_udf_fs", "--iso-no-joliet",
          "--dvdvideo_realloc", Track, Folder}},
        {"image",
         [&Image](TQueltBurner& B) { return B.BurnImage(QueltTest::Utf16(Image), u'E'); },
         {"--write", "--drivename", "E", "--real", "--image", Image, "--speed", "4",
          "--underrun_prot"}},
        {"quick erase",
         [](TQueltBurner& B) { return B.Erase(u'E', false); },
         {"--erase", "--drivename", "E"}},
        {"full erase",
         [](TQueltBurner& B) { return B.Erase(u'E', true); },
         {"--erase", "--entire", "--drivename", "E"}},
        {"eject", [](TQueltBurner& B) { return B.Eject(u'E'); }, {"--eject", "--drivename", "E"}},
        {"burn by type",
         [](TQueltBurner& B) {
             B.SetDiskType(Queltburner::dtVideo);
             return B.Burn(u'E');
         },
         {"--write", "--drivename", "E", "--real", "--videocd", "--recursive", "--speed", "4",
          Track, Folder}},
    };
    std::size_t Count = 0;
    for (const auto& Row : Rows) {
        W.Events.clear();
        EXPECT_EQ(Row.Run(*W.Burner), 0) << Row.Case;
        EXPECT_EQ(W.Events, Strings{"OnSuccess"}) << Row.Case;
        const auto Runs = W.Runs();
        ASSERT_EQ(Runs.size(), ++Count) << Row.Case;
        Strings Expected{Standin.string()};
        Expected.insert(Expected.end(), Row.Expected.begin(), Row.Expected.end());
        EXPECT_EQ(Runs.back().Argv, Expected) << Row.Case;
        EXPECT_TRUE(Runs.back().Accepted) << Row.Case;
    }
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
}

TEST(PosixHost, AwkwardValuesArriveExactly) {
    RealWorld W;
    const std::string Awkward =
        "x\" --erase --entire \" \\ \\\" tab\t\xE2\x82\xAC\xF0\x9F\x92\xBF end\\";
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

} // namespace
