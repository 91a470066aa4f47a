// The recorder when a write goes wrong: a target file system that fills up, entries that change
// while they are written, and signals in the middle of a write. A failed or stopped run never
// leaves a new disc that readers take for a whole one, nor a scratch file, and never changes the
// earlier sessions of a disc it was continuing.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using namespace RecorderTest;
using namespace std::chrono_literals;
using QueltTest::ReadFile;
using QueltTest::TempDir;

// The target's file system fills up (the file-size limit stands for it): a write error, no new
// disc, no scratch file, and a disc being continued keeps its session.
TEST(RecorderWriteErrors, FullFileSystemIsAWriteError) {
    if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Big = Dir.Path() / "big.bin";
    MakeSparseFile(Big, 8ULL * 1024 * 1024, "big");
    const fs::path Small = Dir.Write("in/small.txt", "small");
    const fs::path Continued = Dir.Path() / "continued.iso";
    ASSERT_EQ(
        RunRecorder(DataDisc("ONE", {}, {Small.string()}), RecorderEnvironment(Continued)).ExitCode,
        0);
    const std::string ContinuedBefore = ReadFile(Continued);
    const struct {
        const char* Case;
        fs::path Disc;
        Strings Options;
    } Rows[] = {
        {"new disc", Dir.Path() / "new.iso", {}},
        {"append", Continued, {"--import", "0"}},
    };
    for (const auto& Row : Rows) {
        // 2 MiB in the shell's units (dash: 512 bytes; bash: 1024): smaller than the 8 MiB file,
        // larger than the one-session disc.
        Strings Argv{"/bin/sh", "-c", R"(ulimit -f 4096; exec "$0" "$@")", RecorderPath};
        const Strings Arguments = DataDisc("FULL", Row.Options, {Big.string()});
        Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
        const auto Run = QueltTest::RunProgram(Argv, RecorderEnvironment(Row.Disc));
        EXPECT_EQ(Run.ExitCode, 7) << Row.Case << "\n" << Run.Out << Run.Err;
        EXPECT_NE(Run.Err.find(Row.Disc.string()), std::string::npos) << Row.Case << Run.Err;
        EXPECT_EQ(ScratchFilesBeside(Row.Disc), Strings{}) << Row.Case;
    }
    EXPECT_FALSE(fs::exists(Dir.Path() / "new.iso"));
    EXPECT_TRUE(ReadFile(Continued) == ContinuedBefore) << "the continued disc changed";
    const auto Read = ExtractWithXorriso(Continued, Dir.Path() / "back");
    ASSERT_EQ(Read.ExitCode, 0) << Read.Err;
    EXPECT_EQ(TreeDifferences(Dir.Path() / "in", Dir.Path() / "back"), Strings{});
}

// An entry that cannot be read any more once the session is laid out and its data is to be read (a
// test hook runs a script at that moment): a source error naming the file, no new disc, and a disc
// being continued left exactly as it was.
TEST(RecorderWriteErrors, EntryChangedDuringTheWriteIsASourceError) {
    TempDir Dir;
    const fs::path Entry = Dir.Write("in/entry.txt", "the entry's content");
    Dir.Write("in/other.txt", "another file");
    const fs::path Continued = Dir.Path() / "continued.iso";
    ASSERT_EQ(RunRecorder(DataDisc("ONE", {}, {(Dir.Path() / "in").string()}),
                          RecorderEnvironment(Continued))
                  .ExitCode,
              0);
    const std::string ContinuedBefore = ReadFile(Continued);
    const struct {
        const char* Case;
        std::string Change; // shell commands run on the entry's path, "$1"
    } Changes[] = {
        {"vanishes", R"(rm "$1")"},
        {"becomes a folder", R"(rm "$1" && mkdir "$1")"},
        {"becomes a dangling link", R"(rm "$1" && ln -s nowhere "$1")"},
        // libisofs would pad a file that shrank with zeros, and write one that grew cut short.
        {"shrinks", R"(truncate -s 3 "$1")"},
        {"grows", R"(echo more >> "$1")"},
    };
    const struct {
        const char* Case;
        fs::path Disc;
        Strings Options;
    } Discs[] = {
        {"new disc", Dir.Path() / "new.iso", {}},
        {"append", Continued, {"--import", "0"}},
    };
    for (const auto& Change : Changes) {
        for (const auto& Disc : Discs) {
            const std::string Case = std::string(Change.Case) + ", " + Disc.Case;
            fs::remove_all(Entry);
            Dir.Write("in/entry.txt", "the entry's content");
            const fs::path Hook = Dir.Write("hook.sh", "#!/bin/sh\nset -- '" + Entry.string() +
                                                           "'\n" + Change.Change + "\n");
            fs::permissions(Hook, fs::perms::owner_all);
            const auto Run =
                RunRecorder(DataDisc("CHANGED", Disc.Options, {(Dir.Path() / "in").string()}),
                            RecorderEnvironment(
                                Disc.Disc, {"QUELT_RECORDER_TEST_BEFORE_WRITE=" + Hook.string()}));
            EXPECT_EQ(Run.ExitCode, 6) << Case << "\n" << Run.Out << Run.Err;
            EXPECT_NE(Run.Err.find(Entry.string()), std::string::npos) << Case << Run.Err;
            EXPECT_EQ(ScratchFilesBeside(Disc.Disc), Strings{}) << Case;
        }
        EXPECT_FALSE(fs::exists(Dir.Path() / "new.iso")) << Change.Case;
        EXPECT_TRUE(ReadFile(Continued) == ContinuedBefore)
            << Change.Case << ": the continued disc changed";
    }
}

