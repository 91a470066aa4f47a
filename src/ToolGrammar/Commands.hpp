// The command lines the component composes: one grammar per command, read by the stand-in, which
// only describes them, and by the recorder, which carries them out.
#pragma once

#include "CommandGrammar.hpp"
#include "ToolOptions.hpp"

#include <span>
#include <string_view>

namespace ToolGrammar {

std::span<const CommandGrammar> KnownCommands();

// Put before any burn command line (right after the program), it asks the tool what that burn
// would take of the disc instead of writing it (see ToolOptions.hpp).
constexpr std::string_view EstimateSwitch = ToolContract::Arg::Estimate;

// The burn commands, those an estimate can be asked for (not erase, eject or a question).
constexpr bool IsBurnCommand(CommandKind Kind) {
    return Kind != CommandKind::Erase && Kind != CommandKind::Eject &&
           Kind != CommandKind::DiscInfo;
}

} // namespace ToolGrammar
