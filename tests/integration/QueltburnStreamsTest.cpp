// The command-line host's own standard streams as a shell may leave them: output that cannot be
// written (a full disk, /dev/full) and streams the host was started without.
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using QueltTest::Cli;
using Strings = std::vector<std::string>;

// queltburn with Args, started by a shell that first applies Redirections to its streams.
QueltTest::ProcessOutcome RunRedirected(const std::string& Redirections, const Strings& Args,
                                        const fs::path& Disc, const fs::path& Folder) {
    Strings Argv{"/bin/sh", "-c", "exec \"$0\" \"$@\" " + Redirections, Cli};
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    return QueltTest::RunProgram(Argv,
                                 RecorderTest::RecorderEnvironment(
                                     Disc, {"QUELT_REGISTRY=" + (Folder / "none.reg").string()}));
}

// True when the disc holds File by its name, with its content, as xorriso reads it back.
bool DiscHolds(const fs::path& Disc, const fs::path& File, const fs::path& Out) {
    return RecorderTest::ExtractWithXorriso(Disc, Out).ExitCode == 0 &&
           QueltTest::ReadFile(Out / File.filename()) == QueltTest::ReadFile(File);
}

// Every command whose output is lost fails, says so once on standard error, and keeps its own
// failure status when it had one; a burn still writes its disc.
TEST(QueltburnStreams, OutputThatCannotBeWrittenIsAFailure) {
    if (const std::string Missing = RecorderTest::MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    QueltTest::TempDir Dir;
    const std::string File = Dir.Write("notes.txt", "notes").string();
    const fs::path Written = Dir.Path() / "written.iso";
    ASSERT_EQ(RecorderTest::RunRecorder(RecorderTest::DataDisc("OLD", {}, {File}),
                                        RecorderTest::RecorderEnvironment(Written))
                  .ExitCode,
              0);
    const std::string Tool = "--tool=" + RecorderTest::RecorderPath;
    const struct {
        Strings Args;
        fs::path Disc; // drive E's
        int Exit;
    } Rows[] = {
        {{"--help"}, Written, 3},
        {{"--version"}, Written, 3},
        {{"info", "--help"}, Written, 3},
        {{"settings", "--label", "X"}, Written, 3},
        {{"drives", Tool}, Written, 3},
        {{"info", "E", Tool}, Written, 3},
        {{"info", "E", "--json", Tool}, Written, 3},
        {{"info", "Q", Tool}, Written, 1},
        {{"data", "E", File, "--estimate", Tool}, Dir.Path() / "estimated.iso", 3},
        {{"data", "E", File, "--print-command", Tool}, Dir.Path() / "printed.iso", 3},
        {{"data", "E", File, "--progress", Tool}, Dir.Path() / "burnt.iso", 3},
        {{"eject", "E", Tool}, Dir.Path() / "ejected.iso", 3},
    };
    const std::string Said =
        "queltburn: cannot write to standard output: " + std::string(std::strerror(ENOSPC));
    for (const auto& Row : Rows) {
        SCOPED_TRACE(testing::PrintToString(Row.Args));
        const auto Outcome = RunRedirected(">/dev/full", Row.Args, Row.Disc, Dir.Path());
        EXPECT_EQ(Outcome.ExitCode, Row.Exit) << Outcome.Err;
        EXPECT_EQ(Outcome.Err.rfind(Said, 0), 0U) << Outcome.Err;
        EXPECT_EQ(std::count(Outcome.Err.begin(), Outcome.Err.end(), '\n'), 1) << Outcome.Err;
    }
    EXPECT_TRUE(DiscHolds(Dir.Path() / "burnt.iso", File, Dir.Path() / "out"));
    EXPECT_FALSE(fs::exists(Dir.Path() / "printed.iso"));
}

// A burn started with standard streams closed writes its disc and says so with exit status 0: the
// host's own pipes do not take the streams' numbers.
TEST(QueltburnStreams, ABurnWithClosedStandardStreamsWritesItsDisc) {
    if (const std::string Missing = RecorderTest::MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    QueltTest::TempDir Dir;
    const fs::path File = Dir.Write("notes.txt", "notes");
    // Closed output is output the caller does not want, not output that failed.
    const std::string Rows[] = {"<&- >&-", "<&- >&- 2>&-", "</dev/null >&-"};
    int Case = 0;
    for (const std::string& Redirections : Rows) {
        SCOPED_TRACE(Redirections);
        const fs::path Disc = Dir.Path() / ("disc" + std::to_string(++Case) + ".iso");
        const auto Outcome = RunRedirected(
            Redirections, {"data", "E", File.string(), "--tool", RecorderTest::RecorderPath}, Disc,
            Dir.Path());
        EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
        EXPECT_TRUE(DiscHolds(Disc, File, Dir.Path() / ("out" + std::to_string(Case))));
    }
}

} // namespace
