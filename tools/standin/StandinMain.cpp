// NeroCmd.exe stand-in: takes the place of the real burning tool for the integration tests, the
// demo and users without a burner. It checks the command line against the grammar the real tool
// accepts, records what arrived, says in one line what the real tool would have done, and then
// waits and exits as the environment asks, so callers can rehearse slow runs and failures.
//
// Environment:
//   NEROCMD_LOG       file to append one JSON line per run to (argv, pid, accepted)
//   NEROCMD_DELAY_MS  milliseconds to wait before exiting, 0..4294967295
//   NEROCMD_EXIT      exit code, -2147483648..4294967295; the system keeps the low bits
//   NEROCMD_PROGRESS  "1": prints the recorder's progress lines (preparing 0.0 and 100.0, then
//                     writing 0.0, 25.0, 50.0, 75.0, 100.0 of 1,048,576 bytes, with the bytes
//                     written), the delay spread between them
//   NEROCMD_STDERR    a line to write on standard error before exiting
//   NEROCMD_ANSWER    the answer to a question ("--disc_info", or "--estimate" before a burn
//                     command line): "key=value" items separated by ';', printed one a line
//                     after the description; unset, a blank CD-R with 737,280,000 bytes free
//                     and an estimate of 1,048,576 bytes
// An empty variable counts as unset: Windows cannot keep an empty variable at all, so treating it
// the same everywhere keeps the tool's behaviour identical across platforms.
//
// Exit codes of its own: 2 for a command line or setting it rejects (after logging the run, so a
// test can still see what arrived), 3 when the log or the output cannot be written. A run whose
// log cannot be written exits 3 even if its command line is also wrong, because the caller is
// relying on that log to find out.
#include "CommandDescriptions.hpp"
#include "Commands.hpp"
#include "JsonText.hpp"
#include "StandinHost.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view OutputPrefix = "NeroCmd stand-in: ";
constexpr int ExitRejected = 2;
constexpr int ExitCannotRecord = 3;

bool WriteLine(std::FILE* Stream, std::string_view Text) {
    std::string Line(OutputPrefix);
    Line += Text;
    Line += '\n';
    return std::fwrite(Line.data(), 1, Line.size(), Stream) == Line.size() &&
           std::fflush(Stream) == 0;
}

int Fail(int ExitCode, std::string_view Reason) {
    // When even standard error is gone nobody is left to tell; the exit code still says it.
    WriteLine(stderr, Reason);
    return ExitCode;
}

std::optional<std::string> Setting(const char* Name) {
    auto Value = Standin::Host::EnvironmentValue(Name);
    if (Value && Value->empty()) {
        return std::nullopt;
    }
    return Value;
}

template <typename Whole>
std::optional<Whole> ParseWhole(std::string_view Text) {
    Whole Number{};
    const char* End = Text.data() + Text.size();
    const auto [stop, error] = std::from_chars(Text.data(), End, Number);
    if (error != std::errc() || stop != End) {
        return std::nullopt;
    }
    return Number;
}

struct Settings {
    std::optional<std::string> LogPath;
    std::uint32_t DelayMilliseconds = 0;
    int ExitCode = 0;
    bool Progress = false;
    std::optional<std::string> ErrorLine;
    std::optional<std::string> Answer;
    // Why a setting was rejected, if one was.
    std::optional<std::string> Problem;
};

std::string SettingProblem(std::string_view Name, std::string_view Value, std::string_view Needs) {
    std::string Text(Name);
    Text += ' ';
    ToolGrammar::AppendJsonString(Text, Value);
    Text += ": expected ";
    Text += Needs;
    return Text;
}

Settings ReadSettings() {
    Settings Environment;
    Environment.LogPath = Setting("NEROCMD_LOG");
    if (const auto Delay = Setting("NEROCMD_DELAY_MS")) {
        if (const auto Milliseconds = ParseWhole<std::uint32_t>(*Delay)) {
            Environment.DelayMilliseconds = *Milliseconds;
        } else {
            Environment.Problem = SettingProblem("NEROCMD_DELAY_MS", *Delay,
                                                 "a decimal number of milliseconds 0..4294967295");
        }
    }
    if (const auto Exit = Setting("NEROCMD_EXIT"); Exit && !Environment.Problem) {
        const auto Code = ParseWhole<std::int64_t>(*Exit);
        if (Code && *Code >= -2147483648LL && *Code <= 4294967295LL) {
            // Negative codes and codes past INT_MAX both land on the same 32 bits the system
            // passes on; a POSIX parent then sees only the low 8 of them.
            Environment.ExitCode = static_cast<int>(static_cast<std::uint32_t>(*Code));
        } else {
            Environment.Problem =
                SettingProblem("NEROCMD_EXIT", *Exit, "a decimal integer -2147483648..4294967295");
        }
    }
    if (const auto Progress = Setting("NEROCMD_PROGRESS"); Progress && !Environment.Problem) {
        if (*Progress == "1") {
            Environment.Progress = true;
        } else {
            Environment.Problem = SettingProblem("NEROCMD_PROGRESS", *Progress, "1");
        }
    }
    Environment.ErrorLine = Setting("NEROCMD_STDERR");
    Environment.Answer = Setting("NEROCMD_ANSWER");
    return Environment;
}

