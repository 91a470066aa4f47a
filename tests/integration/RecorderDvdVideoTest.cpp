// The recorder as a real process writing DVD-Video: the files read back from the UDF side, folders
// that are no DVD refused, a closed disc not continued, and a verify that finds a corrupted file.
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

} // namespace
