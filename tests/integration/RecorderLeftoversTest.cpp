// What a run leaves when it fails, is stopped or is killed: the disc as it was before (a full erase
// finished instead: half a disc is none), nothing beside it, and what a killed run left undone
// undone by the next run or question on that disc.
#include "RecorderSupport.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace RecorderTest;
using namespace std::chrono_literals;
using QueltTest::ReadFile;
using QueltTest::TempDir;

std::string RandomBytes(std::size_t Size) {
    std::mt19937 Generator(29);
    std::string Bytes(Size, '\0');
    for (char& Byte : Bytes) {
        Byte = static_cast<char>(Generator());
    }
    return Bytes;
}

// A disc with one session holding a file of Size random bytes.
fs::path DiscOfRandomBytes(const TempDir& Dir, std::size_t Size) {
    const fs::path Disc = Dir.Path() / "disc.iso";
    const fs::path Entry = Dir.Write("random.bin", RandomBytes(Size));
    const auto Run = RunRecorder(DataDisc("OLD", {}, {Entry.string()}), RecorderEnvironment(Disc));
    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    return Disc;
}

// The hook program that sends Signal to the recorder (its parent, the worker's parent) and then
// waits a little to be ended with it.
fs::path SignalTheRecorderHook(const TempDir& Dir, const std::string& Signal) {
    const fs::path Hook = Dir.Write("stop-" + Signal + ".sh",
                                    "#!/bin/sh\nexec >/dev/null 2>&1\nkill -" + Signal +
                                        " \"$(cut -d' ' -f4 /proc/$PPID/stat)\"\nsleep 2\n");
    fs::permissions(Hook, fs::perms::owner_all);
    return Hook;
}

QueltTest::ProcessOutcome AskDiscInfo(const fs::path& Disc) {
    return RunRecorder({"--disc_info", "--drivename", "E"}, RecorderEnvironment(Disc));
}

// A full erase stopped once its first MiB is zeros: the recorder that was asked to stop finishes
// it, and after one that was killed the next question does; either way the disc is blank, never
// a file every command refuses as no disc.
TEST(RecorderLeftovers, StoppedFullEraseLeavesABlankDisc) {
    for (const std::string Signal : {"TERM", "KILL"}) {
        SCOPED_TRACE(Signal);
        TempDir Dir;
        const fs::path Disc = DiscOfRandomBytes(Dir, 3U << 20U);
        const auto Erase =
            RunRecorder({"--erase", "--entire", "--drivename", "E"},
                        RecorderEnvironment(Disc, {"QUELT_RECORDER_TEST_BEFORE_WRITE=" +
                                                   SignalTheRecorderHook(Dir, Signal).string()}));
        if (Signal == "TERM") {
            EXPECT_EQ(Erase.ExitCode, 7) << Erase.Out << Erase.Err;
            EXPECT_NE(Erase.Out.find("the disc is blank"), std::string::npos) << Erase.Out;
        } else {
            EXPECT_EQ(Erase.Signal, SIGKILL);
            EXPECT_GT(fs::file_size(Disc), 0U) << "the killed erase was finished by nobody";
            const auto Asked = AskDiscInfo(Disc);
            EXPECT_EQ(Asked.ExitCode, 0) << Asked.Err;
            EXPECT_NE(Asked.Out.find("finished the full erase"), std::string::npos) << Asked.Out;
            EXPECT_NE(Asked.Out.find("state=blank"), std::string::npos) << Asked.Out;
        }
        EXPECT_EQ(fs::file_size(Disc), 0U);
        EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
    }
}

