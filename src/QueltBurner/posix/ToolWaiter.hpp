// The waiter: a small process between the library and the tool, so that the tool's end reaches
// the library whatever the application does with its own children.
//
// The application may ignore SIGCHLD (the kernel then reaps its children at once), set
// SA_NOCLDWAIT, or reap every child with waitpid(-1, ...) from a handler or another thread. Any of
// these takes a plain child's status away from the library. The waiter is created with no exit
// signal, which makes it a "clone" child: waitpid(-1, ...) without __WALL never sees it and the
// kernel never reaps it behind the library's back. It shares the application's memory (no copy of
// a large application per run), starts the tool as its own child with SIGCHLD at its default,
// waits for it, and leaves the raw status in memory the library reads once the waiter has ended.
// The tool starts with every signal at its default and none blocked, as a fresh Windows process
// would, whatever the application has set for itself, and with none of the application's
// descriptors but the standard three.
//
// Under runtimes that cannot follow such a process (ThreadSanitizer, valgrind) the host takes the
// plain way instead (PlainRun.hpp, StartPath::Plain).
#pragma once

#include "ToolRun.hpp"

#include <cstdint>
#include <mutex>
#include <optional>
#include <sys/types.h>

namespace Queltburner::Posix {

// What the waiter does once the tool has started.
enum class WaiterEnd : std::uint8_t {
    // Waits for the tool and keeps its status for Wait (a waiting run).
    AfterTool,
    // Ends at once: the tool is orphaned and the system's reaper collects it (a launch without
    // waiting in an application that does not adopt orphans).
    AtStart,
    // Waits for the tool so that it never becomes the application's zombie, then stays, asleep,
    // until Release or the application's end (a launch without waiting in an application that
    // adopts orphans: a child subreaper, or the first process of a PID namespace).
    AfterRelease,
};

class ToolWaiter final : public ToolRun {
public:
    // Reserves the waiter's memory and, for AfterRelease, its lifeline. When either cannot be
    // had, Start reports a failed start.
    explicit ToolWaiter(WaiterEnd End);
    ToolWaiter(const ToolWaiter&) = delete;
    ToolWaiter& operator=(const ToolWaiter&) = delete;
    ToolWaiter(ToolWaiter&&) = delete;
    ToolWaiter& operator=(ToolWaiter&&) = delete;
    // A waiter that was started is waited for (released first), so that it is never left behind
    // running in the application's memory or as a zombie.
    ~ToolWaiter() override;

    // The waiter adds to EndNotice once the tool has ended (AfterTool).
    void Watch(int OutputWrite, int ErrorWrite, int EndNotice) noexcept override;
    // Starts the waiter, which starts the tool; false also when exec failed, or the waiter or the
    // tool could not be created.
    bool Start(const SpawnRequest& Request) noexcept override;
    // Waits for the waiter to end; no value when it ended without seeing the tool end (it was
    // killed).
    std::optional<int> Wait() noexcept override;
    bool ToolEnded() const noexcept override;
    // AfterTool: the sleep is on the word the kernel clears at the waiter's end.
    ToolWake AwaitEnd(const RunDeadline& Deadline) noexcept override;
    void Interrupt() noexcept override;
    bool NoticesEnd() const noexcept override { return true; }
    bool SignalTool(int Signal) noexcept override;

    // AfterRelease: lets the waiter end once its tool has ended. Does not block.
    void Release() noexcept;

    struct Block;

private:
    void AwaitExec() noexcept;
    bool WaiterEnded() const noexcept;
    void ReapWaiter() const noexcept;

    WaiterEnd FEnd;
    void* FRegion = nullptr; // the shared block and the waiter's stack
    Block* FBlock = nullptr;
    pid_t FWaiter = 0;
    int FLifelineWrite = -1;
    int FLifelineRead = -1;
    bool FStarted = false;
    bool FCollected = false;
    std::optional<int> FStatus;
    std::mutex FWaitMutex;
};

} // namespace Queltburner::Posix
