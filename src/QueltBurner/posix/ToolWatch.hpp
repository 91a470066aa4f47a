// What a run whose streams are captured adds to a waited one on POSIX: the pipes of the tool's
// output and error, an eventfd the run adds to when the tool has ended (where it tells the end:
// ToolRun::NoticesEnd), and one a cancel adds to from any thread. One wait polls them all on the
// caller's thread.
#pragma once

#include "QueltBurnerHostServices.hpp"
#include "ToolRun.hpp"

#include <memory>

namespace Queltburner::Posix {

class ToolWatch {
public:
    // Makes the descriptors; throws std::system_error when one cannot be made.
    explicit ToolWatch(std::shared_ptr<ToolRun> Run);
    ToolWatch(const ToolWatch&) = delete;
    ToolWatch& operator=(const ToolWatch&) = delete;
    ToolWatch(ToolWatch&&) = delete;
    ToolWatch& operator=(ToolWatch&&) = delete;
    // Waits for the run first: its waiter writes to the end notice until its last moment.
    ~ToolWatch();

    // Hands the run what it needs before it starts; after a successful start, the write ends
    // of the pipes are closed here (the tool has its own).
    void PrepareStart() noexcept;
    void Started() noexcept;

    WaitEvent Wait(WaitDeadline Deadline, CapturedOutput& Output);
    void Interrupt() const noexcept;

private:
    // Reads what a pipe holds now (at most Limit bytes); closes it at its end.
    void ReadAvailable(int& Pipe, std::string& Into, std::size_t Limit);

    std::shared_ptr<ToolRun> FRun;
    int FOutputRead = -1;
    int FOutputWrite = -1;
    int FErrorRead = -1;
    int FErrorWrite = -1;
    int FEndNotice = -1;
    int FWake = -1;
};

} // namespace Queltburner::Posix
