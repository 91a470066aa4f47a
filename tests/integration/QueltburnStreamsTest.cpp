// The command-line host's own standard streams as a shell may leave them: streams the host was
// started without.
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"

#include <gtest/gtest.h>

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

// A burn started with standard streams closed writes its disc and says so with exit status 0: the
// host's own pipes do not take the streams' numbers.
TEST(QueltburnStreams, ABurnWithClosedStandardStreamsWritesItsDisc) {
    if (const std::string Missing = RecorderTest::MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    QueltTest::TempDir Dir;
    const fs::path File = Dir.Write("notes.txt", "notes");
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
