// How the tool's command lines are recognised, by the stand-in (which describes them) and by the
// recorder (which carries them out). Each command the tool knows is a short list of steps in the
// only order the tool accepts its arguments; one walker runs every list over argv and either hands
// back what it found or says, in one line, which argument did not fit and why. Teaching the tool a
// new command means writing one more list (see Commands.cpp), not more parsing code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ToolGrammar {

// What the argument after an option has to be.
struct ValueRule {
    // Completes "--speed needs ..." in a rejection, so it reads as a noun phrase.
    std::string_view Needs;
    bool (*Accepts)(std::string_view Value);
};

enum class StepKind {
    Keyword,        // a fixed argument that must be present
    Switch,         // a fixed argument that may be present
    Option,         // a fixed argument and the value after it, both required
    OptionalOption, // a fixed argument and the value after it, together optional
    Entries,        // zero or more arguments of any text
};

struct Step {
    StepKind Kind;
    std::string_view Name; // the fixed argument; empty for Entries
    const ValueRule* Value;
};

constexpr Step Keyword(std::string_view Name) {
    return {StepKind::Keyword, Name, nullptr};
}
constexpr Step Switch(std::string_view Name) {
    return {StepKind::Switch, Name, nullptr};
}
constexpr Step Option(std::string_view Name, const ValueRule& Value) {
    return {StepKind::Option, Name, &Value};
}
constexpr Step OptionalOption(std::string_view Name, const ValueRule& Value) {
    return {StepKind::OptionalOption, Name, &Value};
}
constexpr Step Entries() {
    return {StepKind::Entries, {}, nullptr};
}

// A list the walker can run: options carry a value rule, and Entries appears at most once with
// only fixed arguments after it. Those trailing fixed arguments are matched from the end of argv,
// because entries may look exactly like them; a final argument that equals one is read as the
// fixed argument, never as an entry.
constexpr bool IsWalkable(std::span<const Step> Steps) {
    bool AfterEntries = false;
    for (const Step& Step : Steps) {
        const bool HasValue =
            Step.Kind == StepKind::Option || Step.Kind == StepKind::OptionalOption;
        if (HasValue != (Step.Value != nullptr)) {
            return false;
        }
        if (Step.Kind == StepKind::Entries) {
            if (AfterEntries) {
                return false;
            }
            AfterEntries = true;
        } else if (Step.Name.empty() || (AfterEntries && HasValue)) {
            return false;
        }
    }
    return true;
}

// What a recognised command line holds.
class ParsedCommand {
public:
    struct Given {
        std::string_view Name;
        std::optional<std::string_view> Value;
    };

    // Every fixed argument that was present, with its value if it takes one, in argv order.
    std::vector<Given> Present;
    std::vector<std::string_view> Entries;

    std::optional<std::string_view> Value(std::string_view Option) const;
    bool Has(std::string_view Name) const;
};

// The commands the component composes, one grammar each.
enum class CommandKind : std::uint8_t {
    DataDisc,
    DvdVideo,
    AudioCd,
    VideoCd,
    SuperVideoCd,
    Image,
    Erase,
    Eject,
    // A question, not a burn: what the disc in a drive holds (see Commands.hpp).
    DiscInfo
};

struct CommandGrammar {
    CommandKind Kind;
    std::span<const Step> Steps;
};

struct Recognition {
    bool Accepted;
    // Why a refused command line was refused, naming the offending argument by its argv index and
    // text; empty for an accepted one.
    std::string Text;
    // For an accepted command: which one, and what it holds (views into the arguments).
    CommandKind Kind{};
    ParsedCommand Command;
};

// The arguments are argv[1..]. Where more than one command fails, the reason comes from the one
// that matched furthest, since that is the command the caller was most likely writing.
Recognition Recognize(std::span<const CommandGrammar> Commands,
                      std::span<const std::string> Arguments);

} // namespace ToolGrammar
