// The command-line host: every operation and every setting of TQueltBurner from a shell.
#pragma once

#include "System.hpp"

#include <ostream>
#include <vector>

namespace Queltburn {

// The exit statuses of the host, as its help, man page and docs/queltburn.md list them.
inline constexpr int ExitSuccess = 0;
// Any result but success, a cancel by a signal and the time limit.
inline constexpr int ExitToolFailed = 1;
inline constexpr int ExitUsage = 2;
// An unexpected failure (an exception that is not a usage error); and output that could not be
// written, after a command that otherwise succeeded (one that failed keeps its own status).
inline constexpr int ExitUnexpectedFailure = 3;
// The run lasted longer than --timeout, as timeout(1) reports it. A run cancelled by a signal
// exits with 128 plus the signal's number (130 for Ctrl-C), as a shell reports such an end.
inline constexpr int ExitTimedOut = 124;

// Runs one command (the arguments after the program name). Prints the result code and the event
// that fired to Out, errors to Err. Returns the process's exit status (the Exit constants). Out is
// flushed at the end: if any of it could not be written, one line on Err says so, and the status
// is not success. Throws nothing.
int Run(const std::vector<System::UnicodeString>& Args, std::ostream& Out,
        std::ostream& Err) noexcept;

} // namespace Queltburn
