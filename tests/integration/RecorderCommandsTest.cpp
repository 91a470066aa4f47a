// The recorder as a real process running the commands around writing: closing a session, erase,
// eject, and images copied onto a disc.
#include "RecorderSupport.hpp"

#include "QueltBurner.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;

TEST(RecorderCommands, CloseSessionOnAVirtualDiscSucceedsAndSaysSo) {
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const fs::path File = Dir.Write("a.txt", "content");
    const auto Run =
        RunRecorder(DataDisc("C", {"--close_session"}, {File.string()}), RecorderEnvironment(Disc));
    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    EXPECT_NE(Run.Out.find("cannot be closed"), std::string::npos) << Run.Out;
    // It stays appendable.
    const fs::path Second = Dir.Write("b.txt", "more");
    EXPECT_EQ(
        RunRecorder(DataDisc("C", {"--import", "0"}, {Second.string()}), RecorderEnvironment(Disc))
            .ExitCode,
        0);
}

TEST(RecorderCommands, EraseMakesTheDiscBlank) {
    const struct {
        const char* Case;
        Strings Arguments;
    } Rows[] = {
        {"quick", {"--erase", "--drivename", "E"}},
        {"full", {"--erase", "--entire", "--drivename", "E"}},
    };
    for (const auto& Row : Rows) {
        TempDir Dir;
        const fs::path Disc = Dir.Path() / "disc.iso";
        const fs::path File = Dir.Write("a.txt", "ERASE-ME content");
        ASSERT_EQ(
            RunRecorder(DataDisc("E", {}, {File.string()}), RecorderEnvironment(Disc)).ExitCode, 0);
        const auto Erase = RunRecorder(Row.Arguments, RecorderEnvironment(Disc));
        EXPECT_EQ(Erase.ExitCode, 0) << Row.Case << Erase.Err;
        EXPECT_NE(Erase.Out.find("erased"), std::string::npos) << Erase.Out;
        // Blank: a new first session goes on without --import or --force_erase_disk.
        const auto Again = RunRecorder(DataDisc("E", {"--detect_non_empty_disk"}, {File.string()}),
                                       RecorderEnvironment(Disc));
        EXPECT_EQ(Again.ExitCode, 0) << Row.Case << Again.Err;
    }

    // Erasing a missing virtual disc succeeds and creates nothing.
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    for (const Strings& Arguments : {Strings{"--erase", "--drivename", "E"},
                                     Strings{"--erase", "--entire", "--drivename", "E"}}) {
        const auto Run = RunRecorder(Arguments, RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
        EXPECT_FALSE(fs::exists(Disc));
    }
}

TEST(RecorderCommands, EjectOfAVirtualDiscSucceeds) {
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const auto Missing = RunRecorder({"--eject", "--drivename", "E"}, RecorderEnvironment(Disc));
    EXPECT_EQ(Missing.ExitCode, 0) << Missing.Err;
    EXPECT_FALSE(fs::exists(Disc));
    const fs::path File = Dir.Write("a.txt", "content");
    ASSERT_EQ(RunRecorder(DataDisc("J", {}, {File.string()}), RecorderEnvironment(Disc)).ExitCode,
              0);
    const std::string Before = ReadFile(Disc);
    const auto Present = RunRecorder({"--eject", "--drivename", "E"}, RecorderEnvironment(Disc));
    EXPECT_EQ(Present.ExitCode, 0) << Present.Err;
    EXPECT_TRUE(ReadFile(Disc) == Before);
}

Strings ImageBurn(const fs::path& Image, const Strings& After = {}) {
    Strings Arguments{"--write", "--drivename",  "E",       "--real",
                      "--image", Image.string(), "--speed", "4"};
    Arguments.insert(Arguments.end(), After.begin(), After.end());
    return Arguments;
}

TEST(RecorderCommands, ImageOntoABlankDiscMakesACopyAndNeedsAnEraseOtherwise) {
    TempDir Dir;
    const fs::path Source = Dir.Path() / "source.iso";
    const fs::path File = Dir.Write("a.txt", "in the image");
    ASSERT_EQ(
        RunRecorder(DataDisc("IMG", {}, {File.string()}), RecorderEnvironment(Source)).ExitCode, 0);
    const fs::path Other = Dir.Path() / "other.iso";
    ASSERT_EQ(
        RunRecorder(DataDisc("OTHER", {}, {File.string()}), RecorderEnvironment(Other)).ExitCode,
        0);

    const fs::path Disc = Dir.Path() / "disc.iso";
    const auto Blank = RunRecorder(ImageBurn(Source), RecorderEnvironment(Disc));
    EXPECT_EQ(Blank.ExitCode, 0) << Blank.Err;
    EXPECT_TRUE(ReadFile(Disc) == ReadFile(Source));

    const auto NotBlank = RunRecorder(ImageBurn(Other), RecorderEnvironment(Disc));
    EXPECT_EQ(NotBlank.ExitCode, 4) << NotBlank.Err;
    EXPECT_NE(NotBlank.Err.find(Disc.string()), std::string::npos) << NotBlank.Err;
    EXPECT_TRUE(ReadFile(Disc) == ReadFile(Source));
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});

    const auto Forced =
        RunRecorder(ImageBurn(Other, {"--force_erase_disk"}), RecorderEnvironment(Disc));
    EXPECT_EQ(Forced.ExitCode, 0) << Forced.Err;
    EXPECT_TRUE(ReadFile(Disc) == ReadFile(Other));
}

} // namespace
