// The Win32 host's runs at their edges, with the stand-in NeroCmd.exe as a real process: the
// batch-file rule, the system's limit on a command line, the tool's lines and progress watched
// through pipes, and jobs. Runs under Wine as on Windows.
#include "WindowsHostSupport.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

namespace {

using namespace WindowsHostTest;

// A batch-file tool runs through the command interpreter; values it would read its own way are
// never handed to it.
TEST(WindowsHost, BatchFileToolRefusesValuesTheInterpreterWouldRead) {
    WindowsWorld W;
    const fs::path Marker = W.Dir.Path() / "ran.txt";
    const fs::path Batch = W.Dir.Write("tool.bat", "@echo off\r\necho ran> \"" + Marker.string() +
                                                       "\"\r\nexit /b 0\r\n");
    W.Burner->NeroCmdLocation = PathText(Batch);
    W.Burner->Files()->Add(PathText(Marker.parent_path()));
    for (const char16_t* Title : {u"100%", u"%PATH%", u"Hi!", u"say \"x\"", u"a\nb"}) {
        W.Burner->SetTitle(Title);
        W.Events.clear();
        EXPECT_EQ(W.Burner->BurnData(u'E'), -1);
        EXPECT_EQ(W.Events, Strings{"OnError(-1)"});
        EXPECT_FALSE(fs::exists(Marker));
    }
    // The same tool with plain values runs.
    W.Burner->SetTitle(u"Plain title");
    EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
    EXPECT_TRUE(fs::exists(Marker));
}

// CreateProcessW takes at most 32,767 code units including the terminating NUL. A longer command
// line must fail to start rather than reach the tool cut short; one at the limit runs whole.
TEST(WindowsHost, CommandLineAtTheSystemLimitRunsAndPastItIsAFailedStart) {
    const std::u16string Tool = PathText(Standin);
    const std::u16string Program =
        Tool.find_first_of(u" \t") == std::u16string::npos ? Tool : u"\"" + Tool + u"\"";
    const std::u16string Head = Program + u" --write --drivename \"E\" --real --title \"";
    const std::u16string Tail = u"\" --recursive --speed 4 --iso \"NEW\" --underrun_prot ";
    for (const std::size_t Length : {std::size_t{32766}, std::size_t{32767}, std::size_t{32768}}) {
        const std::u16string Title(Length - Head.size() - Tail.size(), u'x');
        const std::u16string Expected = Head + Title + Tail;
        ASSERT_EQ(Expected.size(), Length);
        for (const bool Synchronous : {true, false}) {
            const std::string Case =
                std::to_string(Length) + (Synchronous ? " waiting" : " not waiting");
            WindowsWorld W;
            W.Burner->SetSynchronous(Synchronous);
            W.Burner->SetTitle(Title);
            const int Result = W.Burner->BurnData(u'E');
            if (Length <= 32766) {
                EXPECT_EQ(Result, 0) << Case;
                const auto Runs = W.RunsAfterLaunch(1);
                ASSERT_EQ(Runs.size(), 1U) << Case;
                ASSERT_TRUE(Runs[0].CommandLine.has_value()) << Case;
                EXPECT_EQ(Runs[0].CommandLine->size(), Length) << Case;
                EXPECT_TRUE(*Runs[0].CommandLine == QueltTest::Utf8(Expected)) << Case;
            } else {
                EXPECT_EQ(Result, -1) << Case;
                EXPECT_EQ(W.Events, Synchronous ? Strings{"OnError(-1)"} : Strings{}) << Case;
                // Give a launch that should not have happened the time to show up in the log.
                const auto Runs = W.RunsAfterLaunch(1);
                const std::string Received =
                    Runs.empty() || !Runs[0].CommandLine ? std::string() : *Runs[0].CommandLine;
                EXPECT_TRUE(Runs.empty())
                    << Case << ": the tool received " << Received.size()
                    << " code units ending in \""
                    << Received.substr(Received.size() - std::min<std::size_t>(Received.size(), 24))
                    << "\"";
            }
        }
    }
}

} // namespace

