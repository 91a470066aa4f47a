// The command-line host as a user runs it: options to settings, the stand-in as the tool, the
// result and event it prints, its exit codes and its help.
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "CommandLineSplit.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;
using QueltTest::Cli;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;
using QueltTest::Standin;
using Strings = std::vector<std::string>;

TEST(QueltburnCli, DataBurnPrintsResultAndEvent) {
    RealWorld W;
    const fs::path File = W.Dir.Write("a.txt", "a");
    const fs::path Folder = W.Dir.MakeDir("b");
    const auto Outcome = QueltTest::RunProgram(
        {Cli, "data", "E", File.string(), Folder.string(), "--sync", "--tool", Standin.string(),
         "--label", "My Disc", "--title", " T ", "--no-underrun-prot", "--verify", "--speed", "16",
         "--continue-session", "1"});
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    EXPECT_NE(Outcome.Out.find("result: 0 (success)\nevent: OnSuccess\n"), std::string::npos)
        << Outcome.Out;
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv,
              (Strings{Standin.string(), "--write", "--drivename", "E", "--real", "--title", "T",
                       "--recursive", "--speed", "16", "--iso", "My Disc", "--import", "1",
                       "--verify", File.string(), Folder.string()}));
}

// The host waits for the tool unless told not to, whatever a settings file says, and prints the
// result with its meaning.
TEST(QueltburnCli, ExitCodesFollowTheResult) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string NoWaitForm =
        W.Dir.Write("nowait.dfm", "object B: TQueltBurner\n  Synchronous = False\nend\n").string();
    const auto Meaning = [](int Result) {
        return "result: " + std::to_string(Result) + " (" +
               QueltTest::Utf8(Queltburner::ResultText(Result)) + ")\n";
    };
    const struct {
        Strings Args;
        std::optional<std::string> ToolExit;
        int Exit;
        std::string Out;
    } Rows[] = {
        {{"data", "E", File, "--tool", Standin.string()},
         "3",
         1,
         Meaning(3) + "event: OnError(3)\n"},
        {{"data", "E", File, "--sync", "--tool", Standin.string()},
         "3",
         1,
         Meaning(3) + "event: OnError(3)\n"},
        {{"data", "E", File, "--settings", NoWaitForm, "--tool", Standin.string()},
         "3",
         1,
         Meaning(3) + "event: OnError(3)\n"},
        {{"data", "E", File, "--no-wait", "--tool", Standin.string()},
         "3",
         0,
         "result: 0 (the tool was started)\nevent: none\n"},
        {{"data", "E", File, "--tool", Standin.string()},
         "0",
         0,
         Meaning(0) + "event: OnSuccess\n"},
        {{"data", "Q", File, "--quiet", "--tool", Standin.string()},
         std::nullopt,
         1,
         Meaning(Queltburner::ResultNotOpticalDrive) + "event: none\n"},
        {{"data", "E", File, "--quiet", "--tool", "/nonexistent"},
         std::nullopt,
         1,
         Meaning(Queltburner::ResultToolFailed) + "event: none\n"},
    };
    for (const auto& Row : Rows) {
        ScopedEnv Exit{"NEROCMD_EXIT", Row.ToolExit};
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << testing::PrintToString(Row.Args) << Outcome.Err;
        EXPECT_NE(Outcome.Out.find(Row.Out), std::string::npos) << Outcome.Out;
    }
}

TEST(QueltburnCli, UsageErrorsExitTwo) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const Strings Cases[] = {
        {},
        {"format", "E"},
        {"data"},
        {"data", "EF", File},
        {"data", "E", File, "--speed", "65536"},
        {"data", "E", File, "--speed"},
        {"data", "E", File, "--continue-session", "x"},
        {"data", "E", File, "--bogus"},
        {"data", "E", File, "--no-label", "x"},
        {"data", "E", File, "--verify=yes"},
        {"data", "E", File, "--no-verify=1"},
        {"data", "E", File, "--speed="},
        {"audio", "E", File, "--verify"},
        {"burn", "E", File, "--type", "audio", "--verify"},
        {"burn", "E", File, "--type", "video", "--label", "X"},
        {"image", "E"},
        {"image", "E", "a.iso", "b.iso"},
        {"erase", "E", "extra"},
        {"eject", "E", "--speed", "4"},
        {"burn", "E", File, "--type", "blu-ray"},
        {"settings", "--no-wait"},
    };
    for (const Strings& Args : Cases) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Args.begin(), Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 2) << testing::PrintToString(Args);
        EXPECT_EQ(Outcome.Err.rfind("queltburn: ", 0), 0U) << Outcome.Err;
    }
    EXPECT_TRUE(W.Runs().empty());
    const auto Timeout = QueltTest::RunProgram({Cli, "eject", "E", "--timeout", "-3"});
    EXPECT_NE(Timeout.Err.find("from 0 to 4294967,"), std::string::npos) << Timeout.Err;
}

