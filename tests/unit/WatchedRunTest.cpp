// A waiting run on a host that watches its tool: lines and progress reach the events in order, a
// time limit and a cancel end the tool, and no way out leaves a handle open or a tool running.
#include "ReadyBurner.hpp"
#include "TestFiles.hpp"
#include "ToolOutput.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Queltburner::WaitEvent;
using QueltTest::ReadyBurner;
using QueltTest::RecordingHost;
using QueltTest::UnicodeString;
using Step = RecordingHost::WaitStep;

struct WatchedBurner : ReadyBurner {
    std::vector<std::string> Lines;
    std::vector<std::string> Progress;

    WatchedBurner() {
        Host->Watches = true;
        Burner->SetSynchronous(true);
    }
    void CaptureLines() {
        Burner->SetOnOutput([this](System::TObject*, const UnicodeString& Line, bool IsError) {
            Lines.push_back((IsError ? "err:" : "out:") + QueltTest::Utf8(Line));
        });
    }
    void CaptureProgress() {
        Burner->SetOnProgress([this](System::TObject*, const UnicodeString& Phase, double Percent) {
            Progress.push_back(QueltTest::Utf8(Phase) + " " + std::to_string(Percent).substr(0, 5));
        });
    }
};

TEST(WatchedRun, LinesOfBothStreamsArriveInOrderWhateverTheirPieces) {
    WatchedBurner W;
    W.CaptureLines();
    W.Host->ExitCode = 0;
    W.Host->Script = {
        Step{"first li", "", WaitEvent::Output},
        Step{"ne\r\nsecond line\n", "an err", WaitEvent::Output},
        Step{"", "or\n", WaitEvent::Output},
        Step{"bad \xC3\x28 byte\n\n", "", WaitEvent::Output},
        Step{"last without an end", "error without an end", WaitEvent::Ended},
    };
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(W.Lines, (std::vector<std::string>{"out:first line", "out:second line",
                                                 "err:an error", "out:bad \xEF\xBF\xBD( byte",
                                                 "out:", "out:last without an end",
                                                 "err:error without an end"}));
    EXPECT_EQ(W.Events, std::vector<std::string>{"OnSuccess"});
    EXPECT_EQ(W.Host->OpenHandles(), 0U);
}

