// The state of the medium in a real drive, read from the result lines of xorriso's "-toc": which
// discs take a write, which only after an erase, and which take nothing at all.
#include "RealDrive.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

TEST(RecorderDriveState, TocLinesGiveTheMediumsState) {
    const struct {
        const char* Case;
        const char* Profile;
        const char* Status;
        bool Present;
        bool Blank;
        bool Writable;
        bool Cd; // takes raw CD sectors (audio, Video CD, CUE images)
    } Rows[] = {
        {"empty drive", "is not present", "is not present", false, false, false, false},
        {"blank CD-R", "CD-R", "is blank", true, true, true, true},
        {"appendable CD-R", "CD-R", "is written , is appendable", true, false, true, true},
        {"closed CD-R", "CD-R", "is written , is closed", true, false, false, true},
        {"closed CD-RW: erasable", "CD-RW", "is written , is closed", true, false, true, true},
        {"blank DVD+R", "DVD+R", "is blank", true, true, true, false},
        {"closed DVD+RW", "DVD+RW", "is written , is closed", true, false, true, false},
        {"closed BD-RE", "BD-RE", "is written , is closed", true, false, true, false},
        {"pressed CD", "CD-ROM", "is written , is closed", true, false, false, true},
        {"pressed DVD", "DVD-ROM", "is written , is closed", true, false, false, false},
    };
    for (const auto& Row : Rows) {
        const std::vector<std::string> Toc{
            "Drive current: -outdev '/dev/sr1'",
            std::string("Media current: ") + Row.Profile,
            std::string("Media status : ") + Row.Status,
            "Media summary: 1 session, 182 data blocks, 364k data, 0 free",
        };
        const Recorder::DriveState State = Recorder::DriveStateOf(Toc);
        EXPECT_EQ(State.Present, Row.Present) << Row.Case;
        EXPECT_EQ(State.Blank, Row.Blank) << Row.Case;
        EXPECT_EQ(State.Writable, Row.Writable) << Row.Case;
        EXPECT_EQ(Recorder::IsCdProfile(State.Profile), Row.Cd) << Row.Case;
    }
}

// A run that reads the disc back after writing it keeps the tray shut until then.
TEST(RecorderDriveState, WholeImageRunsEjectOnlyWhenNothingReadsTheDiscAfter) {
    const struct {
        bool DisableEject;
        bool KeepTray;
        bool Ejects;
    } Rows[] = {{false, false, true}, {true, false, false}, {false, true, false}};
    for (const auto& Row : Rows) {
        Recorder::Request Ask;
        Ask.DisableEject = Row.DisableEject;
        Recorder::Target Where;
        Where.Path = "/dev/sr0";
        Recorder::CdrecordRun Run;
        Run.Source = "-";
        Run.KeepTray = Row.KeepTray;
        const std::vector<std::string> Command = Recorder::CdrecordArguments(Ask, Where, Run);
        EXPECT_EQ(std::find(Command.begin(), Command.end(), "-eject") != Command.end(), Row.Ejects)
            << Row.DisableEject << Row.KeepTray;
    }
}

} // namespace
