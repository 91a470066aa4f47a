// The command-line host: every operation and every setting of TQueltBurner from a shell.
#pragma once

#include "System.hpp"

#include <ostream>
#include <vector>

namespace Queltburn {

// The exit code of an unexpected failure (an exception that is not a usage error).
inline constexpr int ExitUnexpectedFailure = 3;

// Runs one command (the arguments after the program name). Prints the result code and the event
// that fired to Out, errors to Err. Returns the process's exit code: 0 for result 0, 1 for any
// other result, 2 for a usage error, 3 for an unexpected failure. Throws nothing.
int Run(const std::vector<System::UnicodeString>& Args, std::ostream& Out,
        std::ostream& Err) noexcept;

} // namespace Queltburn
