// The installed recorder never runs a program its environment names: only the recorder built for
// the tests acts on QUELT_RECORDER_TEST_BEFORE_WRITE. Both carry the mark the POSIX host knows the
// recorder by.
#include "PosixHostServices.hpp"
#include "RecorderSupport.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

TEST(RecorderRelease, RunsNoProgramItsEnvironmentNames) {
    const struct {
        const char* Case;
        std::string Recorder;
        bool HookRuns;
    } Recorders[] = {
        {"the tests' recorder", RecorderPath, true},
        {"the installed recorder", QUELT_RELEASE_RECORDER_PATH, false},
    };
    for (const auto& Row : Recorders) {
        TempDir Dir;
        const fs::path Ran = Dir.Path() / "hook-ran";
        const fs::path Hook =
            Dir.Write("hook.sh", "#!/bin/sh\ntouch '" + Ran.string() + "'\n", true);
        Dir.Write("in/entry.txt", "an entry");
        Strings Argv{Row.Recorder};
        for (const std::string& Argument : DataDisc("HOOK", {}, {(Dir.Path() / "in").string()})) {
            Argv.push_back(Argument);
        }
        const auto Run = QueltTest::RunProgram(
            Argv, RecorderEnvironment(Dir.Path() / "disc.iso",
                                      {"QUELT_RECORDER_TEST_BEFORE_WRITE=" + Hook.string()}));
        EXPECT_EQ(Run.ExitCode, 0) << Row.Case << "\n" << Run.Out << Run.Err;
        EXPECT_EQ(fs::exists(Ran), Row.HookRuns) << Row.Case;
    }
}

// The recorder is told from other tools by its mark, without running anything; a file that only
// starts like a program, or is none, is no recorder.
TEST(RecorderRelease, ThePosixHostKnowsItByItsMark) {
    TempDir Dir;
    const auto Host = std::make_shared<Queltburner::Posix::PosixHostServices>();
    std::ifstream Recorder(RecorderPath, std::ios::binary);
    std::string Head(4096, '\0');
    Recorder.read(Head.data(), static_cast<std::streamsize>(Head.size()));
    const struct {
        std::string Tool;
        bool IsRecorder;
    } Rows[] = {
        {RecorderPath, true},
        {QUELT_RELEASE_RECORDER_PATH, true},
        {QUELT_STANDIN_PATH, false},
        {Dir.Write("head.exe", Head).string(), false},
        {Dir.Write("text.exe", "#!/bin/sh\n").string(), false},
        {(Dir.Path() / "missing.exe").string(), false},
        {Dir.Path().string(), false},
        {"", false},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(Host->ToolIsRecorder(QueltTest::Utf16(Row.Tool)), Row.IsRecorder) << Row.Tool;
    }
}

} // namespace
