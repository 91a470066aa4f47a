// The frame every operation shares: the checks, the run waiting or not, the events, the result
// codes and the handles, seen through the recording host.
#include "OperationFrame.hpp"
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using Queltburner::LaunchMode;
using Queltburner::TQueltBurner;
using QueltTest::RecordingHost;
using System::UnicodeString;
using Names = std::vector<std::string>;

const UnicodeString Tool = u"C:\\Nero\\NeroCmd.exe";

// A component on a ready host (drive E optical, tool present) that logs its events.
struct Frame {
    std::shared_ptr<RecordingHost> Host = std::make_shared<RecordingHost>();
    std::unique_ptr<TQueltBurner> Burner;
    std::vector<std::string> Events;

    Frame() {
        Host->MakeReady(u'E', Tool);
        Burner = std::make_unique<TQueltBurner>(nullptr, Host);
        Burner->NeroCmdLocation = Tool;
        Host->Calls.clear();
        Burner->SetOnSuccess([this](System::TObject* Sender) {
            EXPECT_EQ(Sender, Burner.get());
            Events.push_back("OnSuccess");
        });
        Burner->SetOnError([this](System::TObject* Sender, int Code) {
            EXPECT_EQ(Sender, Burner.get());
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
    }
};

TEST(OperationFrame, FailedChecksReturnTheirCodeWithTheirMessageAndNoEvent) {
    const struct {
        const char* Case;
        char16_t Drive;
        std::uint32_t DriveType;
        bool ToolExists;
        bool ShowMessages;
        int Result;
        std::vector<UnicodeString> Messages;
        Names Calls;
    } Rows[] = {
        {"fixed disk",
         u'E',
         3,
         true,
         true,
         -2,
         {u"Invalid drive E."},
         {"DriveType", "ShowErrorMessage"}},
        {"no such drive",
         u'Q',
         1,
         true,
         true,
         -2,
         {u"Invalid drive Q."},
         {"DriveType", "ShowErrorMessage"}},
        {"both checks fail",
         u'Q',
         1,
         false,
         true,
         -2,
         {u"Invalid drive Q."},
         {"DriveType", "ShowErrorMessage"}},
        {"drive, messages off", u'Q', 1, true, false, -2, {}, {"DriveType"}},
        {"tool missing",
         u'E',
         5,
         false,
         true,
         -1,
         {u"Invalid path to NeroCmd.exe."},
         {"DriveType", "FileExists", "ShowErrorMessage"}},
        {"tool missing, messages off", u'E', 5, false, false, -1, {}, {"DriveType", "FileExists"}},
    };
    for (const auto& Row : Rows) {
        for (const bool Synchronous : {true, false}) {
            Frame F;
            F.Host->DriveTypes[Row.Drive] = Row.DriveType;
            if (!Row.ToolExists) {
                F.Host->Files.clear();
            }
            F.Burner->SetShowMessages(Row.ShowMessages);
            F.Burner->SetSynchronous(Synchronous);
            F.Burner->Files()->Add(u"C:\\x");
            EXPECT_EQ(F.Burner->BurnData(Row.Drive), Row.Result) << Row.Case;
            EXPECT_EQ(F.Host->Messages, Row.Messages) << Row.Case;
            EXPECT_EQ(F.Host->CallNames(), Row.Calls) << Row.Case;
            EXPECT_TRUE(F.Events.empty()) << Row.Case;
        }
    }
}

TEST(ResultText, NamesEveryCheckAndTheToolsOwnCodes) {
    using Queltburner::ResultText;
    EXPECT_EQ(ResultText(Queltburner::ResultSuccess), u"success");
    EXPECT_EQ(ResultText(Queltburner::ResultToolFailed),
              u"the tool was not found or could not be run");
    EXPECT_EQ(ResultText(Queltburner::ResultNotOpticalDrive), u"the drive is not an optical drive");
    EXPECT_EQ(ResultText(Queltburner::ResultImageNotFound), u"the image file was not found");
    EXPECT_EQ(ResultText(7), u"the tool ended with exit code 7");
    EXPECT_EQ(ResultText(-1073741819), u"the tool ended with exit code -1073741819");
}

// The recorder's exit codes are named only for the recorder; any other code, or another tool's,
// stays the tool's exit code.
TEST(ResultText, NamesTheRecordersExitCodesForTheRecorderOnly) {
    using Queltburner::ResultText;
    const std::pair<int, const char16_t*> Named[] = {
        {Queltburner::RecorderCommandLine, u"the recorder refused the command line"},
        {Queltburner::RecorderTarget, u"the drive's target cannot be used"},
        {Queltburner::RecorderMedium, u"the disc cannot take this write"},
        {Queltburner::RecorderDoesNotFit, u"the selection does not fit on the disc"},
        {Queltburner::RecorderSource, u"an entry cannot be read or decoded"},
        {Queltburner::RecorderWrite, u"writing failed or was stopped"},
        {Queltburner::RecorderVerify, u"what was read back differs from the source"},
        {Queltburner::RecorderNotAvailable, u"the recorder cannot answer this question"},
    };
    for (const auto& [Code, Start] : Named) {
        const UnicodeString Text = ResultText(Code, true);
        EXPECT_EQ(Text.rfind(Start, 0), 0U) << Code;
        EXPECT_NE(Text.find(u"(recorder exit code " + System::IntToStr(Code) + u")"),
                  UnicodeString::npos);
        EXPECT_EQ(ResultText(Code, false), ResultText(Code)) << Code;
    }
    for (const int Other : {0, 1, 10, -2, -5}) {
        EXPECT_EQ(ResultText(Other, true), ResultText(Other)) << Other;
    }
}

TEST(OperationFrame, ToolThatIsEmptyOrAFolderFailsTheToolCheck) {
    for (const UnicodeString& Location : {UnicodeString(), UnicodeString(u"C:\\Nero")}) {
        Frame F;
        F.Host->Directories.insert(u"C:\\Nero");
        F.Burner->NeroCmdLocation = Location;
        EXPECT_EQ(F.Burner->BurnData(u'E'), -1);
        EXPECT_EQ(F.Host->Messages, std::vector<UnicodeString>{u"Invalid path to NeroCmd.exe."});
        EXPECT_TRUE(F.Host->Starts.empty());
    }
}

// Anything but an ASCII letter names no drive, whatever the platform would say about its root.
TEST(OperationFrame, DriveThatIsNotAnAsciiLetterFailsTheDriveCheck) {
    const char16_t Drives[] = {u'\0', u'1', u':',      u'\\',     u'@',     u'[',
                               u'`',  u'{', u'\u00c4', u'\uFF25', u'\xD800'};
    for (const char16_t Drive : Drives) {
        Frame F;
        F.Host->DriveTypes[Drive] = Queltburner::DriveTypeCdRom;
        EXPECT_EQ(F.Burner->BurnData(Drive), -2);
        ASSERT_EQ(F.Host->Messages.size(), 1U);
        EXPECT_EQ(F.Host->Messages[0], UnicodeString(u"Invalid drive ") + Drive + u".");
        EXPECT_TRUE(F.Host->Starts.empty());
    }
    Frame Lower;
    Lower.Host->DriveTypes[u'e'] = Queltburner::DriveTypeCdRom;
    EXPECT_EQ(Lower.Burner->BurnData(u'e'), 0);
    EXPECT_EQ(Lower.Host->Calls[0].Args[0], u"e:\\");
}

TEST(OperationFrame, WaitingRunStepsAndEvents) {
    const struct {
        const char* Case;
        bool StartFails;
        std::uint32_t WaitResult;
        std::optional<std::uint32_t> ExitCode;
        int Result;
        Names Events;
        Names Calls;
    } Rows[] = {
        {"exit 0",
         false,
         0,
         0U,
         0,
         {"OnSuccess"},
         {"StartProcess", "WaitForProcess", "ProcessExitCode", "ReleaseHandle", "ReleaseHandle"}},
        {"exit 3",
         false,
         0,
         3U,
         3,
         {"OnError(3)"},
         {"StartProcess", "WaitForProcess", "ProcessExitCode", "ReleaseHandle", "ReleaseHandle"}},
        {"exit 0xFFFFFFFE reads as -2",
         false,
         0,
         0xFFFFFFFEU,
         -2,
         {"OnError(-2)"},
         {"StartProcess", "WaitForProcess", "ProcessExitCode", "ReleaseHandle", "ReleaseHandle"}},
        {"exit 0x80000000",
         false,
         0,
         0x80000000U,
         INT32_MIN,
         {"OnError(-2147483648)"},
         {"StartProcess", "WaitForProcess", "ProcessExitCode", "ReleaseHandle", "ReleaseHandle"}},
        {"tool exits with -1",
         false,
         0,
         0xFFFFFFFFU,
         -1,
         {"OnError(-1)"},
         {"StartProcess", "WaitForProcess", "ProcessExitCode", "ReleaseHandle", "ReleaseHandle"}},
        {"start fails", true, 0, 0U, -1, {"OnError(-1)"}, {"StartProcess"}},
        {"wait fails",
         false,
         0xFFFFFFFF,
         0U,
         -1,
         {"OnError(-1)"},
         {"StartProcess", "WaitForProcess", "ReleaseHandle", "ReleaseHandle"}},
        {"wait times out",
         false,
         0x102,
         0U,
         -1,
         {"OnError(-1)"},
         {"StartProcess", "WaitForProcess", "ReleaseHandle", "ReleaseHandle"}},
        {"exit code unreadable",
         false,
         0,
         std::nullopt,
         -1,
         {"OnError(-1)"},
         {"StartProcess", "WaitForProcess", "ProcessExitCode", "ReleaseHandle", "ReleaseHandle"}},
    };
    for (const auto& Row : Rows) {
        Frame F;
        F.Host->StartFails = Row.StartFails;
        F.Host->WaitResult = Row.WaitResult;
        F.Host->ExitCode = Row.ExitCode;
        F.Burner->SetSynchronous(true);
        EXPECT_EQ(F.Burner->BurnData(u'E'), Row.Result) << Row.Case;
        EXPECT_EQ(F.Events, Row.Events) << Row.Case;
        Names Calls = F.Host->CallNames();
        Calls.erase(Calls.begin(), Calls.begin() + 2); // the two checks
        EXPECT_EQ(Calls, Row.Calls) << Row.Case;
        EXPECT_EQ(F.Host->OpenHandles(), 0U) << Row.Case;
        EXPECT_EQ(F.Host->UnknownReleases, 0) << Row.Case;
        EXPECT_TRUE(F.Host->Messages.empty()) << Row.Case;
        ASSERT_EQ(F.Host->Starts.size(), 1U);
        EXPECT_EQ(F.Host->LastStart().Mode, LaunchMode::Waited);
        EXPECT_EQ(F.Host->LastStart().Application, Tool);
    }
}

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
