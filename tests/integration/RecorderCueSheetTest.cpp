// Where a virtual disc of raw sectors keeps its CUE sheet, and the text a sheet can carry.
#include "CueSheet.hpp"
#include "RecorderFailure.hpp"

#include <gtest/gtest.h>

namespace {

TEST(RecorderCueSheet, SheetLiesBesideTheDataFile) {
    const struct {
        const char* Data;
        const char* Sheet;
    } Rows[] = {
        {"/tmp/disc.bin", "/tmp/disc.cue"},
        {"/tmp/disc", "/tmp/disc.cue"},
        {"/tmp/my.disc.img", "/tmp/my.disc.cue"},
        {"/tmp/dotted.folder/disc", "/tmp/dotted.folder/disc.cue"},
        {"/tmp/.hidden", "/tmp/.hidden.cue"},
        {"disc.bin", "disc.cue"},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(Recorder::CueSheetPathOf(Row.Data), Row.Sheet) << Row.Data;
    }
    for (const char* Own : {"/tmp/disc.cue", "/tmp/DISC.CUE", "x.Cue"}) {
        try {
            (void)Recorder::CueSheetPathOf(Own);
            ADD_FAILURE() << Own << " accepted";
        } catch (const Recorder::RecorderFailure& Failure) {
            EXPECT_EQ(Failure.Code(), Recorder::ExitCode::Target) << Own;
            EXPECT_NE(std::string(Failure.what()).find(Own), std::string::npos) << Failure.what();
        }
    }
}

TEST(RecorderCueSheet, QuotesAndLineBreaksAreReplacedAndSaid) {
    const struct {
        const char* Text;
        const char* Carried;
        bool Changed;
    } Rows[] = {
        {"Plain Title", "Plain Title", false},
        {"Ünïcödé 𝄞", "Ünïcödé 𝄞", false},
        {"The \"Best\" Of", "The 'Best' Of", true},
        {"two\nlines\r\n", "two lines  ", true},
        {"", "", false},
    };
    for (const auto& Row : Rows) {
        bool Changed = !Row.Changed;
        EXPECT_EQ(Recorder::CueText(Row.Text, Changed), Row.Carried) << Row.Text;
        EXPECT_EQ(Changed, Row.Changed) << Row.Text;
    }
}

TEST(RecorderCueSheet, TimesCountSeventyFiveSectorsASecond) {
    EXPECT_EQ(Recorder::CueTime(0), "00:00:00");
    EXPECT_EQ(Recorder::CueTime(150), "00:02:00");
    EXPECT_EQ(Recorder::CueTime(74), "00:00:74");
    EXPECT_EQ(Recorder::CueTime(80 * 60 * 75), "80:00:00");
    EXPECT_EQ(Recorder::CueTime(99 * 60 * 75 + 59 * 75 + 74), "99:59:74");
}

} // namespace
