// The data-disc command line, option by option, through the recording host.
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"
#include "System.SysUtils.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using Queltburner::TQueltBurner;
using QueltTest::RecordingHost;
using System::UnicodeString;

const UnicodeString Tool = u"C:\\Nero\\NeroCmd.exe";
const UnicodeString Notes = u"C:\\data\\notes.txt";
const UnicodeString Pictures = u"C:\\data\\pictures";

struct DataBurn {
    std::shared_ptr<RecordingHost> Host = std::make_shared<RecordingHost>();
    std::unique_ptr<TQueltBurner> Burner;

    DataBurn() {
        Host->MakeReady(u'E', Tool);
        Host->Files.insert(Notes);
        Host->Directories.insert(Pictures);
        Burner = std::make_unique<TQueltBurner>(nullptr, Host);
        Burner->NeroCmdLocation = Tool;
        Burner->Files()->Add(Notes);
        Burner->Files()->Add(Pictures);
        Host->Calls.clear();
    }

    // The text after the tool's path.
    UnicodeString Options(char16_t Drive = u'E') {
        EXPECT_EQ(Burner->BurnData(Drive), 0);
        const UnicodeString& Line = Host->LastStart().CommandLine;
        EXPECT_EQ(Line.substr(0, Tool.size()), Tool);
        return Line.substr(Tool.size());
    }
};

const UnicodeString WorkedExample =
    u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" "
    u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" ";

