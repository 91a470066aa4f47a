// Watched runs through the POSIX host with real processes: the stand-in's progress and lines, tools
// that write odd output, much output, or hang, and cancels and time limits that end them with no
// process, zombie or handle left behind.
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Queltburner::Posix::StartPath;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;

// A world whose tool is a shell script.
struct ScriptWorld : RealWorld {
    std::vector<std::string> Lines;
    std::size_t Characters = 0;

    explicit ScriptWorld(const std::string& Script,
                         StartPath Path = Queltburner::Posix::StartPathOfThisProcess())
        : RealWorld(Path) {
        const std::filesystem::path Tool = Dir.Write("tool.sh", "#!/bin/sh\n" + Script + "\n");
        std::filesystem::permissions(Tool, std::filesystem::perms::owner_all);
        Burner->NeroCmdLocation = QueltTest::PathText(Tool);
    }
    void CaptureLines(std::size_t Keep = 100) {
        Burner->SetOnOutput(
            [this, Keep](System::TObject*, const System::UnicodeString& Line, bool IsError) {
                Characters += Line.size();
                if (Lines.size() < Keep) {
                    Lines.push_back((IsError ? "err:" : "out:") + QueltTest::Utf8(Line));
                }
            });
    }
    std::string Pid() const { return QueltTest::ReadFile(Dir.Path() / "pid"); }
};

