#include "CommandGrammar.hpp"

#include "JsonText.hpp"

#include <algorithm>
#include <utility>
#include <variant>

namespace standin {

std::optional<std::string_view> ParsedCommand::Value(std::string_view option) const {
    for (const Given& item : given) {
        if (item.name == option) {
            return item.value;
        }
    }
    return std::nullopt;
}

bool ParsedCommand::Has(std::string_view name) const {
    return std::any_of(given.begin(), given.end(),
                       [name](const Given& item) { return item.name == name; });
}

namespace {

// Why a walk stopped. Index is into the arguments; an index equal to their count means the
// command line ended too early.
struct Failure {
    std::size_t index = 0;
    // Fixed arguments that would have fitted at the index.
    std::vector<std::string_view> expected;
    // For a missing or unacceptable value: what the option needs instead.
    std::string problem;
};

// Keeps whichever failure got further; at the same index the expectations add up, so a reason
// can list everything that would have fitted there.
void KeepFurthest(std::optional<Failure>& kept, Failure failure) {
    if (!kept || failure.index > kept->index) {
        kept = std::move(failure);
        return;
    }
    if (failure.index < kept->index) {
        return;
    }
    for (const std::string_view name : failure.expected) {
        if (std::find(kept->expected.begin(), kept->expected.end(), name) == kept->expected.end()) {
            kept->expected.push_back(name);
        }
    }
    if (kept->problem.empty()) {
        kept->problem = std::move(failure.problem);
    }
}

class Walker {
public:
    Walker(std::span<const Step> steps, std::span<const std::string> arguments)
        : steps_(steps), arguments_(arguments) {}

    std::variant<ParsedCommand, Failure> Run() {
        for (std::size_t s = 0; s < steps_.size(); ++s) {
            const Step& step = steps_[s];
            switch (step.kind) {
            case StepKind::Keyword:
                if (!Fits(step.name)) {
                    return Stop(step.name);
                }
                Take(step.name, std::nullopt, 1);
                break;
            case StepKind::Switch:
                if (Fits(step.name)) {
                    Take(step.name, std::nullopt, 1);
                } else {
                    couldFit_.push_back(step.name);
                }
                break;
            case StepKind::Option:
                if (!Fits(step.name)) {
                    return Stop(step.name);
                }
                if (auto problem = ValueProblem(step)) {
                    KeepFurthest(furthest_, std::move(*problem));
                    return *furthest_;
                }
                Take(step.name, arguments_[at_ + 1], 2);
                break;
            case StepKind::OptionalOption:
                // With a bad or missing value the pair is not this option. Further on that is
                // fatal anyway (nothing else accepts the option's name there), but before a run
                // of entries both arguments are simply entries. The value's problem is kept in
                // case the walk fails, as it is then the most useful thing to report.
                if (Fits(step.name)) {
                    if (auto problem = ValueProblem(step)) {
                        KeepFurthest(furthest_, std::move(*problem));
                    } else {
                        Take(step.name, arguments_[at_ + 1], 2);
                        break;
                    }
                }
                couldFit_.push_back(step.name);
                break;
            case StepKind::Entries:
                return TakeEntriesAndTrailing(steps_.subspan(s + 1));
            }
        }
        if (at_ < arguments_.size()) {
            KeepFurthest(furthest_, Failure{at_, couldFit_, {}});
            return *furthest_;
        }
        return std::move(parsed_);
    }

private:
    bool Fits(std::string_view name) const {
        return at_ < arguments_.size() && arguments_[at_] == name;
    }

    void Take(std::string_view name, std::optional<std::string_view> value, std::size_t count) {
        parsed_.given.push_back({name, value});
        at_ += count;
        couldFit_.clear();
    }

    Failure Stop(std::string_view required) {
        couldFit_.push_back(required);
        KeepFurthest(furthest_, Failure{at_, couldFit_, {}});
        return *furthest_;
    }

    // Whether the argument after the option at the cursor is missing or unacceptable.
    std::optional<Failure> ValueProblem(const Step& option) const {
        const std::size_t valueIndex = at_ + 1;
        if (valueIndex < arguments_.size() && option.value->accepts(arguments_[valueIndex])) {
            return std::nullopt;
        }
        std::string problem(option.name);
        problem += " needs ";
        problem += option.value->needs;
        return Failure{valueIndex, {}, std::move(problem)};
    }

    // Everything from the cursor on is entries, except a tail of fixed arguments matched from
    // the end: entries may look like anything, so only the very last arguments can be told apart
    // from them.
    std::variant<ParsedCommand, Failure> TakeEntriesAndTrailing(std::span<const Step> trailing) {
        std::size_t end = arguments_.size();
        std::vector<ParsedCommand::Given> found;
        for (std::size_t k = trailing.size(); k > 0; --k) {
            const Step& step = trailing[k - 1];
            if (end > at_ && arguments_[end - 1] == step.name) {
                found.push_back({step.name, std::nullopt});
                --end;
            } else if (step.kind == StepKind::Keyword) {
                KeepFurthest(furthest_, Failure{arguments_.size(), {step.name}, {}});
                return *furthest_;
            }
        }
        for (std::size_t index = at_; index < end; ++index) {
            parsed_.entries.emplace_back(arguments_[index]);
        }
        parsed_.given.insert(parsed_.given.end(), found.rbegin(), found.rend());
        at_ = arguments_.size();
        return std::move(parsed_);
    }

    std::span<const Step> steps_;
    std::span<const std::string> arguments_;
    std::size_t at_ = 0;
    ParsedCommand parsed_;
    // Optional fixed arguments passed over at the cursor: they belong in "expected ..." if the
    // argument there fits nothing.
    std::vector<std::string_view> couldFit_;
    std::optional<Failure> furthest_;
};

std::string Alternatives(const std::vector<std::string_view>& names) {
    std::string text;
    std::size_t left = names.size();
    for (const std::string_view name : names) {
        text += name;
        --left;
        text += left > 1 ? ", " : left == 1 ? " or " : "";
    }
    return text;
}

std::string Reason(const Failure& failure, std::span<const std::string> arguments) {
    std::string text = "argument " + std::to_string(failure.index + 1);
    if (failure.index < arguments.size()) {
        text += ' ';
        AppendJsonString(text, arguments[failure.index]);
    } else {
        text += " missing";
    }
    text += ": ";
    if (!failure.problem.empty()) {
        text += failure.problem;
    } else if (failure.expected.empty()) {
        text += "nothing may follow";
    } else {
        if (failure.index == 0 && failure.index < arguments.size()) {
            text += "unknown command, ";
        }
        text += "expected " + Alternatives(failure.expected);
    }
    return text;
}

} // namespace

Recognition Recognize(std::span<const CommandGrammar> commands,
                      std::span<const std::string> arguments) {
    std::optional<Failure> furthest;
    for (const CommandGrammar& command : commands) {
        auto outcome = Walker(command.steps, arguments).Run();
        if (const auto* parsed = std::get_if<ParsedCommand>(&outcome)) {
            return {true, command.describe(*parsed)};
        }
        KeepFurthest(furthest, std::get<Failure>(std::move(outcome)));
    }
    if (!furthest) {
        return {false, "no command is known"};
    }
    return {false, Reason(*furthest, arguments)};
}

} // namespace standin
