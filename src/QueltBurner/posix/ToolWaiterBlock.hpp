// The memory the library, the waiter and (until its exec) the tool share: one page of the waiter's
// region. The library's side is ToolWaiter.cpp, the waiter's WaiterProcess.cpp.
#pragma once

#include "ToolWaiter.hpp"

#include <sys/types.h>

namespace Queltburner::Posix {

// The memory the library, the waiter and (until its exec) the tool share.
struct ToolWaiter::Block {
    SpawnRequest Request;
    WaiterEnd End = WaiterEnd::AfterTool;
    int Lifeline = -1;         // the read end the waiter keeps until it is released (AfterRelease)
    int FirstRealtime = 34;    // SIGRTMIN: the signals from 32 up to it are the C library's own
    int OpenMax = 1024;        // for closing descriptors where close_range is missing
    char* ToolStack = nullptr; // the top of the tool's stack
    // RunWord::Running (or Woken), then 0 once the waiter has ended (cleared by the kernel).
    int WaiterWord = 0;
    // Running, then 0 once the tool has replaced its image or ended (cleared by the kernel), or
    // once the waiter has given up creating it.
    int ExecWord = 0;
    int ToolCreated = 0; // 1 once the tool exists
    int SpawnError = 0;  // why the tool did not start: the failed exec's or clone's errno
    int ToolStatus = 0;
    int ToolEnded = 0; // 1 once ToolStatus holds the tool's raw wait status
    // A watched run: where the tool's output and error go, and the eventfd the waiter adds to when
    // the tool has ended.
    int OutputFd = -1;
    int ErrorFd = -1;
    int EndNotice = -1;
    // The tool's id, and 1 from the moment the waiter begins to collect it (its id may pass to
    // another process from then on).
    pid_t ToolPid = 0;
    int ToolCollected = 0;
    // The application's process and the waiter's: a process whose parent is no longer the one it
    // was created by has lost it.
    pid_t HostPid = 0;
    pid_t WaiterPid = 0;
};

// The waiter's whole life, started by clone with the block as its argument.
int WaiterMain(void* Argument) noexcept;

} // namespace Queltburner::Posix
