// The frame every operation shares: the handles, runs without waiting, the show state, and event
// handlers that fail, throw or destroy the component, seen through the recording host.
#include "OperationFrame.hpp"
#include "OperationFrameSupport.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using namespace OperationFrameTest;

TEST(OperationFrame, ProcessHandleIsWaitedOnAndReleasedBeforeTheThreadHandle) {
    Frame F;
    F.Burner->SetSynchronous(true);
    ASSERT_EQ(F.Burner->BurnData(u'E'), 0);
    const auto& C = F.Host->Calls;
    ASSERT_EQ(C.size(), 7U);
    const UnicodeString Process = C[3].Args[0];
    EXPECT_EQ(C[4].Args[0], Process);
    EXPECT_EQ(C[5].Args[0], Process);
    EXPECT_NE(C[6].Args[0], Process);
}

TEST(OperationFrame, LaunchWithoutWaitingReturnsZeroAndFiresNoEvent) {
    for (const std::uint32_t Exit : {0U, 3U}) {
        Frame F;
        F.Host->ExitCode = Exit;
        EXPECT_EQ(F.Burner->BurnData(u'E'), 0);
        EXPECT_TRUE(F.Events.empty());
        EXPECT_EQ(F.Host->CallNames(), (Names{"DriveType", "FileExists", "StartProcess",
                                              "ReleaseHandle", "ReleaseHandle"}));
        EXPECT_EQ(F.Host->LastStart().Mode, LaunchMode::Detached);
        EXPECT_EQ(F.Host->OpenHandles(), 0U);
    }
}

// Reporting success for a tool that never started would hide the failure from the host.
TEST(OperationFrame, LaunchWithoutWaitingThatFailsToStartReturnsMinusOne) {
    Frame F;
    F.Host->StartFails = true;
    EXPECT_EQ(F.Burner->BurnData(u'E'), -1);
    EXPECT_TRUE(F.Events.empty());
    EXPECT_TRUE(F.Host->Messages.empty());
}

TEST(OperationFrame, ShowStateFollowsHideNeroCmdBothWays) {
    for (const bool Synchronous : {true, false}) {
        for (const bool Hide : {false, true}) {
            Frame F;
            F.Burner->SetSynchronous(Synchronous);
            F.Burner->SetHideNeroCmd(Hide);
            ASSERT_EQ(F.Burner->BurnData(u'E'), 0);
            EXPECT_EQ(F.Host->LastStart().ShowState, Hide ? 0 : 1);
        }
    }
}

TEST(OperationFrame, WithoutHandlersTheResultIsTheExitCode) {
    Frame F;
    F.Burner->SetOnError(nullptr);
    F.Burner->SetOnSuccess(nullptr);
    F.Burner->SetSynchronous(true);
    F.Host->ExitCode = 7;
    EXPECT_EQ(F.Burner->BurnData(u'E'), 7);
    EXPECT_EQ(F.Host->OpenHandles(), 0U);
}

// A NUL would cut the command line short on Windows and cannot be passed at all on POSIX.
TEST(OperationFrame, CommandLineHoldingNulIsAFailedStart) {
    for (const bool Synchronous : {true, false}) {
        Frame F;
        F.Burner->SetSynchronous(Synchronous);
        F.Burner->SetVolumeLabel(UnicodeString(u"A\0B", 3));
        EXPECT_EQ(F.Burner->BurnData(u'E'), -1);
        EXPECT_TRUE(F.Host->Starts.empty());
        EXPECT_EQ(F.Events, Synchronous ? Names{"OnError(-1)"} : Names{});
    }
}

TEST(OperationFrame, ExceptionsFromHandlersAndMessagesReachTheCallerWithHandlesReleased) {
    {
        Frame F;
        F.Burner->SetSynchronous(true);
        F.Burner->SetOnSuccess(
            [](System::TObject*) { throw std::runtime_error("success handler"); });
        EXPECT_THROW(F.Burner->BurnData(u'E'), std::runtime_error);
        EXPECT_EQ(F.Host->OpenHandles(), 0U);
    }
    {
        Frame F;
        F.Burner->SetSynchronous(true);
        F.Host->ExitCode = 5;
        F.Burner->SetOnError(
            [](System::TObject*, int) { throw std::logic_error("error handler"); });
        EXPECT_THROW(F.Burner->BurnData(u'E'), std::logic_error);
        EXPECT_EQ(F.Host->OpenHandles(), 0U);
    }
    {
        Frame F;
        F.Host->DriveTypes.clear();
        F.Host->BeforeAnswer = [](const QueltTest::HostCall& Call) {
            if (Call.Name == "ShowErrorMessage") {
                throw std::runtime_error("dialog");
            }
        };
        EXPECT_THROW(F.Burner->BurnData(u'E'), std::runtime_error);
        EXPECT_TRUE(F.Events.empty());
    }
    for (const char* Failing : {"WaitForProcess", "ProcessExitCode"}) {
        Frame F;
        F.Burner->SetSynchronous(true);
        F.Host->BeforeAnswer = [Failing](const QueltTest::HostCall& Call) {
            if (Call.Name == Failing) {
                throw std::runtime_error(Failing);
            }
        };
        EXPECT_THROW(F.Burner->BurnData(u'E'), std::runtime_error) << Failing;
        EXPECT_EQ(F.Host->OpenHandles(), 0U) << Failing;
        EXPECT_TRUE(F.Events.empty()) << Failing;
    }
}

TEST(OperationFrame, AFailingHandleReleaseDoesNotStopTheOperation) {
    Frame F;
    F.Burner->SetSynchronous(true);
    F.Host->BeforeAnswer = [](const QueltTest::HostCall& Call) {
        if (Call.Name == "ReleaseHandle") {
            throw std::runtime_error("close");
        }
    };
    EXPECT_EQ(F.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(F.Events, Names{"OnSuccess"});
    EXPECT_EQ(F.Host->CallNames().back(), "ReleaseHandle");
    EXPECT_EQ(F.Host->CallNames()[F.Host->Calls.size() - 2], "ReleaseHandle");
}

// A handler may replace itself or destroy the component; the frame must not touch either after.
TEST(OperationFrame, HandlerMayReplaceItselfOrDestroyTheComponent) {
    Frame F;
    F.Burner->SetSynchronous(true);
    int Calls = 0;
    F.Burner->SetOnSuccess([&F, &Calls](System::TObject*) {
        ++Calls;
        F.Burner->SetOnSuccess(nullptr);
    });
    EXPECT_EQ(F.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(F.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(Calls, 1);

    auto* Doomed = new TQueltBurner(nullptr, F.Host);
    Doomed->NeroCmdLocation = Tool;
    Doomed->SetSynchronous(true);
    F.Host->ExitCode = 9;
    Doomed->SetOnError([Doomed](System::TObject*, int) { delete Doomed; });
    EXPECT_EQ(Doomed->BurnData(u'E'), 9);
    EXPECT_EQ(F.Host->OpenHandles(), 0U);
}

TEST(OperationFrame, ExecuteAndWaitStartsTheLocationWithTheGivenText) {
    Frame F;
    F.Host->ExitCode = 4;
    EXPECT_EQ(Queltburner::OperationFrame(*F.Burner).ExecuteAndWait(u"anything at all", 7), 4);
    EXPECT_EQ(F.Host->LastStart().CommandLine, u"anything at all");
    EXPECT_EQ(F.Host->LastStart().ShowState, 7);
    EXPECT_EQ(F.Host->LastStart().Application, Tool);
    EXPECT_TRUE(F.Events.empty());
}

} // namespace
