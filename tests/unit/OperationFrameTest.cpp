// The frame every operation shares: the checks, the result codes and their text, and the steps and
// events of a waiting run, seen through the recording host.
#include "OperationFrame.hpp"
#include "OperationFrameSupport.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using namespace OperationFrameTest;

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

} // namespace
