// Runs the NeroCmd.exe stand-in as a real process, the way the component and the demo do, and
// checks what they depend on: which command lines it accepts, the single line it prints, its exit
// code and its delay.
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

struct AcceptedCase {
    const char* Name;
    std::vector<std::string> Arguments;
    std::string Says; // the output line after the prefix
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const AcceptedCase& Row, std::ostream* Out) {
    *Out << Row.Name;
}

class StandinAcceptsTest : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(StandinAcceptsTest, PrintsWhatItWouldDoAndLogsTheRun) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    const AcceptedCase& Row = GetParam();

    const ProcessOutcome Run = RunStandin(WithProgram(Row.Arguments), {"NEROCMD_LOG=" + Log});

    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    EXPECT_EQ(Run.Err, "");
    EXPECT_EQ(Run.Out, std::string(OutputPrefix) + Row.Says + "\n");
    ExpectOnlyLoggedRun(Log, Run, WithProgram(Row.Arguments), true);
}

INSTANTIATE_TEST_SUITE_P(
    DataDisc, StandinAcceptsTest,
    ::testing::Values(
        AcceptedCase{"Plain", Join(Prefix("4", "NEW"), {"/data/a", "/data/b"}),
                     "would write a data disc in drive E: label \"NEW\", speed 4, 2 entries, "
                     "options: none"},
        AcceptedCase{"EveryOptionInOrder",
                     {"--write",
                      "--drivename",
                      "e",
                      "--real",
                      "--tao",
                      "--artist",
                      "Artist",
                      "--title",
                      "A Title",
                      "--recursive",
                      "--speed",
                      "16",
                      "--iso",
                      "LABEL",
                      "--import",
                      "2",
                      "--speedtest",
                      "--close_session",
                      "--detect_non_empty_disk",
                      "--underrun_prot",
                      "--disable_eject",
                      "--verify",
                      "--dvd",
                      "/data/a",
                      "--force_erase_disk"},
                     "would write a data disc in drive e: label \"LABEL\", speed 16, 1 entry, "
                     "options: --tao --artist \"Artist\" --title \"A Title\" --import \"2\" "
                     "--speedtest --close_session --detect_non_empty_disk --underrun_prot "
                     "--disable_eject --verify --dvd --force_erase_disk"},
        AcceptedCase{"EntriesLookingLikeOptions",
                     Join(Prefix("4", "L"), {"--verify", "--write", "--force_erase_disk", "-x", "",
                                             "--bogus", "--force_erase_disk"}),
                     "would write a data disc in drive E: label \"L\", speed 4, 5 entries, "
                     "options: --verify --force_erase_disk"},
        // Entries can be any text, so once the label is read nothing can be out of place: a
        // switch repeated or out of order there is an entry.
        AcceptedCase{"SwitchesOutOfOrderAfterLabelAreEntries",
                     Join(Prefix("4", "L"), {"--verify", "--underrun_prot", "--verify"}),
                     "would write a data disc in drive E: label \"L\", speed 4, 2 entries, "
                     "options: --verify"},
        AcceptedCase{"ImportWithoutItsNumberIsEntries", Join(Prefix("4", "L"), {"--import", "01"}),
                     "would write a data disc in drive E: label \"L\", speed 4, 2 entries, "
                     "options: none"},
        AcceptedCase{"OnlyForceEraseAfterLabel", Join(Prefix("4", "L"), {"--force_erase_disk"}),
                     "would write a data disc in drive E: label \"L\", speed 4, 0 entries, "
                     "options: --force_erase_disk"},
        AcceptedCase{"EmptyLabelNoEntries", Prefix("4", ""),
                     "would write a data disc in drive E: label \"\", speed 4, 0 entries, "
                     "options: none"},
        AcceptedCase{"SpeedZero", Join(Prefix("0", "L"), {"/a"}),
                     "would write a data disc in drive E: label \"L\", speed 0, 1 entry, "
                     "options: none"},
        AcceptedCase{"SpeedHighest", Join(Prefix("65535", "L"), {"/a"}),
                     "would write a data disc in drive E: label \"L\", speed 65535, 1 entry, "
                     "options: none"},
        AcceptedCase{"ImportZero", Join(Prefix("4", "L"), {"--import", "0", "/a"}),
                     "would write a data disc in drive E: label \"L\", speed 4, 1 entry, "
                     "options: --import \"0\""},
        AcceptedCase{"ImportHighest", Join(Prefix("4", "L"), {"--import", "2147483647"}),
                     "would write a data disc in drive E: label \"L\", speed 4, 0 entries, "
                     "options: --import \"2147483647\""},
        AcceptedCase{"ValuesLookingLikeOptions",
                     Join(Head(), {"--artist", "--tao", "--title", "--recursive", "--recursive",
                                   "--speed", "1", "--iso", "--import"}),
                     "would write a data disc in drive E: label \"--import\", speed 1, 0 entries, "
                     "options: --artist \"--tao\" --title \"--recursive\""}),
    [](const auto& Info) { return std::string(Info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    OtherCommands, StandinAcceptsTest,
    ::testing::Values(
        AcceptedCase{"Audio",
                     Join(Burn, {"--tao", "--artist", "A", "--recursive", "--speed", "4",
                                 "--disable_eject", "--audio", "/a.wav"}),
                     "would write an audio CD in drive E: speed 4, 1 entry, options: --tao "
                     "--artist \"A\" --recursive --disable_eject --audio"},
        AcceptedCase{"VideoCd",
                     Join(Burn, {"--videocd", "--recursive", "--speed", "8", "/a.mpg",
                                 "--force_erase_disk"}),
                     "would write a Video CD in drive E: speed 8, 1 entry, options: --videocd "
                     "--recursive --force_erase_disk"},
        AcceptedCase{"SuperVideoCd",
                     Join(Burn, {"--disable_eject", "--svideocd", "--recursive", "--speed", "4",
                                 "--speedtest", "--close_session"}),
                     "would write a Super Video CD in drive E: speed 4, 0 entries, options: "
                     "--disable_eject --svideocd --recursive --speedtest --close_session"},
        AcceptedCase{"DvdVideo",
                     Join(Burn, {"--recursive", "--speed", "4", "--iso", "NEW", "--underrun_prot",
                                 "--dvd", "--create_iso_fs", "--create_udf_fs", "--iso-no-joliet",
                                 "--dvdvideo_realloc", "/film"}),
                     "would write a DVD-Video disc in drive E: speed 4, 1 entry, options: "
                     "--recursive --iso \"NEW\" --underrun_prot --dvd --create_iso_fs "
                     "--create_udf_fs --iso-no-joliet --dvdvideo_realloc"},
        AcceptedCase{"Image",
                     Join(Burn, {"--tao", "--dvd", "--image", "/d.iso", "--speed", "4",
                                 "--underrun_prot", "--force_erase_disk"}),
                     "would write the image \"/d.iso\" in drive E: speed 4, options: --tao --dvd "
                     "--underrun_prot --force_erase_disk"},
        AcceptedCase{"QuickErase",
                     {"--erase", "--drivename", "E"},
                     "would quickly erase the disc in drive E"},
        AcceptedCase{"FullErase",
                     {"--erase", "--entire", "--drivename", "e"},
                     "would erase the entire disc in drive e"},
        AcceptedCase{"Eject", {"--eject", "--drivename", "E"}, "would open the tray of drive E"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// --- Exit code and delay ------------------------------------------------------------------------

struct ExitCase {
    const char* Name;
    std::string Value;
    int ExitCode;
    bool Rejected; // the value is not a usable exit code
};

void PrintTo(const ExitCase& Row, std::ostream* Out) {
    *Out << Row.Name;
}

class StandinExitTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(StandinExitTest, ExitsWithRequestedCode) {
    const ExitCase& Row = GetParam();

    const ProcessOutcome Run =
        RunStandin(WithProgram(AcceptedArguments()), {"NEROCMD_EXIT=" + Row.Value});

    EXPECT_EQ(Run.ExitCode, Row.ExitCode) << Run.Err;
    if (Row.Rejected) {
        EXPECT_EQ(Run.Out, "");
        ExpectOneLineWithPrefix(Run.Err);
        EXPECT_NE(Run.Err.find("NEROCMD_EXIT"), std::string::npos) << Run.Err;
    } else {
        ExpectOneLineWithPrefix(Run.Out);
        EXPECT_EQ(Run.Err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, StandinExitTest,
    ::testing::Values(
        ExitCase{"Zero", "0", 0, false}, ExitCase{"Three", "3", 3, false},
        ExitCase{"KeepsLowBits", "300", 44, false}, ExitCase{"Highest", "4294967295", 255, false},
        ExitCase{"MinusOne", "-1", 255, false}, ExitCase{"Lowest", "-2147483648", 0, false},
        ExitCase{"Word", "three", 2, true}, ExitCase{"PastHighest", "4294967296", 2, true},
        ExitCase{"PastLowest", "-2147483649", 2, true}, ExitCase{"PlusSign", "+3", 2, true},
        ExitCase{"Space", " 3", 2, true}, ExitCase{"Fraction", "3.0", 2, true},
        ExitCase{"Hex", "0x10", 2, true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(StandinDelayTest, WaitsAtLeastTheRequestedTime) {
    constexpr int DelayMs = 300;
    const auto Start = std::chrono::steady_clock::now();

    const ProcessOutcome Run = RunStandin(WithProgram(AcceptedArguments()),
                                          {"NEROCMD_DELAY_MS=" + std::to_string(DelayMs)});

    const auto Elapsed = std::chrono::steady_clock::now() - Start;
    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    EXPECT_GE(Elapsed, std::chrono::milliseconds(DelayMs));
}

TEST(StandinDelayTest, RejectsUnusableDelay) {
    for (const std::string Value : {"soon", "-1", "4294967296", "1.5", "+5"}) {
        SCOPED_TRACE(Value);
        const ProcessOutcome Run =
            RunStandin(WithProgram(AcceptedArguments()), {"NEROCMD_DELAY_MS=" + Value});
        EXPECT_EQ(Run.ExitCode, 2);
        EXPECT_EQ(Run.Out, "");
        ExpectOneLineWithPrefix(Run.Err);
        EXPECT_NE(Run.Err.find("NEROCMD_DELAY_MS"), std::string::npos) << Run.Err;
    }
}

// Windows cannot hold an empty variable, so the stand-in treats one as unset everywhere.
TEST(StandinSettingsTest, EmptySettingsCountAsUnset) {
    const ProcessOutcome Run = RunStandin(WithProgram(AcceptedArguments()),
                                          {"NEROCMD_LOG=", "NEROCMD_DELAY_MS=", "NEROCMD_EXIT="});

    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    ExpectOneLineWithPrefix(Run.Out);
}

} // namespace
