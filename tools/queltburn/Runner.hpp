// Running one parsed command: the component made and set up, the operands checked, the operation
// run, and its result printed.
#pragma once

#include "Cli.hpp"
#include "Parser.hpp"

#include <ostream>

namespace Queltburn {

// Prints the command line (with --print-command), the result with its meaning and the event that
// fired to Out, after what to do about a failed check on Err. Returns the exit status
// (Cli.hpp): success, the tool failed, timed out, or cancelled by a signal. Throws UsageError for
// operands or a settings file it cannot use; nothing is started then.
int RunCommand(const Command& C, const ParsedArguments& Parsed, std::ostream& Out,
               std::ostream& Err);

} // namespace Queltburn