TEST(WatchedRun, LongLinesArriveInPiecesCutBetweenCharacters) {
    WatchedBurner W;
    std::vector<std::size_t> Sizes;
    std::u16string Joined;
    W.Burner->SetOnOutput([&](System::TObject*, const UnicodeString& Line, bool) {
        Sizes.push_back(Line.size());
        Joined += Line;
    });
    // 30,000 three-byte characters (90,000 bytes): the first piece ends before the character that
    // 65,536 bytes would cut, after 21,845 characters (65,535 bytes).
    std::string Long;
    for (int I = 0; I < 30000; ++I) {
        Long += "\xE2\x82\xAC";
    }
    W.Host->Script = {Step{Long + "\nnext\n", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(Sizes, (std::vector<std::size_t>{21845, 30000 - 21845, 4}));
    EXPECT_EQ(Joined, std::u16string(30000, u'\u20AC') + u"next");
}

// The line end is not part of the line: a line of exactly the longest piece arrives whole however
// its CR LF comes; and only a whole line is a progress line, not the last piece of a long one.
TEST(WatchedRun, LinesAtTheLongestPieceArriveWholeAndOnlyWholeLinesAreProgress) {
    const std::string Longest(Queltburner::OutputLineSplitter::LongestPiece, 'x');
    const struct {
        const char* Case;
        std::vector<std::string> Reads;
        std::vector<std::size_t> Sizes;
        std::size_t ProgressLines;
    } Rows[] = {
        {"CR LF in one read", {Longest + "\r\nprogress writing 5.0\n"}, {Longest.size(), 20}, 1},
        {"CR and LF in two reads", {Longest + "\r", "\n"}, {Longest.size()}, 0},
        {"CR, then the rest", {Longest + "\r", "y\n"}, {Longest.size(), 2}, 0},
        {"a long line ending like progress",
         {Longest + "progress writing 5.0\n"},
         {Longest.size(), 20},
         0},
    };
    for (const auto& Row : Rows) {
        WatchedBurner W;
        W.CaptureProgress();
        std::vector<std::size_t> Sizes;
        W.Burner->SetOnOutput([&Sizes](System::TObject*, const UnicodeString& Line, bool) {
            Sizes.push_back(Line.size());
        });
        for (const std::string& Read : Row.Reads) {
            W.Host->Script.push_back(Step{Read, "", WaitEvent::Output});
        }
        W.Host->Script.push_back(Step{"", "", WaitEvent::Ended});
        EXPECT_EQ(W.Burner->Eject(u'E'), 0) << Row.Case;
        EXPECT_EQ(Sizes, Row.Sizes) << Row.Case;
        EXPECT_EQ(W.Progress.size(), Row.ProgressLines) << Row.Case;
    }
}

TEST(WatchedRun, ProgressLinesOfTheRecordersFormatOnly) {
    WatchedBurner W;
    W.CaptureProgress();
    W.Host->Script = {Step{"progress preparing 0.0\n"
                           "progress writing 12.5\n"
                           "progress writing 100.0\n"
                           "progress writing 100.1\n"
                           "progress writing 50\n"
                           "progress burning 10.0\n"
                           "progress verifying 1.25\n"
                           " progress closing 3.0\n"
                           "progress closing 3.0 \n"
                           "progress closing 99.9\n",
                           "progress erasing 1.0\n", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(W.Progress, (std::vector<std::string>{"preparing 0.000", "writing 12.50",
                                                    "writing 100.0", "closing 99.90"}));
}

TEST(WatchedRun, StreamsAreCapturedOnlyWhileAnOutputEventIsSet) {
    WatchedBurner W;
    W.Host->Script = {Step{"", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    W.CaptureProgress();
    W.Host->Script = {Step{"", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    W.Burner->SetOnProgress(nullptr);
    W.CaptureLines();
    W.Host->Script = {Step{"", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(W.Host->CaptureRequests, (std::vector<bool>{false, true, true}));
}

TEST(WatchedRun, TheToolsExitCodeIsTheResult) {
    WatchedBurner W;
    W.Host->ExitCode = 0xFFFFFFFFU;
    W.Host->Script = {Step{"", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), -1);
    W.Host->ExitCode = 5;
    W.Host->Script = {Step{"", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 5);
    EXPECT_EQ(W.Events, (std::vector<std::string>{"OnError(-1)", "OnError(5)"}));
}

TEST(WatchedRun, CancelFromAHandlerEndsTheToolWithTheCancelledResult) {
    const struct {
        const char* Case;
        bool IgnoresEndRequest;
        std::vector<bool> Ends;
    } Rows[] = {
        {"the tool ends when asked", false, {false}},
        {"the tool must be ended at once", true, {false, true}},
    };
    for (const auto& Row : Rows) {
        WatchedBurner W;
        W.Host->IgnoresEndRequest = Row.IgnoresEndRequest;
        W.Burner->SetOnOutput([&W](System::TObject*, const UnicodeString&, bool) {
            W.Burner->Cancel();
            W.Burner->Cancel(); // twice is once
        });
        W.Host->Script = {Step{"working\n", "", WaitEvent::Output}};
        const auto Start = std::chrono::steady_clock::now();
        EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultCancelled) << Row.Case;
        const auto Took = std::chrono::steady_clock::now() - Start;
        EXPECT_EQ(W.Host->EndRequests, Row.Ends) << Row.Case;
        EXPECT_EQ(W.Events, std::vector<std::string>{"OnError(-4)"}) << Row.Case;
        EXPECT_EQ(W.Host->OpenHandles(), 0U) << Row.Case;
        // The grace period before the tool is ended at once is 3 s.
        EXPECT_EQ(Took >= 3s, Row.IgnoresEndRequest) << Row.Case;
    }
}

// A cancel or a time limit that comes once the tool has ended by itself (a handler of its last line
// still running) ends nothing: the run returns the tool's own exit code.
TEST(WatchedRun, AnEndRequestAfterTheToolHasEndedKeepsItsExitCode) {
    for (const bool ByTimeLimit : {false, true}) {
        WatchedBurner W;
        W.Burner->SetTimeout(ByTimeLimit ? 20 : 0);
        W.Burner->SetOnOutput([&W, ByTimeLimit](System::TObject*, const UnicodeString&, bool) {
            if (ByTimeLimit) {
                std::this_thread::sleep_for(60ms);
            } else {
                W.Burner->Cancel();
            }
        });
        W.Host->Script = {Step{"last\n", "", WaitEvent::Output, true}};
        EXPECT_EQ(W.Burner->Eject(u'E'), 0) << ByTimeLimit;
        EXPECT_EQ(W.Events, std::vector<std::string>{"OnSuccess"}) << ByTimeLimit;
        EXPECT_EQ(W.Host->OpenHandles(), 0U);
    }
}

TEST(WatchedRun, CancelWithoutARunDoesNothingAndTheNextRunIsUnaffected) {
    WatchedBurner W;
    W.Burner->Cancel();
    W.Host->Script = {Step{"", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(W.Host->Interrupts, 0);
    EXPECT_TRUE(W.Host->EndRequests.empty());
    EXPECT_EQ(W.Events, std::vector<std::string>{"OnSuccess"});
}

TEST(WatchedRun, CancelFromAnotherThreadWakesTheWait) {
    WatchedBurner W;
    std::thread Canceller([&W] {
        std::this_thread::sleep_for(50ms);
        W.Burner->Cancel();
    });
    // No script: the tool runs on until it is asked to end.
    EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultCancelled);
    Canceller.join();
    EXPECT_GE(W.Host->Interrupts, 1);
    EXPECT_EQ(W.Host->EndRequests, std::vector<bool>{false});
    EXPECT_EQ(W.Host->OpenHandles(), 0U);
}

// Cancels from another thread at random moments, before, during and after each run: a run either
// ends cancelled or, when every cancel missed it, is ended by its time limit; nothing is left open.
// (The scripts run this program under ThreadSanitizer too.)
TEST(WatchedRun, CancelsFromAnotherThreadAtRandomMoments) {
    WatchedBurner W;
    W.Burner->SetTimeout(200);
    std::mt19937 Random(11);
    int Cancelled = 0;
    for (int Run = 0; Run < 40; ++Run) {
        const auto After = std::chrono::microseconds(Random() % 3000);
        std::thread Canceller([&W, After] {
            std::this_thread::sleep_for(After);
            W.Burner->Cancel();
        });
        const int Result = W.Burner->Eject(u'E');
        Canceller.join();
        EXPECT_TRUE(Result == Queltburner::ResultCancelled || Result == Queltburner::ResultTimedOut)
            << Result;
        Cancelled += Result == Queltburner::ResultCancelled ? 1 : 0;
        EXPECT_EQ(W.Host->OpenHandles(), 0U);
    }
    EXPECT_GT(Cancelled, 0);
}

TEST(WatchedRun, TimeoutEndsAToolThatRunsOnAndSparesOneThatEndsInTime) {
    WatchedBurner W;
    W.Burner->SetTimeout(100);
    const auto Start = std::chrono::steady_clock::now();
    EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultTimedOut);
    const auto Took = std::chrono::steady_clock::now() - Start;
    EXPECT_GE(Took, 100ms);
    EXPECT_LT(Took, 2s);
    EXPECT_EQ(W.Host->EndRequests, std::vector<bool>{false});
    W.Host->Script = {Step{"", "", WaitEvent::Ended}};
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(W.Events, (std::vector<std::string>{"OnError(-5)", "OnSuccess"}));
    EXPECT_EQ(W.Host->OpenHandles(), 0U);
}

TEST(WatchedRun, AThrowingHandlerEndsTheToolBeforeTheExceptionArrives) {
    WatchedBurner W;
    W.Burner->SetOnOutput([](System::TObject*, const UnicodeString&, bool) {
        throw std::runtime_error("handler failed");
    });
    W.Host->Script = {Step{"line\n", "", WaitEvent::Output}};
    EXPECT_THROW(W.Burner->Eject(u'E'), std::runtime_error);
    EXPECT_EQ(W.Host->EndRequests, std::vector<bool>{true});
    const std::vector<std::string> Names = W.Host->CallNames();
    ASSERT_GE(Names.size(), 3U);
    // Ended, waited for until it ended, then its handles released.
    EXPECT_EQ(Names[Names.size() - 3], "WaitForProcessEvent");
    EXPECT_EQ(Names[Names.size() - 2], "ReleaseHandle");
    EXPECT_EQ(W.Host->OpenHandles(), 0U);
    EXPECT_TRUE(W.Events.empty());
}

TEST(WatchedRun, AFailedWaitEndsTheToolAndFailsTheRun) {
    WatchedBurner W;
    W.Host->Script = {Step{"", "", WaitEvent::Failed}};
    EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultToolFailed);
    EXPECT_EQ(W.Host->EndRequests, std::vector<bool>{true});
    EXPECT_EQ(W.Host->OpenHandles(), 0U);
}

TEST(WatchedRun, AHostThatCannotWatchRunsAsBeforeAndIgnoresTheTimeLimit) {
    ReadyBurner R;
    R.Burner->SetSynchronous(true);
    R.Burner->SetTimeout(1);
    R.Burner->SetOnOutput([](System::TObject*, const UnicodeString&, bool) {});
    EXPECT_EQ(R.Burner->Eject(u'E'), 0);
    EXPECT_EQ(R.Host->CallNames(),
              (std::vector<std::string>{"DriveType", "FileExists", "StartProcess", "WaitForProcess",
                                        "ProcessExitCode", "ReleaseHandle", "ReleaseHandle"}));
}

TEST(ResultText, CancelledAndTimedOutRunsHaveTheirOwnMeaning) {
    EXPECT_EQ(Queltburner::ResultText(Queltburner::ResultCancelled), u"the run was cancelled");
    EXPECT_EQ(Queltburner::ResultText(Queltburner::ResultTimedOut),
              u"the run took longer than its time limit");
}

} // namespace
