// Starting a program on POSIX the way the component starts its tool on Windows: exactly the named
// program (no PATH search), the caller's environment and working directory, no inherited
// descriptors beyond the standard three, default signal handling, and a failed exec reported as a
// failed start rather than as an exit code.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace Queltburner::Posix {

// Starts Program with Argv for the caller to wait for; the child's pid, or no value.
std::optional<pid_t> SpawnChild(const std::string& Program, const std::vector<std::string>& Argv);

// Starts Program with Argv detached: it is nobody's child here, so it never stays behind as a
// zombie, and the caller's own child handling (SIGCHLD) is not disturbed. True when it started.
bool SpawnDetached(const std::string& Program, const std::vector<std::string>& Argv);

// Waits for Pid; the raw wait status, or no value when the wait failed.
std::optional<int> WaitForChild(pid_t Pid);

// Reaps Pid if it has already ended; true when it was reaped.
bool ReapIfEnded(pid_t Pid);

// The exit code that a wait status stands for: the exit status, or 128 + the signal's number.
std::uint32_t ExitCodeOfStatus(int Status);

} // namespace Queltburner::Posix
