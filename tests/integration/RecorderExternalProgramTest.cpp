// The recorder's runs of the authoring programs it starts: what their failures say, and the
// descriptors they inherit. Each case starts a real program (sh), so they are not unit tests.
#include "ExternalProgram.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// What the authoring programs say becomes the reason of a failure, and only that.
TEST(RecorderExternalProgram, FailuresCarryTheProgramsOwnReasons) {
    const struct {
        const char* Case;
        std::vector<std::string> Argv;
        bool Succeeded;
        std::string Described;
        bool LostItsReader = false; // failed only because what read its output went away
    } Rows[] = {
        {"success",
         {"sh", "-c", "echo fine; echo noted >&2"},
         true,
         "sh ended with exit code 0: noted"},
        {"failure",
         {"sh", "-c", "echo ++ WARN: ignored >&2; echo first >&2; printf second >&2; exit 3"},
         false,
         "sh ended with exit code 3: first; second"},
        {"signal", {"sh", "-c", "kill -9 $$"}, false, "sh ended with signal 9"},
        {"cut off by its reader",
         {"sh", "-c", "kill -PIPE $$"},
         false,
         "sh ended with signal 13",
         true},
        {"broken pipe",
         {"sh", "-c", "echo 'write failed: Broken pipe' >&2; exit 1"},
         false,
         "sh ended with exit code 1: write failed: Broken pipe",
         true},
        {"missing",
         {"quelt-no-such-program"},
         false,
         "quelt-no-such-program not found on PATH (is its package installed?)"},
    };
    for (const auto& Row : Rows) {
        Recorder::ProgramRun Run;
        Run.Argv = Row.Argv;
        std::vector<std::string> Output;
        Run.OnOutput = [&Output](std::string_view Line) { Output.emplace_back(Line); };
        Run.OnError = [](std::string_view Line) { return Line.starts_with("++ WARN"); };
        const Recorder::ProgramOutcome Outcome = Recorder::RunProgram(Run);
        EXPECT_EQ(Outcome.Succeeded, Row.Succeeded) << Row.Case;
        EXPECT_EQ(Outcome.Started, Row.Case != std::string("missing")) << Row.Case;
        EXPECT_EQ(Recorder::DescribeFailure(Run, Outcome), Row.Described) << Row.Case;
        EXPECT_EQ(Outcome.LostItsReader(), Row.LostItsReader) << Row.Case;
        EXPECT_EQ(Output, Row.Case == std::string("success") ? std::vector<std::string>{"fine"}
                                                             : std::vector<std::string>{})
            << Row.Case;
    }
}

// A program gets its standard streams and nothing else of the recorder's: a descriptor opened
// without close-on-exec (as libburn opens a drive) would keep the drive busy for the next step.
TEST(RecorderExternalProgram, ChildrenGetOnlyTheirStandardStreams) {
    const int Held = ::open("/dev/null", O_RDONLY); // NOLINT(android-cloexec-open): the point
    ASSERT_GE(Held, 3);
    Recorder::ProgramRun Run;
    const std::string Fd = std::to_string(Held);
    Run.Argv = {"sh", "-c", "[ -e /proc/$$/fd/" + Fd + " ] && echo held || echo closed"};
    std::vector<std::string> Output;
    Run.OnOutput = [&Output](std::string_view Line) { Output.emplace_back(Line); };
    const Recorder::ProgramOutcome Outcome = Recorder::RunProgram(Run);
    ::close(Held);
    EXPECT_TRUE(Outcome.Succeeded) << Outcome.Ending;
    EXPECT_EQ(Output, std::vector<std::string>{"closed"});
}

} // namespace
