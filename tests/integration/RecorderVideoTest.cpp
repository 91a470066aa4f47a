// The recorder as a real process writing Video CDs, Super Video CDs, DVD-Video and BIN/CUE images:
// the streams and files read back by vcdxrip, 7z and isoinfo; bad sources refused before anything
// is written; the component driving the recorder for each kind.
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

// Options are the switches before the entries (--speedtest, --close_session), After those after
// them (--force_erase_disk).
Strings VideoCd(const std::string& Format, const Strings& Entries, const Strings& After = {},
                const Strings& Options = {}) {
    Strings Arguments{"--write", "--drivename", "E",       "--real",
                      Format,    "--recursive", "--speed", "4"};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), Entries.begin(), Entries.end());
    Arguments.insert(Arguments.end(), After.begin(), After.end());
    return Arguments;
}

Strings DvdVideo(const std::string& Label, const Strings& Options, const Strings& Entries,
                 const Strings& After = {}) {
    Strings Arguments{"--write", "--drivename", "E",     "--real", "--recursive",
                      "--speed", "4",           "--iso", Label};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), {"--dvd", "--create_iso_fs", "--create_udf_fs",
                                       "--iso-no-joliet", "--dvdvideo_realloc"});
    Arguments.insert(Arguments.end(), Entries.begin(), Entries.end());
    Arguments.insert(Arguments.end(), After.begin(), After.end());
    return Arguments;
}

Strings ImageBurn(const fs::path& Image, const Strings& After = {}) {
    Strings Arguments{"--write", "--drivename",  "E",       "--real",
                      "--image", Image.string(), "--speed", "4"};
    Arguments.insert(Arguments.end(), After.begin(), After.end());
    return Arguments;
}

// Nothing a failed run could have left: no disc, no sheet, no scratch.
void ExpectNothingWritten(const fs::path& Disc, const std::string& Case) {
    EXPECT_FALSE(fs::exists(Disc)) << Case;
    EXPECT_FALSE(fs::exists(fs::path(Disc).replace_extension(".cue"))) << Case;
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{}) << Case;
}

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

