// The plain way of starting a tool: fork and exec, and waitpid for its end, for runtimes that
// cannot follow the waiter (a process that shares the application's memory without being one of
// its threads): ThreadSanitizer takes its stores for races and its stack for a thread's, and
// valgrind cannot run such a clone at all. What it gives up is told at StartPath::Plain.
#pragma once

#include "ToolRun.hpp"

#include <atomic>
#include <mutex>
#include <optional>
#include <sys/types.h>

namespace Queltburner::Posix {

class PlainRun final : public ToolRun {
public:
    PlainRun() = default;
    PlainRun(const PlainRun&) = delete;
    PlainRun& operator=(const PlainRun&) = delete;
    PlainRun(PlainRun&&) = delete;
    PlainRun& operator=(PlainRun&&) = delete;
    ~PlainRun() override;

    // The end notice is never added to: nothing here learns of the end without looking.
    void Watch(int OutputWrite, int ErrorWrite, int EndNotice) noexcept override;
    bool Start(const SpawnRequest& Request) noexcept override;
    // No value when the application's own reaping took the tool's status.
    std::optional<int> Wait() noexcept override;
    bool ToolEnded() const noexcept override;
    // Looks at the tool every 10 ms between sleeps on the word.
    ToolWake AwaitEnd(const RunDeadline& Deadline) noexcept override;
    void Interrupt() noexcept override;
    bool NoticesEnd() const noexcept override { return false; }
    bool SignalTool(int Signal) noexcept override;

private:
    int FOutputFd = -1;
    int FErrorFd = -1;
    pid_t FTool = 0;
    bool FStarted = false;
    bool FCollected = false;
    std::atomic<bool> FEnded{false}; // once Wait has collected the tool and holds its status
    int FWord = 0;                   // RunWord: Running from the start on, never cleared
    std::optional<int> FStatus;
    std::mutex FWaitMutex;
};

// A launch without waiting on the plain way: true when the tool started (or when the
// application's own reaping took the answer).
bool LaunchDetachedPlain(const SpawnRequest& Request) noexcept;

} // namespace Queltburner::Posix
