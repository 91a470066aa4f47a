// Every operation with every host call throwing in turn, and with throwing event handlers and
// message dialogs: the exception reaches the caller as it was thrown, with the handles released,
// no event fired and the settings unchanged.
#include "FaultInjectionSupport.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace FaultInjectionTest;

// The Nth host call throws, for every N the operation reaches. A throwing release is swallowed
// (nothing could be done about it); any other exception reaches the caller as it was thrown, with
// the handles released and no event fired.
TEST(FaultInjection, ExceptionFromEachHostCallReachesTheCallerWithHandlesReleased) {
    for (const Operation& Op : Operations) {
        for (const bool Synchronous : {true, false}) {
            Rig Clean(Synchronous);
            ASSERT_EQ(Op.Run(*Clean.Burner), 0) << Op.Name;
            const Names CleanCalls = Clean.Host->CallNames();
            ASSERT_GE(CleanCalls.size(), 5U) << Op.Name;
            for (std::size_t N = 0; N < CleanCalls.size(); ++N) {
                const std::string Fault =
                    "call " + std::to_string(N + 1) + " (" + CleanCalls[N] + ") throws";
                const std::string Case = CaseName(Op, Synchronous, Fault);
                Rig R(Synchronous);
                R.Host->BeforeAnswer = [&R, N, Fault](const HostCall&) {
                    if (R.Host->Calls.size() == N + 1) {
                        throw InjectedFault(Fault);
                    }
                };
                if (CleanCalls[N] == "ReleaseHandle") {
                    EXPECT_EQ(Op.Run(*R.Burner), 0) << Case;
                    EXPECT_EQ(R.Events, Clean.Events) << Case;
                    EXPECT_EQ(R.Host->CallNames(), CleanCalls) << Case;
                    // The host failed that one release itself: only its handle is still open.
                    EXPECT_EQ(R.Host->OpenHandles(), 1U) << Case;
                    EXPECT_EQ(R.Host->UnknownReleases, 0) << Case;
                    EXPECT_EQ(R.Settings(), R.SettingsBefore) << Case;
                    continue;
                }
                try {
                    (void)Op.Run(*R.Burner);
                    ADD_FAILURE() << Case << ": no exception";
                } catch (const InjectedFault& Caught) {
                    EXPECT_EQ(std::string(Caught.what()), Fault) << Case;
                } catch (...) {
                    ADD_FAILURE() << Case << ": another exception";
                }
                EXPECT_TRUE(R.Events.empty()) << Case;
                // Nothing is asked after the throwing call but releasing what was handed out.
                const Names Calls = R.Host->CallNames();
                ASSERT_GE(Calls.size(), N + 1) << Case;
                for (std::size_t I = N + 1; I < Calls.size(); ++I) {
                    EXPECT_EQ(Calls[I], "ReleaseHandle") << Case;
                }
                EXPECT_TRUE(R.Host->Messages.empty()) << Case;
                R.ExpectClean(Case);
            }
        }
    }
}

TEST(FaultInjection, ExceptionFromTheMessageDialogReachesTheCaller) {
    const struct {
        const char* Fault;
        std::function<void(RecordingHost&)> Break;
        bool ImageOnly;
    } Rows[] = {
        {"drive not optical", [](RecordingHost& H) { H.DriveTypes.clear(); }, false},
        {"tool missing", [](RecordingHost& H) { H.Files.erase(Tool); }, false},
        {"image missing", [](RecordingHost& H) { H.Files.erase(Image); }, true},
    };
    for (const Operation& Op : Operations) {
        for (const bool Synchronous : {true, false}) {
            for (const auto& Row : Rows) {
                if (Row.ImageOnly && std::string(Op.Name) != "BurnImage") {
                    continue;
                }
                const std::string Case = CaseName(Op, Synchronous, Row.Fault);
                Rig R(Synchronous);
                Row.Break(*R.Host);
                R.Host->BeforeAnswer = [](const HostCall& Call) {
                    if (Call.Name == "ShowErrorMessage") {
                        throw InjectedFault("dialog");
                    }
                };
                EXPECT_THROW((void)Op.Run(*R.Burner), InjectedFault) << Case;
                EXPECT_EQ(R.Host->CallNames().back(), "ShowErrorMessage") << Case;
                EXPECT_TRUE(R.Host->Starts.empty()) << Case;
                EXPECT_TRUE(R.Events.empty()) << Case;
                R.ExpectClean(Case);
            }
        }
    }
}

// A handler runs after every host call, so its exception finds the handles already released.
TEST(FaultInjection, ExceptionFromEitherHandlerReachesTheCallerWithHandlesReleased) {
    const struct {
        const char* Fault;
        std::function<void(RecordingHost&)> Set;
    } Rows[] = {
        {"exit 0", [](RecordingHost& H) { H.ExitCode = 0U; }},
        {"exit 3", [](RecordingHost& H) { H.ExitCode = 3U; }},
        {"start fails", [](RecordingHost& H) { H.StartFails = true; }},
        {"wait fails", [](RecordingHost& H) { H.WaitResult = 0xFFFFFFFF; }},
    };
    for (const Operation& Op : Operations) {
        for (const auto& Row : Rows) {
            const std::string Case = CaseName(Op, true, Row.Fault);
            Rig R(true);
            Row.Set(*R.Host);
            R.Burner->SetOnSuccess([](System::TObject*) { throw InjectedFault("success"); });
            R.Burner->SetOnError([](System::TObject*, int) { throw InjectedFault("error"); });
            R.SettingsBefore = R.Settings();
            try {
                (void)Op.Run(*R.Burner);
                ADD_FAILURE() << Case << ": no exception";
            } catch (const InjectedFault& Caught) {
                EXPECT_EQ(std::string(Caught.what()),
                          std::string(Row.Fault) == "exit 0" ? "success" : "error")
                    << Case;
            }
            R.ExpectClean(Case);
        }
    }
}

} // namespace