TEST(RecorderDvdVideo, UdfSideGivesTheFilesBackWithTheLabelAndNoJoliet) {
    if (const std::string Missing =
            MissingPrograms({"genisoimage", "dvdauthor", "7z", "isoinfo", "xorriso"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    const fs::path Disc = Dir.Path() / "movie.iso";
    const auto Run =
        RunRecorder(DvdVideo("MY_MOVIE", {"--verify"},
                             {(Root / "VIDEO_TS").string(), (Root / "AUDIO_TS").string()}),
                    RecorderEnvironment(Disc));
    ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
    EXPECT_NE(Run.Out.find("progress verifying 100.0"), std::string::npos) << Run.Out;
    const auto Read = ExtractWith7z(Disc, Dir.Path() / "back");
    ASSERT_EQ(Read.ExitCode, 0) << Read.Out << Read.Err;
    EXPECT_EQ(TreeDifferences(Root, Dir.Path() / "back"), Strings{});
    EXPECT_EQ(VolumeIdOf(Disc), "MY_MOVIE");
    const auto Info = RunReader({"isoinfo", "-d", "-i", Disc.string()});
    EXPECT_NE(Info.Out.find("NO Joliet present"), std::string::npos) << Info.Out;
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
}

TEST(RecorderDvdVideo, FoldersThatAreNoDvdAreSourceErrors) {
    if (const std::string Missing = MissingPrograms({"genisoimage", "dvdauthor"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    const fs::path Empty = Dir.MakeDir("empty/VIDEO_TS");
    const fs::path Other = Dir.Write("notes.txt", "not part of a DVD");
    // A video manager cut short: genisoimage cannot read the DVD's structures.
    const fs::path Broken = Dir.Path() / "broken";
    fs::copy(Root, Broken, fs::copy_options::recursive);
    fs::resize_file(Broken / "VIDEO_TS/VIDEO_TS.IFO", 100);
    const struct {
        const char* Case;
        Strings Entries;
        std::string Named;
    } Rows[] = {
        {"no VIDEO_TS.IFO", {Empty.string()}, Empty.string()},
        {"no VIDEO_TS", {(Root / "AUDIO_TS").string()}, "VIDEO_TS"},
        {"another entry", {(Root / "VIDEO_TS").string(), Other.string()}, Other.string()},
        {"a broken title set", {(Broken / "VIDEO_TS").string()}, "genisoimage"},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / "movie.iso";
        const auto Run = RunRecorder(DvdVideo("M", {}, Row.Entries), RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 6) << Row.Case << Run.Err;
        EXPECT_NE(Run.Err.find(Row.Named), std::string::npos) << Run.Err;
        ExpectNothingWritten(Disc, Row.Case);
    }
}

// A DVD-Video disc is closed: a data disc does not continue it; an erase first makes it one.
TEST(RecorderDvdVideo, ClosedDiscIsNotContinued) {
    if (const std::string Missing = MissingPrograms({"genisoimage", "dvdauthor", "xorriso"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    const fs::path Disc = Dir.Path() / "movie.iso";
    ASSERT_EQ(
        RunRecorder(DvdVideo("M", {}, {(Root / "VIDEO_TS").string()}), RecorderEnvironment(Disc))
            .ExitCode,
        0);
    const std::string Before = ReadFile(Disc);
    const fs::path File = Dir.Write("more.txt", "appended");
    for (const char* Session : {"0", "1"}) {
        const auto Append = RunRecorder(DataDisc("D", {"--import", Session}, {File.string()}),
                                        RecorderEnvironment(Disc));
        EXPECT_EQ(Append.ExitCode, 4) << Append.Err;
        EXPECT_NE(Append.Err.find("closed"), std::string::npos) << Append.Err;
        EXPECT_TRUE(ReadFile(Disc) == Before);
    }
    const auto Again =
        RunRecorder(DvdVideo("M", {}, {(Root / "VIDEO_TS").string()}), RecorderEnvironment(Disc));
    EXPECT_EQ(Again.ExitCode, 4) << Again.Err;
    EXPECT_TRUE(ReadFile(Disc) == Before);

    Strings Erase = DataDisc("D", {"--import", "0"}, {File.string()});
    Erase.emplace_back("--force_erase_disk");
    const auto Erased = RunRecorder(Erase, RecorderEnvironment(Disc));
    EXPECT_EQ(Erased.ExitCode, 0) << Erased.Err;
    ASSERT_EQ(ExtractWithXorriso(Disc, Dir.Path() / "back").ExitCode, 0);
    EXPECT_EQ(ReadFile(Dir.Path() / "back/more.txt"), "appended");
}

TEST(RecorderDvdVideo, VerifyReportsACorruptedFileAndKeepsNoDisc) {
    if (const std::string Missing = MissingPrograms({"genisoimage", "dvdauthor"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    const fs::path Disc = Dir.Path() / "movie.iso";
    // The video manager's IFO starts with this text.
    const auto Run =
        RunRecorder(DvdVideo("M", {"--verify"}, {(Root / "VIDEO_TS").string()}),
                    RecorderEnvironment(Disc, {"QUELT_RECORDER_TEST_CORRUPT=DVDVIDEO-VMG"}));
    EXPECT_EQ(Run.ExitCode, 8) << Run.Err;
    EXPECT_NE(Run.Err.find("VIDEO_TS.IFO"), std::string::npos) << Run.Err;
    ExpectNothingWritten(Disc, "verify failed");
}

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

// A simulation runs every check and the preparation (the authoring too) and writes nothing.
// --speedtest is no simulation: the component always asks for a real write, and every kind of disc
// is written with it as without it.
TEST(RecorderVideoDiscs, SpeedTestWritesTheDisc) {
    if (const std::string Missing = MissingPrograms({"vcdimager", "genisoimage", "dvdauthor"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    Dir.Write("image.bin", RawSectors(2352, 10, 'i'));
    const fs::path Sheet = Dir.Write("image.cue", "FILE \"image.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                                  "    INDEX 01 00:00:00\n");
    const fs::path File = Dir.Write("a.txt", "content");
    const struct {
        const char* Case;
        Strings Arguments;
    } Rows[] = {
        {"data disc", DataDisc("T", {"--speedtest"}, {File.string()})},
        {"Super Video CD", VideoCd("--svideocd", {Media("svcd.mpg")}, {}, {"--speedtest"})},
        {"DVD-Video", DvdVideo("M", {"--speedtest"}, {(Root / "VIDEO_TS").string()})},
        {"CD image", ImageBurn(Sheet, {"--speedtest"})},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / (std::string(Row.Case) + ".img");
        const auto Run = RunRecorder(Row.Arguments, RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 0) << Row.Case << Run.Err;
        EXPECT_GT(fs::exists(Disc) ? fs::file_size(Disc) : 0, 0U) << Row.Case << Run.Out;
        EXPECT_NE(Run.Out.find("read test: "), std::string::npos) << Row.Case << Run.Out;
    }
}

// An authoring program that is not installed is a write error that names it, not a fault of the
// sources, and nothing is written.
TEST(RecorderVideoDiscs, MissingAuthoringProgramIsNamed) {
    if (const std::string Missing = MissingPrograms({"dvdauthor"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    const struct {
        Strings Arguments;
        const char* Program;
    } Rows[] = {
        {VideoCd("--videocd", {Media("vcd.mpg")}), "vcdimager"},
        {DvdVideo("M", {}, {(Root / "VIDEO_TS").string()}), "genisoimage"},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / "disc.img";
        const auto Run = RunRecorder(Row.Arguments, {"PATH=" + (Dir.Path() / "nothing").string(),
                                                     "QUELT_DRIVES=E=" + Disc.string()});
        EXPECT_EQ(Run.ExitCode, 7) << Row.Program << Run.Err;
        EXPECT_NE(Run.Err.find(std::string(Row.Program) + " not found"), std::string::npos)
            << Run.Err;
        ExpectNothingWritten(Disc, Row.Program);
    }
}

// Without a drive to write to, a real-drive target fails as a target error with its reason.
TEST(RecorderVideoDrives, NoDriveIsATargetError) {
    TempDir Dir;
    const fs::path Sheet = Dir.Write("image.cue", "FILE \"image.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                                  "    INDEX 01 00:00:00\n");
    Dir.Write("image.bin", RawSectors(2352, 10, 'i'));
    const Strings Commands[] = {
        VideoCd("--videocd", {Media("vcd.mpg")}),
        VideoCd("--svideocd", {Media("svcd.mpg")}),
        DvdVideo("M", {}, {Dir.MakeDir("dvd/VIDEO_TS").string()}),
        ImageBurn(Sheet),
    };
    for (const char* Device : {"/dev/null", "/dev/sr9"}) {
        for (const Strings& Arguments : Commands) {
            const auto Run = RunRecorder(Arguments, RecorderEnvironment(Device));
            EXPECT_EQ(Run.ExitCode, 3) << Device << " " << Arguments[4] << Run.Err;
            EXPECT_NE(Run.Err.find(Device), std::string::npos) << Run.Err;
            EXPECT_NE(
                Run.Err.find(Device == std::string("/dev/null") ? "not a drive" : "no such device"),
                std::string::npos)
                << Run.Err;
        }
    }
}

// The component drives the recorder for each video kind and for a CD image: each returns 0 and
// fires OnSuccess, and the disc is one a reader takes.
TEST(RecorderVideoComponent, EachKindIsWrittenThroughTheComponent) {
    if (const std::string Missing =
            MissingPrograms({"vcdimager", "vcd-info", "genisoimage", "dvdauthor", "isoinfo"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    Dir.Write("image/cd.bin", RawSectors(2352, 300, 'c'));
    const fs::path Sheet = Dir.Write("image/cd.cue", "FILE \"cd.bin\" BINARY\n"
                                                     "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    using Operation = int (*)(Queltburner::TQueltBurner&, const Strings&, const fs::path&);
    const struct {
        const char* Case;
        const char* DiscName;
        Strings Files;
        Operation Burn;
    } Rows[] = {
        {"BurnVideo",
         "video.bin",
         {Media("vcd.mpg")},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path&) {
             return B.BurnVideo(u'E');
         }},
        {"BurnSuperVideo",
         "svideo.bin",
         {Media("svcd.mpg")},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path&) {
             return B.BurnSuperVideo(u'E');
         }},
        {"BurnDVDVideo",
         "movie.iso",
         {(Root / "VIDEO_TS").string(), (Root / "AUDIO_TS").string()},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path&) {
             return B.BurnDVDVideo(u'E');
         }},
        {"BurnImage",
         "copy.img",
         {},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path& Image) {
             return B.BurnImage(QueltTest::PathText(Image), u'E');
         }},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / Row.DiscName;
        const QueltTest::ScopedEnv Drives{"QUELT_DRIVES", "E=" + Disc.string()};
        const QueltTest::ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "none.reg").string()};
        Queltburner::TQueltBurner Burner(nullptr);
        Burner.NeroCmdLocation = QueltTest::Utf16(RecorderPath);
        Burner.SetShowMessages(false);
        Burner.SetSynchronous(true);
        Burner.SetVolumeLabel(u"COMPONENT");
        Strings Events;
        Burner.SetOnSuccess([&Events](System::TObject*) { Events.emplace_back("OnSuccess"); });
        Burner.SetOnError([&Events](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
        for (const std::string& File : Row.Files) {
            Burner.Files()->Add(QueltTest::Utf16(File));
        }
        EXPECT_EQ(Row.Burn(Burner, Row.Files, Sheet), 0) << Row.Case;
        EXPECT_EQ(Events, Strings{"OnSuccess"}) << Row.Case;
        if (Disc.extension() == ".iso") {
            EXPECT_EQ(VolumeIdOf(Disc), "COMPONENT") << Row.Case;
        } else if (Disc.extension() == ".bin") {
            const auto Info = RunReader(
                {"vcd-info", "--cue-file", fs::path(Disc).replace_extension(".cue").string()});
            EXPECT_EQ(Info.ExitCode, 0) << Row.Case << Info.Out << Info.Err;
            EXPECT_NE(Info.Out.find(Row.Case == std::string("BurnVideo") ? "VCD 2.0" : "SVCD"),
                      std::string::npos)
                << Row.Case << Info.Out;
        } else {
            EXPECT_TRUE(ReadFile(Disc) == ReadFile(Dir.Path() / "image/cd.bin")) << Row.Case;
        }
    }
}

} // namespace
