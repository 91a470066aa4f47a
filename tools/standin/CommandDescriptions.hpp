// What the stand-in says the real tool would do with an accepted command line, in one line.
#pragma once

#include "CommandGrammar.hpp"

#include <string>

namespace Standin {

std::string Describe(ToolGrammar::CommandKind Kind, const ToolGrammar::ParsedCommand& Command);

} // namespace Standin