// An image holding data after its volume (as genisoimage's output with something appended): a
// new session starts at the volume's end and overwrites it, so a failed append puts back every
// byte it overwrote, not only the head and the last MiB.
TEST(RecorderLeftovers, FailedAppendPutsBackEveryByteItOverwrote) {
    if (const std::string Missing = MissingPrograms({"genisoimage"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    Dir.Write("in/first.bin", RandomBytes(1U << 20U));
    const fs::path Disc = Dir.Path() / "disc.iso";
    ASSERT_EQ(RunReader({"genisoimage", "-quiet", "-R", "-J", "-o", Disc.string(),
                         (Dir.Path() / "in").string()})
                  .ExitCode,
              0);
    {
        std::ofstream Tail(Disc, std::ios::binary | std::ios::app);
        Tail << RandomBytes(5U << 20U);
    }
    const std::string Before = ReadFile(Disc);
    const fs::path Entry = Dir.Write("new.txt", "CORRUPT-THIS in the new session");
    const auto Run =
        RunRecorder(DataDisc("NEW", {"--import", "0", "--verify"}, {Entry.string()}),
                    RecorderEnvironment(Disc, {"QUELT_RECORDER_TEST_CORRUPT=CORRUPT-THIS"}));
    EXPECT_EQ(Run.ExitCode, 8) << Run.Err;
    EXPECT_TRUE(ReadFile(Disc) == Before) << "the disc is not as it was before the append";
}

// A file-size limit below the disc's size: the append's write is a write error (not a signal that
// ends the recorder while it puts the disc back), and the disc is put back within that limit.
TEST(RecorderLeftovers, FileSizeLimitIsAWriteErrorAndTheDiscIsPutBack) {
    if (const std::string Missing = MissingPrograms({"prlimit"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Disc = DiscOfRandomBytes(Dir, 6U << 20U);
    const std::string Before = ReadFile(Disc);
    const fs::path Big = Dir.Path() / "big.bin";
    MakeSparseFile(Big, 50U << 20U, "big");
    Strings Argv{"prlimit", "--fsize=" + std::to_string(Before.size() - (1U << 20U)), RecorderPath};
    const Strings Arguments = DataDisc("BIG", {"--import", "0"}, {Big.string()});
    Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
    WatchedProgram Recorder(Argv, RecorderEnvironment(Disc));
    const auto Outcome = Recorder.Finish();
    EXPECT_EQ(Outcome.ExitCode, 7) << Outcome.Err;
    EXPECT_TRUE(ReadFile(Disc) == Before) << "the disc is not as it was before the append";
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
}

// A limit on memory that leaves no room for the write's threads or buffers ends the run within
// seconds saying what ran out (never a wait for ever, never a word about the disc), and with room
// enough the disc is written.
TEST(RecorderLeftovers, MemoryLimitEndsTheRunSayingWhatRanOut) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' runtime reserves more address space than any limit here";
#endif
    if (const std::string Missing = MissingPrograms({"prlimit", "timeout"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Entry = Dir.Write("in/a.txt", "a");
    bool Written = false;
    for (const int Kilobytes : {30000, 40000, 50000, 60000, 70000, 100000, 200000}) {
        SCOPED_TRACE(Kilobytes);
        const fs::path Disc = Dir.Path() / ("disc-" + std::to_string(Kilobytes) + ".iso");
        Strings Argv{"timeout",   "-s",      "KILL",
                     "60",        "prlimit", "--as=" + std::to_string(Kilobytes * 1024),
                     RecorderPath};
        const Strings Arguments = DataDisc("L", {}, {(Dir.Path() / "in").string()});
        Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
        WatchedProgram Recorder(Argv, RecorderEnvironment(Disc));
        const auto Outcome = Recorder.Finish();
        if (Outcome.ExitCode == 0) {
            Written = true;
            continue;
        }
        EXPECT_EQ(Outcome.ExitCode, 7) << Outcome.Out << Outcome.Err;
        EXPECT_TRUE(Outcome.Err.find("out of memory") != std::string::npos ||
                    Outcome.Err.find("too many") != std::string::npos)
            << Outcome.Err;
        // One failure line, the run's own and the last: a worker whose failure escaped it never
        // goes on as the recorder.
        EXPECT_EQ(LinesStartingWith(Outcome.Out, "failure ").size(), 1U) << Outcome.Out;
        EXPECT_TRUE(LastLine(Outcome.Out).starts_with("failure ")) << Outcome.Out;
        EXPECT_FALSE(fs::exists(Disc));
        EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
    }
    EXPECT_TRUE(Written) << "not even the largest limit left room for a write";
}

// A limit on open files too low for any run is said at once, before a step fails for it with a
// reason about the disc ("not a disc") or its converters.
TEST(RecorderLeftovers, DescriptorLimitIsSaidFirst) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' runtime needs free descriptors itself";
#endif
    if (const std::string Missing = MissingPrograms({"prlimit"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Disc = DiscOfRandomBytes(Dir, 1000);
    const std::string Before = ReadFile(Disc);
    for (const int Limit : {10, 14}) {
        Strings Argv{"prlimit", "--nofile=" + std::to_string(Limit), RecorderPath};
        const Strings Burn =
            DataDisc("L", {"--import", "0"}, {(Dir.Path() / "random.bin").string()});
        Argv.insert(Argv.end(), Burn.begin(), Burn.end());
        WatchedProgram Recorder(Argv, RecorderEnvironment(Disc));
        const auto Outcome = Recorder.Finish();
        EXPECT_EQ(Outcome.ExitCode, 7) << Limit << Outcome.Err;
        EXPECT_NE(Outcome.Err.find("too many open files"), std::string::npos) << Outcome.Err;
    }
    EXPECT_TRUE(ReadFile(Disc) == Before);
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
}

// An answer that cannot be written (standard output full) is a failure, said in one line.
TEST(RecorderLeftovers, AnswerThatCannotBeWrittenIsAFailure) {
    TempDir Dir;
    const fs::path Disc = DiscOfRandomBytes(Dir, 1000);
    Strings Estimate{"--estimate"};
    const Strings Burn = DataDisc("L", {"--import", "0"}, {(Dir.Path() / "random.bin").string()});
    Estimate.insert(Estimate.end(), Burn.begin(), Burn.end());
    for (const Strings& Question : {Strings{"--disc_info", "--drivename", "E"}, Estimate}) {
        Strings Argv{"/bin/sh", "-c", R"(exec "$0" "$@" >/dev/full)", RecorderPath};
        Argv.insert(Argv.end(), Question.begin(), Question.end());
        WatchedProgram Asked(Argv, RecorderEnvironment(Disc));
        const auto Outcome = Asked.Finish();
        EXPECT_EQ(Outcome.ExitCode, 7) << Question[0] << Outcome.Err;
        EXPECT_NE(Outcome.Err.find("cannot write the answer"), std::string::npos) << Outcome.Err;
        EXPECT_EQ(Outcome.Err.find('\n'), Outcome.Err.size() - 1) << "one line: " << Outcome.Err;
    }
}

// An estimate stopped while it lays out a large tree leaves nothing anywhere: not beside the disc
// (a question never writes there), not in the temporary folder.
TEST(RecorderLeftovers, InterruptedEstimateLeavesNothing) {
    TempDir Dir;
    for (int Index = 0; Index < 3000; ++Index) {
        Dir.Write("tree/" + std::to_string(Index % 30) + "/" + std::to_string(Index), "x");
    }
    const fs::path Temporary = Dir.MakeDir("tmp");
    const fs::path Disc = DiscOfRandomBytes(Dir, 1000);
    Strings Argv{RecorderPath, "--estimate"};
    const Strings Burn = DataDisc("L", {"--import", "0"}, {(Dir.Path() / "tree").string()});
    Argv.insert(Argv.end(), Burn.begin(), Burn.end());
    for (const auto Wait : {0ms, 50ms, 150ms}) {
        WatchedProgram Asked(Argv, RecorderEnvironment(Disc, {"TMPDIR=" + Temporary.string()}));
        std::this_thread::sleep_for(Wait);
        Asked.Signal(SIGINT);
        (void)Asked.Finish();
        EXPECT_EQ(ScratchFilesBeside(Disc), Strings{}) << Wait.count();
        EXPECT_TRUE(fs::is_empty(Temporary)) << Wait.count();
    }
}

// Burning the folder the disc lies in: neither the disc's own file nor the run's scratch is ever
// an entry of that disc (they change while it is written), in a first session or an append; an
// entry that is the disc itself is left out, said, and alone it is nothing to write.
TEST(RecorderLeftovers, TheDiscsOwnFilesAreNeverOnIt) {
    TempDir Dir;
    Dir.Write("shelf/photo.txt", "a photo");
    const fs::path Disc = Dir.Path() / "shelf/disc.iso";
    for (const Strings& Options : {Strings{}, Strings{"--import", "0"}}) {
        const auto Run = RunRecorder(DataDisc("SHELF", Options, {(Dir.Path() / "shelf").string()}),
                                     RecorderEnvironment(Disc));
        ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
        const auto Listed = RunReader({"xorriso", "-md5", "on", "-indev", Disc.string(), "-find",
                                       "/", "--", "-check_md5", "FAILURE", "--"});
        EXPECT_EQ(Listed.ExitCode, 0) << Listed.Err;
        EXPECT_NE(Listed.Out.find("'/shelf/photo.txt'"), std::string::npos) << Listed.Out;
        EXPECT_EQ(Listed.Out.find("disc.iso"), std::string::npos) << Listed.Out;
    }
    const auto Itself = RunRecorder(DataDisc("SELF", {"--import", "0"}, {Disc.string()}),
                                    RecorderEnvironment(Disc));
    EXPECT_EQ(Itself.ExitCode, 6) << Itself.Err;
    EXPECT_NE(Itself.Out.find("the disc itself"), std::string::npos) << Itself.Out;
    EXPECT_NE(Itself.Err.find("nothing to write"), std::string::npos) << Itself.Err;
}

} // namespace

namespace {

// A run whose recorder has ended while a process of that run still holds the disc (a worker
// being killed with it): the next question waits the moment it takes to go, and is not told the
// disc is in use by a run that no longer exists. A run that is still there is refused at once.
TEST(RecorderLeftovers, ALockLeftByAnEndedRunGoesWithItsLastProcess) {
    TempDir Dir;
    const fs::path Disc = Dir.Write("disc.iso", "");
    const pid_t Taker = ::fork();
    ASSERT_GE(Taker, 0);
    if (Taker == 0) {
        const int Fd = ::open(Disc.c_str(), O_RDWR | O_CLOEXEC);
        if (Fd < 0 || ::flock(Fd, LOCK_EX) != 0) {
            ::_exit(1);
        }
        if (::fork() == 0) {
            ::usleep(300000); // the last process of the run, ending a moment later
        }
        ::_exit(0);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Taker, &Status, 0), Taker);
    ASSERT_EQ(Status, 0);
    const auto Asked = AskDiscInfo(Disc);
    EXPECT_EQ(Asked.ExitCode, 0) << Asked.Err;
    EXPECT_NE(Asked.Out.find("state=blank"), std::string::npos) << Asked.Out;
}

} // namespace