// The recorder's answer lines to a question, from NEROCMD_ANSWER or the fixed defaults.
bool PrintAnswer(const std::optional<std::string>& Answer, bool Estimate) {
    std::string Text = Answer.value_or(
        Estimate ? "needed_bytes=1048576;free_bytes=737280000"
                 : "medium=CD-R;state=blank;sessions=0;label=;used_bytes=0;free_bytes=737280000");
    for (char& C : Text) {
        C = C == ';' ? '\n' : C;
    }
    Text += '\n';
    return std::fwrite(Text.data(), 1, Text.size(), stdout) == Text.size() &&
           std::fflush(stdout) == 0;
}

// The lines the recorder prints while it writes, in its format, with the delay spread over them.
bool PrintProgress(std::uint32_t DelayMilliseconds) {
    constexpr std::array<std::string_view, 7> Lines{"progress preparing 0.0",
                                                    "progress preparing 100.0",
                                                    "progress writing 0.0 0 1048576",
                                                    "progress writing 25.0 262144 1048576",
                                                    "progress writing 50.0 524288 1048576",
                                                    "progress writing 75.0 786432 1048576",
                                                    "progress writing 100.0 1048576 1048576"};
    const std::uint32_t Step = DelayMilliseconds / static_cast<std::uint32_t>(Lines.size());
    for (const std::string_view Line : Lines) {
        const std::string Text = std::string(Line) + "\n";
        if (std::fwrite(Text.data(), 1, Text.size(), stdout) != Text.size() ||
            std::fflush(stdout) != 0) {
            return false;
        }
        if (Step > 0) {
            Standin::Host::SleepMilliseconds(Step);
        }
    }
    return true;
}

std::string LogLine(std::span<const std::string> Argv, bool Accepted) {
    std::string Line = "{\"argv\":[";
    for (std::size_t I = 0; I < Argv.size(); ++I) {
        if (I > 0) {
            Line += ',';
        }
        ToolGrammar::AppendJsonString(Line, Argv[I]);
    }
    Line += "],\"pid\":" + std::to_string(Standin::Host::ProcessId());
    Line += Accepted ? ",\"accepted\":true" : ",\"accepted\":false";
    if (const auto CommandLine = Standin::Host::RawCommandLine()) {
        Line += ",\"commandLine\":";
        ToolGrammar::AppendJsonString(Line, *CommandLine);
    }
    if (const auto Show = Standin::Host::ShowState()) {
        Line += ",\"show\":" + std::to_string(*Show);
    }
    Line += "}\n";
    return Line;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> Arguments = Standin::Host::Arguments(argc, argv);
    std::span<const std::string> CommandArguments(Arguments);
    if (!CommandArguments.empty()) {
        CommandArguments = CommandArguments.subspan(1);
    }

    // An estimate is the burn command line after its switch, and only a burn's.
    const bool Estimate =
        !CommandArguments.empty() && CommandArguments.front() == ToolGrammar::EstimateSwitch;
    ToolGrammar::Recognition Verdict = ToolGrammar::Recognize(
        ToolGrammar::KnownCommands(), Estimate ? CommandArguments.subspan(1) : CommandArguments);
    if (Verdict.Accepted && Estimate && !ToolGrammar::IsBurnCommand(Verdict.Kind)) {
        Verdict.Accepted = false;
        Verdict.Text = std::string(ToolGrammar::EstimateSwitch) + " goes before a burn command";
    }
    const bool Question = Estimate || Verdict.Kind == ToolGrammar::CommandKind::DiscInfo;
    const Settings Environment = ReadSettings();

    if (Environment.LogPath) {
        const std::string Line = LogLine(Arguments, Verdict.Accepted);
        if (const auto Failure = Standin::Host::AppendToFile(*Environment.LogPath, Line)) {
            std::string Reason = "cannot append to NEROCMD_LOG ";
            ToolGrammar::AppendJsonString(Reason, *Environment.LogPath);
            Reason += ": " + *Failure;
            return Fail(ExitCannotRecord, Reason);
        }
    }
    if (!Verdict.Accepted) {
        return Fail(ExitRejected, Verdict.Text);
    }
    if (Environment.Problem) {
        return Fail(ExitRejected, *Environment.Problem);
    }
    if (!WriteLine(stdout, (Estimate ? "measures, writing nothing: " : "") +
                               Standin::Describe(Verdict.Kind, Verdict.Command)) ||
        (Question && !PrintAnswer(Environment.Answer, Estimate))) {
        return Fail(ExitCannotRecord, "cannot write to standard output");
    }
    if (Environment.Progress) {
        if (!PrintProgress(Environment.DelayMilliseconds)) {
            return Fail(ExitCannotRecord, "cannot write to standard output");
        }
    } else if (Environment.DelayMilliseconds > 0) {
        Standin::Host::SleepMilliseconds(Environment.DelayMilliseconds);
    }
    if (Environment.ErrorLine) {
        (void)WriteLine(stderr, *Environment.ErrorLine);
    }
    return Environment.ExitCode;
}
