// The recorder when its checks fail: every exit code of its table with its message, checks in
// their order, media files that are no regular files, and what fits a DVD but not a CD. A failed
// run never leaves a new disc that readers take for a whole one, nor a scratch file.
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

// "{dir}" in Text replaced by the test's folder.
std::string InDir(std::string Text, const fs::path& Dir) {
    constexpr std::string_view Mark = "{dir}";
    for (std::size_t At = Text.find(Mark); At != std::string::npos; At = Text.find(Mark)) {
        Text.replace(At, Mark.size(), Dir.string());
    }
    return Text;
}

// What every row of the table finds in its folder: a file, two files of the same name, a folder,
// a disc holding one session, and a sparse file larger than a CD.
struct Fixture {
    TempDir Dir;
    fs::path Written = Dir.Path() / "written.iso";
    std::string WrittenBefore;

    Fixture() {
        Dir.Write("a.txt", "a");
        Dir.Write("x/same.txt", "x");
        Dir.Write("y/same.txt", "y");
        Dir.Write("marked.txt", "CORRUPT-THIS text");
        Dir.MakeDir("folder");
        MakeSparseFile(Dir.Path() / "800MB.bin", 800ULL * 1000 * 1000, "sparse");
        const auto Run = RunRecorder(DataDisc("ONE", {}, {(Dir.Path() / "a.txt").string()}),
                                     RecorderEnvironment(Written));
        if (Run.ExitCode != 0) {
            throw std::runtime_error("cannot write the one-session disc: " + Run.Err);
        }
        WrittenBefore = ReadFile(Written);
    }
};

TEST(RecorderExitCodes, EachFailureHasItsCodeAndMessageAndWritesNothing) {
    const std::string New = "{dir}/new.iso";
    const std::string Written = "{dir}/written.iso";
    const struct {
        const char* Case;
        std::string Drives; // QUELT_DRIVES
        Strings Arguments;  // "{dir}" is the fixture's folder
        int Code;
        std::string Message; // a part of standard error
        Strings Environment;
    } Rows[] = {
        {"unknown command", "E=" + New, {"--bogus"}, 2, "unknown command", {}},
        {"no arguments", "E=" + New, {}, 2, "missing", {}},
        {"data command cut short",
         "E=" + New,
         {"--write", "--drivename", "E", "--real"},
         2,
         "argument",
         {}},
        {"audio of a file that is not sound",
         "E=" + New,
         {"--write", "--drivename", "E", "--real", "--recursive", "--speed", "4", "--audio",
          "{dir}/a.txt"},
         6,
         "{dir}/a.txt",
         {}},
        {"video CD from a file that is no stream",
         "E=" + New,
         {"--write", "--drivename", "E", "--real", "--videocd", "--recursive", "--speed", "4",
          "{dir}/a.txt"},
         6,
         "{dir}/a.txt: is not an MPEG stream",
         {}},
        {"unmapped letter", "F=" + New, DataDisc("L", {}, {"{dir}/a.txt"}), 3, "no such drive", {}},
        {"a folder", "E={dir}/folder", DataDisc("L", {}, {"{dir}/a.txt"}), 3, "is a folder", {}},
        {"under a missing folder",
         "E={dir}/missing/disc.iso",
         DataDisc("L", {}, {"{dir}/a.txt"}),
         3,
         "{dir}/missing",
         {}},
        {"missing device", "E=/dev/sr9", DataDisc("L", {}, {"{dir}/a.txt"}), 3, "/dev/sr9", {}},
        {"not a drive", "E=/dev/null", DataDisc("L", {}, {"{dir}/a.txt"}), 3, "/dev/null", {}},
        // The target is checked before the sources.
        {"unmapped letter and a missing entry",
         "F=" + New,
         DataDisc("L", {}, {"{dir}/absent.txt"}),
         3,
         "no such drive",
         {}},
        {"not a drive and a missing entry",
         "E=/dev/null",
         DataDisc("L", {}, {"{dir}/absent.txt"}),
         3,
         "/dev/null",
         {}},
        {"holds data, no import",
         "E=" + Written,
         DataDisc("L", {}, {"{dir}/a.txt"}),
         4,
         "ContinueSession (--import) or erase it first with ForceEraseDisk (--force_erase_disk)",
         {}},
        {"not blank, detected",
         "E=" + Written,
         DataDisc("L", {"--import", "0", "--detect_non_empty_disk"}, {"{dir}/a.txt"}),
         4,
         "not blank",
         {}},
        {"no session 2",
         "E=" + Written,
         DataDisc("L", {"--import", "2"}, {"{dir}/a.txt"}),
         4,
         "session 2",
         {}},
        {"no session 1 on a blank disc",
         "E=" + New,
         DataDisc("L", {"--import", "1"}, {"{dir}/a.txt"}),
         4,
         "session 1",
         {}},
        {"larger than a CD", "E=" + New, DataDisc("L", {}, {"{dir}/800MB.bin"}), 5, "blocks", {}},
        {"larger than what a CD has left",
         "E=" + Written,
         DataDisc("L", {"--import", "0"}, {"{dir}/800MB.bin"}),
         5,
         "blocks",
         {}},
        // The fit is checked before the medium.
        {"larger than a CD and not blank",
         "E=" + Written,
         DataDisc("L", {"--detect_non_empty_disk"}, {"{dir}/800MB.bin"}),
         5,
         "blocks",
         {}},
        {"missing entry",
         "E=" + New,
         DataDisc("L", {}, {"{dir}/absent.txt"}),
         6,
         "{dir}/absent.txt",
         {}},
        {"two entries named alike",
         "E=" + New,
         DataDisc("L", {}, {"{dir}/x/same.txt", "{dir}/y/same.txt"}),
         6,
         "{dir}/x/same.txt and {dir}/y/same.txt",
         {}},
        // The sources are checked before the fit and the medium.
        {"missing entry beside a large one",
         "E=" + Written,
         DataDisc("L", {}, {"{dir}/800MB.bin", "{dir}/absent.txt"}),
         6,
         "{dir}/absent.txt",
         {}},
        {"verify finds a difference",
         "E=" + New,
         DataDisc("L", {"--verify"}, {"{dir}/marked.txt"}),
         8,
         "marked.txt",
         {"QUELT_RECORDER_TEST_CORRUPT=CORRUPT-THIS"}},
    };
    const Fixture F;
    const fs::path& Dir = F.Dir.Path();
    for (const auto& Row : Rows) {
        Strings Arguments;
        for (const std::string& Argument : Row.Arguments) {
            Arguments.push_back(InDir(Argument, Dir));
        }
        Strings Environment{"PATH=/usr/bin:/bin", "QUELT_DRIVES=" + InDir(Row.Drives, Dir)};
        Environment.insert(Environment.end(), Row.Environment.begin(), Row.Environment.end());
        const auto Run = RunRecorder(Arguments, Environment);
        EXPECT_EQ(Run.ExitCode, Row.Code) << Row.Case << "\n" << Run.Out << Run.Err;
        EXPECT_NE(Run.Err.find(InDir(Row.Message, Dir)), std::string::npos)
            << Row.Case << ": " << Run.Err;
        EXPECT_TRUE(Run.Err.ends_with("\n") && Run.Err.find('\n') == Run.Err.size() - 1)
            << Row.Case << ": one line expected: " << Run.Err;
        EXPECT_FALSE(fs::exists(Dir / "new.iso")) << Row.Case;
        EXPECT_FALSE(fs::exists(Dir / "missing")) << Row.Case;
        EXPECT_TRUE(ReadFile(F.Written) == F.WrittenBefore) << Row.Case;
        EXPECT_EQ(ScratchFilesBeside(Dir / "new.iso"), Strings{}) << Row.Case;
        EXPECT_EQ(ScratchFilesBeside(F.Written), Strings{}) << Row.Case;
    }
}

