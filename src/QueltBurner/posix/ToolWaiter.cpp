// Linux: the waiter is created with clone(CLONE_VM) and no exit signal; the kernel clears and wakes
// a futex word when it ends (CLONE_CHILD_CLEARTID).
#include "ToolWaiter.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <linux/futex.h>
#include <mutex>
#include <new>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace Queltburner::Posix {

// The memory the library and the waiter share. The waiter writes only the fields below Word, and
// only before it reports and once its tool has ended.
struct ToolWaiter::Block {
    SpawnRequest Request;
    WaiterEnd End = WaiterEnd::AfterTool;
    int Lifeline = -1; // the read end the waiter keeps until it is released (AfterRelease)
    // The futex word: WaiterRunning, then ToolReported, and 0 once the waiter has ended.
    int Word = 0;
    int Reported = 0; // 1 once SpawnError holds the start's outcome (Word may be 0 by then)
    int SpawnError = 0;
    int ToolStatus = 0;
    int ToolEnded = 0;
};

namespace {

constexpr int WaiterRunning = -1;
constexpr int ToolReported = -2;
// The waiter runs posix_spawn and little else; the rest of the region is never touched.
constexpr std::size_t WaiterStackSize = std::size_t{256} * 1024;

std::size_t PageSize() noexcept {
    const long Size = sysconf(_SC_PAGESIZE);
    return Size > 0 ? static_cast<std::size_t>(Size) : 4096;
}

// The block's page, a guard page, then the waiter's stack, which grows down towards the guard.
std::size_t RegionSize() noexcept {
    return 2 * PageSize() + WaiterStackSize;
}

// Regions of waiters that have ended, kept for the next ones: a fresh mapping would cost page
// faults on the waiter's stack and, at munmap, a TLB shootdown on every run.
class RegionPool {
public:
    static RegionPool& Instance() noexcept {
        // Never destroyed: a waiter may still end while the program exits.
        alignas(RegionPool) static unsigned char Storage[sizeof(RegionPool)];
        static auto* const Pool = new (Storage) RegionPool;
        return *Pool;
    }

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

long Futex(int* Word, int Operation, int Value) noexcept {
    return syscall(SYS_futex, Word, Operation, Value, nullptr, nullptr, 0);
}

// Keeps only Kept (or nothing when it is -1): the waiter must not hold the application's files,
// pipes and sockets open while the tool runs, or their other ends would not see them close.
void CloseDescriptorsBut(int Kept) noexcept {
    if (Kept > 0) {
        (void)close_range(0, static_cast<unsigned>(Kept) - 1, 0);
    }
    (void)close_range(static_cast<unsigned>(Kept + 1), UINT_MAX, 0);
}

// The waiter's whole life. It shares the memory of the thread that created it, including that
// thread's thread-local storage, so it must stay out of the sanitizers' and the stack protector's
// bookkeeping, and once it has reported, that thread runs on: from then on only raw system calls
// that cannot fail here (so errno is never written) and the shared block.
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

    pid_t Tool = 0;
    const int Error = posix_spawn(&Tool, State->Request.Program, State->Request.FileActions,
                                  State->Request.Attributes, State->Request.Argv, environ);
    if (Error == 0 && State->End != WaiterEnd::AtStart) {
        CloseDescriptorsBut(State->Lifeline);
    }
    State->SpawnError = Error;
    std::atomic_ref<int>(State->Reported).store(1, std::memory_order_release);
    std::atomic_ref<int>(State->Word).store(ToolReported, std::memory_order_release);
    (void)Futex(&State->Word, FUTEX_WAKE, INT_MAX);
    if (Error != 0 || State->End == WaiterEnd::AtStart) {
        return 0;
    }

    int Status = 0;
    if (syscall(SYS_wait4, Tool, &Status, 0, nullptr) == Tool) {
        State->ToolStatus = Status;
        std::atomic_ref<int>(State->ToolEnded).store(1, std::memory_order_release);
    }
    if (State->End == WaiterEnd::AfterRelease) {
        // Returns at the end of file: Release closed the other end, or the application ended.
        char Byte = 0;
        (void)syscall(SYS_read, State->Lifeline, &Byte, 1);
    }
    return 0;
}

} // namespace