// After a failed check of the drive or the tool, the component's message is followed by what to
// do: map the letter, or where the tool was looked for and why there. --quiet says neither.
TEST(QueltburnCli, FailedChecksSayWhatToDo) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string Registry =
        W.Dir
            .Write("user.reg", "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\n"
                               "\"RegisteredTypesNeroPath\"=\"/opt/nero/Nero.exe\"\n")
            .string();
    const std::string Empty =
        W.Dir.Write("empty.reg", "Windows Registry Editor Version 5.00\n").string();
    const struct {
        Strings Args;
        std::optional<std::string> Registry;
        std::string Err;
    } Rows[] = {
        {{"data", "Q", File},
         std::nullopt,
         "Invalid drive Q.\nqueltburn: drive Q is not an optical drive; map it with "
         "QUELT_DRIVES=Q=/path/disc.iso\n"},
        {{"data", "E", File, "--tool", "/nonexistent/NeroCmd.exe"},
         std::nullopt,
         "Invalid path to NeroCmd.exe.\nqueltburn: /nonexistent/NeroCmd.exe (given with --tool) "
         "is not a file\n"},
        {{"eject", "E"},
         Registry,
         "Invalid path to NeroCmd.exe.\nqueltburn: tried /opt/nero/NeroCmd.exe, the folder of "
         "RegisteredTypesNeroPath=\"/opt/nero/Nero.exe\" under [HKEY_CURRENT_USER\\Software\\"
         "ahead\\Nero - Burning Rom\\General] in " +
             Registry},
        {{"eject", "E"},
         Empty,
         "queltburn: " + Empty + " has no text value RegisteredTypesNeroPath"},
        {{"eject", "E"}, std::nullopt, "queltburn: no registry file names the tool"},
        {{"data", "Q", File, "--quiet"}, std::nullopt, ""},
    };
    for (const auto& Row : Rows) {
        const ScopedEnv Reg{"QUELT_REGISTRY",
                            Row.Registry.value_or((W.Dir.Path() / "missing.reg").string())};
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 1) << testing::PrintToString(Row.Args);
        if (Row.Err.empty()) {
            EXPECT_EQ(Outcome.Err, "");
        } else {
            EXPECT_NE(Outcome.Err.find(Row.Err), std::string::npos) << Outcome.Err;
        }
    }
}

