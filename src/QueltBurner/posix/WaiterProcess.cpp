// The waiter's side (Linux): what runs in the waiter process and in the tool before its exec.
// The waiter is created with clone(CLONE_VM) and no exit signal. It creates the tool the same way
// but as its own child (exit signal SIGCHLD), and both carry a word the kernel clears, waking
// whoever waits on it (CLONE_CHILD_CLEARTID), when their share of the memory goes: for the tool
// that is the moment exec has replaced its image (or it died before), for the waiter its end. So
// the library sleeps once until the tool runs and once until it has ended, as with a plain
// posix_spawn and waitpid (ToolWaiter.cpp).
#include "ToolWaiterBlock.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <linux/futex.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace Queltburner::Posix {

namespace {

// What the waiter of a waiting run is sent when the thread that started it ends (with its whole
// process, or alone: then another thread of the process adopts the waiter, which goes on). Blocked
// like every signal there, so it only wakes the waiter's wait.
constexpr int HostEndSignal = SIGHUP;
// How long a tool whose host has ended may take to end once asked, as a cancelled run's tool.
constexpr time_t HostEndGraceSeconds = 3;

// Closes every descriptor but Kept.
void CloseAllBut(int Kept) noexcept {
    if (Kept > 0) {
        (void)close_range(0, static_cast<unsigned>(Kept) - 1, 0);
    }
    (void)close_range(static_cast<unsigned>(Kept) + 1, UINT_MAX, 0);
}

// The tool until its exec, on its own stack in the shared memory. The caller's thread sleeps, with
// every signal blocked, until the exec: what runs here may use that thread's thread-local storage
// (errno), but stays out of the sanitizers' and the stack protector's bookkeeping.
[[gnu::no_sanitize_address, gnu::no_sanitize_undefined, gnu::no_stack_protector]] int
ToolMain(void* Argument) noexcept {
    auto* State = static_cast<ToolWaiter::Block*>(Argument);
    // Every handler back to its default while every signal is still blocked, as a fresh Windows
    // process starts: none of the application's handlers runs here, and an ignored signal is not
    // ignored by the tool. (The C library's own signals are left: exec resets them.)
    for (int Signal = 1; Signal < _NSIG; ++Signal) {
        if (Signal == SIGKILL || Signal == SIGSTOP ||
            (Signal >= 32 && Signal < State->FirstRealtime)) {
            continue;
        }
        struct sigaction Current {};
        if (sigaction(Signal, nullptr, &Current) == 0 && Current.sa_handler != SIG_DFL) {
            struct sigaction Default {};
            Default.sa_handler = SIG_DFL;
            (void)sigaction(Signal, &Default, nullptr);
        }
    }
    // The tool of a waiting run ends with its waiter, which only ends before it when killed.
    if (State->End == WaiterEnd::AfterTool &&
        (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != State->WaiterPid)) {
        State->SpawnError = ECHILD;
        _exit(127);
    }
    // A watched run's captured streams: first moved above the standard three, so that neither is
    // overwritten by the other's move when the application had closed its own output or error.
    if (State->OutputFd >= 0 && State->ErrorFd >= 0) {
        const int Output = fcntl(State->OutputFd, F_DUPFD_CLOEXEC, 3);
        const int Error = fcntl(State->ErrorFd, F_DUPFD_CLOEXEC, 3);
        if (Output < 0 || Error < 0 || dup2(Output, STDOUT_FILENO) < 0 ||
            dup2(Error, STDERR_FILENO) < 0) {
            State->SpawnError = errno;
            _exit(127);
        }
    }
    // The standard streams only: nothing else of the application reaches the tool.
    if (close_range(3, UINT_MAX, 0) != 0) {
        for (int Descriptor = 3; Descriptor < State->OpenMax; ++Descriptor) {
            (void)close(Descriptor);
        }
    }
    sigset_t None;
    sigemptyset(&None);
    (void)syscall(SYS_rt_sigprocmask, SIG_SETMASK, &None, nullptr, _NSIG / 8);
    // execve, not execvp: the program is exactly the path given.
    execve(State->Request.Program, State->Request.Argv,
           State->Request.Environment != nullptr ? State->Request.Environment : environ);
    State->SpawnError = errno;
    _exit(127);
}

// The waiter's end when it creates no tool: the caller, asleep until the tool runs, learns why.
[[gnu::no_sanitize_address, gnu::no_sanitize_undefined, gnu::no_stack_protector]] int
GiveUpStart(ToolWaiter::Block& State, int Error) noexcept {
    State.SpawnError = Error;
    std::atomic_ref<int>(State.ExecWord).store(0, std::memory_order_release);
    (void)syscall(SYS_futex, &State.ExecWord, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
    return 0;
}

[[gnu::no_sanitize_address, gnu::no_sanitize_undefined, gnu::no_stack_protector]] bool
HostHasEnded(const ToolWaiter::Block& State) noexcept {
    return syscall(SYS_getppid) != State.HostPid;
}

// Waits for the tool and keeps its raw status; true once it has ended. When the application ends
// first, the tool is asked to end and, after the grace period, ended at once: a tool never goes
// on writing a disc unobserved. Every signal is blocked here: SIGCHLD, the host's end and the
// grace period's alarm are taken with sigwaitinfo, and only calls that cannot fail are made.
[[gnu::no_sanitize_address, gnu::no_sanitize_undefined, gnu::no_stack_protector]] bool
AwaitToolOrHostEnd(ToolWaiter::Block& State, pid_t Tool, int& Status) noexcept {
    sigset_t Wake;
    sigemptyset(&Wake);
    for (const int Signal : {SIGCHLD, HostEndSignal, SIGALRM}) {
        sigaddset(&Wake, Signal);
    }
    bool Asked = false;
    for (;;) {
        // Looked at first without collecting it: until it is collected its id stays its own, and
        // the library may still open a process descriptor on it (ToolWaiter::SignalTool).
        siginfo_t Ended{};
        const long Looked =
            syscall(SYS_waitid, P_PID, Tool, &Ended, WEXITED | WNOHANG | WNOWAIT, nullptr);
        if (Looked != 0 || Ended.si_pid == Tool) {
            std::atomic_ref<int>(State.ToolCollected).store(1, std::memory_order_seq_cst);
            return syscall(SYS_wait4, Tool, &Status, 0, nullptr) == Tool;
        }
        if (!Asked && HostHasEnded(State)) {
            Asked = true;
            (void)syscall(SYS_kill, Tool, SIGTERM);
            const itimerval Grace{{0, 0}, {HostEndGraceSeconds, 0}};
            (void)syscall(SYS_setitimer, ITIMER_REAL, &Grace, nullptr);
            continue;
        }
        siginfo_t Info{};
        const long Taken = syscall(SYS_rt_sigtimedwait, &Wake, &Info, nullptr, _NSIG / 8);
        if (Taken == SIGALRM && Asked) {
            (void)syscall(SYS_kill, Tool, SIGKILL);
        }
    }
}

// The waiter's signals, first thing: every one stays blocked, so no handler of the application
// ever runs in here; and SIGCHLD at its default, so that an inherited SIG_IGN or SA_NOCLDWAIT
// cannot make the kernel reap the tool before wait4 reads its status.
[[gnu::no_sanitize_address, gnu::no_sanitize_undefined, gnu::no_stack_protector]] void
KeepSignalsAway() noexcept {
    sigset_t All;
    sigfillset(&All);
    (void)syscall(SYS_rt_sigprocmask, SIG_SETMASK, &All, nullptr, _NSIG / 8);
    struct sigaction Default {};
    Default.sa_handler = SIG_DFL;
    (void)sigaction(SIGCHLD, &Default, nullptr);
}

} // namespace

// The waiter's whole life. It shares the caller thread's thread-local storage, so it stays out of
// the sanitizers' and the stack protector's bookkeeping; and once the tool runs, that thread runs
// on: from then on only system calls that cannot fail here (so errno is never written) and the
// shared block.
[[gnu::no_sanitize_address, gnu::no_sanitize_undefined, gnu::no_stack_protector]] int
WaiterMain(void* Argument) noexcept {
    auto* State = static_cast<ToolWaiter::Block*>(Argument);
    KeepSignalsAway();
    State->WaiterPid = static_cast<pid_t>(syscall(SYS_getpid));
    // The waiter of a waiting run learns of its host's end, however the host ended; a host that
    // has already gone gets no tool.
    if (State->End == WaiterEnd::AfterTool) {
        (void)syscall(SYS_prctl, PR_SET_PDEATHSIG, HostEndSignal, 0, 0, 0);
        if (HostHasEnded(*State)) {
            return GiveUpStart(*State, ECHILD);
        }
    }
    // No process descriptor is made here: most runs never signal their tool, and making one on
    // every start was about a third of what the waiter added to a run of a tool that does nothing.
    // SignalTool opens one when a run is ended.
    const pid_t Tool = clone(ToolMain, State->ToolStack, CLONE_VM | CLONE_CHILD_CLEARTID | SIGCHLD,
                             State, nullptr, nullptr, &State->ExecWord);
    if (Tool < 0) {
        return GiveUpStart(*State, errno);
    }
    State->ToolPid = Tool;
    std::atomic_ref<int>(State->ToolCreated).store(1, std::memory_order_release);
    // None of the application's files, pipes and sockets stay open here (their other ends would
    // not see them close while the tool runs). A waiter that ends with its tool shares the
    // application's descriptor table, so it holds nothing of its own; one that stays until it is
    // released has a copy (the tool has its own by now), and keeps only the lifeline.
    if (State->End == WaiterEnd::AfterRelease) {
        CloseAllBut(State->Lifeline);
    }
    if (State->End == WaiterEnd::AtStart) {
        return 0; // the tool is orphaned: the system's reaper collects it
    }

    int Status = 0;
    const bool Ended = State->End == WaiterEnd::AfterTool
                           ? AwaitToolOrHostEnd(*State, Tool, Status)
                           : syscall(SYS_wait4, Tool, &Status, 0, nullptr) == Tool;
    if (Ended) {
        State->ToolStatus = Status;
        std::atomic_ref<int>(State->ToolEnded).store(1, std::memory_order_release);
    }
    if (State->EndNotice >= 0) {
        const std::uint64_t One = 1;
        (void)syscall(SYS_write, State->EndNotice, &One, sizeof One);
    }
    if (State->End == WaiterEnd::AfterRelease) {
        // Returns at the end of file: Release closed the other end, or the application ended.
        char Byte = 0;
        (void)syscall(SYS_read, State->Lifeline, &Byte, 1);
    }
    return 0;
}

} // namespace Queltburner::Posix