ToolWaiter::ToolWaiter(WaiterEnd End) : FEnd(End) {
    FRegion = RegionPool::Instance().Take();
    if (FRegion == nullptr) {
        return; // Start reports the failed start
    }
    static_assert(sizeof(Block) <= 4096);
    FBlock = new (FRegion) Block{};
    FBlock->End = End;
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
        RegionPool::Instance().Give(FRegion);
    }
}

bool ToolWaiter::Start(const SpawnRequest& Request) noexcept {
    if (FBlock == nullptr || FStarted || (FEnd == WaiterEnd::AfterRelease && FLifelineRead < 0)) {
        return false;
    }
    FBlock->Request = Request;
    FBlock->Lifeline = FLifelineRead;
    FBlock->Word = WaiterRunning;
    char* StackTop = static_cast<char*>(FRegion) + RegionSize();

    // This thread keeps every signal blocked until the waiter has reported, as during a vfork:
    // the waiter starts with them all blocked, and no handler of the application runs on this
    // thread while the waiter uses its thread-local storage.
    sigset_t All;
    sigset_t Previous;
    sigfillset(&All);
    (void)pthread_sigmask(SIG_SETMASK, &All, &Previous);
    constexpr int Flags = CLONE_VM | CLONE_CHILD_CLEARTID; // and no exit signal
    const pid_t Waiter =
        clone(WaiterMain, StackTop, Flags, FBlock, nullptr, nullptr, &FBlock->Word);
    if (Waiter > 0) {
        FStarted = true;
        FWaiter = Waiter;
        while (Shared(FBlock->Word).load(std::memory_order_acquire) == WaiterRunning) {
            (void)Futex(&FBlock->Word, FUTEX_WAIT, WaiterRunning);
        }
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
    // A waiter that ends at once may have ended already (Word 0); one that was killed before it
    // could report never set Reported.
    if (Shared(FBlock->Reported).load(std::memory_order_acquire) != 0 && FBlock->SpawnError == 0) {
        return true;
    }
    (void)Wait();
    return false;
}

std::optional<int> ToolWaiter::Wait() noexcept {
    const std::lock_guard Lock(FWaitMutex);
    if (!FStarted) {
        return std::nullopt;
    }
    if (!FCollected) {
        for (int Word = Shared(FBlock->Word).load(std::memory_order_acquire); Word != 0;
             Word = Shared(FBlock->Word).load(std::memory_order_acquire)) {
            (void)Futex(&FBlock->Word, FUTEX_WAIT, Word);
        }
        ReapWaiter();
        FCollected = true;
        if (Shared(FBlock->ToolEnded).load(std::memory_order_acquire) != 0) {
            FStatus = FBlock->ToolStatus;
        }
    }
    return FStatus;
}

void ToolWaiter::ReapWaiter() const noexcept {
    // The kernel has just told that the waiter ended (it cleared the word): collect the process.
    // ECHILD means the application collected it already (waitpid with __WALL), which loses
    // nothing: the status is in the block. The id is not taken after a failed wait, only once the
    // process is known to have ended, microseconds ago: the kernel hands out ids in turn, so it
    // cannot belong to another process yet. (A pidfd would name it exactly, at a cost of a few
    // percent of a whole run of a small tool.)
    while (waitpid(FWaiter, nullptr, __WALL) < 0 && errno == EINTR) {
    }
}

bool ToolWaiter::ToolEnded() const noexcept {
    return FBlock != nullptr && Shared(FBlock->ToolEnded).load(std::memory_order_acquire) != 0;
}

void ToolWaiter::Release() noexcept {
    if (FLifelineWrite >= 0) {
        (void)close(FLifelineWrite);
        FLifelineWrite = -1;
    }
}

pid_t ToolWaiter::WaiterId() const noexcept {
    return FStarted && !FCollected ? FWaiter : 0;
}

} // namespace Queltburner::Posix
