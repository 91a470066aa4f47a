// A waiting run on a host that can watch its tool: the tool's lines and progress handed to the
// events as they come, a time limit, and a cancel from anywhere; all on the caller's thread.
#include "CommandLine.hpp"
#include "JobContext.hpp"
#include "OperationFrame.hpp"
#include "ProcessHandles.hpp"
#include "RunControl.hpp"
#include "ToolOutput.hpp"

#include "System.SysUtils.hpp"

#include <bit>
#include <chrono>
#include <exception>

namespace Queltburner {

namespace {

using Clock = std::chrono::steady_clock;

// How long a tool asked to end may take before it is ended at once.
constexpr std::chrono::seconds EndGrace{3};

// The lines of both streams, handed to the component's events.
// A job's component hands them to its job instead.
class OutputDelivery {
public:
    OutputDelivery(TQueltBurner& Burner, JobContext* Job) : FBurner(Burner), FJob(Job) {}

    void Add(const CapturedOutput& Captured) {
        FOutput.Add(Captured.Output, OutputHandler());
        FError.Add(Captured.Error, ErrorHandler());
    }

    void Finish() {
        FOutput.Finish(OutputHandler());
        FError.Finish(ErrorHandler());
    }

private:
    OutputLineSplitter::LineHandler OutputHandler() {
        return [this](std::string_view Line, bool Whole) { Deliver(Line, false, Whole); };
    }
    OutputLineSplitter::LineHandler ErrorHandler() {
        return [this](std::string_view Line, bool Whole) { Deliver(Line, true, Whole); };
    }

    // Only a whole line of the output is a progress line: the end of a long line's last piece
    // may look like one.
    void Deliver(std::string_view Line, bool IsError, bool Whole) {
        if (FJob != nullptr) {
            FJob->ToolLine(Line, IsError, Whole);
            return;
        }
        // Each handler runs from a copy: it may replace the event or clear it.
        if (FBurner.OnOutput()) {
            const TOutputEvent Handler = FBurner.OnOutput();
            Handler(&FBurner, System::Sysutils::UTF8ToString(Line), IsError);
        }
        if (!IsError && Whole && FBurner.OnProgress()) {
            if (const std::optional<ProgressLine> Progress = ParseProgressLine(Line)) {
                const TProgressEvent Handler = FBurner.OnProgress();
                Handler(&FBurner, Progress->Phase, Progress->Percent);
            }
        }
    }

    TQueltBurner& FBurner;
    JobContext* FJob;
    OutputLineSplitter FOutput;
    OutputLineSplitter FError;
};

// Asks for the end once, then ends the process at once when the grace period is over. A tool that
// had already ended when asked (its last lines still being handed to the events) was not ended by
// the run: it keeps its own exit code.
class ToolEnding {
public:
    // True when the run ended the tool: the request reached it while it ran.
    bool Ended() const noexcept { return FBegun && FReached; }
    int Result() const noexcept { return FResult; }

    void Begin(HostServices& Host, HostHandle Process, int Result) {
        FBegun = true;
        FResult = Result;
        FForceAt = Clock::now() + EndGrace;
        FReached = Host.EndProcess(Process, false);
    }

    // After each wake of the run's wait: asks for the end when a cancel or the run's time limit
    // calls for it, then enforces the grace period.
    void Follow(HostServices& Host, HostHandle Process, const RunControl::Scope& Run,
                WaitDeadline RunDeadline) {
        if (!FBegun && Run.CancelRequested()) {
            Begin(Host, Process, ResultCancelled);
        } else if (!FBegun && RunDeadline && Clock::now() >= *RunDeadline) {
            Begin(Host, Process, ResultTimedOut);
        }
        Enforce(Host, Process);
    }

    // Ends the process at once once the grace period is over.
    void Enforce(HostServices& Host, HostHandle Process) {
        if (Ended() && !FForced && Clock::now() >= FForceAt) {
            FForced = true;
            (void)Host.EndProcess(Process, true);
        }
    }

