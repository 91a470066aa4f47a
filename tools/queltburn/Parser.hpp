// Reading the arguments of one command: its options, in the forms --name VALUE, --name=VALUE,
// --switch and --no-switch, and its operands.
#pragma once

#include "CommandTable.hpp"

#include <vector>

namespace Queltburn {

struct ParsedOption {
    const Option* Which = nullptr;
    System::UnicodeString Value;
    bool On = true;
};

struct ParsedArguments {
    bool Help = false;
    std::vector<ParsedOption> Options; // in the order given
    std::vector<System::UnicodeString> Operands;
};

// Parses the arguments after the command's name. Options may stand anywhere; after -- every
// argument is an operand, and so is a lone -. Throws UsageError for an option C does not take.
ParsedArguments ParseArguments(const Command& C, const std::vector<System::UnicodeString>& Args);

} // namespace Queltburn