// A signal in the middle of writing: the source is large enough (200 MB) that the write takes
// about a second, and the signal comes once the recorder says it is writing.
class RecorderSignals : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
            GTEST_SKIP() << "reader programs missing: " << Missing;
        }
        MakeSparseFile(FBig, 200ULL * 1000 * 1000, "large");
    }

    // Writes a first session from in/ onto the disc.
    void WriteFirstSession() const {
        FDir.Write("in/first.txt", "the first session");
        FDir.Write("in/folder/second.txt", "also in the first session");
        const auto Run = RunRecorder(DataDisc("ONE", {},
                                              {(FDir.Path() / "in/first.txt").string(),
                                               (FDir.Path() / "in/folder").string()}),
                                     RecorderEnvironment(FDisc));
        ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
    }

    void ExpectFirstSessionIntact(const char* Name) const {
        const fs::path Out = FDir.Path() / Name;
        const auto Read = ExtractWithXorriso(FDisc, Out);
        ASSERT_EQ(Read.ExitCode, 0) << Read.Err;
        EXPECT_EQ(TreeDifferences(FDir.Path() / "in", Out), Strings{});
    }

    Strings BigWrite(const Strings& Options) const {
        Strings Argv{RecorderPath};
        const Strings Arguments = DataDisc("BIG", Options, {FBig.string()});
        Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
        return Argv;
    }

    TempDir FDir;
    fs::path FBig = FDir.Path() / "big.bin";
    fs::path FDisc = FDir.Path() / "disc.iso";
};

TEST_F(RecorderSignals, TermDuringAFirstSessionLeavesNoDisc) {
    WatchedProgram Recorder(BigWrite({}), RecorderEnvironment(FDisc));
    ASSERT_TRUE(Recorder.WaitForLine("progress writing", 30s));
    Recorder.Signal(SIGTERM);
    const auto Outcome = Recorder.Finish();
    EXPECT_EQ(Outcome.ExitCode, 7) << Outcome.Out << Outcome.Err;
    EXPECT_NE(Outcome.Err.find("signal"), std::string::npos) << Outcome.Err;
    EXPECT_FALSE(fs::exists(FDisc));
    EXPECT_EQ(ScratchFilesBeside(FDisc), Strings{});
}

TEST_F(RecorderSignals, TermDuringAnAppendKeepsTheEarlierSession) {
    WriteFirstSession();
    const std::string Before = ReadFile(FDisc);
    WatchedProgram Recorder(BigWrite({"--import", "0"}), RecorderEnvironment(FDisc));
    ASSERT_TRUE(Recorder.WaitForLine("progress writing", 30s));
    Recorder.Signal(SIGTERM);
    const auto Outcome = Recorder.Finish();
    EXPECT_EQ(Outcome.ExitCode, 7) << Outcome.Out << Outcome.Err;
    EXPECT_EQ(ScratchFilesBeside(FDisc), Strings{});
    EXPECT_TRUE(ReadFile(FDisc) == Before) << "the disc is not as it was before the append";
    ExpectFirstSessionIntact("after-term");
}

// The recorder and its worker killed together leave the disc grown and their scratch beside it:
// the next question about the disc puts it back as it was and removes the scratch, saying so.
TEST_F(RecorderSignals, KillDuringAnAppendIsUndoneByTheNextQuestion) {
    WriteFirstSession();
    const std::string Before = ReadFile(FDisc);
    WatchedProgram Recorder(BigWrite({"--import", "0"}), RecorderEnvironment(FDisc));
    ASSERT_TRUE(Recorder.WaitForLine("progress writing", 30s));
    const std::vector<long> Workers = ChildrenOf(Recorder.Pid());
    ASSERT_EQ(Workers.size(), 1U);
    Recorder.Signal(SIGKILL);
    const auto Outcome = Recorder.Finish();
    EXPECT_EQ(Outcome.Signal, SIGKILL);
    const auto Until = std::chrono::steady_clock::now() + 10s;
    while (!HasEnded(Workers[0]) && std::chrono::steady_clock::now() < Until) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(HasEnded(Workers[0])) << "worker " << Workers[0] << " still runs";
    ExpectFirstSessionIntact("after-kill");
    const auto Asked = RunRecorder({"--disc_info", "--drivename", "E"}, RecorderEnvironment(FDisc));
    EXPECT_EQ(Asked.ExitCode, 0) << Asked.Err;
    EXPECT_NE(Asked.Out.find("put the disc back as it was before a run that was killed (process " +
                             std::to_string(Recorder.Pid()) + ")"),
              std::string::npos)
        << Asked.Out;
    EXPECT_TRUE(ReadFile(FDisc) == Before) << "the disc is not as it was before the killed append";
    EXPECT_EQ(ScratchFilesBeside(FDisc), Strings{});
}

} // namespace