// Through the recorder, a failure's error line comes before the result and again with it as its
// reason, and the result names the recorder's exit code by its meaning; what the recorder says
// about a close it cannot do reaches the user too.
TEST(QueltburnCli, TheRecordersLinesAndExitCodesReachTheUser) {
    if (const std::string Missing = RecorderTest::MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string Folder = W.Dir.MakeDir("folder").string();
    const std::string Dvd = W.Dir.MakeDir("DVD").string();
    W.Dir.MakeDir("DVD/VIDEO_TS");
    const fs::path Image = W.Dir.Path() / "image.iso";
    ASSERT_EQ(RecorderTest::RunRecorder(RecorderTest::DataDisc("IMG", {}, {File}),
                                        RecorderTest::RecorderEnvironment(Image))
                  .ExitCode,
              0);
    const auto Named = [](int Code) {
        return "result: " + std::to_string(Code) + " (" +
               QueltTest::Utf8(Queltburner::ResultText(Code, true)) + ")\n";
    };
    const struct {
        Strings Args;
        std::string Target;
        int Exit;
        std::string Said; // on standard error for a failure, else on standard output
        std::string Result;
    } Rows[] = {
        {{"data", "E", File}, Folder, 1, "is a folder", Named(Queltburner::RecorderTarget)},
        {{"dvdvideo", "E", Dvd},
         (W.Dir.Path() / "dvd.iso").string(),
         1,
         "give " + Dvd + "/VIDEO_TS (and " + Dvd + "/AUDIO_TS",
         Named(Queltburner::RecorderSource)},
        {{"data", "E", (W.Dir.Path() / "gone.txt").string(), "--skip-missing"},
         (W.Dir.Path() / "nothing.iso").string(),
         1,
         "nothing to write",
         Named(Queltburner::RecorderSource)},
        {{"image", "E", Image.string(), "--close-session"},
         (W.Dir.Path() / "copy.iso").string(),
         0,
         "which cannot be closed",
         "result: 0 (success)\n"},
        {{"data", "E", File, "--close-session"},
         (W.Dir.Path() / "data.iso").string(),
         0,
         "which cannot be closed",
         "result: 0 (success)\n"},
    };
    for (const auto& Row : Rows) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        Argv.insert(Argv.end(), {"--tool", RecorderTest::RecorderPath});
        const auto Outcome =
            QueltTest::RunProgram(Argv, RecorderTest::RecorderEnvironment(Row.Target));
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << testing::PrintToString(Row.Args) << Outcome.Err;
        const std::string& Said = Row.Exit == 0 ? Outcome.Out : Outcome.Err;
        EXPECT_NE(Said.find(Row.Said), std::string::npos) << Said;
        EXPECT_NE(Outcome.Out.find(Row.Result), std::string::npos) << Outcome.Out;
        if (Row.Exit == 0) {
            EXPECT_EQ(Outcome.Out.find("reason: "), std::string::npos) << Outcome.Out;
            continue;
        }
        // The recorder's error line is the last on standard error but the entries left out.
        std::string Last = Outcome.Err.substr(
            0, std::min(Outcome.Err.find("\nleft out: "), Outcome.Err.find_last_not_of('\n') + 1));
        Last = Last.substr(Last.rfind('\n') + 1);
        EXPECT_NE(Last.find(Row.Said), std::string::npos) << Outcome.Err;
        EXPECT_NE(Outcome.Out.find("reason: " + Last + "\n" + Row.Result), std::string::npos)
            << Outcome.Out;
    }
}

// A named entry that does not exist, a burn without entries and an unknown dash argument stop
// the run before anything starts; with --skip-missing the component leaves missing entries out.
TEST(QueltburnCli, EntriesAreCheckedBeforeTheBurn) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string Missing = (W.Dir.Path() / "does-not-exist.txt").string();
    const std::string Dangling = (W.Dir.Path() / "dangling").string();
    fs::create_symlink(W.Dir.Path() / "gone", Dangling);
    const std::string Linked = (W.Dir.Path() / "linked").string();
    fs::create_symlink(File, Linked);
    const std::string Tool = Standin.string();
    const struct {
        Strings Args;
        std::string Named; // what the message must name, if anything
    } Refused[] = {
        {{"data", "E", Missing}, Missing},
        {{"data", "E", File, Missing}, Missing},
        {{"data", "E", Dangling}, Dangling},
        {{"data", "E"}, ""},
        {{"audio", "E"}, ""},
        {{"video", "E"}, ""},
        {{"svideo", "E"}, ""},
        {{"dvdvideo", "E"}, ""},
        {{"burn", "E"}, ""},
        {{"data", "E", "--skip-missing"}, ""},
        {{"data", "E", File, "-v"}, "-v"},
        {{"data", "E", "-x", File}, "-x"},
        {{"eject", "E", "-f"}, "-f"},
    };
    for (const auto& Row : Refused) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        Argv.insert(Argv.end(), {"--tool", Tool});
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 2) << testing::PrintToString(Row.Args) << Outcome.Out;
        EXPECT_EQ(Outcome.Err.rfind("queltburn: ", 0), 0U) << Outcome.Err;
        EXPECT_NE(Outcome.Err.find(Row.Named), std::string::npos) << Outcome.Err;
    }
    EXPECT_TRUE(W.Runs().empty());

    const struct {
        Strings Args;
        Strings Entries; // the entries the tool gets, last on its command line
    } Accepted[] = {
        {{"data", "E", Linked}, {Linked}},
        {{"data", "E", Missing, File, "--skip-missing"}, {File}},
    };
    for (const auto& Row : Accepted) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        Argv.insert(Argv.end(), {"--tool", Tool});
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 0) << testing::PrintToString(Row.Args) << Outcome.Err;
        const auto Runs = W.Runs();
        ASSERT_FALSE(Runs.empty());
        const Strings& Got = Runs.back().Argv;
        ASSERT_GE(Got.size(), Row.Entries.size());
        EXPECT_EQ(Strings(Got.end() - static_cast<std::ptrdiff_t>(Row.Entries.size()), Got.end()),
                  Row.Entries);
        EXPECT_EQ(std::count(Got.begin(), Got.end(), Missing), 0);
    }
}

