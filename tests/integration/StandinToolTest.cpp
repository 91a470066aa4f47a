// Runs the NeroCmd.exe stand-in as a real process, the way the component and the demo do, and
// checks what they depend on: which command lines it accepts, the single line it prints, its exit
// code, its delay, and the JSON line it appends to the run log.
#include "ChildProcess.hpp"
#include "StandinLog.hpp"
#include "TestFiles.hpp"

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

using QueltTest::LoggedRun;
using QueltTest::ProcessOutcome;
using QueltTest::TempDir;

constexpr std::string_view Standin = QUELT_STANDIN_PATH;
constexpr std::string_view OutputPrefix = "NeroCmd stand-in: ";

// --- Running the stand-in -----------------------------------------------------------------------

// Starts the stand-in with exactly this argv (argv[0] included, whatever it says) and nothing in
// its environment but the given NAME=value entries.
ProcessOutcome RunStandin(const std::vector<std::string>& Argv,
                          const std::vector<std::string>& Environment) {
    return QueltTest::RunProgram(std::string(Standin), Argv, Environment);
}

std::vector<std::string> WithProgram(std::vector<std::string> Arguments) {
    Arguments.insert(Arguments.begin(), std::string(Standin));
    return Arguments;
}

// The log file in a test's own temporary folder.
std::string LogFileIn(const TempDir& Dir) {
    return (Dir.Path() / "runs.jsonl").string();
}

// The log must hold exactly one well-formed line, for this run, with this argv and verdict.
LoggedRun ExpectOnlyLoggedRun(const std::string& LogPath, const ProcessOutcome& Run,
                              const std::vector<std::string>& Argv, bool Accepted) {
    const std::vector<LoggedRun> Runs = QueltTest::ReadStandinLog(LogPath);
    EXPECT_EQ(Runs.size(), 1U);
    if (Runs.empty()) {
        return {};
    }
    EXPECT_EQ(Runs.front().Pid, Run.Pid);
    EXPECT_EQ(Runs.front().Argv, Argv);
    EXPECT_EQ(Runs.front().Accepted, Accepted);
    return Runs.front();
}

void ExpectOneLineWithPrefix(const std::string& Text) {
    EXPECT_TRUE(Text.starts_with(OutputPrefix)) << Text;
    EXPECT_TRUE(Text.ends_with("\n")) << Text;
    EXPECT_EQ(Text.find('\n'), Text.size() - 1) << Text;
}

// --- Command lines ------------------------------------------------------------------------------

std::vector<std::string> Join(std::vector<std::string> Leading,
                              const std::vector<std::string>& Tail) {
    Leading.insert(Leading.end(), Tail.begin(), Tail.end());
    return Leading;
}

std::vector<std::string> Head() {
    return {"--write", "--drivename", "E", "--real"};
}

// The command up to and including its label, with speed and label free to vary.
std::vector<std::string> Prefix(const std::string& Speed, const std::string& Label) {
    return Join(Head(), {"--recursive", "--speed", Speed, "--iso", Label});
}

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

using Args = std::vector<std::string>;
const Args Burn{"--write", "--drivename", "E", "--real"};

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

// --- Exit code and delay ------------------------------------------------------------------------

std::vector<std::string> AcceptedArguments() {
    return Join(Prefix("4", "L"), {"/a"});
}

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

// --- The log ------------------------------------------------------------------------------------

struct EscapeCase {
    std::string Argument;
    std::string Json; // as written between the quotes
};

TEST(StandinLogTest, LogsEveryArgumentExactlyAsValidJson) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    const std::vector<EscapeCase> Cases = {
        {"plain /path", "plain /path"},
        {"quote\"d", R"(quote\"d)"},
        {R"(back\slash)", R"(back\\slash)"},
        {"line\nbreak\r", R"(line\u000abreak\u000d)"},
        {"\t\x01\x1f\x7f", R"(\u0009\u0001\u001f\u007f)"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"\xff", R"(\u00ff)"},
        {"\xc3", R"(\u00c3)"},                               // truncated sequence
        {"\xe2\x82", R"(\u00e2\u0082)"},                     // truncated sequence
        {"\xc0\xaf", R"(\u00c0\u00af)"},                     // overlong form
        {"\xed\xa0\x80", R"(\u00ed\u00a0\u0080)"},           // surrogate
        {"\xf4\x90\x80\x80", R"(\u00f4\u0090\u0080\u0080)"}, // past U+10FFFF
        {"\x80"
         "a\xc3\xa9",
         "\\u0080a\xc3\xa9"}, // stray continuation byte
    };
    // argv[0] is logged as the starter passed it, not as the path that was run.
    std::vector<std::string> Argv = {"NeroCmd.exe \"as named\""};
    const std::vector<std::string> Leading = Prefix("4", "two\nlines");
    Argv.insert(Argv.end(), Leading.begin(), Leading.end());
    for (const EscapeCase& Row : Cases) {
        Argv.push_back(Row.Argument);
    }

    const ProcessOutcome Run = RunStandin(Argv, {"NEROCMD_LOG=" + Log});

    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    ExpectOneLineWithPrefix(Run.Out);
    const LoggedRun Logged = ExpectOnlyLoggedRun(Log, Run, Argv, true);
    ASSERT_EQ(Logged.RawArgv.size(), Argv.size());
    const std::size_t FirstEntry = 1 + Leading.size();
    for (std::size_t I = 0; I < Cases.size(); ++I) {
        EXPECT_EQ(Logged.RawArgv[FirstEntry + I], Cases[I].Json) << "entry " << I;
    }
}

