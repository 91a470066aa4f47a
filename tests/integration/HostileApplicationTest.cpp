// The POSIX host inside applications that handle their own children and memory the way real ones
// do: SIGCHLD ignored or reaped by someone else, a subreaper, and allocations failing one by one.
// Whatever the application does, a waiting run reports the tool's own exit code, a launch reports
// -1 only when nothing started, and nothing is left behind. What a case does to its process runs
// in a process of its own.
#include "FailingAllocator.hpp"
#include "HostileApplicationSupport.hpp"
#include "ProcessLauncher.hpp"
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <new>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace HostileTest;

// --- The application's own child handling ------------------------------------------------------

enum class ChildHandling : std::uint8_t {
    Ignored,         // SIGCHLD set to SIG_IGN: the kernel reaps every child at once
    NoChildWait,     // SA_NOCLDWAIT: the same, with a handler left at its default
    ReapingHandler,  // a handler that reaps every child with waitpid(-1, WNOHANG)
    ReaperThread,    // another thread reaping every child with waitpid(-1, WNOHANG)
    ReaperThreadAll, // the same with __WALL, which also collects the library's helpers
};

void ReapEverything(int /*Signal*/) {
    const int Saved = errno;
    int Status = 0;
    while (waitpid(-1, &Status, WNOHANG) > 0) {
    }
    errno = Saved;
}

class ChildHandlingTest : public testing::TestWithParam<ChildHandling> {};

TEST_P(ChildHandlingTest, RunsReportTheToolsOwnExitCodeAndLaunchesStart) {
    const ChildHandling Handling = GetParam();
    const std::string Found = InOwnProcess([Handling](Findings& Check) {
        struct sigaction Action {};
        sigemptyset(&Action.sa_mask);
        Action.sa_handler = Handling == ChildHandling::Ignored ? SIG_IGN : SIG_DFL;
        Action.sa_flags = Handling == ChildHandling::NoChildWait ? SA_NOCLDWAIT : 0;
        if (Handling == ChildHandling::ReapingHandler) {
            Action.sa_handler = ReapEverything; // no SA_RESTART: every wait sees EINTR too
        }
        sigaction(SIGCHLD, &Action, nullptr);
        std::atomic<bool> Stop{false};
        std::thread Reaper;
        if (Handling == ChildHandling::ReaperThread || Handling == ChildHandling::ReaperThreadAll) {
            const int Options = WNOHANG | (Handling == ChildHandling::ReaperThreadAll ? __WALL : 0);
            Reaper = std::thread([&Stop, Options] {
                int Status = 0;
                while (!Stop) {
                    if (waitpid(-1, &Status, Options) <= 0) {
                        std::this_thread::sleep_for(50us);
                    }
                }
            });
        }

        RealWorld W;
        for (int Run = 0; Run < 60; ++Run) {
            for (const int Code : {0, 7}) {
                const ScopedEnv Exit{"NEROCMD_EXIT", std::to_string(Code)};
                const int Result = W.Burner->BurnData(u'E');
                Check.Expect(Result == Code, "run " + std::to_string(Run) + ": exit code " +
                                                 std::to_string(Code) + " came back as " +
                                                 std::to_string(Result));
            }
        }
        W.Burner->SetSynchronous(false);
        for (int Launch = 0; Launch < 10; ++Launch) {
            const int Result = W.Burner->BurnData(u'E');
            Check.Expect(Result == 0, "launch " + std::to_string(Launch) + " returned " +
                                          std::to_string(Result));
        }
        Check.Expect(AwaitRuns(W, 130), "the launched tools did not all run");
        Check.Expect(W.Host->OpenHandleCount() == 0, "handles left open");
        Stop = true;
        if (Reaper.joinable()) {
            Reaper.join();
        }
    });
    EXPECT_EQ(Found, "");
}

INSTANTIATE_TEST_SUITE_P(EveryWay, ChildHandlingTest,
                         testing::Values(ChildHandling::Ignored, ChildHandling::NoChildWait,
                                         ChildHandling::ReapingHandler, ChildHandling::ReaperThread,
                                         ChildHandling::ReaperThreadAll));

TEST(HostileApplication, SubreaperKeepsNoZombieOfALaunch) {
    const std::string Found = InOwnProcess([](Findings& Check) {
        // Orphans below this process now come back to it, as to the first process of a container.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        RealWorld W;
        W.Burner->SetSynchronous(false);
        {
            const ScopedEnv Delay{"NEROCMD_DELAY_MS", "300"};
            for (int Launch = 0; Launch < 5; ++Launch) {
                Check.Expect(W.Burner->BurnData(u'E') == 0, "a launch failed");
            }
        }
        Check.Expect(AwaitRuns(W, 5), "the tools did not run");
        std::vector<long long> Tools;
        for (const QueltTest::LoggedRun& Run : W.Runs()) {
            Tools.push_back(Run.Pid);
        }
        Check.Expect(AwaitGone(Tools), "a tool stayed behind after it ended (a zombie)");
        Check.Expect(QueltTest::ZombieChildren().empty(), "a zombie among the children");
        Check.Expect(Queltburner::Posix::KeptLaunchCount() == 5, "the waiters are not kept");

        // The next operation lets the waiters of ended tools go, and collects them.
        W.Burner->SetSynchronous(true);
        Check.Expect(W.Burner->BurnData(u'E') == 0, "the waiting run failed");
        Check.Expect(Queltburner::Posix::KeptLaunchCount() == 0, "waiters still kept");
        Check.Expect(QueltTest::ChildProcesses().empty(), "children left after the release");
    });
    EXPECT_EQ(Found, "");
}

// --- Allocation failures -----------------------------------------------------------------------

TEST(HostileApplication, AllocationFailingAnywhereLeavesNoToolBehind) {
    RealWorld W;
    const long Before = QueltTest::AllocationsMade();
    ASSERT_EQ(W.Burner->BurnData(u'E'), 0);
    const long PerRun = QueltTest::AllocationsMade() - Before;
    ASSERT_GT(PerRun, 0);
    int Threw = 0;
    for (long Failing = 0; Failing <= PerRun; ++Failing) {
        QueltTest::FailAllocationAfter(Failing);
        try {
            const int Result = W.Burner->BurnData(u'E');
            EXPECT_TRUE(Result == 0 || Result == -1) << "allocation " << Failing << ": " << Result;
        } catch (const std::bad_alloc&) {
            ++Threw;
        }
        QueltTest::FailAllocationAfter(-1);
        // Whatever failed, the tool is not running on, and has not become a zombie, behind the
        // caller's back: a started run was waited for.
        EXPECT_TRUE(QueltTest::ChildProcesses().empty()) << "allocation " << Failing;
        EXPECT_EQ(W.Host->OpenHandleCount(), 0U) << "allocation " << Failing;
    }
    EXPECT_GT(Threw, 0);
}

} // namespace