namespace {

// The tool's lines and progress through pipes the Win32 host reads with overlapped reads.
TEST(WindowsHostWatching, StandinProgressAndLinesArriveInOrder) {
    WindowsWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    const ScopedEnv Error{"NEROCMD_STDERR", "a warning"};
    Strings Seen;
    W.Burner->SetOnProgress([&Seen](System::TObject*, const UnicodeString& Phase, double Percent) {
        Seen.push_back(QueltTest::Utf8(Phase) + " " + std::to_string(Percent).substr(0, 5));
    });
    Strings Lines;
    W.Burner->SetOnOutput([&Lines](System::TObject*, const UnicodeString& Line, bool IsError) {
        Lines.push_back((IsError ? "err:" : "out:") + QueltTest::Utf8(Line));
    });
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(Seen, (Strings{"preparing 0.000", "preparing 100.0", "writing 0.000", "writing 25.00",
                             "writing 50.00", "writing 75.00", "writing 100.0"}));
    ASSERT_EQ(Lines.size(), 9U);
    EXPECT_EQ(Lines.front(), "out:NeroCmd stand-in: would open the tray of drive E");
    EXPECT_EQ(Lines.back(), "err:NeroCmd stand-in: a warning");
    EXPECT_EQ(W.Events, Strings{"OnSuccess"});
}

TEST(WindowsHostWatching, CancelFromAnotherThreadAndTimeoutEndTheTool) {
    WindowsWorld W;
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "30000"};
    for (int Run = 0; Run < 3; ++Run) {
        // The cancel comes once the tool has started (it logs before it waits): a cancel before
        // that would end a tool that never got as far as the log, which proves nothing.
        std::thread Canceller([&W, Run] {
            W.WaitForLoggedLines(static_cast<std::size_t>(Run) + 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(50 * Run));
            W.Burner->Cancel();
        });
        const auto Start = std::chrono::steady_clock::now();
        EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultCancelled) << Run;
        Canceller.join();
        EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10)) << Run;
    }
    // Long enough for a loaded machine to start the tool under the emulator, far below its 30 s.
    W.Burner->SetTimeout(3000);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultTimedOut);
    const auto Took = std::chrono::steady_clock::now() - Start;
    EXPECT_GE(Took, std::chrono::milliseconds(3000));
    EXPECT_LT(Took, std::chrono::seconds(10));
    EXPECT_EQ(W.Events, (Strings{"OnError(-4)", "OnError(-4)", "OnError(-4)", "OnError(-5)"}));
    // Every run reached the tool, and each was ended: none is left waiting out its 30 s.
    EXPECT_EQ(W.Runs().size(), 4U);
}

} // namespace

namespace {

// Jobs on the Win32 host: the stand-in's progress as the job's, and a cancel right after the start
// that the tool never outlives.
TEST(WindowsHostJobs, AJobWatchesTheStandinAndKeepsAnEarlyCancel) {
    WindowsWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    std::vector<double> Overall;
    Queltburner::TJobEvents Events;
    Events.OnProgress = [&Overall](const Queltburner::TJobProgress& P) {
        Overall.push_back(P.Overall);
    };
    const auto Job = W.Burner->StartEject(u'E', Events);
    EXPECT_EQ(Job->Wait().Result, 0);
    ASSERT_FALSE(Overall.empty());
    EXPECT_TRUE(std::is_sorted(Overall.begin(), Overall.end()));
    EXPECT_EQ(Overall.back(), 100);

    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "30000"};
    const auto Start = std::chrono::steady_clock::now();
    const auto Cancelled = W.Burner->StartEject(u'E');
    Cancelled->Cancel();
    EXPECT_EQ(Cancelled->Wait().Error, Queltburner::TBurnError::Cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10));
    EXPECT_TRUE(W.Events.empty()) << "a job fires only its own events";
}

} // namespace
