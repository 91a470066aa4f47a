// How the POSIX host starts a tool and follows it to its end. There are two ways, each behind
// the same interface: through the waiter process (ToolWaiter.hpp), and plainly with fork, exec and
// waitpid (PlainRun.hpp) for runtimes that cannot follow the waiter. A host takes its way once,
// from StarterFor, and never asks again which one it has.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace Queltburner::Posix {

// The program and its argv, prepared (and owned) by the caller before anything starts.
struct SpawnRequest {
    const char* Program = nullptr;
    char* const* Argv = nullptr;
    char* const* Environment = nullptr; // nullptr: the application's own
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

// How AwaitEnd returned.
enum class ToolWake : std::uint8_t { Ended, Interrupted, Deadline };

using RunDeadline = std::optional<std::chrono::steady_clock::time_point>;

// One waiting run of a tool: prepared, started once, then waited for, woken and signalled from
// any thread.
class ToolRun {
public:
    ToolRun() = default;
    ToolRun(const ToolRun&) = delete;
    ToolRun& operator=(const ToolRun&) = delete;
    ToolRun(ToolRun&&) = delete;
    ToolRun& operator=(ToolRun&&) = delete;
    // A run that was started is waited for, so that its tool never stays behind as a zombie.
    virtual ~ToolRun() = default;

    // For a watched run, before Start: the tool's standard output and error go to these
    // descriptors (the write ends of pipes; the caller closes its own copies after Start), and,
    // where the end is told (NoticesEnd), 1 is added to the eventfd EndNotice once the tool has
    // ended and its status is kept. Either may be -1 for none.
    virtual void Watch(int OutputWrite, int ErrorWrite, int EndNotice) noexcept = 0;

    // Starts the tool. Returns once it runs (true: its exec has replaced its image) or failed to
    // start (false). Call once. The request must stay valid until it returns.
    virtual bool Start(const SpawnRequest& Request) noexcept = 0;

    // Waits for the tool's end; its raw wait status, or no value when it was lost (the run then
    // failed). Safe to call again and from several threads.
    virtual std::optional<int> Wait() noexcept = 0;

    // True once the tool has ended; does not block.
    virtual bool ToolEnded() const noexcept = 0;

    // After Start: sleeps until the tool has ended, Interrupt is called (from any thread; one that
    // came before the sleep counts), or Deadline passes. Uses no descriptor.
    virtual ToolWake AwaitEnd(const RunDeadline& Deadline) noexcept = 0;
    virtual void Interrupt() noexcept = 0;

    // True when the EndNotice given to Watch is added to at the tool's end; false where nothing
    // tells a watch that the tool has ended and it has to look (ToolEnded).
    virtual bool NoticesEnd() const noexcept = 0;

    // Sends Signal to the tool while it has not been collected; false when it could not be sent
    // (it has ended). Never reaches another process that took over the tool's id.
    virtual bool SignalTool(int Signal) noexcept = 0;
};

// One way of starting tools: the runs that are waited for, and the launches that are not.
class ToolStarter {
public:
    ToolStarter() = default;
    ToolStarter(const ToolStarter&) = delete;
    ToolStarter& operator=(const ToolStarter&) = delete;
    ToolStarter(ToolStarter&&) = delete;
    ToolStarter& operator=(ToolStarter&&) = delete;
    virtual ~ToolStarter() = default;

    // A waiting run, not started yet. Throws std::bad_alloc; nothing has started then.
    virtual std::shared_ptr<ToolRun> NewRun() const = 0;

    // Launches the tool without waiting: true when it started (or when the application's own
    // reaping took the answer). The tool never stays behind as the application's zombie where the
    // way can help it. Throws std::bad_alloc before anything starts.
    virtual bool LaunchDetached(const SpawnRequest& Request) const = 0;
};

// The way of starting that Path names: the one place where a path becomes an implementation.
const ToolStarter& StarterFor(StartPath Path) noexcept;

} // namespace Queltburner::Posix
