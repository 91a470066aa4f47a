// The command-line host's commands: the command line each one starts, its options and their help.
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

} // namespace
