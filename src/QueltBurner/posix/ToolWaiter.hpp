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
// Under runtimes that cannot follow such a process (ThreadSanitizer, valgrind) the waiter is left
// out: see StartPath::Plain.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/types.h>

namespace Queltburner::Posix {

// The program and its argv, prepared (and owned) by the caller before the waiter starts.
struct SpawnRequest {
    const char* Program = nullptr;
    char* const* Argv = nullptr;
    char* const* Environment = nullptr; // nullptr: the application's own
};

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

// How tools are started.
enum class StartPath : std::uint8_t {
    // Through the waiter.
    Waiter,
    // fork, exec and waitpid, for applications run under ThreadSanitizer or valgrind, which cannot
    // follow the waiter. What this gives up: an application that reaps every child
    // (waitpid(-1, ...), SIGCHLD ignored) can take the tool's status (the run then fails, -1); the
    // tool does not end with an application that is killed; the tool's end is looked for every
    // 10 ms instead of being told; a launch without waiting costs a fork of the application, and
    // its tool becomes the application's zombie when the application adopts orphans.
    Plain,
};

// The path for this process: Plain when it runs under ThreadSanitizer or valgrind, asked once.
StartPath StartPathOfThisProcess() noexcept;

// A launch without waiting on the plain path: true when the tool started (or when the application's
// own reaping took the answer).
bool LaunchDetachedPlain(const SpawnRequest& Request) noexcept;

// How AwaitEnd returned.
enum class WaiterWake : std::uint8_t { Ended, Interrupted, Deadline };

class ToolWaiter {
public:
    // Reserves the waiter's memory and, for AfterRelease, its lifeline. Throws std::bad_alloc or
    // std::system_error; nothing has started then.
    explicit ToolWaiter(WaiterEnd End, StartPath Path = StartPath::Waiter);
    ToolWaiter(const ToolWaiter&) = delete;
    ToolWaiter& operator=(const ToolWaiter&) = delete;
    ToolWaiter(ToolWaiter&&) = delete;
    ToolWaiter& operator=(ToolWaiter&&) = delete;
    // A waiter that was started is waited for (released first), so that it is never left behind
    // running in the application's memory or as a zombie.
    ~ToolWaiter();

    // Starts the waiter, which starts the tool. Returns once the tool runs (true: its exec has
    // replaced its image) or failed to start (false: exec failed, or the waiter or the tool could
    // not be created). Call once. The request must stay valid until it returns.
    bool Start(const SpawnRequest& Request) noexcept;

    // Waits for the waiter to end; the tool's raw wait status, or no value when the waiter ended
    // without seeing the tool end (it was killed). Safe to call again and from several threads.
    std::optional<int> Wait() noexcept;

    // True once the tool has ended (the waiter saw it end); does not block.
    bool ToolEnded() const noexcept;

    // AfterRelease: lets the waiter end once its tool has ended. Does not block.
    void Release() noexcept;

    // AfterTool, after Start: sleeps until the tool has ended, Interrupt is called (from any
    // thread; one that came before the sleep counts), or Deadline passes. Uses no descriptor:
    // the sleep is on the word the kernel clears at the waiter's end.
    WaiterWake
    AwaitEnd(const std::optional<std::chrono::steady_clock::time_point>& Deadline) noexcept;
    void Interrupt() noexcept;
    // False on the plain path, where nothing tells a watch that the tool has ended: it looks.
    bool NoticesEnd() const noexcept { return FPath == StartPath::Waiter; }

    // For a watched run (AfterTool), before Start: the tool's standard output and error go to
    // these descriptors (the write ends of pipes; the caller closes its own copies after Start),
    // and the waiter adds 1 to the eventfd EndNotice once the tool has ended and its status is
    // kept. Either may be -1 for none.
    void Watch(int OutputWrite, int ErrorWrite, int EndNotice) noexcept;
    // Sends Signal to the tool while it has not been collected; false when it could not be sent
    // (it has ended). Never reaches another process that took over the tool's id.
    bool SignalTool(int Signal) noexcept;

    struct Block;

private:
    void AwaitExec() noexcept;
    bool WaiterEnded() const noexcept;
    void ReapWaiter() const noexcept;
    bool StartPlain(const SpawnRequest& Request) noexcept;
    bool PlainToolEnded() const noexcept;

    WaiterEnd FEnd;
    StartPath FPath;
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