// --opt=value is --opt value; --print-command shows the command line a run would start, and starts
// nothing.
TEST(QueltburnCli, PrintCommandShowsWhatARunWouldStart) {
    RealWorld W;
    const std::string File = W.Dir.Write("my file.txt", "a").string();
    const Strings Args{
        Cli, "data", "E", File, "--label=My \"Disc\"", "--speed=8", "--tool=" + Standin.string()};
    const auto Burned = QueltTest::RunProgram(Args);
    ASSERT_EQ(Burned.ExitCode, 0) << Burned.Err;
    ASSERT_EQ(W.Runs().size(), 1U);
    const Strings Started = W.Runs()[0].Argv;
    EXPECT_NE(std::find(Started.begin(), Started.end(), "My \"Disc\""), Started.end());
    EXPECT_NE(std::find(Started.begin(), Started.end(), "8"), Started.end());

    Strings Printing = Args;
    Printing.emplace_back("--print-command");
    const auto Printed = QueltTest::RunProgram(Printing);
    EXPECT_EQ(Printed.ExitCode, 0) << Printed.Err;
    const std::string Prefix = "command: ";
    ASSERT_EQ(Printed.Out.rfind(Prefix, 0), 0U) << Printed.Out;
    const std::size_t LineEnd = Printed.Out.find('\n');
    const std::string Line = Printed.Out.substr(Prefix.size(), LineEnd - Prefix.size());
    Strings Split;
    for (const System::UnicodeString& Item :
         Queltburner::SplitCommandLine(QueltTest::Utf16(Line))) {
        Split.push_back(QueltTest::Utf8(Item));
    }
    EXPECT_EQ(Split, Started);
    EXPECT_EQ(Printed.Out.substr(LineEnd + 1), "result: 0 (" +
                                                   QueltTest::Utf8(Queltburner::ResultText(0)) +
                                                   ")\nevent: OnSuccess\n");

    Printing[2] = "Q";
    Printing.emplace_back("--quiet");
    const auto BadDrive = QueltTest::RunProgram(Printing);
    EXPECT_EQ(BadDrive.ExitCode, 1);
    EXPECT_EQ(BadDrive.Out.find(Prefix), std::string::npos) << BadDrive.Out;
    EXPECT_NE(BadDrive.Out.find("result: " + std::to_string(Queltburner::ResultNotOpticalDrive)),
              std::string::npos);
    EXPECT_EQ(W.Runs().size(), 1U);
}

// A settings file that cannot be read as text is a usage error naming it, never a crash or a hang.
TEST(QueltburnCli, UnreadableSettingsFilesAreUsageErrors) {
    RealWorld W;
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const std::string Folder = W.Dir.MakeDir("folder").string();
    const std::string Fifo = (W.Dir.Path() / "fifo").string();
    ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
    const std::string Binary =
        W.Dir.Write("binary.dfm", std::string("object B: TQueltBurner\n\0\0end\n", 28)).string();
    const std::string Huge =
        W.Dir.Write("huge.dfm", std::string(std::size_t{4} << 20U, ' ') + "x").string();
    const std::string Locked = W.Dir.Write("locked.dfm", "object B: TQueltBurner\nend\n").string();
    fs::permissions(Locked, fs::perms::none);
    std::vector<std::string> Paths{Folder, (W.Dir.Path() / "none.dfm").string(), Fifo, Binary,
                                   Huge};
    if (geteuid() != 0) { // root reads any file
        Paths.push_back(Locked);
    }
    for (const std::string& Path : Paths) {
        for (const Strings& Args :
             {Strings{Cli, "data", "E", File, "--settings", Path, "--tool", Standin.string()},
              Strings{Cli, "settings", "--settings=" + Path}}) {
            const auto Outcome = QueltTest::RunProgram(Args);
            EXPECT_FALSE(Outcome.Signal) << Path;
            EXPECT_EQ(Outcome.ExitCode, 2) << Path;
            EXPECT_EQ(Outcome.Err.rfind("queltburn: " + Path + ": ", 0), 0U) << Outcome.Err;
        }
    }
    EXPECT_TRUE(W.Runs().empty());
}

