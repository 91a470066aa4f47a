// The plain way (PlainRun.hpp): the tool is the application's own child from fork to waitpid.
#include "PlainRun.hpp"

#include "RunWord.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace Queltburner::Posix {

namespace {

// The tool's side of a plain start, between fork and exec: only calls a forked child of a
// threaded process may make. Every signal stays blocked until the handlers are back at their
// defaults, as in the waiter's tool; a failed exec's errno goes back through Report.
[[noreturn]] void BecomeTool(const SpawnRequest& Request, int OutputFd, int ErrorFd,
                             int Report) noexcept {
    for (int Signal = 1; Signal < NSIG; ++Signal) {
        if (Signal != SIGKILL && Signal != SIGSTOP) {
            struct sigaction Default {};
            Default.sa_handler = SIG_DFL;
            (void)sigaction(Signal, &Default, nullptr);
        }
    }
    if (OutputFd >= 0 && ErrorFd >= 0) {
        // First above the standard three, so that neither move overwrites the other.
        const int Output = fcntl(OutputFd, F_DUPFD_CLOEXEC, 3);
        const int Error = fcntl(ErrorFd, F_DUPFD_CLOEXEC, 3);
        if (Output < 0 || Error < 0 || dup2(Output, STDOUT_FILENO) < 0 ||
            dup2(Error, STDERR_FILENO) < 0) {
            _exit(127);
        }
    }
    // Nothing but the standard three reaches the tool (the report closes at the exec).
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        const long OpenMax = sysconf(_SC_OPEN_MAX);
        for (int Descriptor = 3; Descriptor < OpenMax && Descriptor < (1 << 20); ++Descriptor) {
            (void)fcntl(Descriptor, F_SETFD, FD_CLOEXEC);
        }
    }
    sigset_t None;
    sigemptyset(&None);
    (void)sigprocmask(SIG_SETMASK, &None, nullptr);
    execve(Request.Program, Request.Argv,
           Request.Environment != nullptr ? Request.Environment : environ);
    const int Failure = errno;
    if (Report >= 0) {
        (void)!write(Report, &Failure, sizeof Failure);
    }
    _exit(127);
}

// Starts the tool with fork and exec: the tool's id, or 0 when it did not start. A failed exec is
// told through a pipe that a successful exec closes; an application out of descriptors starts it
// untold (a failed exec is then exit code 127). Valgrind itself cannot go on after a failed exec:
// it ends the process with exit code 101 before anything is told.
pid_t SpawnPlain(const SpawnRequest& Request, int OutputFd, int ErrorFd) noexcept {
    int Report[2] = {-1, -1};
    (void)pipe2(Report, O_CLOEXEC);
    sigset_t All;
    sigset_t Previous;
    sigfillset(&All);
    (void)pthread_sigmask(SIG_SETMASK, &All, &Previous);
    const pid_t Tool = fork();
    if (Tool == 0) {
        BecomeTool(Request, OutputFd, ErrorFd, Report[1]);
    }
    (void)pthread_sigmask(SIG_SETMASK, &Previous, nullptr);
    if (Report[1] >= 0) {
        (void)close(Report[1]);
    }
    int Failure = 0;
    ssize_t Got = 0;
    if (Tool > 0 && Report[0] >= 0) {
        while ((Got = read(Report[0], &Failure, sizeof Failure)) < 0 && errno == EINTR) {
        }
    }
    if (Report[0] >= 0) {
        (void)close(Report[0]);
    }
    if (Tool < 0) {
        return 0;
    }
    if (Got > 0) {
        while (waitpid(Tool, nullptr, 0) < 0 && errno == EINTR) {
        }
        return 0;
    }
    return Tool;
}

} // namespace

PlainRun::~PlainRun() {
    if (FStarted && !FCollected) {
        (void)Wait();
    }
}

void PlainRun::Watch(int OutputWrite, int ErrorWrite, int /*EndNotice*/) noexcept {
    if (!FStarted) {
        FOutputFd = OutputWrite;
        FErrorFd = ErrorWrite;
    }
}

bool PlainRun::Start(const SpawnRequest& Request) noexcept {
    if (FStarted) {
        return false;
    }
    const pid_t Tool = SpawnPlain(Request, FOutputFd, FErrorFd);
    if (Tool <= 0) {
        return false;
    }
    FTool = Tool;
    FWord = RunWord::Running;
    FStarted = true;
    return true;
}

std::optional<int> PlainRun::Wait() noexcept {
    const std::lock_guard Lock(FWaitMutex);
    if (!FStarted || FCollected) {
        return FStatus;
    }
    int Status = 0;
    pid_t Collected = -1;
    while ((Collected = waitpid(FTool, &Status, 0)) < 0 && errno == EINTR) {
    }
    FCollected = true;
    if (Collected == FTool) {
        FEnded.store(true, std::memory_order_release);
        FStatus = Status;
    }
    return FStatus;
}

bool PlainRun::ToolEnded() const noexcept {
    if (!FStarted || FEnded.load(std::memory_order_acquire)) {
        return FStarted;
    }
    // Looked at without collecting it: until Wait collects it, its id stays its own.
    siginfo_t Info{};
    const int Looked = waitid(P_PID, static_cast<id_t>(FTool), &Info, WEXITED | WNOHANG | WNOWAIT);
    // ECHILD: the application's own reaping took it.
    return (Looked == 0 && Info.si_pid == FTool) || (Looked < 0 && errno == ECHILD);
}

ToolWake PlainRun::AwaitEnd(const RunDeadline& Deadline) noexcept {
    // No waiter's end wakes the sleep: the tool is looked at in slices.
    constexpr auto Slice = std::chrono::milliseconds(10);
    for (;;) {
        if (const std::optional<ToolWake> Now = RunWord::Look(FWord)) {
            return *Now;
        }
        if (ToolEnded()) {
            return ToolWake::Ended;
        }
        if (!RunWord::Sleep(FWord, Deadline, Slice)) {
            return ToolWake::Deadline;
        }
    }
}

void PlainRun::Interrupt() noexcept {
    if (FStarted) {
        RunWord::Interrupt(FWord);
    }
}

bool PlainRun::SignalTool(int Signal) noexcept {
    // Not collected yet, so its id is still its own.
    return FStarted && !ToolEnded() && kill(FTool, Signal) == 0;
}

bool LaunchDetachedPlain(const SpawnRequest& Request) noexcept {
    // A short-lived middle process starts the tool and ends, so that the tool is orphaned and the
    // system's reaper collects it, never this application.
    const pid_t Middle = fork();
    if (Middle < 0) {
        return false;
    }
    if (Middle == 0) {
        _exit(SpawnPlain(Request, -1, -1) > 0 ? 0 : 127);
    }
    int Status = 0;
    pid_t Collected = -1;
    while ((Collected = waitpid(Middle, &Status, 0)) < 0 && errno == EINTR) {
    }
    // ECHILD: the application's own reaping took the middle process, and with it the answer.
    return Collected < 0 || (WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
}

} // namespace Queltburner::Posix
