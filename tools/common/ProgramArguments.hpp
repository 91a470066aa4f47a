// The arguments a program was started with, as the framework's UTF-16 text, for the programs in
// tools/ that take file names and texts from a shell.
#pragma once

#include "System.hpp"

#include <optional>
#include <string>
#include <vector>

namespace QueltTools {

// The arguments after the program name, in UTF-16; a reason when they cannot be read.
std::optional<std::string> ProgramArguments(int argc, char** argv,
                                            std::vector<System::UnicodeString>& Args);

} // namespace QueltTools
