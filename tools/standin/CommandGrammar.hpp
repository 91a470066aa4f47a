// How the stand-in recognises a command line. Each command the tool knows is a short list of
// steps in the only order the tool accepts its arguments; one walker runs every list over argv
// and either hands back what it found or says, in one line, which argument did not fit and why.
// Teaching the tool a new command means writing one more list (see Commands.cpp), not more
// parsing code.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// What the argument after an option has to be.
struct ValueRule {
    // Completes "--speed needs ..." in a rejection, so it reads as a noun phrase.
    std::string_view needs;
    bool (*accepts)(std::string_view value);
};

enum class StepKind {
    Keyword,        // a fixed argument that must be present
    Switch,         // a fixed argument that may be present
    Option,         // a fixed argument and the value after it, both required
    OptionalOption, // a fixed argument and the value after it, together optional
    Entries,        // zero or more arguments of any text
};

struct Step {
    StepKind kind;
    std::string_view name; // the fixed argument; empty for Entries
    const ValueRule* value;
};

constexpr Step Keyword(std::string_view name) {
    return {StepKind::Keyword, name, nullptr};
}
constexpr Step Switch(std::string_view name) {
    return {StepKind::Switch, name, nullptr};
}
constexpr Step Option(std::string_view name, const ValueRule& value) {
    return {StepKind::Option, name, &value};
}
constexpr Step OptionalOption(std::string_view name, const ValueRule& value) {
    return {StepKind::OptionalOption, name, &value};
}
constexpr Step Entries() {
    return {StepKind::Entries, {}, nullptr};
}

// A list the walker can run: options carry a value rule, and Entries appears at most once with
// only fixed arguments after it. Those trailing fixed arguments are matched from the end of argv,
// because entries may look exactly like them; a final argument that equals one is read as the
// fixed argument, never as an entry.
constexpr bool IsWalkable(std::span<const Step> steps) {
    bool afterEntries = false;
    for (const Step& step : steps) {
        const bool hasValue =
            step.kind == StepKind::Option || step.kind == StepKind::OptionalOption;
        if (hasValue != (step.value != nullptr)) {
            return false;
        }
        if (step.kind == StepKind::Entries) {
            if (afterEntries) {
                return false;
            }
            afterEntries = true;
        } else if (step.name.empty() || (afterEntries && hasValue)) {
            return false;
        }
    }
    return true;
}

// What a recognised command line holds.
class ParsedCommand {
public:
    struct Given {
        std::string_view name;
        std::optional<std::string_view> value;
    };

    // Every fixed argument that was present, with its value if it takes one, in argv order.
    std::vector<Given> given;
    std::vector<std::string_view> entries;

    std::optional<std::string_view> Value(std::string_view option) const;
    bool Has(std::string_view name) const;
};

struct CommandGrammar {
    std::span<const Step> steps;
    // Says in a few words what the real tool would do with the command.
    std::string (*describe)(const ParsedCommand& command);
};

struct Recognition {
    bool accepted;
    // The description for an accepted command; otherwise the reason, which names the offending
    // argument by its argv index and text.
    std::string text;
};

// The arguments are argv[1..]. Where more than one command fails, the reason comes from the one
// that matched furthest, since that is the command the caller was most likely writing.
Recognition Recognize(std::span<const CommandGrammar> commands,
                      std::span<const std::string> arguments);

} // namespace standin