TEST(DataDiscCommand, WorkedExampleWholeText) {
    DataBurn B;
    ASSERT_EQ(B.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(B.Host->LastStart().CommandLine, Tool + WorkedExample);
    EXPECT_EQ(B.Host->LastStart().Application, Tool);
}

// Each row turns one setting away from its initial value; the option appears in its place.
TEST(DataDiscCommand, EachSettingAppearsInItsPlace) {
    const struct {
        const char* Case;
        std::function<void(TQueltBurner&)> Set;
        UnicodeString Expected;
    } Rows[] = {
        {"Tao", [](TQueltBurner& B) { B.SetTao(true); },
         u" --write --drivename \"E\" --real --tao --recursive --speed 4 --iso \"NEW\" "
         u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"Artist", [](TQueltBurner& B) { B.SetArtist(u"  The Players "); },
         u" --write --drivename \"E\" --real --artist \"The Players\" --recursive --speed 4 --iso "
         u"\"NEW\" --underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"Title", [](TQueltBurner& B) { B.SetTitle(u"\tLive\r\n"); },
         u" --write --drivename \"E\" --real --title \"Live\" --recursive --speed 4 --iso \"NEW\" "
         u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"Artist of blanks", [](TQueltBurner& B) { B.SetArtist(u"   "); }, WorkedExample},
        {"Title of control characters", [](TQueltBurner& B) { B.SetTitle(u"\x01\x1f"); },
         WorkedExample},
        {"Speed 0", [](TQueltBurner& B) { B.SetSpeed(0); },
         u" --write --drivename \"E\" --real --recursive --speed 0 --iso \"NEW\" --underrun_prot "
         u"\"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"Speed 65535", [](TQueltBurner& B) { B.SetSpeed(65535); },
         u" --write --drivename \"E\" --real --recursive --speed 65535 --iso \"NEW\" "
         u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"empty label", [](TQueltBurner& B) { B.SetVolumeLabel(u""); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"\" --underrun_prot "
         u"\"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"label not trimmed", [](TQueltBurner& B) { B.SetVolumeLabel(u" MY DISC "); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \" MY DISC \" "
         u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"ContinueSession 0", [](TQueltBurner& B) { B.SetContinueSession(0); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --import \"0\" "
         u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"ContinueSession max", [](TQueltBurner& B) { B.SetContinueSession(2147483647); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --import "
         u"\"2147483647\" --underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"ContinueSession -1", [](TQueltBurner& B) { B.SetContinueSession(-1); }, WorkedExample},
        {"ContinueSession min", [](TQueltBurner& B) { B.SetContinueSession(INT32_MIN); },
         WorkedExample},
        {"SpeedTest", [](TQueltBurner& B) { B.SetSpeedTest(true); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --speedtest "
         u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"CloseSession", [](TQueltBurner& B) { B.SetCloseSession(true); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --close_session "
         u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"DetectNonEmptyDisk", [](TQueltBurner& B) { B.SetDetectNonEmptyDisk(true); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" "
         u"--detect_non_empty_disk --underrun_prot \"C:\\data\\notes.txt\" "
         u"\"C:\\data\\pictures\" "},
        {"UnderrunProtection off", [](TQueltBurner& B) { B.SetUnderrunProtection(false); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" "
         u"\"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"DisableEject", [](TQueltBurner& B) { B.SetDisableEject(true); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --underrun_prot "
         u"--disable_eject \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"Verify", [](TQueltBurner& B) { B.SetVerify(true); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --underrun_prot "
         u"--verify \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"DVD", [](TQueltBurner& B) { B.SetDVD(true); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --underrun_prot "
         u"--dvd \"C:\\data\\notes.txt\" \"C:\\data\\pictures\" "},
        {"ForceEraseDisk", [](TQueltBurner& B) { B.SetForceEraseDisk(true); },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --underrun_prot "
         u"\"C:\\data\\notes.txt\" \"C:\\data\\pictures\" --force_erase_disk "},
        {"settings it does not read",
         [](TQueltBurner& B) {
             B.SetDiskType(Queltburner::dtAudio);
             B.SetSynchronous(true);
             B.SetHideNeroCmd(true);
             B.SetShowMessages(false);
         },
         WorkedExample},
    };
    for (const auto& Row : Rows) {
        DataBurn B;
        Row.Set(*B.Burner);
        EXPECT_EQ(B.Options(), Row.Expected) << Row.Case;
    }
}

TEST(DataDiscCommand, AllSwitchesInTheirOrder) {
    DataBurn B;
    B.Burner->SetTao(true);
    B.Burner->SetArtist(u"A");
    B.Burner->SetTitle(u"T");
    B.Burner->SetContinueSession(2);
    B.Burner->SetSpeedTest(true);
    B.Burner->SetCloseSession(true);
    B.Burner->SetDetectNonEmptyDisk(true);
    B.Burner->SetDisableEject(true);
    B.Burner->SetVerify(true);
    B.Burner->SetDVD(true);
    B.Burner->SetForceEraseDisk(true);
    EXPECT_EQ(B.Options(),
              u" --write --drivename \"E\" --real --tao --artist \"A\" --title \"T\" --recursive "
              u"--speed 4 --iso \"NEW\" --import \"2\" --speedtest --close_session "
              u"--detect_non_empty_disk --underrun_prot --disable_eject --verify --dvd "
              u"\"C:\\data\\notes.txt\" \"C:\\data\\pictures\" --force_erase_disk ");
}

TEST(DataDiscCommand, EntriesThatExistAreWrittenInOrderUnchanged) {
    DataBurn B;
    B.Host->Files.insert(u" spaced ");
    B.Host->Directories.insert(u"C:\\Folder\\");
    B.Burner->Files()->Clear();
    for (const UnicodeString& Entry :
         std::vector<UnicodeString>{u"C:\\missing", Notes, u"C:\\also missing", Notes, u" spaced ",
                                    u"C:\\Folder\\", Pictures}) {
        B.Burner->Files()->Add(Entry);
    }
    // A folder's trailing backslash is doubled before the closing quote, so that the tool reads
    // the folder and not an escaped quote.
    EXPECT_EQ(B.Options(),
              u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" "
              u"--underrun_prot \"C:\\data\\notes.txt\" \"C:\\data\\notes.txt\" \" spaced \" "
              u"\"C:\\Folder\\\\\" \"C:\\data\\pictures\" ");
    // Each entry is tested as a file first and as a folder only when that fails.
    std::vector<std::string> Tests;
    for (const auto& Call : B.Host->Calls) {
        if (Call.Name == "FileExists" || Call.Name == "DirectoryExists") {
            Tests.push_back(Call.Name + ":" + QueltTest::Utf8(Call.Args[0]));
        }
    }
    EXPECT_EQ(Tests, (std::vector<std::string>{
                         "FileExists:C:\\Nero\\NeroCmd.exe", "FileExists:C:\\missing",
                         "DirectoryExists:C:\\missing", "FileExists:C:\\data\\notes.txt",
                         "FileExists:C:\\also missing", "DirectoryExists:C:\\also missing",
                         "FileExists:C:\\data\\notes.txt", "FileExists: spaced ",
                         "FileExists:C:\\Folder\\", "DirectoryExists:C:\\Folder\\",
                         "FileExists:C:\\data\\pictures", "DirectoryExists:C:\\data\\pictures"}));
}

TEST(DataDiscCommand, NoEntriesStillRunsTheTool) {
    DataBurn B;
    B.Burner->Files()->Clear();
    B.Burner->Files()->Add(u"C:\\nothing");
    EXPECT_EQ(
        B.Options(),
        u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --underrun_prot ");
}

TEST(DataDiscCommand, FailedChecksTestNoEntry) {
    for (const bool DriveOk : {false, true}) {
        DataBurn B;
        if (!DriveOk) {
            B.Host->DriveTypes.clear();
        } else {
            B.Burner->NeroCmdLocation = u"C:\\elsewhere\\NeroCmd.exe";
        }
        EXPECT_EQ(B.Burner->BurnData(u'E'), DriveOk ? -1 : -2);
        for (const auto& Call : B.Host->Calls) {
            EXPECT_NE(Call.Name, "DirectoryExists");
            if (Call.Name == "FileExists") {
                EXPECT_EQ(Call.Args[0], u"C:\\elsewhere\\NeroCmd.exe");
            }
        }
    }
}

TEST(DataDiscCommand, DriveLetterIsWrittenAsPassed) {
    DataBurn B;
    B.Host->DriveTypes[u'z'] = Queltburner::DriveTypeCdRom;
    EXPECT_EQ(B.Options(u'z').substr(0, 27), u" --write --drivename \"z\" --");
}

TEST(DataDiscCommand, QuotesInValuesCannotAddOptions) {
    DataBurn B;
    B.Burner->SetTitle(u"x\" --erase --entire \"");
    B.Burner->SetVolumeLabel(u"say \"hi\"");
    EXPECT_EQ(B.Options(),
              u" --write --drivename \"E\" --real --title \"x\\\" --erase --entire \\\"\" "
              u"--recursive --speed 4 --iso \"say \\\"hi\\\"\" --underrun_prot "
              u"\"C:\\data\\notes.txt\" \"C:\\data\\pictures\" ");
}

TEST(DataDiscCommand, ToolPathWithBlanksIsQuotedAtTheHead) {
    DataBurn B;
    const UnicodeString Spaced = u"C:\\Program Files\\Nero\\NeroCmd.exe";
    B.Host->Files.insert(Spaced);
    B.Burner->NeroCmdLocation = Spaced;
    ASSERT_EQ(B.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(B.Host->LastStart().CommandLine, u"\"" + Spaced + u"\"" + WorkedExample);
    EXPECT_EQ(B.Host->LastStart().Application, Spaced);
}

TEST(DataDiscCommand, ManyEntries) {
    DataBurn B;
    B.Burner->Files()->Clear();
    constexpr int Count = 100000;
    for (int I = 0; I < Count; ++I) {
        const UnicodeString Entry = u"/d/" + System::IntToStr(I);
        B.Burner->Files()->Add(Entry);
        if (I % 2 == 0) {
            B.Host->Files.insert(Entry);
        }
    }
    const UnicodeString Options = B.Options();
    EXPECT_EQ(std::count(Options.begin(), Options.end(), u'"'), 2 * (2 + Count / 2));
    EXPECT_EQ(Options.substr(Options.size() - 10), u"/d/99998\" ");
}

} // namespace
