// What a watched run adds to a waited one on Windows: overlapped pipes for the tool's output and
// error (when captured) and an event a cancel sets from any thread. One WaitForMultipleObjects on
// the caller's thread waits for the process, the event and both pipes at once.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace Queltburner::Win32 {

// One captured stream: the read end with at most one overlapped read outstanding.
class PipeReader {
public:
    PipeReader() = default;
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;
    PipeReader(PipeReader&&) = delete;
    PipeReader& operator=(PipeReader&&) = delete;
    // Cancels an outstanding read and waits for it: the buffer is the system's until then.
    ~PipeReader();

    // Makes the pipe; its write end is returned inheritable for the tool. False when it cannot.
    bool Create(HANDLE& WriteEnd);
    bool Open() const noexcept { return FPipe != nullptr; }
    // Starts reads until one has to wait, appending what completes at once (at most Limit bytes).
    void Issue(std::string& Into, std::size_t Limit);
    // The event that is set when the outstanding read completes; nullptr when none is.
    HANDLE PendingEvent() const noexcept { return FPending ? FEvent : nullptr; }
    // Collects the outstanding read once its event is set.
    void Complete(std::string& Into);
    // Reads what the pipe holds now without waiting for more (at most Limit bytes).
    void Drain(std::string& Into, std::size_t Limit);

private:
    void Close() noexcept;

    HANDLE FPipe = nullptr;
    HANDLE FEvent = nullptr;
    OVERLAPPED FOverlapped{};
    bool FPending = false;
    std::vector<char> FBuffer = std::vector<char>(65536);
};

class ToolWatch {
public:
    ToolWatch();
    ToolWatch(const ToolWatch&) = delete;
    ToolWatch& operator=(const ToolWatch&) = delete;
    ToolWatch(ToolWatch&&) = delete;
    ToolWatch& operator=(ToolWatch&&) = delete;
    ~ToolWatch();

    // Makes both pipes; the write ends for the tool are returned. False when they cannot be made.
    bool Capture(HANDLE& OutputWrite, HANDLE& ErrorWrite);
    bool Ready() const noexcept { return FWake != nullptr; }

    WaitEvent Wait(HANDLE Process, WaitDeadline Deadline, CapturedOutput& Output);
    void Interrupt() const noexcept;

private:
    HANDLE FWake = nullptr; // auto-reset: one interrupt wakes one wait
    std::array<PipeReader, 2> FPipes;
};

} // namespace Queltburner::Win32
