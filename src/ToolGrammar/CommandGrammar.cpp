#include "CommandGrammar.hpp"

#include "JsonText.hpp"

#include <algorithm>
#include <utility>
#include <variant>

namespace ToolGrammar {

std::optional<std::string_view> ParsedCommand::Value(std::string_view Option) const {
    for (const Given& Item : Present) {
        if (Item.Name == Option) {
            return Item.Value;
        }
    }
    return std::nullopt;
}

bool ParsedCommand::Has(std::string_view Name) const {
    return std::any_of(Present.begin(), Present.end(),
                       [Name](const Given& Item) { return Item.Name == Name; });
}

namespace {

// Why a walk stopped. Index is into the arguments; an index equal to their count means the
// command line ended too early.
struct Failure {
    std::size_t Index = 0;
    // Fixed arguments that would have fitted at the index.
    std::vector<std::string_view> Expected;
    // For a missing or unacceptable value: what the option needs instead.
    std::string Problem;
};

// Keeps whichever failure got further; at the same index the expectations add up, so a reason
// can list everything that would have fitted there.
void KeepFurthest(std::optional<Failure>& Kept, Failure Failure) {
    if (!Kept || Failure.Index > Kept->Index) {
        Kept = std::move(Failure);
        return;
    }
    if (Failure.Index < Kept->Index) {
        return;
    }
    for (const std::string_view Name : Failure.Expected) {
        if (std::find(Kept->Expected.begin(), Kept->Expected.end(), Name) == Kept->Expected.end()) {
            Kept->Expected.push_back(Name);
        }
    }
    if (Kept->Problem.empty()) {
        Kept->Problem = std::move(Failure.Problem);
    }
}

class Walker {
public:
    Walker(std::span<const Step> Steps, std::span<const std::string> Arguments)
        : FSteps(Steps), FArguments(Arguments) {}

    std::variant<ParsedCommand, Failure> Run() {
        for (std::size_t S = 0; S < FSteps.size(); ++S) {
            const Step& Step = FSteps[S];
            switch (Step.Kind) {
            case StepKind::Keyword:
                if (!Fits(Step.Name)) {
                    return Stop(Step.Name);
                }
                Take(Step.Name, std::nullopt, 1);
                break;
            case StepKind::Switch:
                if (Fits(Step.Name)) {
                    Take(Step.Name, std::nullopt, 1);
                } else {
                    FCouldFit.push_back(Step.Name);
                }
                break;
            case StepKind::Option:
                if (!Fits(Step.Name)) {
                    return Stop(Step.Name);
                }
                if (auto Problem = ValueProblem(Step)) {
                    KeepFurthest(FFurthest, std::move(*Problem));
                    return *FFurthest;
                }
                Take(Step.Name, FArguments[FAt + 1], 2);
                break;
            case StepKind::OptionalOption:
                // With a bad or missing value the pair is not this option. Further on that is
                // fatal anyway (nothing else accepts the option's name there), but before a run
                // of entries both arguments are simply entries. The value's problem is kept in
                // case the walk fails, as it is then the most useful thing to report.
                if (Fits(Step.Name)) {
                    if (auto Problem = ValueProblem(Step)) {
                        KeepFurthest(FFurthest, std::move(*Problem));
                    } else {
                        Take(Step.Name, FArguments[FAt + 1], 2);
                        break;
                    }
                }
                FCouldFit.push_back(Step.Name);
                break;
            case StepKind::Entries:
                return TakeEntriesAndTrailing(FSteps.subspan(S + 1));
            }
        }
        if (FAt < FArguments.size()) {
            KeepFurthest(FFurthest, Failure{FAt, FCouldFit, {}});
            return *FFurthest;
        }
        return std::move(FParsed);
    }

private:
    bool Fits(std::string_view Name) const {
        return FAt < FArguments.size() && FArguments[FAt] == Name;
    }

    void Take(std::string_view Name, std::optional<std::string_view> Value, std::size_t Count) {
        FParsed.Present.push_back({Name, Value});
        FAt += Count;
        FCouldFit.clear();
    }