// Each command offers exactly the options of the settings its operation reads, and says so.
TEST(QueltburnCli, EachCommandDocumentsExactlyItsOptions) {
    const Strings Everything{"--label",         "--artist",           "--title",
                             "--speed",         "--continue-session", "--tao",
                             "--speedtest",     "--close-session",    "--detect-non-empty-disk",
                             "--underrun-prot", "--disable-eject",    "--verify",
                             "--dvd",           "--force-erase-disk", "--type",
                             "--full"};
    const Strings Data{"--label",         "--artist",           "--title",
                       "--speed",         "--continue-session", "--tao",
                       "--speedtest",     "--close-session",    "--detect-non-empty-disk",
                       "--underrun-prot", "--disable-eject",    "--verify",
                       "--dvd",           "--force-erase-disk"};
    Strings Burn = Data;
    Burn.emplace_back("--type");
    const std::pair<std::string, Strings> Commands[] = {
        {"data", Data},
        {"audio", {"--artist", "--title", "--speed", "--tao", "--disable-eject"}},
        {"video",
         {"--speed", "--tao", "--disable-eject", "--speedtest", "--close-session",
          "--force-erase-disk"}},
        {"svideo",
         {"--speed", "--tao", "--disable-eject", "--speedtest", "--close-session",
          "--force-erase-disk"}},
        {"dvdvideo",
         {"--label", "--artist", "--title", "--speed", "--tao", "--speedtest", "--close-session",
          "--detect-non-empty-disk", "--underrun-prot", "--disable-eject", "--verify",
          "--force-erase-disk"}},
        {"image",
         {"--speed", "--tao", "--dvd", "--speedtest", "--close-session", "--detect-non-empty-disk",
          "--underrun-prot", "--disable-eject", "--force-erase-disk"}},
        {"erase", {"--full"}},
        {"eject", {}},
        {"burn", Burn},
    };
    const auto Top = QueltTest::RunProgram({Cli, "--help"});
    EXPECT_EQ(Top.ExitCode, 0);
    for (const auto& [Command, Options] : Commands) {
        EXPECT_NE(Top.Out.find("queltburn " + Command + " DRIVE"), std::string::npos) << Command;
        const auto Help = QueltTest::RunProgram({Cli, Command, "--help"});
        EXPECT_EQ(Help.ExitCode, 0);
        for (const std::string& Option : Everything) {
            const bool Offered = Help.Out.find("  " + Option + " ") != std::string::npos ||
                                 Help.Out.find("  " + Option + ",") != std::string::npos;
            const bool Expected =
                std::find(Options.begin(), Options.end(), Option) != Options.end();
            EXPECT_EQ(Offered, Expected) << Command << " " << Option;
        }
        for (const char* Common : {"--sync", "--hide", "--quiet", "--tool"}) {
            EXPECT_NE(Help.Out.find(Common), std::string::npos) << Command << " " << Common;
        }
    }
}

