// The run's work in a child process: a signal ends it at once, and the recorder (which stays
// alive and holds the disc) undoes what it left half done and removes its scratch, whatever the
// way it ended. Burns and the questions that prepare scratch both run this way.
#pragma once

#include "Disc.hpp"
#include "RecorderFailure.hpp"
#include "SystemReasons.hpp"

#include <array>
#include <csignal>
#include <exception>
#include <functional>
#include <string>

namespace Recorder {

// Writes "recorder: MESSAGE" to standard error, keeps Kind (by default the exit code's) as the
// case of a run that ends with Code, and returns Code as an exit code.
int ReportFailure(ExitCode Code, const std::string& Message);
int ReportFailure(ExitCode Code, FailureKind Kind, const std::string& Message);
int ReportFailure(const RecorderFailure& Failure);

// The cases reported from here on are kept where the worker processes started later report
// theirs too, so that the recorder names the case a worker found. Called once, first.
void ShareFailureCases();

// For a run that ends with Code (not 0): "failure KEY" on standard output, the first case
// reported with that exit code (in this process or a worker), else the exit code's own. A
// standard output that cannot take it changes nothing: the exit code and the error line stand.
void SayFailureCase(int Code);

// SIGINT, SIGTERM and SIGHUP (a host that loses its terminal, or dies and its waiter with it)
// ask the run to stop, from the moment the run takes hold of its disc: the worker is killed, or
// never started, and what it left is undone. The worker itself gets the actions the recorder had.
class StopSignals {
public:
    StopSignals();
    void RestoreInChild() const;

private:
    std::array<struct sigaction, 3> FOld{};
};

// Runs Work (its exit code) in a worker process and returns the run's exit code. With MayAppend,
// what an append may change of Onto is written down before the worker starts.
int RunInWorker(const std::function<int()>& Work, Disc& Onto, bool MayAppend,
                const StopSignals& Stop);

} // namespace Recorder