    Failure Stop(std::string_view Required) {
        FCouldFit.push_back(Required);
        KeepFurthest(FFurthest, Failure{FAt, FCouldFit, {}});
        return *FFurthest;
    }

    // Whether the argument after the option at the cursor is missing or unacceptable.
    std::optional<Failure> ValueProblem(const Step& Option) const {
        const std::size_t ValueIndex = FAt + 1;
        if (ValueIndex < FArguments.size() && Option.Value->Accepts(FArguments[ValueIndex])) {
            return std::nullopt;
        }
        std::string Problem(Option.Name);
        Problem += " needs ";
        Problem += Option.Value->Needs;
        return Failure{ValueIndex, {}, std::move(Problem)};
    }

    // Everything from the cursor on is entries, except a tail of fixed arguments matched from
    // the end: entries may look like anything, so only the very last arguments can be told apart
    // from them.
    std::variant<ParsedCommand, Failure> TakeEntriesAndTrailing(std::span<const Step> Trailing) {
        std::size_t End = FArguments.size();
        std::vector<ParsedCommand::Given> Found;
        for (std::size_t K = Trailing.size(); K > 0; --K) {
            const Step& Step = Trailing[K - 1];
            if (End > FAt && FArguments[End - 1] == Step.Name) {
                Found.push_back({Step.Name, std::nullopt});
                --End;
            } else if (Step.Kind == StepKind::Keyword) {
                KeepFurthest(FFurthest, Failure{FArguments.size(), {Step.Name}, {}});
                return *FFurthest;
            }
        }
        for (std::size_t Index = FAt; Index < End; ++Index) {
            FParsed.Entries.emplace_back(FArguments[Index]);
        }
        FParsed.Present.insert(FParsed.Present.end(), Found.rbegin(), Found.rend());
        FAt = FArguments.size();
        return std::move(FParsed);
    }

    std::span<const Step> FSteps;
    std::span<const std::string> FArguments;
    std::size_t FAt = 0;
    ParsedCommand FParsed;
    // Optional fixed arguments passed over at the cursor: they belong in "expected ..." if the
    // argument there fits nothing.
    std::vector<std::string_view> FCouldFit;
    std::optional<Failure> FFurthest;
};

std::string Alternatives(const std::vector<std::string_view>& Names) {
    std::string Text;
    std::size_t Left = Names.size();
    for (const std::string_view Name : Names) {
        Text += Name;
        --Left;
        Text += Left > 1 ? ", " : Left == 1 ? " or " : "";
    }
    return Text;
}

std::string Reason(const Failure& Failure, std::span<const std::string> Arguments) {
    std::string Text = "argument " + std::to_string(Failure.Index + 1);
    if (Failure.Index < Arguments.size()) {
        Text += ' ';
        AppendJsonString(Text, Arguments[Failure.Index]);
    } else {
        Text += " missing";
    }
    Text += ": ";
    if (!Failure.Problem.empty()) {
        Text += Failure.Problem;
    } else if (Failure.Expected.empty()) {
        Text += "nothing may follow";
    } else {
        if (Failure.Index == 0 && Failure.Index < Arguments.size()) {
            Text += "unknown command, ";
        }
        Text += "expected " + Alternatives(Failure.Expected);
    }
    return Text;
}

} // namespace

Recognition Recognize(std::span<const CommandGrammar> Commands,
                      std::span<const std::string> Arguments) {
    std::optional<Failure> Furthest;
    for (const CommandGrammar& Command : Commands) {
        auto Outcome = Walker(Command.Steps, Arguments).Run();
        if (const auto* Parsed = std::get_if<ParsedCommand>(&Outcome)) {
            return {true, {}, Command.Kind, *Parsed};
        }
        KeepFurthest(Furthest, std::get<Failure>(std::move(Outcome)));
    }
    if (!Furthest) {
        return {false, "no command is known", {}, {}};
    }
    return {false, Reason(*Furthest, Arguments), {}, {}};
}

} // namespace ToolGrammar
