// The questions a front end asks around a burn, answered on POSIX by the tool the component found:
// the drive map names each drive's target, and the tool answers "--disc_info" and "--estimate"
// with key=value lines (the recorder from the medium itself, the stand-in from its environment).
#include "PosixHostServices.hpp"

#include "CommandLine.hpp"
#include "System.SysUtils.hpp"
#include "ToolDiscInfo.hpp"
#include "ToolOptions.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>

namespace Queltburner::Posix {

namespace {

// The exit codes of the tool that say it does not know the question, rather than that it failed:
// a command line it does not accept (an older tool), and the recorder's "cannot answer this".
constexpr std::uint32_t UnknownCommandLine = 2;
constexpr std::uint32_t CannotAnswer = 9;
// A question is answered in seconds (an estimate of an audio CD decodes every track once); one
// that takes longer than this is ended rather than left to hang the front end.
constexpr std::chrono::minutes LongestQuestion{10};
// POSIX has no burning service of its own: every answer comes from the tool.
constexpr std::u16string_view NoTool = u"no burning tool was found (NeroCmd.exe) to ask";

struct QuestionRun {
    std::optional<std::uint32_t> ExitCode; // none when the tool could not be run to its end
    std::map<std::string, std::string, std::less<>> Answer;
    std::string Error; // its standard error, for a failure's reason
};

std::map<std::string, std::string, std::less<>> AnswerLines(std::string_view Output) {
    std::map<std::string, std::string, std::less<>> Answer;
    while (!Output.empty()) {
        const std::size_t End = Output.find('\n');
        std::string_view Line = Output.substr(0, End);
        Output.remove_prefix(End == std::string_view::npos ? Output.size() : End + 1);
        if (Line.ends_with('\r')) {
            Line.remove_suffix(1);
        }
        // Only "key=value" lines with a key of lower-case letters and '_' are answers; the tool's
        // other lines (a description, a notice) are not.
        const std::size_t Equals = Line.find('=');
        const std::string_view Key = Line.substr(0, Equals);
        if (Equals == std::string_view::npos || Key.empty() ||
            Key.find_first_not_of("abcdefghijklmnopqrstuvwxyz_") != std::string_view::npos) {
            continue;
        }
        Answer.emplace(std::string(Key), std::string(Line.substr(Equals + 1)));
    }
    return Answer;
}

// The tool run for a question asked without a component's watched run: ended at a generous limit
// rather than left to hang the front end.
ToolRunOutcome RunWithLimit(HostServices& Host, const System::UnicodeString& Tool,
                            const System::UnicodeString& CommandLine) {
    ToolRunOutcome Outcome;
    const std::optional<StartedProcess> Started =
        Host.StartWatchedProcess(Tool, CommandLine, 0, true);
    if (!Started) {
        return Outcome;
    }
    CapturedOutput Output;
    const auto Deadline = std::chrono::steady_clock::now() + LongestQuestion;
    for (;;) {
        const WaitEvent Event = Host.WaitForProcessEvent(Started->Process, Deadline, Output);
        if (Event == WaitEvent::Ended) {
            Outcome.ExitCode = Host.ProcessExitCode(Started->Process);
            break;
        }
        if (Event != WaitEvent::Output) {
            (void)Host.EndProcess(Started->Process, true);
            (void)Host.WaitForProcess(Started->Process);
            break;
        }
    }
    (void)Host.ReleaseHandle(Started->Thread);
    (void)Host.ReleaseHandle(Started->Process);
    Outcome.Output = std::move(Output.Output);
    Outcome.Error = std::move(Output.Error);
    return Outcome;
}

QuestionRun Ask(const ToolRunner& Run, const System::UnicodeString& CommandLine) {
    ToolRunOutcome Outcome = Run(CommandLine);
    QuestionRun Question;
    Question.ExitCode = Outcome.ExitCode;
    Question.Answer = AnswerLines(Outcome.Output);
    Question.Error = std::move(Outcome.Error);
    while (!Question.Error.empty() &&
           (Question.Error.back() == '\n' || Question.Error.back() == '\r')) {
        Question.Error.pop_back();
    }
    return Question;
}

// Whether the run answered; otherwise Status and Reason say why not.
bool Answered(const QuestionRun& Run, QueryStatus& Status, System::UnicodeString& Reason,
              std::string_view RequiredKey) {
    if (!Run.ExitCode) {
        Status = QueryStatus::Failed;
        Reason = u"the tool could not be run to its end";
        return false;
    }
    if (*Run.ExitCode == 0 && Run.Answer.contains(RequiredKey)) {
        Status = QueryStatus::Answered;
        return true;
    }
    const bool Unknown = *Run.ExitCode == UnknownCommandLine || *Run.ExitCode == CannotAnswer;
    Status = Unknown ? QueryStatus::NotAvailable : QueryStatus::Failed;
    Reason = !Run.Error.empty() ? System::Sysutils::UTF8ToString(Run.Error)
             : *Run.ExitCode == 0
                 ? System::UnicodeString(u"the tool gave no answer")
                 : u"the tool ended with exit code " +
                       System::Sysutils::UTF8ToString(std::to_string(*Run.ExitCode));
    return false;
}

std::uint64_t Number(const QuestionRun& Run, std::string_view Key) {
    std::uint64_t Value = 0;
    if (const auto Found = Run.Answer.find(Key); Found != Run.Answer.end()) {
        // Digits by hand: std::from_chars would bring a unique symbol of libstdc++ into the
        // package in some builds, and a package holding one can never be unloaded.
        for (const char Digit : Found->second) {
            if (Digit < '0' || Digit > '9' || Value > (UINT64_MAX - 9) / 10) {
                return 0;
            }
            Value = Value * 10 + static_cast<std::uint64_t>(Digit - '0');
        }
    }
    return Value;
}

System::UnicodeString Text(const QuestionRun& Run, std::string_view Key) {
    const auto Found = Run.Answer.find(Key);
    return Found == Run.Answer.end() ? System::UnicodeString()
                                     : System::Sysutils::UTF8ToString(Found->second);
}

DiscState StateOf(std::string_view Word) {
    // The state each of the tool's words names, in the words' order.
    constexpr std::array<DiscState, ToolContract::DiscStateWords.size()> States{
        DiscState::NoDisc, DiscState::Blank, DiscState::Appendable, DiscState::Closed,
        DiscState::NotADisc};
    const auto* Found =
        std::find(ToolContract::DiscStateWords.begin(), ToolContract::DiscStateWords.end(), Word);
    return Found == ToolContract::DiscStateWords.end()
               ? DiscState::NoDisc
               : States.at(static_cast<std::size_t>(Found - ToolContract::DiscStateWords.begin()));
}

// Where the first item (the program) of a command line ends: at the first blank or tab outside
// double quotes, as the program-name rule splits it.
std::size_t ProgramEnd(std::u16string_view Line) {
    bool Quoted = false;
    for (std::size_t I = 0; I < Line.size(); ++I) {
        if (Line[I] == u'"') {
            Quoted = !Quoted;
        } else if (!Quoted && (Line[I] == u' ' || Line[I] == u'\t')) {
            return I;
        }
    }
    return Line.size();
}

} // namespace

ToolRunner PosixHostServices::LimitedRunner(const System::UnicodeString& Tool) {
    return [this, Tool](const System::UnicodeString& CommandLine) {
        return RunWithLimit(*this, Tool, CommandLine);
    };
}

DiscReport PosixHostServices::DescribeDisc(const System::UnicodeString& Tool,
                                           System::WideChar Drive) {
    return DescribeDiscWith(LimitedRunner(Tool), Tool, Drive);
}

SizeReport PosixHostServices::MeasureBurn(const System::UnicodeString& Tool,
                                          const System::UnicodeString& BurnCommandLine) {
    return MeasureBurnWith(LimitedRunner(Tool), Tool, BurnCommandLine);
}

DiscReport PosixHostServices::DescribeDiscWith(const ToolRunner& Runner,
                                               const System::UnicodeString& Tool,
                                               System::WideChar Drive) {
    DiscReport Report;
    if (Tool.empty()) {
        Report.Status = QueryStatus::Failed;
        Report.Reason = NoTool;
        return Report;
    }
    CommandLine Line(Tool);
    Line.Text(u" ")
        .Option(ToolContract::Arg::DiscInfo)
        .Option(ToolContract::Arg::DriveName)
        .Quoted(Drive);
    const QuestionRun Run = Ask(Runner, Line.Result());
    if (!Answered(Run, Report.Status, Report.Reason, "state")) {
        return Report;
    }
    Report.Medium = Text(Run, "medium");
    Report.State = StateOf(Run.Answer.find("state")->second);
    Report.Sessions = static_cast<std::uint32_t>(Number(Run, "sessions"));
    Report.Label = Text(Run, "label");
    Report.UsedBytes = Number(Run, "used_bytes");
    Report.FreeBytes = Number(Run, "free_bytes");
    Report.FreeBytesAsCD = Number(Run, "free_bytes_cd");
    Report.FreeBytesAsDVD = Number(Run, "free_bytes_dvd");
    return Report;
}

SizeReport PosixHostServices::MeasureBurnWith(const ToolRunner& Runner,
                                              const System::UnicodeString& Tool,
                                              const System::UnicodeString& BurnCommandLine) {
    SizeReport Report;
    if (Tool.empty()) {
        Report.Status = QueryStatus::Failed;
        Report.Reason = NoTool;
        return Report;
    }
    const std::size_t End = ProgramEnd(BurnCommandLine);
    System::UnicodeString Line = BurnCommandLine.substr(0, End);
    Line += u' ';
    for (const char C : ToolContract::Arg::Estimate) {
        Line.push_back(static_cast<char16_t>(C));
    }
    Line += BurnCommandLine.substr(End);
    const QuestionRun Run = Ask(Runner, Line);
    if (Answered(Run, Report.Status, Report.Reason, "needed_bytes")) {
        Report.NeededBytes = Number(Run, "needed_bytes");
        Report.FreeBytes = Number(Run, "free_bytes");
    }
    return Report;
}

} // namespace Queltburner::Posix
