// Where a virtual disc of raw sectors keeps its CUE sheet, the text a sheet can carry, and what
// the reader takes from a sheet's lines.
#include "CueSheet.hpp"
#include "RecorderFailure.hpp"

#include <gtest/gtest.h>

namespace {

using Recorder::CueCommand;

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

// Each line read, then written and read again: the same command and fields, and a fault for every
// number past its range (a time past the last 32-bit sector address too, however it is spelt).
TEST(RecorderCueSheet, ReaderTakesNumbersInTheirRangesAndWriterGivesThemBack) {
    const struct {
        const char* Line;
        CueCommand Command;
        bool Taken;
        std::uint64_t Sectors;
        const char* Name;
    } Rows[] = {
        {"\xEF\xBB\xBF FILE \"my disc.bin\" binary\r", CueCommand::File, true, 0, "my disc.bin"},
        {"FILE a\"b.bin BINARY", CueCommand::File, false, 0, "a\"b.bin"},
        {"FILE \"x.wav\" WAVE", CueCommand::File, false, 0, "x.wav"},
        {"  track 1 mode1/2048", CueCommand::Track, true, 0, ""},
        {"TRACK 100 AUDIO", CueCommand::Track, false, 0, ""},
        {"TRACK 01 MODE3/2352", CueCommand::Track, false, 0, ""},
        {"INDEX 01 00:02:00", CueCommand::Index, true, 150, ""},
        {"INDEX 01 954437:10:45", CueCommand::Index, true, 0xFFFFFFFFU, ""},
        {"INDEX 01 954437:10:46", CueCommand::Index, false, 0, ""},
        {"INDEX 01 4099276460824345:00:00", CueCommand::Index, false, 0, ""}, // 884 once wrapped
        {"INDEX 01 99999999999999999999:00:00", CueCommand::Index, false, 0, ""},
        {"INDEX 100 00:00:00", CueCommand::Index, false, 0, ""},
        {"PREGAP 00:60:00", CueCommand::Pregap, false, 0, ""},
        {"POSTGAP 00:00:75", CueCommand::Postgap, false, 0, ""},
        {"PREGAP -1:00:00", CueCommand::Pregap, false, 0, ""},
        {"REM COMMENT \"x\"", CueCommand::Other, true, 0, ""},
        {"SESSION 01", CueCommand::Unknown, false, 0, ""},
    };
    for (const auto& Row : Rows) {
        const std::vector<Recorder::CueLine> Read = Recorder::ReadCueSheet(Row.Line);
        ASSERT_EQ(Read.size(), 1U) << Row.Line;
        const std::vector<Recorder::CueLine> Again =
            Recorder::ReadCueSheet(Recorder::WriteCueSheet(Read));
        ASSERT_EQ(Again.size(), 1U) << Row.Line;
        for (const Recorder::CueLine& Line : {Read[0], Again[0]}) {
            EXPECT_EQ(Line.Command, Row.Command) << Row.Line;
            EXPECT_EQ(Line.Fault.empty(), Row.Taken) << Row.Line << ": " << Line.Fault;
            EXPECT_EQ(Line.Sectors, Row.Sectors) << Row.Line;
            EXPECT_EQ(Line.Name, Row.Name) << Row.Line;
        }
    }
}

} // namespace
