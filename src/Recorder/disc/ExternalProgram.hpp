// The authoring and writing programs the recorder runs (vcdimager, genisoimage, cdrdao): started
// with an argument vector, never through a shell, with no descriptor of the recorder's but their
// standard streams (the drive libburn holds among them), ended with the worker that started them,
// and their own reasons (standard error) kept for the one error line of a failure.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace Recorder {

struct ProgramRun {
    std::vector<std::string> Argv; // the program's name (looked up on PATH) first
    // Where standard output goes: a file descriptor the program writes to, or, when negative, a
    // pipe whose lines go to OnOutput.
    int OutputTo = -1;
    // Called with each line the program writes to standard output (when OutputTo is negative) and
    // standard error. A line of standard error that OnError does not take (returns false) is kept
    // as one of the program's reasons.
    std::function<void(std::string_view)> OnOutput;
    std::function<bool(std::string_view)> OnError;
};

struct ProgramOutcome {
    bool Started = false;             // the program ran (it was found and could be started)
    bool Succeeded = false;           // exited with 0
    std::string Ending;               // "exit code 1", "signal 9", "not found on PATH", ...
    std::vector<std::string> Reasons; // the lines of standard error OnError did not take
    int Signal = 0;                   // the signal that ended it, if one did

    // Whether it failed only because what read its output went away first (SIGPIPE, or a write
    // error "Broken pipe"): in a pipeline, the reader's failure is then the one to report.
    bool LostItsReader() const;
};

// A program started and read while the caller does other work (for example, writes what the
// program produces): its output streams are read by a thread of its own, so that the program
// never waits on a full pipe. It is ended (SIGKILL) if the process that started it ends first, so
// a stopped worker leaves no author behind writing a scratch file.
class RunningProgram {
public:
    explicit RunningProgram(ProgramRun Run);
    // Waits for the program, if Wait was not called.
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    RunningProgram(RunningProgram&&) = delete;
    RunningProgram& operator=(RunningProgram&&) = delete;

    // Waits for the program to end and for its streams to be read to their end.
    const ProgramOutcome& Wait();
    const ProgramRun& Run() const noexcept { return FRun; }

private:
    void Read(int Output, int Error);

    ProgramRun FRun;
    ProgramOutcome FOutcome;
    long FPid = -1;
    std::thread FReader;
    bool FWaited = false;
};

// Runs the program and waits for it.
ProgramOutcome RunProgram(const ProgramRun& Run);

// "vcdimager: <reason>; <reason>" or "vcdimager ended with exit code 1": what a failure's error
// line says about the program.
std::string DescribeFailure(const ProgramRun& Run, const ProgramOutcome& Outcome);

} // namespace Recorder
