// The installed recorder never runs a program its environment names: only the recorder built for
// the tests acts on QUELT_RECORDER_TEST_BEFORE_WRITE.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <filesystem>
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

} // namespace
