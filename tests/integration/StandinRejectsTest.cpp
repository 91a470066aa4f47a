// The NeroCmd.exe stand-in as a real process refusing the command lines the real tool would refuse:
// exit code 2, one line saying why, and the run still logged.
#include "StandinToolSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <fstream>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace StandinTest;

struct RejectedCase {
    const char* Name;
    std::vector<std::string> Arguments;
    std::string Names; // how the reason must point at the offending argument
};

void PrintTo(const RejectedCase& Row, std::ostream* Out) {
    *Out << Row.Name;
}

class StandinRejectsTest : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(StandinRejectsTest, ExitsTwoWithOneLineReasonAndStillLogs) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    const RejectedCase& Row = GetParam();

    // A rejected command line is a fault of the caller's, whatever exit code was asked for.
    const ProcessOutcome Run =
        RunStandin(WithProgram(Row.Arguments), {"NEROCMD_LOG=" + Log, "NEROCMD_EXIT=0"});

    EXPECT_EQ(Run.ExitCode, 2);
    EXPECT_EQ(Run.Out, "");
    ExpectOneLineWithPrefix(Run.Err);
    EXPECT_NE(Run.Err.find(Row.Names), std::string::npos) << Run.Err;
    ExpectOnlyLoggedRun(Log, Run, WithProgram(Row.Arguments), false);
}

INSTANTIATE_TEST_SUITE_P(
    DataDisc, StandinRejectsTest,
    ::testing::Values(
        RejectedCase{"NoArguments", {}, "argument 1 missing"},
        RejectedCase{"UnknownCommand", {"--burn", "--drivename", "E"}, "argument 1 \"--burn\""},
        RejectedCase{
            "CommandInOtherCase", {"--WRITE", "--drivename", "E"}, "argument 1 \"--WRITE\""},
        RejectedCase{"MissingReal",
                     {"--write", "--drivename", "E", "--recursive", "--speed", "4", "--iso", "L"},
                     "argument 4 \"--recursive\""},
        RejectedCase{"MissingRecursive", Join(Head(), {"--speed", "4", "--iso", "L"}),
                     "argument 5 \"--speed\""},
        RejectedCase{"UnknownOptionBeforeEntries",
                     Join(Head(), {"--bogus", "--recursive", "--speed", "4", "--iso", "L"}),
                     "argument 5 \"--bogus\""},
        RejectedCase{
            "SwitchOutOfOrder",
            Join(Head(), {"--artist", "A", "--tao", "--recursive", "--speed", "4", "--iso", "L"}),
            "argument 7 \"--tao\""},
        RejectedCase{"TitleBeforeArtist",
                     Join(Head(), {"--title", "T", "--artist", "A", "--recursive", "--speed", "4",
                                   "--iso", "L"}),
                     "argument 7 \"--artist\""},
        RejectedCase{"DuplicateSwitch",
                     Join(Head(), {"--tao", "--tao", "--recursive", "--speed", "4", "--iso", "L"}),
                     "argument 6 \"--tao\""},
        RejectedCase{"DuplicateOption",
                     Join(Head(), {"--artist", "A", "--artist", "B", "--recursive", "--speed", "4",
                                   "--iso", "L"}),
                     "argument 7 \"--artist\""},
        RejectedCase{"EmptyArtist",
                     Join(Head(), {"--artist", "", "--recursive", "--speed", "4", "--iso", "L"}),
                     "argument 6 \"\""},
        RejectedCase{"EmptyTitle",
                     Join(Head(), {"--title", "", "--recursive", "--speed", "4", "--iso", "L"}),
                     "argument 6 \"\""},
        RejectedCase{"ArtistValueMissing", Join(Head(), {"--artist"}), "argument 6 missing"},
        RejectedCase{
            "DriveTwoLetters", {"--write", "--drivename", "EE", "--real"}, "argument 3 \"EE\""},
        RejectedCase{"DriveDigit", {"--write", "--drivename", "1", "--real"}, "argument 3 \"1\""},
        RejectedCase{"DriveEmpty", {"--write", "--drivename", "", "--real"}, "argument 3 \"\""},
        RejectedCase{"DriveNonAsciiLetter",
                     {"--write", "--drivename", "\xc3\x89", "--real"},
                     "argument 3 \"\xc3\x89\""},
        RejectedCase{"DriveMissing", {"--write", "--drivename"}, "argument 3 missing"},
        RejectedCase{"SpeedTooHigh", Prefix("65536", "L"), "argument 7 \"65536\""},
        RejectedCase{"SpeedLeadingZero", Prefix("04", "L"), "argument 7 \"04\""},
        RejectedCase{"SpeedNegative", Prefix("-1", "L"), "argument 7 \"-1\""},
        RejectedCase{"SpeedPlusSign", Prefix("+4", "L"), "argument 7 \"+4\""},
        RejectedCase{"SpeedEmpty", Prefix("", "L"), "argument 7 \"\""},
        RejectedCase{"SpeedWithSpace", Prefix(" 4", "L"), "argument 7 \" 4\""},
        RejectedCase{"ImportBeforeLabel",
                     Join(Head(), {"--recursive", "--speed", "4", "--import", "1", "--iso", "L"}),
                     "argument 8 \"--import\""},
        RejectedCase{"LabelMissing", Join(Head(), {"--recursive", "--speed", "4", "--iso"}),
                     "argument 9 missing"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    OtherCommands, StandinRejectsTest,
    ::testing::Values(
        RejectedCase{"AudioEjectBeforeSpeed",
                     Join(Burn, {"--disable_eject", "--recursive", "--speed", "4", "--audio"}),
                     "argument 6 \"--recursive\""},
        RejectedCase{"AudioWithoutFormat",
                     Join(Burn, {"--recursive", "--speed", "4", "--disable_eject"}), "missing"},
        RejectedCase{"VideoWithArtist",
                     Join(Burn, {"--artist", "A", "--videocd", "--recursive", "--speed", "4"}),
                     "\"--videocd\""},
        RejectedCase{"VideoFormatAfterRecursive",
                     Join(Burn, {"--recursive", "--videocd", "--speed", "4"}), "\"--videocd\""},
        RejectedCase{"ImageWithoutName", Join(Burn, {"--image"}), "argument 6 missing"},
        RejectedCase{"ImageWithEntries",
                     Join(Burn, {"--image", "/d.iso", "--speed", "4", "/extra"}), "\"/extra\""},
        RejectedCase{"ImageDvdAfterName",
                     Join(Burn, {"--image", "/d.iso", "--dvd", "--speed", "4"}), "\"--dvd\""},
        RejectedCase{
            "EraseWithTrailingArgument", {"--erase", "--drivename", "E", "x"}, "argument 4 \"x\""},
        RejectedCase{"EntireAfterDrive",
                     {"--erase", "--drivename", "E", "--entire"},
                     "argument 4 \"--entire\""},
        RejectedCase{"EjectTwoDrives", {"--eject", "--drivename", "E", "F"}, "argument 4 \"F\""},
        RejectedCase{"EjectDriveDigit", {"--eject", "--drivename", "1"}, "argument 3 \"1\""}),
    [](const auto& Info) { return std::string(Info.param.Name); });

} // namespace
