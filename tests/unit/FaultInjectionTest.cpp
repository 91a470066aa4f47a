// Every operation with every host call failing in turn, once as a failing answer and once as an
// exception, and with throwing event handlers and message dialogs: the result code, the events,
// the handles and the settings must come out the same way whichever call it was.
#include "ForwardingHost.hpp"
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"

#include "System.Classes.Streaming.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using Queltburner::HostHandle;
using Queltburner::RegistryValue;
using Queltburner::RegistryValueKind;
using Queltburner::TQueltBurner;
using QueltTest::HostCall;
using QueltTest::RecordingHost;
using System::UnicodeString;
using Names = std::vector<std::string>;

const UnicodeString Tool = u"C:\\Nero\\NeroCmd.exe";
const UnicodeString Image = u"C:\\Images\\disc.iso";

// Its own type, so that a test sees the very exception it threw and not a copy cut down to a base.
class InjectedFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

struct Operation {
    const char* Name;
    std::function<int(TQueltBurner&)> Run;
};

const Operation Operations[] = {
    {"BurnData", [](TQueltBurner& B) { return B.BurnData(u'E'); }},
    {"BurnAudio", [](TQueltBurner& B) { return B.BurnAudio(u'E'); }},
    {"BurnVideo", [](TQueltBurner& B) { return B.BurnVideo(u'E'); }},
    {"BurnSuperVideo", [](TQueltBurner& B) { return B.BurnSuperVideo(u'E'); }},
    {"BurnDVDVideo", [](TQueltBurner& B) { return B.BurnDVDVideo(u'E'); }},
    {"BurnImage", [](TQueltBurner& B) { return B.BurnImage(Image, u'E'); }},
    {"Erase", [](TQueltBurner& B) { return B.Erase(u'E', true); }},
    {"Eject", [](TQueltBurner& B) { return B.Eject(u'E'); }},
    {"Burn", [](TQueltBurner& B) { return B.Burn(u'E'); }},
};

// A component on a ready host with settings away from their defaults, an existing file, an
// existing folder and a missing entry, so that every kind of host call occurs; it logs its events.
struct Rig {
    std::shared_ptr<RecordingHost> Host = std::make_shared<RecordingHost>();
    std::unique_ptr<TQueltBurner> Burner;
    Names Events;
    UnicodeString SettingsBefore;

    explicit Rig(bool Synchronous, std::shared_ptr<Queltburner::HostServices> Front = nullptr) {
        Host->MakeReady(u'E', Tool);
        Host->Files.insert(Image);
        Host->Files.insert(u"C:\\data\\notes.txt");
        Host->Directories.insert(u"C:\\data\\pictures");
        Burner = std::make_unique<TQueltBurner>(nullptr, Front ? Front : Host);
        Burner->NeroCmdLocation = Tool;
        Burner->SetSynchronous(Synchronous);
        Burner->SetTitle(u"Trip");
        Burner->SetArtist(u"Me");
        Burner->SetVerify(true);
        Burner->SetDiskType(Queltburner::dtAudio);
        Burner->Files()->Add(u"C:\\data\\notes.txt");
        Burner->Files()->Add(u"C:\\data\\pictures");
        Burner->Files()->Add(u"C:\\data\\absent");
        Burner->SetOnSuccess([this](System::TObject*) { Events.emplace_back("OnSuccess"); });
        Burner->SetOnError([this](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
        SettingsBefore = Settings();
        Host->Calls.clear();
    }

    UnicodeString Settings() const {
        return System::Classes::WriteComponentText(*Burner) + u"|" + Burner->NeroCmdLocation;
    }

    void ExpectClean(const std::string& Case) const {
        EXPECT_EQ(Host->OpenHandles(), 0U) << Case;
        EXPECT_EQ(Host->UnknownReleases, 0) << Case;
        EXPECT_EQ(Settings(), SettingsBefore) << Case;
    }
};

std::string CaseName(const Operation& Op, bool Synchronous, const std::string& Fault) {
    return std::string(Op.Name) + (Synchronous ? " waiting, " : " not waiting, ") + Fault;
}

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