// Every command, run against the stand-in: the tool gets the command line of its operation.
TEST(QueltburnCli, EveryCommandReachesTheTool) {
    RealWorld W;
    const std::string File = W.Dir.Write("in/a.wav", "a").string();
    const std::string Image = W.Dir.Write("in/disc.iso", "iso").string();
    const std::string Tool = Standin.string();
    const struct {
        Strings Args;
        Strings Expected; // the tool's argv after its path
    } Rows[] = {
        {{"audio", "E", File, "--artist", " A ", "--tao"},
         {"--write", "--drivename", "E", "--real", "--tao", "--artist", "A", "--recursive",
          "--speed", "4", "--audio", File}},
        {{"video", "E", File, "--speed", "8"},
         {"--write", "--drivename", "E", "--real", "--videocd", "--recursive", "--speed", "8",
          File}},
        {{"svideo", "E", File, "--force-erase-disk"},
         {"--write", "--drivename", "E", "--real", "--svideocd", "--recursive", "--speed", "4",
          File, "--force_erase_disk"}},
        {{"dvdvideo", "E", File, "--label", "FILM"},
         {"--write", "--drivename", "E", "--real", "--recursive", "--speed", "4", "--iso", "FILM",
          "--underrun_prot", "--dvd", "--create_iso_fs", "--create_udf_fs", "--iso-no-joliet",
          "--dvdvideo_realloc", File}},
        {{"image", "E", Image, "--dvd", "--no-underrun-prot"},
         {"--write", "--drivename", "E", "--real", "--dvd", "--image", Image, "--speed", "4"}},
        {{"erase", "E", "--full"}, {"--erase", "--entire", "--drivename", "E"}},
        {{"erase", "E"}, {"--erase", "--drivename", "E"}},
        {{"eject", "e"}, {"--eject", "--drivename", "e"}},
        {{"burn", "E", File, "--type", "svideo"},
         {"--write", "--drivename", "E", "--real", "--svideocd", "--recursive", "--speed", "4",
          File}},
        {{"burn", "E", File},
         {"--write", "--drivename", "E", "--real", "--recursive", "--speed", "4", "--iso", "NEW",
          "--underrun_prot", File}},
    };
    std::size_t Expected = 0;
    for (const auto& Row : Rows) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        Argv.insert(Argv.end(), {"--sync", "--tool", Tool});
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
        EXPECT_NE(Outcome.Out.find("result: 0 (success)\nevent: OnSuccess\n"), std::string::npos)
            << Outcome.Out;
        const auto Runs = W.Runs();
        ASSERT_EQ(Runs.size(), ++Expected);
        Strings Want{Tool};
        Want.insert(Want.end(), Row.Expected.begin(), Row.Expected.end());
        EXPECT_EQ(Runs.back().Argv, Want) << testing::PrintToString(Row.Args);
    }
    const auto Missing = QueltTest::RunProgram(
        {Cli, "image", "E", W.Dir.Path() / "none.iso", "--sync", "--tool", Tool});
    EXPECT_EQ(Missing.ExitCode, 1);
    EXPECT_NE(Missing.Out.find("result: -3 (the image file was not found)\nevent: none\n"),
              std::string::npos);
    EXPECT_NE(Missing.Err.find("Image file not found.\""), std::string::npos);
}

