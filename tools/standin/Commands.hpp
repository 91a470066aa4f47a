// The commands the stand-in understands.
#pragma once

#include "CommandGrammar.hpp"

#include <span>

namespace Standin {

std::span<const CommandGrammar> KnownCommands();

} // namespace Standin