// The processes (zombies too) whose parent is this test: a run leaves none.
std::vector<std::string> OwnChildren() {
    std::vector<std::string> Children;
    const std::string Self = std::to_string(::getpid());
    for (const auto& Entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream Stat(Entry.path() / "stat");
        std::string Text;
        if (!std::getline(Stat, Text)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks, so read after its last ')'.
        std::istringstream Rest(Text.substr(Text.rfind(')') + 1));
        std::string State;
        std::string Parent;
        Rest >> State >> Parent;
        if (Parent == Self) {
            Children.push_back(Entry.path().filename().string() + " " + State);
        }
    }
    return Children;
}

bool ProcessGone(const std::string& PidText) {
    const pid_t Pid = std::stoi(PidText);
    return ::kill(Pid, 0) != 0 && errno == ESRCH;
}

TEST(WatchedRunPosix, StandinProgressAndLinesArriveInOrder) {
    RealWorld W;
    const ScopedEnv Progress{"NEROCMD_PROGRESS", "1"};
    const ScopedEnv Error{"NEROCMD_STDERR", "a warning"};
    std::vector<std::string> Seen;
    W.Burner->SetOnProgress(
        [&Seen](System::TObject*, const System::UnicodeString& Phase, double Percent) {
            Seen.push_back(QueltTest::Utf8(Phase) + " " + std::to_string(Percent).substr(0, 5));
        });
    std::vector<std::string> Lines;
    W.Burner->SetOnOutput(
        [&Lines](System::TObject*, const System::UnicodeString& Line, bool IsError) {
            Lines.push_back((IsError ? "err:" : "out:") + QueltTest::Utf8(Line));
        });
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(Seen, (std::vector<std::string>{"preparing 0.000", "preparing 100.0", "writing 0.000",
                                              "writing 25.00", "writing 50.00", "writing 75.00",
                                              "writing 100.0"}));
    ASSERT_EQ(Lines.size(), 9U);
    EXPECT_EQ(Lines.front(), "out:NeroCmd stand-in: would open the tray of drive E");
    EXPECT_EQ(Lines[1], "out:progress preparing 0.0");
    EXPECT_EQ(Lines.back(), "err:NeroCmd stand-in: a warning");
    EXPECT_EQ(W.Events, std::vector<std::string>{"OnSuccess"});
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
}

TEST(WatchedRunPosix, OddOutputArrivesWhole) {
    ScriptWorld W("printf 'bad \\377 byte\\n'\n"
                  "head -c 1048576 /dev/zero | tr '\\0' b; echo\n"
                  "printf 'to error\\n' >&2\n"
                  "printf 'no line end'\n"
                  "exit 3");
    W.CaptureLines();
    EXPECT_EQ(W.Burner->Eject(u'E'), 3);
    ASSERT_EQ(W.Lines.size(), 1U + 16U + 2U);
    EXPECT_EQ(W.Lines.front(), "out:bad \xEF\xBF\xBD byte");
    for (std::size_t Piece = 1; Piece <= 16; ++Piece) {
        EXPECT_EQ(W.Lines[Piece], "out:" + std::string(65536, 'b')) << Piece;
    }
    // The streams are read apart: their lines keep their order within each stream.
    EXPECT_TRUE((W.Lines[17] == "err:to error" && W.Lines[18] == "out:no line end") ||
                (W.Lines[17] == "out:no line end" && W.Lines[18] == "err:to error"))
        << W.Lines[17] << " / " << W.Lines[18];
    EXPECT_EQ(W.Events, std::vector<std::string>{"OnError(3)"});
}

TEST(WatchedRunPosix, HundredMegabytesOfOutputArriveWithoutLoss) {
    ScriptWorld W("awk 'BEGIN { s = sprintf(\"%999s\", \"\"); gsub(/ /, \"a\", s);"
                  " for (i = 0; i < 100000; i++) print s }'");
    std::size_t LineCount = 0;
    bool AllWhole = true;
    W.Burner->SetOnOutput([&](System::TObject*, const System::UnicodeString& Line, bool) {
        ++LineCount;
        AllWhole = AllWhole && Line.size() == 999;
    });
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_EQ(LineCount, 100000U);
    EXPECT_TRUE(AllWhole);
}

TEST(WatchedRunPosix, TheRunEndsWithTheToolNotWithItsPipes) {
    // The tool leaves a process behind that holds its output open for 5 s.
    ScriptWorld W("(sleep 5) &\necho done");
    W.CaptureLines();
    const auto Start = Clock::now();
    EXPECT_EQ(W.Burner->Eject(u'E'), 0);
    EXPECT_LT(Clock::now() - Start, 2s);
    EXPECT_EQ(W.Lines, std::vector<std::string>{"out:done"});
}

TEST(WatchedRunPosix, TimeoutEndsAHangingToolAndSparesAQuickOne) {
    const struct {
        const char* Case;
        std::string Script;
        std::chrono::milliseconds AtLeast;
        std::chrono::milliseconds Below;
    } Rows[] = {
        {"ends when asked", "echo $$ > \"$(dirname \"$0\")/pid\"\nexec sleep 30", 300ms, 1500ms},
        {"ignores the request", "echo $$ > \"$(dirname \"$0\")/pid\"\ntrap '' TERM\nsleep 30",
         3300ms, 5000ms},
    };
    for (const auto& Row : Rows) {
        ScriptWorld W(Row.Script);
        W.Burner->SetTimeout(300);
        const auto Start = Clock::now();
        EXPECT_EQ(W.Burner->Eject(u'E'), Queltburner::ResultTimedOut) << Row.Case;
        const auto Took = Clock::now() - Start;
        EXPECT_GE(Took, Row.AtLeast) << Row.Case;
        EXPECT_LT(Took, Row.Below) << Row.Case;
        EXPECT_TRUE(ProcessGone(W.Pid())) << Row.Case;
        EXPECT_EQ(W.Events, std::vector<std::string>{"OnError(-5)"}) << Row.Case;
        EXPECT_EQ(W.Host->OpenHandleCount(), 0U) << Row.Case;
    }
    ScriptWorld Quick("exit 0");
    Quick.Burner->SetTimeout(5000);
    EXPECT_EQ(Quick.Burner->Eject(u'E'), 0);
}

TEST(WatchedRunPosix, CancelFromAnotherThreadAtRandomMoments) {
    ScriptWorld W("echo $$ >> \"$(dirname \"$0\")/pid\"\necho started\nexec sleep 30");
    std::mt19937 Random(7);
    for (int Run = 0; Run < 25; ++Run) {
        const auto After = std::chrono::microseconds(Random() % 30000);
        std::atomic<bool> Done{false};
        std::thread Canceller([&] {
            std::this_thread::sleep_for(After);
            // Until the run has begun, a cancel does nothing: keep asking until it ends.
            while (!Done) {
                W.Burner->Cancel();
                std::this_thread::sleep_for(5ms);
            }
        });
        const auto Start = Clock::now();
        const int Result = W.Burner->Eject(u'E');
        Done = true;
        Canceller.join();
        EXPECT_EQ(Result, Queltburner::ResultCancelled) << "run " << Run;
        EXPECT_LT(Clock::now() - Start, 2s) << "run " << Run;
    }
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
    // A tool cancelled before it got to say its id is gone too: no child of this process is left.
    std::ifstream Pids(W.Dir.Path() / "pid");
    for (std::string Pid; std::getline(Pids, Pid);) {
        EXPECT_TRUE(ProcessGone(Pid)) << Pid;
    }
    EXPECT_EQ(OwnChildren(), std::vector<std::string>{});
    EXPECT_EQ(W.Events, std::vector<std::string>(25, "OnError(-4)"));
}

TEST(WatchedRunPosix, AThrowingHandlerLeavesNoToolRunning) {
    ScriptWorld W("echo $$ > \"$(dirname \"$0\")/pid\"\necho first\nexec sleep 30");
    W.Burner->SetOnOutput([](System::TObject*, const System::UnicodeString&, bool) {
        throw std::runtime_error("the handler failed");
    });
    const auto Start = Clock::now();
    EXPECT_THROW(W.Burner->Eject(u'E'), std::runtime_error);
    EXPECT_LT(Clock::now() - Start, 2s);
    EXPECT_TRUE(ProcessGone(W.Pid()));
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
}

// Both ways of starting a tool (through the waiter, and the plain one taken under ThreadSanitizer
// and valgrind) give the same runs: the exit code, the lines, a cancel and a time limit that end
// the tool, and a cancel that comes once the tool has ended by itself, which ends nothing.
TEST(WatchedRunPosix, EveryStartPathRunsWatchesAndEndsTools) {
    const auto CancelAfter = [](std::chrono::milliseconds Delay) {
        return [Delay](ScriptWorld& W) {
            W.Burner->SetOnOutput(
                [&W, Delay](System::TObject*, const System::UnicodeString&, bool) {
                    std::this_thread::sleep_for(Delay);
                    W.Burner->Cancel();
                });
        };
    };
    const struct {
        const char* Case;
        std::string Script;
        std::function<void(ScriptWorld&)> Setup;
        int Result;
        std::vector<std::string> Lines;
    } Rows[] = {
        {"exit code", "exit 3", [](ScriptWorld&) {}, 3, {}},
        {"lines",
         "echo one\necho two >&2",
         [](ScriptWorld& W) { W.CaptureLines(); },
         0,
         {"out:one", "err:two"}},
        {"cancel",
         "echo started\nexec sleep 30",
         CancelAfter(0ms),
         Queltburner::ResultCancelled,
         {}},
        {"time limit",
         "exec sleep 30",
         [](ScriptWorld& W) { W.Burner->SetTimeout(100); },
         Queltburner::ResultTimedOut,
         {}},
        {"cancel after the end", "echo last", CancelAfter(100ms), 0, {}},
        {"launch without waiting",
         "exit 3",
         [](ScriptWorld& W) { W.Burner->SetSynchronous(false); },
         0,
         {}},
    };
    for (const StartPath Path : {StartPath::Waiter, StartPath::Plain}) {
        // Under ThreadSanitizer and valgrind only the plain path can run.
        if (Path != Queltburner::Posix::StartPathOfThisProcess() && Path == StartPath::Waiter) {
            continue;
        }
        for (const auto& Row : Rows) {
            for (int Try = 0; Try < 5; ++Try) {
                ScriptWorld W(Row.Script, Path);
                Row.Setup(W);
                const auto Start = Clock::now();
                EXPECT_EQ(W.Burner->Eject(u'E'), Row.Result)
                    << Row.Case << " path " << static_cast<int>(Path);
                EXPECT_LT(Clock::now() - Start, 2s) << Row.Case;
                EXPECT_EQ(W.Lines, Row.Lines) << Row.Case;
                EXPECT_EQ(W.Host->OpenHandleCount(), 0U) << Row.Case;
            }
        }
    }
    EXPECT_EQ(OwnChildren(), std::vector<std::string>{});
}

} // namespace
