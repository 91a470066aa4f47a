// The POSIX host inside applications that handle their own signals and descriptors: signal storms,
// forking neighbours, descriptors the helper must not hold, a closed standard error. What a case
// does to its process runs in a process of its own.
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

// --- Signals and descriptors -------------------------------------------------------------------

struct SignalTally {
    std::atomic<long> Application{0};
    std::atomic<long> Elsewhere{0}; // in any other process: a helper of the library
};
SignalTally* Tally = nullptr;
pid_t ApplicationPid = 0;

void CountSignal(int /*Signal*/) {
    // getpid through the system call: the library's helpers share this process's memory.
    if (static_cast<pid_t>(syscall(SYS_getpid)) == ApplicationPid) {
        ++Tally->Application;
    } else {
        ++Tally->Elsewhere;
    }
}

TEST(HostileApplication, NoApplicationSignalHandlerRunsInAHelper) {
    const std::string Found = InOwnProcess([](Findings& Check) {
        setpgid(0, 0);
        // Shared with any forked helper too, so that a handler run there is counted here.
        void* Shared = mmap(nullptr, sizeof(SignalTally), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        Tally = new (Shared) SignalTally;
        ApplicationPid = getpid();
        struct sigaction Action {};
        sigemptyset(&Action.sa_mask);
        Action.sa_handler = CountSignal;
        sigaction(SIGWINCH, &Action, nullptr);
        std::atomic<bool> Stop{false};
        std::thread Storm([&Stop] {
            while (!Stop) {
                kill(0, SIGWINCH); // the whole process group: this process and its helpers
                std::this_thread::sleep_for(20us);
            }
        });
        RealWorld W;
        for (int Run = 0; Run < 20; ++Run) {
            Check.Expect(W.Burner->BurnData(u'E') == 0, "a waiting run failed");
        }
        W.Burner->SetSynchronous(false);
        for (int Launch = 0; Launch < 20; ++Launch) {
            Check.Expect(W.Burner->BurnData(u'E') == 0, "a launch failed");
        }
        Stop = true;
        Storm.join();
        Check.Expect(Tally->Application > 0, "the storm never reached the application");
        Check.Expect(Tally->Elsewhere == 0, "the application's handler ran in a helper " +
                                                std::to_string(Tally->Elsewhere.load()) + " times");
    });
    EXPECT_EQ(Found, "");
}

TEST(HostileApplication, ForkingNeighbourDoesNotStallLaunches) {
    RealWorld W;
    W.Burner->SetSynchronous(false);
    std::atomic<bool> Stop{false};
    std::vector<pid_t> Sleepers;
    // A neighbour thread forking copies of the application that sleep 3 s: each holds whatever
    // descriptors were open at its fork.
    std::thread Neighbour([&] {
        while (!Stop) {
            const pid_t Child = fork();
            if (Child == 0) {
                sleep(3);
                _exit(0);
            }
            Sleepers.push_back(Child);
            std::this_thread::sleep_for(200us);
        }
    });
    std::vector<long long> Slow;
    for (int Launch = 0; Launch < 40; ++Launch) {
        const auto Start = Clock::now();
        EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
        const auto Took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start);
        if (Took > 100ms) {
            Slow.push_back(Took.count());
        }
    }
    Stop = true;
    Neighbour.join();
    for (const pid_t Sleeper : Sleepers) {
        kill(Sleeper, SIGKILL);
        waitpid(Sleeper, nullptr, 0);
    }
    EXPECT_TRUE(Slow.empty()) << Slow.size() << " launches took over 100 ms, the first "
                              << Slow.front() << " ms";
    EXPECT_TRUE(AwaitRuns(W, 40));
}

TEST(HostileApplication, HelperHoldsNoneOfTheApplicationsDescriptors) {
    RealWorld W;
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "1000"};
    int Ends[2];
    ASSERT_EQ(pipe(Ends), 0);
    std::thread Run([&W] { EXPECT_EQ(W.Burner->BurnData(u'E'), 0); });
    ASSERT_TRUE(AwaitRuns(W, 1)); // the tool runs, and its waiter with it
    // The application closes its end: its reader must see the end of file now, not when the tool
    // ends, which it would not if a helper still held a copy.
    close(Ends[1]);
    pollfd Poll{Ends[0], POLLIN, 0};
    EXPECT_EQ(poll(&Poll, 1, 300), 1);
    char Byte = 0;
    EXPECT_EQ(read(Ends[0], &Byte, 1), 0);
    EXPECT_TRUE(QueltTest::ProcessExists(W.Runs()[0].Pid)) << "the tool ended too early to tell";
    Run.join();
    close(Ends[0]);
}

TEST(HostileApplication, ClosedStandardErrorDoesNotEndTheApplication) {
    const std::string Found = InOwnProcess([](Findings& Check) {
        signal(SIGPIPE, SIG_DFL);
        int Ends[2];
        Check.Expect(pipe(Ends) == 0, "pipe failed");
        close(Ends[0]); // nobody reads standard error any more
        dup2(Ends[1], STDERR_FILENO);
        close(Ends[1]);
        RealWorld W;
        W.Burner->SetShowMessages(true);
        Check.Expect(W.Burner->BurnData(u'Q') == -2, "the drive check did not return -2");
        W.Burner->NeroCmdLocation.clear();
        Check.Expect(W.Burner->BurnData(u'E') == -1, "the tool check did not return -1");
        sigset_t Pending;
        sigpending(&Pending);
        Check.Expect(sigismember(&Pending, SIGPIPE) == 0, "SIGPIPE left pending");
    });
    EXPECT_EQ(Found, "");
}

} // namespace