TEST(StandinLogTest, AppendsToWhatIsAlreadyThere) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    std::ofstream(Log) << "earlier line\n";

    const ProcessOutcome First =
        RunStandin(WithProgram(AcceptedArguments()), {"NEROCMD_LOG=" + Log});
    const ProcessOutcome Second = RunStandin(WithProgram({"--burn"}), {"NEROCMD_LOG=" + Log});

    const std::vector<std::string> Lines = QueltTest::SplitLines(QueltTest::ReadFile(Log));
    ASSERT_EQ(Lines.size(), 3U);
    EXPECT_EQ(Lines[0], "earlier line");
    const auto FirstLogged = QueltTest::ParseStandinLogLine(Lines[1]);
    const auto SecondLogged = QueltTest::ParseStandinLogLine(Lines[2]);
    ASSERT_TRUE(FirstLogged && SecondLogged);
    EXPECT_EQ(FirstLogged->Pid, First.Pid);
    EXPECT_TRUE(FirstLogged->Accepted);
    EXPECT_EQ(SecondLogged->Pid, Second.Pid);
    EXPECT_FALSE(SecondLogged->Accepted);
}

// Runs started together must each leave one whole line; long arguments make a line that was
// written in pieces likely to show up as interleaved text.
TEST(StandinLogTest, ConcurrentRunsDoNotInterleave) {
    const TempDir Dir;
    const std::string Log = LogFileIn(Dir);
    constexpr std::size_t RunCount = 16;
    std::vector<std::vector<std::string>> Argvs;
    for (std::size_t I = 0; I < RunCount; ++I) {
        Argvs.push_back(
            WithProgram(Join(Prefix("4", "L"), {std::string(8192, static_cast<char>('a' + I)),
                                                std::string(8192, static_cast<char>('A' + I))})));
    }
    std::vector<ProcessOutcome> Runs(RunCount);
    std::vector<std::thread> Threads;
    for (std::size_t I = 0; I < RunCount; ++I) {
        Threads.emplace_back([&, I] { Runs[I] = RunStandin(Argvs[I], {"NEROCMD_LOG=" + Log}); });
    }
    for (std::thread& Thread : Threads) {
        Thread.join();
    }

    const std::vector<std::string> Lines = QueltTest::SplitLines(QueltTest::ReadFile(Log));
    ASSERT_EQ(Lines.size(), RunCount);
    std::set<std::size_t> Seen;
    for (const std::string& Line : Lines) {
        const auto Logged = QueltTest::ParseStandinLogLine(Line);
        ASSERT_TRUE(Logged.has_value()) << Line.substr(0, 200);
        std::size_t Matches = 0;
        for (std::size_t I = 0; I < RunCount; ++I) {
            if (Logged->Pid == Runs[I].Pid && Logged->Argv == Argvs[I]) {
                Seen.insert(I);
                ++Matches;
            }
        }
        EXPECT_EQ(Matches, 1U);
    }
    EXPECT_EQ(Seen.size(), RunCount);
}

TEST(StandinLogTest, UnwritableLogExitsThree) {
    const TempDir Dir;
    const std::string Log = (Dir.Path() / "missing-directory/runs.jsonl").string();
    // The log takes precedence over a rejected command line: the caller relies on it.
    for (const auto& Arguments : {AcceptedArguments(), std::vector<std::string>{"--burn"}}) {
        SCOPED_TRACE(Arguments.front());
        const ProcessOutcome Run = RunStandin(WithProgram(Arguments), {"NEROCMD_LOG=" + Log});
        EXPECT_EQ(Run.ExitCode, 3);
        EXPECT_EQ(Run.Out, "");
        ExpectOneLineWithPrefix(Run.Err);
        EXPECT_NE(Run.Err.find("NEROCMD_LOG"), std::string::npos) << Run.Err;
    }
}

} // namespace
