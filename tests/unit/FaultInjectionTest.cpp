// Every operation with every host call failing in turn as a failing answer, a release reported as
// failed, and a registry that fails at creation: the result code, the events, the handles and the
// settings must come out the same way whichever call it was.
#include "FaultInjectionSupport.hpp"
#include "ForwardingHost.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace FaultInjectionTest;

// Forwards every call to a recording host but reports each release as failed, which a recording
// host never does for a handle it handed out.
class ReleaseRefusingHost final : public Queltburner::ForwardingHost {
public:
    explicit ReleaseRefusingHost(std::shared_ptr<RecordingHost> Inner)
        : ForwardingHost(std::move(Inner)) {}

    bool ReleaseHandle(HostHandle Handle) override {
        (void)Inner().ReleaseHandle(Handle);
        return false;
    }
};

// Each row makes one answer fail; the operation must stop there with the frame's code for it.
TEST(FaultInjection, FailingAnswersGiveTheFramesCodeForEveryOperation) {
    const struct {
        const char* Fault;
        std::function<void(RecordingHost&)> Break;
        bool ImageOnly;
        int WaitingResult;
        int DetachedResult;
        bool Starts;
        std::vector<UnicodeString> Messages;
    } Rows[] = {
        {"drive not optical",
         [](RecordingHost& H) { H.DriveTypes[u'E'] = 4; },
         false,
         -2,
         -2,
         false,
         {u"Invalid drive E."}},
        {"tool missing",
         [](RecordingHost& H) { H.Files.erase(Tool); },
         false,
         -1,
         -1,
         false,
         {u"Invalid path to NeroCmd.exe."}},
        {"image missing",
         [](RecordingHost& H) { H.Files.erase(Image); },
         true,
         -3,
         -3,
         false,
         {u"Image file not found.\""}},
        {"start fails", [](RecordingHost& H) { H.StartFails = true; }, false, -1, -1, true, {}},
        {"wait fails", [](RecordingHost& H) { H.WaitResult = 0xFFFFFFFF; }, false, -1, 0, true, {}},
        {"exit code unreadable",
         [](RecordingHost& H) { H.ExitCode = std::nullopt; },
         false,
         -1,
         0,
         true,
         {}},
        {"entries all missing",
         [](RecordingHost& H) {
             H.Files.erase(u"C:\\data\\notes.txt");
             H.Directories.clear();
         },
         false,
         0,
         0,
         true,
         {}},
    };
    for (const Operation& Op : Operations) {
        for (const bool Synchronous : {true, false}) {
            for (const auto& Row : Rows) {
                const std::string Case = CaseName(Op, Synchronous, Row.Fault);
                Rig R(Synchronous);
                Row.Break(*R.Host);
                const bool Applies = !Row.ImageOnly || std::string(Op.Name) == "BurnImage";
                const int Expected = !Applies      ? 0
                                     : Synchronous ? Row.WaitingResult
                                                   : Row.DetachedResult;
                EXPECT_EQ(Op.Run(*R.Burner), Expected) << Case;
                EXPECT_EQ(R.Host->Starts.size(), Applies && !Row.Starts ? 0U : 1U) << Case;
                EXPECT_EQ(R.Host->Messages, Applies ? Row.Messages : std::vector<UnicodeString>{})
                    << Case;
                Names Events;
                if (Synchronous && (Applies ? Row.Starts : true)) {
                    Events.push_back(Expected == 0 ? "OnSuccess"
                                                   : "OnError(" + std::to_string(Expected) + ")");
                }
                EXPECT_EQ(R.Events, Events) << Case;
                R.ExpectClean(Case);
            }
        }
    }
}

TEST(FaultInjection, ReleaseReportingFailureChangesNothing) {
    for (const Operation& Op : Operations) {
        for (const bool Synchronous : {true, false}) {
            const std::string Case = CaseName(Op, Synchronous, "release returns false");
            auto Inner = std::make_shared<RecordingHost>();
            Rig R(Synchronous, std::make_shared<ReleaseRefusingHost>(Inner));
            // The rig readied its own recording host; the refusing one wraps a second, so ready it.
            Inner->MakeReady(u'E', Tool);
            Inner->Files = R.Host->Files;
            Inner->Directories = R.Host->Directories;
            EXPECT_EQ(Op.Run(*R.Burner), 0) << Case;
            EXPECT_EQ(R.Events, Synchronous ? Names{"OnSuccess"} : Names{}) << Case;
            EXPECT_EQ(Inner->OpenHandles(), 0U) << Case;
            EXPECT_EQ(Inner->UnknownReleases, 0) << Case;
            EXPECT_EQ(Inner->CallNames().back(), "ReleaseHandle") << Case;
            EXPECT_EQ(R.Settings(), R.SettingsBefore) << Case;
        }
    }
}

// Discovery treats a registry that fails or throws as "not registered"; the component is created.
TEST(FaultInjection, RegistryFailureAtCreationGivesAnEmptyLocation) {
    const struct {
        const char* Fault;
        RegistryValue Value;
        bool Throws;
    } Rows[] = {
        {"value missing", {RegistryValueKind::Missing, u"C:\\Nero\\NeroCmd.exe"}, false},
        {"value of another type", {RegistryValueKind::OtherType, u"C:\\Nero\\NeroCmd.exe"}, false},
        {"read throws", {RegistryValueKind::Text, u"C:\\Nero\\NeroCmd.exe"}, true},
    };
    for (const auto& Row : Rows) {
        // Had the registry's text been used, the tool it names would be found.
        auto Host = std::make_shared<RecordingHost>();
        Host->Files.insert(Tool);
        Host->Registry = Row.Value;
        if (Row.Throws) {
            Host->BeforeAnswer = [](const HostCall& Call) {
                if (Call.Name == "ReadUserString") {
                    throw InjectedFault("registry");
                }
            };
        }
        std::unique_ptr<TQueltBurner> Burner;
        ASSERT_NO_THROW(Burner = std::make_unique<TQueltBurner>(nullptr, Host)) << Row.Fault;
        EXPECT_EQ(Burner->NeroCmdLocation, u"") << Row.Fault;
        EXPECT_EQ(Host->CallNames(), (Names{"ReadUserString", "FileExists"})) << Row.Fault;
        EXPECT_EQ(Host->Calls.back().Args.at(0), u"NeroCmd.exe") << Row.Fault;
        EXPECT_EQ(Burner->Speed(), 4) << Row.Fault;
    }
}

} // namespace
