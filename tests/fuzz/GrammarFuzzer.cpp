// Any argument vector (the input split at NUL bytes) recognised by the tool's grammar: an accepted
// command accounts for every argument exactly once, and a refusal names an argument by its place.
#include "Commands.hpp"
#include "FuzzInput.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using QueltFuzz::Check;

bool WithinArguments(std::string_view View, const std::vector<std::string>& Arguments) {
    const std::less_equal<const char*> AtMost;
    for (const std::string& Argument : Arguments) {
        if (AtMost(Argument.data(), View.data()) &&
            AtMost(View.data() + View.size(), Argument.data() + Argument.size())) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    std::vector<std::string> Arguments;
    const std::string_view Input(reinterpret_cast<const char*>(Data), Size);
    for (std::size_t At = 0; At < Input.size();) {
        const std::size_t End = std::min(Input.find('\0', At), Input.size());
        Arguments.emplace_back(Input.substr(At, End - At));
        At = End + 1;
    }
    const ToolGrammar::Recognition Found =
        ToolGrammar::Recognize(ToolGrammar::KnownCommands(), Arguments);
    Check(Found.Accepted || !Found.Text.empty(), "a refusal says why");
    if (!Found.Accepted) {
        Check(Found.Text.starts_with("argument "), "a refusal names the argument at fault");
        return 0;
    }
    std::size_t Accounted = Found.Command.Entries.size();
    for (const ToolGrammar::ParsedCommand::Given& Given : Found.Command.Present) {
        Accounted += Given.Value ? 2U : 1U;
        Check(!Given.Value || WithinArguments(*Given.Value, Arguments),
              "a value is one of the arguments");
    }
    for (const std::string_view Entry : Found.Command.Entries) {
        Check(WithinArguments(Entry, Arguments), "an entry is one of the arguments");
    }
    Check(Accounted == Arguments.size(), "an accepted command accounts for every argument once");
    return 0;
}
