// The arguments a program was started with, as the framework's UTF-16 text, for the programs in
// tools/ that take file names and texts from a shell.
#pragma once

#include "System.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace QueltTools {

// The arguments after the program name, in UTF-16; a reason when they cannot be read. On POSIX
// each is read as a file name (System::Sysutils::FileNameToString): UTF-8 becomes its characters
// and any other byte U+DC80 to U+DCFF, so that a file operand holding any bytes names its file
// exactly when the text is turned back into a path.
std::optional<std::string> ProgramArguments(int argc, char** argv,
                                            std::vector<System::UnicodeString>& Args);

// The file an argument (as ProgramArguments read it) names: on POSIX its original bytes.
std::filesystem::path ArgumentPath(const System::UnicodeString& Argument);

} // namespace QueltTools
