// Linux: the waiter is created with clone(CLONE_VM) and no exit signal. It creates the tool the
// same way but as its own child (exit signal SIGCHLD), and both carry a word the kernel clears,
// waking whoever waits on it (CLONE_CHILD_CLEARTID), when their share of the memory goes: for
// the tool that is the moment exec has replaced its image (or it died before), for the waiter its
// end. So the caller sleeps once until the tool runs and once until it has ended, as with a
// plain posix_spawn and waitpid.
#include "ToolWaiter.hpp"
#include "ToolWaiterBlock.hpp"

#include "Immortal.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <linux/futex.h>
#include <mutex>
#include <new>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace Queltburner::Posix {

namespace {

constexpr int Running = -1;
// Running, and an Interrupt has come that no AwaitEnd has taken yet.
constexpr int Woken = -2;

// What the waiter of a waiting run is sent when the thread that started it ends (with its whole
// process, or alone: then another thread of the process adopts the waiter, which goes on). Blocked
// like every signal there, so it only wakes the waiter's wait.
constexpr int HostEndSignal = SIGHUP;
// How long a tool whose host has ended may take to end once asked, as a cancelled run's tool.
constexpr time_t HostEndGraceSeconds = 3;
// The waiter and the tool before its exec each need a few frames; the rest is never touched.
constexpr std::size_t StackSize = std::size_t{64} * 1024;

std::size_t PageSize() noexcept {
    const long Size = sysconf(_SC_PAGESIZE);
    return Size > 0 ? static_cast<std::size_t>(Size) : 4096;
}

// The block's page, then for the waiter and then for the tool a guard page and a stack that grows
// down towards it.
std::size_t RegionSize() noexcept {
    return 3 * PageSize() + 2 * StackSize;
}

char* WaiterStackTop(void* Region) noexcept {
    return static_cast<char*>(Region) + 2 * PageSize() + StackSize;
}

char* ToolStackTop(void* Region) noexcept {
    return static_cast<char*>(Region) + RegionSize();
}

// Regions of waiters that have ended, kept for the next ones: a fresh mapping would cost page
// faults on the waiter's stack and, at munmap, a TLB shootdown on every run.
class RegionPool {
public:
    // A region with its guard page in place; nullptr when none can be mapped.
    void* Take() noexcept {
        {
            const std::lock_guard Lock(FMutex);
            if (FCount > 0) {
                return FFree[--FCount];
            }
        }
        void* Region = mmap(nullptr, RegionSize(), PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (Region == MAP_FAILED) {
            return nullptr;
        }
        (void)mprotect(static_cast<char*>(Region) + PageSize(), PageSize(), PROT_NONE);
        (void)mprotect(WaiterStackTop(Region), PageSize(), PROT_NONE);
        return Region;
    }

    // Only a region whose waiter has let go of it.
    void Give(void* Region) noexcept {
        {
            const std::lock_guard Lock(FMutex);
            if (FCount < std::size(FFree)) {
                FFree[FCount++] = Region;
                return;
            }
        }
        (void)munmap(Region, RegionSize());
    }

private:
    std::mutex FMutex;
    void* FFree[4] = {};
    std::size_t FCount = 0;
};

std::atomic_ref<int> Shared(int& Field) noexcept {
    return std::atomic_ref<int>(Field);
}

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

// The waiter's whole life. It shares the caller thread's thread-local storage, so it stays out of
// the sanitizers' and the stack protector's bookkeeping; and once the tool runs, that thread runs
// on: from then on only system calls that cannot fail here (so errno is never written) and the
// shared block.
[[gnu::no_sanitize_address, gnu::no_sanitize_undefined, gnu::no_stack_protector]] int
WaiterMain(void* Argument) noexcept {
    auto* State = static_cast<ToolWaiter::Block*>(Argument);
    // Every signal stays blocked: no handler of the application ever runs in here.
    sigset_t All;
    sigfillset(&All);
    (void)syscall(SYS_rt_sigprocmask, SIG_SETMASK, &All, nullptr, _NSIG / 8);
    // SIGCHLD at its default, so that an inherited SIG_IGN or SA_NOCLDWAIT cannot make the kernel
    // reap the tool before wait4 reads its status.
    struct sigaction Default {};
    Default.sa_handler = SIG_DFL;
    (void)sigaction(SIGCHLD, &Default, nullptr);
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

} // namespace

ToolWaiter::ToolWaiter(WaiterEnd End, StartPath Path) : FEnd(End), FPath(Path) {
    FRegion = Immortal<RegionPool>().Take();
    if (FRegion == nullptr) {
        return; // Start reports the failed start
    }
    static_assert(sizeof(Block) <= 4096);
    FBlock = new (FRegion) Block{};
    FBlock->End = End;
    FBlock->FirstRealtime = SIGRTMIN;
    const long OpenMax = sysconf(_SC_OPEN_MAX);
    FBlock->OpenMax = OpenMax > 0 && OpenMax < INT_MAX ? static_cast<int>(OpenMax) : 1024;
    FBlock->ToolStack = ToolStackTop(FRegion);
    if (End == WaiterEnd::AfterRelease) {
        int Lifeline[2];
        if (pipe2(Lifeline, O_CLOEXEC) == 0) {
            FLifelineRead = Lifeline[0];
            FLifelineWrite = Lifeline[1];
        }
    }
}

ToolWaiter::~ToolWaiter() {
    if (FStarted && !FCollected) {
        Release();
        (void)Wait();
    }
    for (const int Descriptor : {FLifelineRead, FLifelineWrite}) {
        if (Descriptor >= 0) {
            (void)close(Descriptor);
        }
    }
    if (FRegion != nullptr) {
        // Started or not, nothing runs on it any more.
        Immortal<RegionPool>().Give(FRegion);
    }
}

bool ToolWaiter::Start(const SpawnRequest& Request) noexcept {
    if (FBlock != nullptr && !FStarted && FPath == StartPath::Plain) {
        return StartPlain(Request);
    }
    if (FBlock == nullptr || FStarted || (FEnd == WaiterEnd::AfterRelease && FLifelineRead < 0)) {
        return false;
    }
    FBlock->Request = Request;
    FBlock->Lifeline = FLifelineRead;
    FBlock->HostPid = getpid();
    FBlock->WaiterWord = Running;
    FBlock->ExecWord = Running;

    // This thread keeps every signal blocked until the tool has replaced its image, as during a
    // vfork: the waiter and the tool start with them all blocked, and no handler of the
    // application runs on this thread while they use its thread-local storage.
    sigset_t All;
    sigset_t Previous;
    sigfillset(&All);
    (void)pthread_sigmask(SIG_SETMASK, &All, &Previous);
    const int Sharing = CLONE_VM | CLONE_FS | (FEnd == WaiterEnd::AfterRelease ? 0 : CLONE_FILES);
    const pid_t Waiter = clone(WaiterMain, WaiterStackTop(FRegion), Sharing | CLONE_CHILD_CLEARTID,
                               FBlock, nullptr, nullptr, &FBlock->WaiterWord);
    if (Waiter > 0) {
        FStarted = true;
        FWaiter = Waiter;
        AwaitExec();
    }
    (void)pthread_sigmask(SIG_SETMASK, &Previous, nullptr);
    if (!FStarted) {
        return false;
    }
    // The waiter has its own copy of the read end.
    if (FLifelineRead >= 0) {
        (void)close(FLifelineRead);
        FLifelineRead = -1;
    }
    if (Shared(FBlock->ExecWord).load(std::memory_order_acquire) == 0 && FBlock->SpawnError == 0) {
        return true;
    }
    (void)Wait();
    return false;
}

void ToolWaiter::AwaitExec() noexcept {
    // A waiter that ended before it created the tool (killed, or run by an emulator that does not
    // clear the words, such as valgrind) leaves the tool's word as it was: the sleep is cut into
    // slices, and after each the waiter is looked at without collecting it.
    constexpr timespec Slice{0, 50'000'000};
    for (;;) {
        const int Exec = Shared(FBlock->ExecWord).load(std::memory_order_acquire);
        if (Exec == 0) {
            return;
        }
        // The waiter's end first: only then is its word on the tool final. Read the other way
        // round, a waiter that creates the tool and ends between the two reads looks as if it
        // ended without one, and a tool that runs is reported as never started.
        if (WaiterEnded() && Shared(FBlock->ToolCreated).load(std::memory_order_acquire) == 0) {
            FBlock->SpawnError = ECHILD;
            return;
        }
        (void)syscall(SYS_futex, &FBlock->ExecWord, FUTEX_WAIT, Exec, &Slice, nullptr, 0);
    }
}

bool ToolWaiter::WaiterEnded() const noexcept {
    if (Shared(FBlock->WaiterWord).load(std::memory_order_acquire) == 0) {
        return true;
    }
    siginfo_t Info{};
    const int Looked =
        waitid(P_PID, static_cast<id_t>(FWaiter), &Info, WEXITED | WNOHANG | WNOWAIT | __WALL);
    return (Looked == 0 && Info.si_pid == FWaiter) || (Looked < 0 && errno == ECHILD);
}

std::optional<int> ToolWaiter::Wait() noexcept {
    const std::lock_guard Lock(FWaitMutex);
    if (!FStarted) {
        return std::nullopt;
    }
    if (!FCollected && FPath == StartPath::Plain) {
        int Status = 0;
        pid_t Collected = -1;
        while ((Collected = waitpid(FWaiter, &Status, 0)) < 0 && errno == EINTR) {
        }
        FCollected = true;
        if (Collected == FWaiter) {
            Shared(FBlock->ToolEnded).store(1, std::memory_order_release);
            FStatus = Status;
        }
    }
    if (!FCollected) {
        // Once collected (or gone), the waiter has let go of the shared memory: a process lets go
        // of its memory before it becomes a zombie.
        ReapWaiter();
        FCollected = true;
        if (Shared(FBlock->ToolEnded).load(std::memory_order_acquire) != 0) {
            FStatus = FBlock->ToolStatus;
        }
    }
    return FStatus;
}

void ToolWaiter::ReapWaiter() const noexcept {
    // Waits for the waiter itself, and collects it: one sleep until the end, as waitpid on the
    // tool would be. The waiter never has an exit signal, so only a wait with __WALL or __WCLONE
    // sees it: the application's waitpid(-1, ...) cannot. One with __WALL may collect it first:
    // this wait then ends with ECHILD, which loses nothing, since the status is in the block.
    // The wait starts while the waiter is alive or has just ended (a waiter that ends at the
    // start is collected right after it), so its id has not passed to another process: the
    // kernel hands ids out in turn.
    while (waitpid(FWaiter, nullptr, __WALL) < 0 && errno == EINTR) {
    }
}

bool ToolWaiter::ToolEnded() const noexcept {
    if (FBlock != nullptr && FPath == StartPath::Plain) {
        return PlainToolEnded();
    }
    return FBlock != nullptr && Shared(FBlock->ToolEnded).load(std::memory_order_acquire) != 0;
}

WaiterWake ToolWaiter::AwaitEnd(
    const std::optional<std::chrono::steady_clock::time_point>& Deadline) noexcept {
    using Clock = std::chrono::steady_clock;
    // The plain path has no waiter whose end wakes the sleep: it looks at the tool in slices.
    constexpr auto Slice = std::chrono::milliseconds(10);
    for (;;) {
        int Word = Shared(FBlock->WaiterWord).load(std::memory_order_acquire);
        if (Word == Woken) {
            if (Shared(FBlock->WaiterWord).compare_exchange_strong(Word, Running)) {
                return WaiterWake::Interrupted;
            }
            continue; // the waiter ended meanwhile
        }
        if (Word == 0 || (FPath == StartPath::Plain && PlainToolEnded())) {
            return WaiterWake::Ended;
        }
        auto Left = Clock::duration::max();
        if (Deadline) {
            Left = *Deadline - Clock::now();
            if (Left <= Clock::duration::zero()) {
                return WaiterWake::Deadline;
            }
        }
        if (FPath == StartPath::Plain && Left > Slice) {
            Left = Slice;
        }
        // Ten days at most: a wait without a deadline sleeps again after that.
        const auto Nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::min<Clock::duration>(Left, std::chrono::hours(240)));
        const timespec Relative{static_cast<time_t>(Nanoseconds.count() / 1'000'000'000),
                                static_cast<long>(Nanoseconds.count() % 1'000'000'000)};
        // Returns at once when the word is no longer Running: ended, or interrupted.
        (void)syscall(SYS_futex, &FBlock->WaiterWord, FUTEX_WAIT, Running, &Relative, nullptr, 0);
    }
}

void ToolWaiter::Interrupt() noexcept {
    if (FBlock == nullptr || !FStarted) {
        return;
    }
    int Expected = Running;
    if (Shared(FBlock->WaiterWord).compare_exchange_strong(Expected, Woken)) {
        (void)syscall(SYS_futex, &FBlock->WaiterWord, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
    }
}

void ToolWaiter::Watch(int OutputWrite, int ErrorWrite, int EndNotice) noexcept {
    if (FBlock != nullptr && !FStarted) {
        FBlock->OutputFd = OutputWrite;
        FBlock->ErrorFd = ErrorWrite;
        FBlock->EndNotice = EndNotice;
    }
}

bool ToolWaiter::SignalTool(int Signal) noexcept {
    if (FBlock == nullptr || !FStarted ||
        Shared(FBlock->ToolCreated).load(std::memory_order_acquire) == 0) {
        return false;
    }
    if (FPath == StartPath::Plain) {
        // Not collected yet, so its id is still its own.
        return !PlainToolEnded() && kill(FWaiter, Signal) == 0;
    }
    // A process descriptor opened on the tool's id before the waiter begins to collect it names
    // the tool (or what is left of it) for good: the waiter says so before it collects, so a
    // descriptor opened while it has not said so never reaches a process that took over the id.
    const int Descriptor = static_cast<int>(syscall(SYS_pidfd_open, FBlock->ToolPid, 0));
    if (Descriptor >= 0) {
        bool Sent = false;
        if (Shared(FBlock->ToolCollected).load(std::memory_order_seq_cst) == 0) {
            // It reads as ready once its process has ended: a tool that ended by itself is not
            // said to have been ended.
            pollfd Ended{Descriptor, POLLIN, 0};
            Sent = poll(&Ended, 1, 0) == 0 &&
                   syscall(SYS_pidfd_send_signal, Descriptor, Signal, nullptr, 0) == 0;
        }
        (void)close(Descriptor);
        return Sent;
    }
    // Without a process descriptor (kernels before 5.3, or none to spare): a tool the waiter has
    // begun to collect is not signalled; its id could pass to another process only in the moment
    // between this look and the signal.
    return Shared(FBlock->ToolCollected).load(std::memory_order_seq_cst) == 0 &&
           kill(FBlock->ToolPid, Signal) == 0;
}

void ToolWaiter::Release() noexcept {
    if (FLifelineWrite >= 0) {
        (void)close(FLifelineWrite);
        FLifelineWrite = -1;
    }
}

} // namespace Queltburner::Posix
