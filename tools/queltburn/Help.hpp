// The help texts of the command-line host, made from its command and option tables, and its
// version. Every line fits 80 columns.
#pragma once

#include "CommandTable.hpp"

#include <ostream>

namespace Queltburn {

void PrintUsage(std::ostream& Out);
void PrintCommandHelp(std::ostream& Out, const Command& C);
void PrintVersion(std::ostream& Out);

} // namespace Queltburn
