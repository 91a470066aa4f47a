// Random settings of the component, one random operation, run waiting on the recording host. The
// tool must read back exactly the values that were set, each in its place, or, when the command
// line cannot be carried (it holds a NUL), the tool must not be started at all.
#include "CommandLineSplit.hpp"
#include "CompositionModel.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace CompositionFuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    QueltFuzz::FuzzInput In(Data, Size);
    const auto Host = std::make_shared<QueltTest::RecordingHost>();
    const Settings S = Decode(In, *Host);
    // Every drive the component may ask about is optical, and the tool exists, so only the
    // component's own checks can keep it from composing.
    Host->MakeReady(S.Drive, S.Tool);
    Host->ExitCode = S.ExitCode;
    int Result = 0;
    {
        Queltburner::TQueltBurner Burner(nullptr, Host);
        Apply(S, Burner);
        Host->Calls.clear();
        Result = Run(S, Burner);
    }
    Check(Host->OpenHandles() == 0, "every handle is released");
    Check(Host->UnknownReleases == 0, "no handle is released twice");

    if (!IsAsciiLetter(S.Drive)) {
        Check(Result == -2, "a drive that is not a letter gives -2");
        Check(Host->Starts.empty(), "a drive that is not a letter starts nothing");
        return 0;
    }
    if (S.Op == Operation::Image && Host->Files.count(S.Image) == 0) {
        Check(Result == -3, "a missing image gives -3");
        Check(Host->Starts.empty(), "a missing image starts nothing");
        return 0;
    }
    const std::vector<UnicodeString> Expected = ExpectedArgv(S, *Host).For(S.Op);
    if (HoldsNul(Expected)) {
        Check(Result == -1, "a command line holding a NUL gives -1");
        Check(Host->Starts.empty(), "a command line holding a NUL starts nothing");
        return 0;
    }
    Check(Host->Starts.size() == 1, "exactly one start");
    const QueltTest::StartRequest& Start = Host->Starts.front();
    Check(Start.Application == S.Tool, "the started program is the tool");
    Check(Start.ShowState == (S.HideNeroCmd ? 0 : 1), "the show state follows HideNeroCmd");
    Check(Start.Mode == Queltburner::LaunchMode::Waited, "a synchronous run waits");
    const std::vector<UnicodeString> Argv = Queltburner::SplitCommandLine(Start.CommandLine);
    Check(!Argv.empty() && Argv.front() == S.Tool, "argv[0] is the tool's path");
    Check(Argv.size() == Expected.size(), "the options imply the number of argv items");
    Check(Argv == Expected, "every value reaches the tool unchanged, in its place");
    Check(Result == std::bit_cast<std::int32_t>(S.ExitCode), "the result is the exit code");
    return 0;
}
