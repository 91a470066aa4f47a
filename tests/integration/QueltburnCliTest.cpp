// The command-line host as a user runs it: options to settings, the stand-in as the tool, the
// result and event it prints, its exit codes and its help.
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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
    EXPECT_NE(Outcome.Out.find("result: 0\nevent: OnSuccess\n"), std::string::npos) << Outcome.Out;
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv,
              (Strings{Standin.string(), "--write", "--drivename", "E", "--real", "--title", "T",
                       "--recursive", "--speed", "16", "--iso", "My Disc", "--import", "1",
                       "--verify", File.string(), Folder.string()}));
}

TEST(QueltburnCli, ExitCodesFollowTheResult) {
    RealWorld W;
    const struct {
        Strings Args;
        std::optional<std::string> ToolExit;
        int Exit;
        std::string Out;
    } Rows[] = {
        {{"data", "E", "--sync", "--tool", Standin.string()},
         "3",
         1,
         "result: 3\nevent: OnError(3)\n"},
        {{"data", "E", "--tool", Standin.string()}, "3", 0, "result: 0\nevent: none\n"},
        {{"data", "Q", "--sync", "--quiet", "--tool", Standin.string()},
         std::nullopt,
         1,
         "result: -2\nevent: none\n"},
        {{"data", "E", "--sync", "--quiet", "--tool", "/nonexistent"},
         std::nullopt,
         1,
         "result: -1\nevent: none\n"},
    };
    for (const auto& Row : Rows) {
        ScopedEnv Exit{"NEROCMD_EXIT", Row.ToolExit};
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Row.Args.begin(), Row.Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << Outcome.Err;
        EXPECT_NE(Outcome.Out.find(Row.Out), std::string::npos) << Outcome.Out;
    }
}

TEST(QueltburnCli, UsageErrorsExitTwo) {
    const Strings Cases[] = {
        {},
        {"format", "E"},
        {"data"},
        {"data", "EF"},
        {"data", "E", "--speed", "65536"},
        {"data", "E", "--speed"},
        {"data", "E", "--continue-session", "x"},
        {"data", "E", "--bogus"},
        {"data", "E", "--no-label", "x"},
        {"audio", "E", "--verify"},
        {"image", "E"},
        {"image", "E", "a.iso", "b.iso"},
        {"erase", "E", "extra"},
        {"eject", "E", "--speed", "4"},
        {"burn", "E", "--type", "blu-ray"},
    };
    for (const Strings& Args : Cases) {
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Args.begin(), Args.end());
        const auto Outcome = QueltTest::RunProgram(Argv);
        EXPECT_EQ(Outcome.ExitCode, 2) << testing::PrintToString(Args);
        EXPECT_EQ(Outcome.Err.rfind("queltburn: ", 0), 0U) << Outcome.Err;
    }
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
        EXPECT_NE(Outcome.Out.find("result: 0\nevent: OnSuccess\n"), std::string::npos)
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
    EXPECT_NE(Missing.Out.find("result: -3\nevent: none\n"), std::string::npos);
    EXPECT_NE(Missing.Err.find("Image file not found.\""), std::string::npos);
}

TEST(QueltburnCli, FileNamesThatLookLikeOptionsAfterDoubleDash) {
    RealWorld W;
    const fs::path Odd = W.Dir.Write("--verify", "x");
    const fs::path Before = fs::current_path();
    fs::current_path(W.Dir.Path());
    const auto Outcome = QueltTest::RunProgram(
        {Cli, "data", "E", "--sync", "--tool", Standin.string(), "--", "--verify"});
    fs::current_path(Before);
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv.back(), "--verify");
    EXPECT_EQ(std::count(Runs[0].Argv.begin(), Runs[0].Argv.end(), "--verify"), 1);
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
