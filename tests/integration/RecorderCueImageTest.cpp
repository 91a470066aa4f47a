// The recorder as a real process writing BIN/CUE images: the same bytes on the virtual disc with a
// sheet naming them, and sheets that do not describe their data, or are no file, refused.
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

TEST(RecorderCueImage, VirtualDiscGetsTheSameBytesAndASheetNamingIt) {
    TempDir Dir;
    const std::string Data = RawSectors(2352, 300, 'd');
    const std::string Audio = RawSectors(2352, 200, 'a');
    const std::string Second = RawSectors(2352, 100, 's');
    Dir.Write("in/one.bin", Data + Audio);
    Dir.Write("in/two.bin", Second);
    const fs::path Single = Dir.Write("in/single.cue", "FILE \"one.bin\" BINARY\n"
                                                       "  TRACK 01 MODE1/2352\n"
                                                       "    INDEX 01 00:00:00\n"
                                                       "  TRACK 02 AUDIO\n"
                                                       "    PREGAP 00:02:00\n"
                                                       "    INDEX 01 00:04:00\n");
    // Two data files become one: the second file's positions move by the first one's 500
    // sectors (6.66 seconds).
    const fs::path Split = Dir.Write("in/split.cue", "TITLE \"Joined\"\n"
                                                     "FILE \"one.bin\" BINARY\n"
                                                     "  TRACK 01 MODE1/2352\n"
                                                     "    INDEX 01 00:00:00\n"
                                                     "  TRACK 02 AUDIO\n"
                                                     "    INDEX 01 00:04:00\n"
                                                     "FILE \"two.bin\" BINARY\n"
                                                     "  TRACK 03 AUDIO\n"
                                                     "    INDEX 00 00:00:00\n"
                                                     "    INDEX 01 00:00:50\n");
    const struct {
        fs::path Sheet;
        std::string Bytes;
        std::string Expected;
    } Rows[] = {
        {Single, Data + Audio,
         "FILE \"copy.img\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:04:00\n"},
        {Split, Data + Audio + Second,
         "TITLE \"Joined\"\nFILE \"copy.img\" BINARY\n  TRACK 01 MODE1/2352\n"
         "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n  TRACK 03 AUDIO\n"
         "    INDEX 00 00:06:50\n    INDEX 01 00:07:25\n"},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / "out/copy.img";
        fs::create_directories(Disc.parent_path());
        const auto Run =
            RunRecorder(ImageBurn(Row.Sheet, {"--force_erase_disk"}), RecorderEnvironment(Disc));
        ASSERT_EQ(Run.ExitCode, 0) << Row.Sheet << Run.Err;
        EXPECT_TRUE(ReadFile(Disc) == Row.Bytes) << Row.Sheet;
        EXPECT_EQ(ReadFile(Dir.Path() / "out/copy.cue"), Row.Expected) << Row.Sheet;
        EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
    }
}

TEST(RecorderCueImage, SheetsThatDoNotDescribeTheirDataAreSourceErrors) {
    TempDir Dir;
    Dir.Write("in/whole.bin", RawSectors(2352, 10, 'w'));
    Dir.Write("in/odd.bin", std::string(1000, 'o'));
    Dir.Write("in/long.bin", RawSectors(2352, 200, 'l'));
    const std::string Track = "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n";
    const struct {
        const char* Case;
        std::string Sheet;
        std::string Named;
    } Rows[] = {
        {"a missing data file", "FILE \"missing.bin\" BINARY\n" + Track, "missing.bin"},
        {"not whole sectors", "FILE \"odd.bin\" BINARY\n" + Track, "odd.bin"},
        {"an unknown mode", "FILE \"whole.bin\" BINARY\n  TRACK 01 MODE3/2352\n", "MODE3"},
        {"a sound file", "FILE \"whole.bin\" WAVE\n" + Track, "BINARY"},
        {"no INDEX 01", "FILE \"whole.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n",
         "INDEX 01"},
        {"a position past the data",
         "FILE \"whole.bin\" BINARY\n" + Track + "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n",
         "whole.bin"},
        {"no track", "FILE \"whole.bin\" BINARY\n", "no track"},
        {"an index past its file's end",
         "FILE \"whole.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n"
         "    INDEX 01 00:01:00\n",
         "past the file's end"},
        // Minutes that overflow a sector count once multiplied (to 84 sectors, in the data).
        {"a time past any disc",
         "FILE \"long.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 209063099502041585:00:00\n",
         "line 3"},
        {"a FIFO as data file", "FILE \"fifo.bin\" BINARY\n" + Track, "fifo.bin"},
    };
    ASSERT_EQ(::mkfifo((Dir.Path() / "in/fifo.bin").c_str(), 0600), 0);
    for (const auto& Row : Rows) {
        const fs::path Sheet = Dir.Write("in/sheet.cue", Row.Sheet);
        const fs::path Disc = Dir.Path() / "copy.img";
        const auto Run = RunRecorder(ImageBurn(Sheet), RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 6) << Row.Case << Run.Err;
        EXPECT_NE(Run.Err.find(Sheet.string()), std::string::npos) << Row.Case << Run.Err;
        EXPECT_NE(Run.Err.find(Row.Named), std::string::npos) << Row.Case << Run.Err;
        ExpectNothingWritten(Disc, Row.Case);
    }
}

// A sheet that is no regular file is refused at once: opened plainly, a FIFO would wait for a
// writer and a device give bytes without end. A run that has not ended in 20 s has hung.
TEST(RecorderCueImage, SheetThatIsNoFileIsASourceErrorAtOnce) {
    TempDir Dir;
    ASSERT_EQ(::mkfifo((Dir.Path() / "fifo.cue").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", Dir.Path() / "device.cue");
    for (const char* Name : {"fifo.cue", "device.cue"}) {
        const fs::path Disc = Dir.Path() / "copy.img";
        Strings Argv{"/usr/bin/timeout", "20", RecorderPath};
        const Strings Arguments = ImageBurn(Dir.Path() / Name);
        Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
        const auto Run = QueltTest::RunProgram(Argv, RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 6) << Name << Run.Err;
        EXPECT_NE(Run.Err.find("not a regular file"), std::string::npos) << Name << Run.Err;
        ExpectNothingWritten(Disc, Name);
    }
}

TEST(RecorderCueImage, ImageLargerThanACdDoesNotFit) {
    TempDir Dir;
    MakeSparseFile(Dir.Path() / "huge.bin", std::uintmax_t{360000} * 2352, "");
    const fs::path Sheet = Dir.Write("huge.cue", "FILE \"huge.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                                 "    INDEX 01 00:00:00\n");
    const fs::path Disc = Dir.Path() / "copy.img";
    const auto Run = RunRecorder(ImageBurn(Sheet), RecorderEnvironment(Disc));
    EXPECT_EQ(Run.ExitCode, 5) << Run.Err;
    ExpectNothingWritten(Disc, "too large");
}

} // namespace
