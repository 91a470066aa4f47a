// Jobs through the POSIX host with the stand-in as a real process, also run under the thread
// sanitizer: several jobs at once, cancelled from other threads while their tools run, each
// finishing once with nothing left behind.
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;

TEST(JobsPosix, JobsCancelledFromOtherThreadsWhileTheirToolsRun) {
    RealWorld W;
    const ScopedEnv Delay{"NEROCMD_DELAY_MS", "20000"};
    std::atomic<int> Finishes{0};
    Queltburner::TJobEvents Events;
    Events.OnFinished = [&Finishes](const Queltburner::TJobResult&) { ++Finishes; };
    std::vector<std::shared_ptr<Queltburner::TBurnJob>> Jobs;
    for (int I = 0; I < 4; ++I) {
        Jobs.push_back(W.Burner->StartEject(u'E', Events));
    }
    W.Burner.reset();
    // Once every tool has logged its start, each job is cancelled from a thread of its own.
    for (int Wait = 0; Wait < 400 && W.Runs().size() < Jobs.size(); ++Wait) {
        std::this_thread::sleep_for(25ms);
    }
    ASSERT_EQ(W.Runs().size(), Jobs.size());
    std::vector<std::thread> Cancellers;
    for (const auto& Job : Jobs) {
        Cancellers.emplace_back([Job] {
            Job->Cancel();
            EXPECT_EQ(Job->Wait().Error, Queltburner::TBurnError::Cancelled);
        });
    }
    for (std::thread& Canceller : Cancellers) {
        Canceller.join();
    }
    EXPECT_EQ(Finishes, 4);
    for (const auto& Job : Jobs) {
        EXPECT_TRUE(Job->Finished());
        EXPECT_LT(Job->Progress().Elapsed, 10s);
    }
}

} // namespace
