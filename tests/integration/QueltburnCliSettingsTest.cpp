// The command-line host's settings files: read as form text under the options given, written back
// as form text, and refused as usage errors when they cannot be read.
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
