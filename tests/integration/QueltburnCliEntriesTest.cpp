// The command-line host's entries: checked before a burn, and a file named like a switch added to
// the disc as a file.
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

} // namespace