// Media files that are not regular files: a FIFO with no writer, or a device, is refused at once
// (a run that waited on one would hang; the timeout turns that into a failure).
TEST(RecorderExitCodes, MediaFilesThatAreNoRegularFilesAreRefusedAtOnce) {
    TempDir Dir;
    const fs::path Fifo = Dir.Path() / "fifo";
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    const fs::path VideoTs = Dir.MakeDir("dvd/VIDEO_TS");
    ASSERT_EQ(::mkfifo((VideoTs / "VIDEO_TS.IFO").c_str(), 0600), 0);
    const Strings Head{"--write", "--drivename", "E", "--real"};
    const struct {
        const char* Case;
        Strings Arguments; // after the head
        std::string Named;
    } Rows[] = {
        {"audio track", {"--recursive", "--speed", "4", "--audio", Fifo}, Fifo},
        {"audio track on a device",
         {"--recursive", "--speed", "4", "--audio", "/dev/zero"},
         "/dev/zero"},
        {"video stream", {"--videocd", "--recursive", "--speed", "4", Fifo}, Fifo},
        {"image", {"--image", Fifo, "--speed", "4"}, Fifo},
        {"VIDEO_TS.IFO",
         {"--recursive", "--speed", "4", "--iso", "M", "--dvd", "--create_iso_fs",
          "--create_udf_fs", "--iso-no-joliet", "--dvdvideo_realloc", VideoTs},
         VideoTs / "VIDEO_TS.IFO"},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / "disc.bin";
        Strings Argv{"/usr/bin/timeout", "20", RecorderPath};
        Argv.insert(Argv.end(), Head.begin(), Head.end());
        Argv.insert(Argv.end(), Row.Arguments.begin(), Row.Arguments.end());
        const auto Run = QueltTest::RunProgram(Argv, RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 6) << Row.Case << "\n" << Run.Out << Run.Err;
        EXPECT_NE(Run.Err.find(Row.Named + ": is a "), std::string::npos) << Row.Case << Run.Err;
        EXPECT_FALSE(fs::exists(Disc)) << Row.Case;
        EXPECT_EQ(ScratchFilesBeside(Disc), Strings{}) << Row.Case;
    }
}

// The same data set fits on a DVD: the fit comes before the medium, so a disc that is refused for
// holding data says so only once the data fits.
TEST(RecorderExitCodes, WhatDoesNotFitACdFitsADvd) {
    const Fixture F;
    for (const auto& [Options, Code] : {std::pair{Strings{}, 5}, std::pair{Strings{"--dvd"}, 4}}) {
        const auto Run =
            RunRecorder(DataDisc("L", Options, {(F.Dir.Path() / "800MB.bin").string()}),
                        RecorderEnvironment(F.Written));
        EXPECT_EQ(Run.ExitCode, Code) << Run.Err;
        EXPECT_TRUE(ReadFile(F.Written) == F.WrittenBefore);
    }
}

} // namespace