    WaitDeadline NextDeadline(WaitDeadline RunDeadline) const noexcept {
        if (!FBegun) {
            return RunDeadline;
        }
        return FForced || !FReached ? WaitDeadline{} : WaitDeadline{FForceAt};
    }

private:
    bool FBegun = false;
    bool FReached = false;
    bool FForced = false;
    int FResult = 0;
    Clock::time_point FForceAt{};
};

// Ends the process at once and waits until it has ended, dropping what it still writes: the way
// out when an event handler threw, so that no tool outlives its run.
void EndAndCollect(HostServices& Host, HostHandle Process) noexcept {
    try {
        (void)Host.EndProcess(Process, true);
        for (;;) {
            CapturedOutput Dropped;
            const WaitEvent Event = Host.WaitForProcessEvent(Process, std::nullopt, Dropped);
            if (Event == WaitEvent::Ended || Event == WaitEvent::Failed) {
                return;
            }
        }
    } catch (...) {
        // The exception that brought us here is the one the caller gets.
    }
}

} // namespace

ToolRunner OperationFrame::QuestionRunner() {
    return [&Burner = FBurner](const System::UnicodeString& CommandLineText) {
        Burner.FJob->BeginAnswer();
        const int Result = OperationFrame(Burner).ExecuteAndWait(CommandLineText, 0);
        return Burner.FJob->EndAnswer(Result);
    };
}

int OperationFrame::ExecuteWatched(const System::UnicodeString& CommandLineText, int ShowState) {
    RunControl::Scope Run(*FBurner.FRun, Host());
    // A job's cancel that came before this run: the tool never starts.
    if (!CanBeCarried(CommandLineText) || Run.CancelRequested()) {
        return Run.CancelRequested() ? ResultCancelled : ResultToolFailed;
    }
    const bool Capture = FBurner.FJob != nullptr || FBurner.OnOutput() || FBurner.OnProgress();
    const std::optional<StartedProcess> Started =
        Host().StartWatchedProcess(FBurner.NeroCmdLocation, CommandLineText, ShowState, Capture);
    if (!Started) {
        return ResultToolFailed;
    }
    const ProcessHandles Handles(Host(), *Started);
    const HostHandle Process = Handles.Process();
    // Declared after the handles, so that Cancel() stops reaching the process before they go.
    struct Untrack {
        RunControl::Scope& Run;
        ~Untrack() { Run.Track(0); }
    } const Untracked{Run};
    Run.Track(Process);

    const WaitDeadline RunDeadline =
        FBurner.Timeout() == 0
            ? WaitDeadline{}
            : WaitDeadline{Clock::now() + std::chrono::milliseconds(FBurner.Timeout())};
    OutputDelivery Lines(FBurner, FBurner.FJob);
    ToolEnding Ending;
    try {
        for (;;) {
            CapturedOutput Captured;
            const WaitEvent Event =
                Host().WaitForProcessEvent(Process, Ending.NextDeadline(RunDeadline), Captured);
            Lines.Add(Captured);
            if (Event == WaitEvent::Ended) {
                break;
            }
            if (Event == WaitEvent::Failed) {
                EndAndCollect(Host(), Process);
                return ResultToolFailed;
            }
            Ending.Follow(Host(), Process, Run, RunDeadline);
        }
        Lines.Finish();
    } catch (...) {
        EndAndCollect(Host(), Process);
        throw;
    }
    if (Ending.Ended()) {
        return Ending.Result();
    }
    const std::optional<std::uint32_t> ExitCode = Host().ProcessExitCode(Process);
    // A tool that failed while a cancel was on its way (Ctrl-C in a terminal reaches the tool
    // too) was cancelled; one that completed its work did.
    if (ExitCode && *ExitCode != 0 && Run.CancelRequested()) {
        return ResultCancelled;
    }
    return ExitCode ? std::bit_cast<std::int32_t>(*ExitCode) : ResultToolFailed;
}

} // namespace Queltburner
