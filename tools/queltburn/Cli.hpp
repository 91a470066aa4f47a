// The command-line host: every operation and every setting of TQueltBurner from a shell.
#pragma once

#include "System.hpp"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace Queltburn {

// Runs one command (the arguments after the program name). Prints the result code and the event
// that fired to Out, usage errors to Err. Returns the process's exit code: 0 for result 0, 1 for
// any other result, 2 for a usage error.
int Run(const std::vector<System::UnicodeString>& Args, std::ostream& Out, std::ostream& Err);

} // namespace Queltburn
