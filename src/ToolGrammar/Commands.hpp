// The command lines the component composes: one grammar per command, read by the stand-in, which
// only describes them, and by the recorder, which carries them out.
#pragma once

#include "CommandGrammar.hpp"

#include <span>

namespace ToolGrammar {

std::span<const CommandGrammar> KnownCommands();

} // namespace ToolGrammar
