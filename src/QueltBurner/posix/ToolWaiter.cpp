// The library's side of the waiter (Linux): its memory, its start, and the sleeps until the tool
// runs and until it has ended. What runs in the waiter itself is in WaiterProcess.cpp.
#include "ToolWaiter.hpp"
#include "ToolWaiterBlock.hpp"

#include "Immortal.hpp"
#include "RunWord.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <linux/futex.h>
#include <mutex>
#include <new>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Queltburner::Posix {

namespace {

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

} // namespace

ToolWaiter::ToolWaiter(WaiterEnd End) : FEnd(End) {
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
    if (FBlock == nullptr || FStarted || (FEnd == WaiterEnd::AfterRelease && FLifelineRead < 0)) {
        return false;
    }
    FBlock->Request = Request;
    FBlock->Lifeline = FLifelineRead;
    FBlock->HostPid = getpid();
    FBlock->WaiterWord = RunWord::Running;
    FBlock->ExecWord = RunWord::Running; // until the tool runs

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
    return FBlock != nullptr && Shared(FBlock->ToolEnded).load(std::memory_order_acquire) != 0;
}

ToolWake ToolWaiter::AwaitEnd(const RunDeadline& Deadline) noexcept {
    for (;;) {
        if (const std::optional<ToolWake> Now = RunWord::Look(FBlock->WaiterWord)) {
            return *Now;
        }
        if (!RunWord::Sleep(FBlock->WaiterWord, Deadline, std::nullopt)) {
            return ToolWake::Deadline;
        }
    }
}

void ToolWaiter::Interrupt() noexcept {
    if (FBlock != nullptr && FStarted) {
        RunWord::Interrupt(FBlock->WaiterWord);
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
