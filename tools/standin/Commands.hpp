// The commands the stand-in understands.
#pragma once

#include "CommandGrammar.hpp"

#include <span>

namespace standin {

std::span<const CommandGrammar> KnownCommands();

} // namespace standin
