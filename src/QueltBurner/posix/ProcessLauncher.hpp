// Starting a program on POSIX the way the component starts its tool on Windows: exactly the named
// program (no PATH search), the caller's environment and working directory, no inherited
// descriptors beyond the standard three, default signal handling, and a failed exec reported as a
// failed start rather than as an exit code. How the tool is then started is the way the host was
// given (ToolRun.hpp); the waiter's launches without waiting are kept here.
#pragma once

#include "ToolRun.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Queltburner::Posix {

// A program's argv in one block: each item's bytes followed by a NUL, starting at its offset.
struct NativeArgv {
    std::string Bytes;
    std::vector<std::size_t> Starts;
};

// What a start needs, made before anything starts: nothing can fail between a tool's start and
// the hand-over of its run.
class ToolStart {
public:
    // Throws std::bad_alloc; nothing has started then. Program and Argv must outlive it. With
    // DriveMap, the tool gets it as QUELT_DRIVES in place of the application's.
    ToolStart(const std::string& Program, const NativeArgv& Argv,
              const std::optional<std::string>& DriveMap = std::nullopt);
    ToolStart(const ToolStart&) = delete;
    ToolStart& operator=(const ToolStart&) = delete;
    ToolStart(ToolStart&&) = delete;
    ToolStart& operator=(ToolStart&&) = delete;
    ~ToolStart() = default;

    SpawnRequest Request() const noexcept;

private:
    const std::string& FProgram;
    std::vector<char*> FPointers;
    std::vector<std::string> FVariables;
    std::vector<char*> FEnvironment; // empty: the application's own
};

// Launches the tool through a waiter without waiting: true when it started. The tool never stays
// behind as the application's zombie: in an ordinary application it is orphaned and the system
// reaps it; in one that adopts orphans (a child subreaper, or the first process of a PID namespace)
// a waiter reaps it and stays asleep until the next start or the application's end. Throws
// std::bad_alloc before anything starts.
bool LaunchDetachedThroughWaiter(const SpawnRequest& Request);

// Lets the waiters of launches whose tools have ended go, and collects them. Cheap when none wait.
void ReleaseEndedLaunches() noexcept;

// Waiters of launches kept alive until released (for tests).
std::size_t KeptLaunchCount() noexcept;

// True when orphaned descendants of this process become its own children.
bool AdoptsOrphans() noexcept;

// The exit code that a wait status stands for: the exit status, or 128 + the signal's number.
std::uint32_t ExitCodeOfStatus(int Status);

} // namespace Queltburner::Posix
