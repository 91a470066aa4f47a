// The recorder as a real process writing Video CDs and Super Video CDs: the streams read back by
// vcdxrip, bad sources and unfit targets refused before anything is written, a stop that leaves
// nothing behind.
#include "RecorderSupport.hpp"
#include "RecorderVideoSupport.hpp"

#include "QueltBurner.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::TempDir;

TEST(RecorderVideoCd, StreamsComeBackFromTheDiscByteForByte) {
    if (const std::string Missing = MissingPrograms({"vcdimager", "vcdxrip"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    const struct {
        const char* Format;
        Strings Streams;
    } Rows[] = {
        {"--videocd", {Media("vcd.mpg"), Media("vcd.mpg")}},
        {"--svideocd", {Media("svcd.mpg")}},
    };
    for (const auto& Row : Rows) {
        TempDir Dir;
        const fs::path Disc = Dir.Path() / "video.bin";
        const auto Run = RunRecorder(VideoCd(Row.Format, Row.Streams), RecorderEnvironment(Disc));
        ASSERT_EQ(Run.ExitCode, 0) << Row.Format << Run.Err;
        const std::string Sheet = ReadFile(Dir.Path() / "video.cue");
        EXPECT_TRUE(Sheet.starts_with("FILE \"video.bin\" BINARY\n")) << Sheet;
        EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
        const std::vector<fs::path> Ripped =
            RipVideoCd(Dir.Path() / "video.cue", Dir.Path() / "rip");
        ASSERT_EQ(Ripped.size(), Row.Streams.size()) << Row.Format;
        for (std::size_t I = 0; I < Ripped.size(); ++I) {
            EXPECT_TRUE(ReadFile(Ripped[I]) == ReadFile(Row.Streams[I])) << Row.Format << " " << I;
        }
    }
}

// A relative entry whose name starts with "-" is a file, not an option of the authoring program.
TEST(RecorderVideoCd, EntryNamedLikeAnOptionIsAFile) {
    if (const std::string Missing = MissingPrograms({"vcdimager", "vcdxrip"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    fs::copy_file(Media("vcd.mpg"), Dir.Path() / "-v.mpg");
    const fs::path Disc = Dir.Path() / "video.bin";
    Strings Argv{RecorderPath};
    const Strings Arguments = VideoCd("--videocd", {"-v.mpg"});
    Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
    ASSERT_EQ(RunIn(Dir.Path(), Argv, RecorderEnvironment(Disc)), 0);
    const std::vector<fs::path> Ripped = RipVideoCd(Dir.Path() / "video.cue", Dir.Path() / "rip");
    ASSERT_EQ(Ripped.size(), 1U);
    EXPECT_TRUE(ReadFile(Ripped[0]) == ReadFile(Media("vcd.mpg")));
}

TEST(RecorderVideoCd, StreamsOfTheWrongKindAreSourceErrors) {
    TempDir Dir;
    const fs::path Text = Dir.Write("notes.mpg", "not a stream at all");
    const struct {
        const char* Format;
        std::string Stream;
    } Rows[] = {
        {"--videocd", Media("dvd.mpg")}, {"--videocd", Media("svcd.mpg")},
        {"--videocd", Text.string()},    {"--svideocd", Media("vcd.mpg")},
        {"--svideocd", Text.string()},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / "video.bin";
        // The bad stream comes after a good one: no track is written before all are checked.
        const std::string Good =
            std::string(Row.Format) == "--videocd" ? Media("vcd.mpg") : Media("svcd.mpg");
        const auto Run =
            RunRecorder(VideoCd(Row.Format, {Good, Row.Stream}), RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 6) << Row.Format << " " << Row.Stream << Run.Err;
        EXPECT_NE(Run.Err.find(Row.Stream), std::string::npos) << Run.Err;
        ExpectNothingWritten(Disc, Row.Stream);
    }
}

TEST(RecorderVideoCd, DiscThatIsNotBlankNeedsAnErase) {
    if (const std::string Missing = MissingPrograms({"vcdimager"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "video.bin";
    const fs::path Sheet = Dir.Path() / "video.cue";
    ASSERT_EQ(
        RunRecorder(VideoCd("--videocd", {Media("vcd.mpg")}), RecorderEnvironment(Disc)).ExitCode,
        0);
    const std::string Before = ReadFile(Disc);
    const std::string SheetBefore = ReadFile(Sheet);
    const struct {
        const char* Case;
        Strings Arguments;
        int Exit;
    } Rows[] = {
        {"no erase", VideoCd("--svideocd", {Media("svcd.mpg")}), 4},
        // A data disc without an erase does not overwrite it either.
        {"data disc", DataDisc("D", {}, {Media("vcd.mpg")}), 4},
        {"data disc continued", DataDisc("D", {"--import", "0"}, {Media("vcd.mpg")}), 4},
    };
    for (const auto& Row : Rows) {
        const auto Run = RunRecorder(Row.Arguments, RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, Row.Exit) << Row.Case << Run.Err;
        EXPECT_TRUE(ReadFile(Disc) == Before) << Row.Case;
        EXPECT_EQ(ReadFile(Sheet), SheetBefore) << Row.Case;
        EXPECT_EQ(ScratchFilesBeside(Disc), Strings{}) << Row.Case;
    }
    const auto Erased =
        RunRecorder(VideoCd("--svideocd", {Media("svcd.mpg")}, {"--force_erase_disk"}),
                    RecorderEnvironment(Disc));
    EXPECT_EQ(Erased.ExitCode, 0) << Erased.Err;
    EXPECT_FALSE(ReadFile(Disc) == Before);
}

TEST(RecorderVideoCd, TargetAndFitAreCheckedBeforeAnythingIsWritten) {
    TempDir Dir;
    // Starts like an MPEG-1 system stream; far more than a CD holds, and stored as a hole.
    const fs::path Huge = Dir.Path() / "huge.mpg";
    MakeSparseFile(Huge, std::uintmax_t{900} << 20U, std::string("\x00\x00\x01\xBA\x21", 5));
    const struct {
        const char* Case;
        fs::path Disc;
        std::string Stream;
        int Exit;
    } Rows[] = {
        {"a target named .cue", Dir.Path() / "video.cue", Media("vcd.mpg"), 3},
        {"a target whose name a sheet cannot carry", Dir.Path() / "say \"hi\".bin",
         Media("vcd.mpg"), 3},
        {"too long for a CD", Dir.Path() / "video.bin", Huge.string(), 5},
    };
    for (const auto& Row : Rows) {
        const auto Run =
            RunRecorder(VideoCd("--videocd", {Row.Stream}), RecorderEnvironment(Row.Disc));
        EXPECT_EQ(Run.ExitCode, Row.Exit) << Row.Case << Run.Err;
        EXPECT_NE(Run.Err.find(Row.Exit == 5 ? "a CD holds" : Row.Disc.string()), std::string::npos)
            << Run.Err;
        EXPECT_FALSE(fs::exists(Row.Disc)) << Row.Case;
        EXPECT_EQ(ScratchFilesBeside(Row.Disc), Strings{}) << Row.Case;
    }
}

// A stop after the authoring, before the disc is moved into place: no disc, no scratch left.
TEST(RecorderVideoCd, StopLeavesNoScratch) {
    if (const std::string Missing = MissingPrograms({"vcdimager", "sleep"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "video.bin";
    const fs::path Started = Dir.Path() / "hook-started";
    const fs::path Hook =
        Dir.Write("hook.sh", "#!/bin/sh\ntouch '" + Started.string() + "'\nexec sleep 30\n", true);
    WatchedProgram Recorder(
        [&] {
            Strings Argv{RecorderPath};
            const Strings Arguments = VideoCd("--videocd", {Media("vcd.mpg")});
            Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
            return Argv;
        }(),
        RecorderEnvironment(Disc, {"QUELT_RECORDER_TEST_BEFORE_WRITE=" + Hook.string()}));
    ASSERT_TRUE(WaitForFile(Started, std::chrono::seconds(20)));
    EXPECT_FALSE(ScratchFilesBeside(Disc).empty()) << "the authored image is in the scratch";
    const auto Start = std::chrono::steady_clock::now();
    Recorder.Signal(SIGTERM);
    const auto Outcome = Recorder.Finish();
    EXPECT_EQ(Outcome.ExitCode, 7) << Outcome.Err;
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10));
    ExpectNothingWritten(Disc, "stopped");
}

} // namespace