// A file named like a switch, after "--", is added to the disc as a file: the switch it looks like
// would erase the disc's earlier session.
TEST(QueltburnCli, FileNamedLikeASwitchIsAddedToTheDisc) {
    if (const std::string Missing = RecorderTest::MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    RealWorld W;
    const fs::path Disc = W.Dir.Path() / "disc.iso";
    const auto Environment = RecorderTest::RecorderEnvironment(Disc);
    const fs::path Secret = W.Dir.Write("secret.txt", "kept");
    ASSERT_EQ(
        RecorderTest::RunRecorder(RecorderTest::DataDisc("OLD", {}, {Secret.string()}), Environment)
            .ExitCode,
        0);
    W.Dir.Write("--force_erase_disk", "a file");
    const fs::path Before = fs::current_path();
    fs::current_path(W.Dir.Path());
    const auto Outcome =
        QueltTest::RunProgram({Cli, "data", "E", "--continue-session", "0", "--tool",
                               RecorderTest::RecorderPath, "--", "--force_erase_disk"},
                              Environment);
    fs::current_path(Before);
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Out << Outcome.Err;
    const fs::path Out = W.Dir.Path() / "out";
    ASSERT_EQ(RecorderTest::ExtractWithXorriso(Disc, Out).ExitCode, 0);
    EXPECT_EQ(QueltTest::ReadFile(Out / "secret.txt"), "kept");
    EXPECT_EQ(QueltTest::ReadFile(Out / "--force_erase_disk"), "a file");
}

// However the host ends (asked, hung up on, killed), its tool ends with it: a tool never goes on
// writing a disc that no one watches.
TEST(QueltburnCli, TheToolEndsWithItsHost) {
    RealWorld W;
    const fs::path File = W.Dir.Write("a.txt", "a");
    const Strings Environment{"QUELT_DRIVES=E=" + (W.Dir.Path() / "disc.iso").string(),
                              "QUELT_REGISTRY=" + (W.Dir.Path() / "none.reg").string(),
                              "NEROCMD_DELAY_MS=60000"};
    for (const int Signal : {SIGTERM, SIGHUP, SIGKILL}) {
        for (int Try = 0; Try < 5; ++Try) {
            RecorderTest::WatchedProgram Host(
                {Cli, "data", "E", File.string(), "--tool", Standin.string()}, Environment);
            // The host's child is the waiter, whose child is the tool.
            std::vector<long> Tools;
            for (int Wait = 0; Wait < 500 && Tools.empty(); ++Wait) {
                for (const long Waiter : RecorderTest::ChildrenOf(Host.Pid())) {
                    Tools = RecorderTest::ChildrenOf(Waiter);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ASSERT_EQ(Tools.size(), 1U) << "signal " << Signal;
            Host.Signal(Signal);
            bool Ended = false;
            for (int Wait = 0; Wait < 200 && !Ended; ++Wait) {
                Ended = RecorderTest::HasEnded(Tools[0]);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_TRUE(Ended) << "signal " << Signal << " try " << Try;
            if (!Ended) {
                ::kill(static_cast<pid_t>(Tools[0]), SIGKILL); // it holds the host's output open
            }
            const auto Outcome = Host.Finish();
            if (Signal != SIGKILL) {
                EXPECT_NE(Outcome.Out.find("result: -4 (the run was cancelled)"), std::string::npos)
                    << Outcome.Out << Outcome.Err;
                // As a shell reports a program that the signal ended.
                EXPECT_EQ(Outcome.ExitCode, 128 + Signal) << "signal " << Signal;
            }
        }
    }
}

// Settings come from a form file first; the options given then apply on top.
TEST(QueltburnCli, SettingsFromAFormFileAndBackAsFormText) {
    RealWorld W;
    const std::string Form = W.Dir
                                 .Write("main.dfm", "object Form1: TForm1\n"
                                                    "  object Burner: TQueltBurner\n"
                                                    "    Title = 'From '#39'file'#39\n"
                                                    "    Speed = 16\n"
                                                    "    Verify = True\n"
                                                    "    OnSuccess = BurnerDone\n"
                                                    "  end\n"
                                                    "end\n")
                                 .string();
    const std::string File = W.Dir.Write("a.txt", "a").string();
    const auto Burn =
        QueltTest::RunProgram({Cli, "data", "E", File, "--speed", "2", "--settings", Form, "--name",
                               "Burner", "--sync", "--tool", Standin.string()});
    EXPECT_EQ(Burn.ExitCode, 0) << Burn.Err;
    ASSERT_EQ(W.Runs().size(), 1U);
    EXPECT_EQ(W.Runs()[0].Argv, (Strings{Standin.string(), "--write", "--drivename", "E", "--real",
                                         "--title", "From 'file'", "--recursive", "--speed", "2",
                                         "--iso", "NEW", "--underrun_prot", "--verify", File}));

    const auto Printed = QueltTest::RunProgram(
        {Cli, "settings", "--settings", Form, "--name", "Burner", "--tao", "--type", "svideo"});
    EXPECT_EQ(Printed.ExitCode, 0) << Printed.Err;
    EXPECT_EQ(Printed.Out, "object Burner: TQueltBurner\r\n"
                           "  Title = 'From '#39'file'#39\r\n"
                           "  VolumeLabel = 'NEW'\r\n"
                           "  Speed = 16\r\n"
                           "  DisableEject = False\r\n"
                           "  UnderrunProtection = True\r\n"
                           "  DetectNonEmptyDisk = False\r\n"
                           "  Verify = True\r\n"
                           "  SpeedTest = False\r\n"
                           "  Tao = True\r\n"
                           "  ForceEraseDisk = False\r\n"
                           "  CloseSession = False\r\n"
                           "  DiskType = dtSuperVideo\r\n"
                           "end\r\n");

    const std::string Bad =
        W.Dir.Write("bad.dfm", "object B: TQueltBurner\n  Speed = 70000\nend\n").string();
    for (const Strings& Args : {Strings{Cli, "settings", "--settings", Bad},
                                Strings{Cli, "eject", "E", "--settings", Form},
                                Strings{Cli, "settings", "--settings", Form, "--name", "Nobody"},
                                Strings{Cli, "settings", "--name", "Burner"}}) {
        const auto Failed = QueltTest::RunProgram(Args);
        EXPECT_EQ(Failed.ExitCode, 2) << Failed.Out;
        EXPECT_EQ(Failed.Err.rfind("queltburn: ", 0), 0U) << Failed.Err;
    }
    EXPECT_NE(QueltTest::RunProgram({Cli, "settings", "--settings", Bad}).Err.find("line 2: Speed"),
              std::string::npos);
    EXPECT_EQ(W.Runs().size(), 1U);
}

} // namespace
