// NeroCmd.exe stand-in: takes the place of the real burning tool for the integration tests, the
// demo and users without a burner. It checks the command line against the grammar the real tool
// accepts, records what arrived, says in one line what the real tool would have done, and then
// waits and exits as the environment asks, so callers can rehearse slow runs and failures.
//
// Environment:
//   NEROCMD_LOG       file to append one JSON line per run to (argv, pid, accepted)
//   NEROCMD_DELAY_MS  milliseconds to wait before exiting, 0..4294967295
//   NEROCMD_EXIT      exit code, -2147483648..4294967295; the system keeps the low bits
// An empty variable counts as unset: Windows cannot keep an empty variable at all, so treating it
// the same everywhere keeps the tool's behaviour identical across platforms.
//
// Exit codes of its own: 2 for a command line or setting it rejects (after logging the run, so a
// test can still see what arrived), 3 when the log or the output cannot be written. A run whose
// log cannot be written exits 3 even if its command line is also wrong, because the caller is
// relying on that log to find out.
#include "Commands.hpp"
#include "JsonText.hpp"
#include "StandinHost.hpp"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kPrefix = "NeroCmd stand-in: ";
constexpr int kRejected = 2;
constexpr int kCannotRecord = 3;

bool WriteLine(std::FILE* stream, std::string_view text) {
    std::string line(kPrefix);
    line += text;
    line += '\n';
    return std::fwrite(line.data(), 1, line.size(), stream) == line.size() &&
           std::fflush(stream) == 0;
}

int Fail(int exitCode, std::string_view reason) {
    // When even standard error is gone nobody is left to tell; the exit code still says it.
    WriteLine(stderr, reason);
    return exitCode;
}

std::optional<std::string> Setting(const char* name) {
    auto value = standin::host::EnvironmentValue(name);
    if (value && value->empty()) {
        return std::nullopt;
    }
    return value;
}

template <typename Number>
std::optional<Number> ParseWhole(std::string_view text) {
    Number number{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return number;
}

struct Settings {
    std::optional<std::string> logPath;
    std::uint32_t delayMilliseconds = 0;
    int exitCode = 0;
    // Why a setting was rejected, if one was.
    std::optional<std::string> problem;
};

std::string SettingProblem(std::string_view name, std::string_view value, std::string_view needs) {
    std::string text(name);
    text += ' ';
    standin::AppendJsonString(text, value);
    text += ": expected ";
    text += needs;
    return text;
}

Settings ReadSettings() {
    Settings settings;
    settings.logPath = Setting("NEROCMD_LOG");
    if (const auto delay = Setting("NEROCMD_DELAY_MS")) {
        if (const auto milliseconds = ParseWhole<std::uint32_t>(*delay)) {
            settings.delayMilliseconds = *milliseconds;
        } else {
            settings.problem = SettingProblem("NEROCMD_DELAY_MS", *delay,
                                              "a decimal number of milliseconds 0..4294967295");
        }
    }
    if (const auto exit = Setting("NEROCMD_EXIT"); exit && !settings.problem) {
        const auto code = ParseWhole<std::int64_t>(*exit);
        if (code && *code >= -2147483648LL && *code <= 4294967295LL) {
            // Negative codes and codes past INT_MAX both land on the same 32 bits the system
            // passes on; a POSIX parent then sees only the low 8 of them.
            settings.exitCode = static_cast<int>(static_cast<std::uint32_t>(*code));
        } else {
            settings.problem =
                SettingProblem("NEROCMD_EXIT", *exit, "a decimal integer -2147483648..4294967295");
        }
    }
    return settings;
}

std::string LogLine(std::span<const std::string> argv, bool accepted) {
    std::string line = "{\"argv\":[";
    for (std::size_t i = 0; i < argv.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        standin::AppendJsonString(line, argv[i]);
    }
    line += "],\"pid\":" + std::to_string(standin::host::ProcessId());
    line += accepted ? ",\"accepted\":true" : ",\"accepted\":false";
    if (const auto commandLine = standin::host::RawCommandLine()) {
        line += ",\"commandLine\":";
        standin::AppendJsonString(line, *commandLine);
    }
    if (const auto show = standin::host::ShowState()) {
        line += ",\"show\":" + std::to_string(*show);
    }
    line += "}\n";
    return line;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = standin::host::Arguments(argc, argv);
    std::span<const std::string> commandArguments(arguments);
    if (!commandArguments.empty()) {
        commandArguments = commandArguments.subspan(1);
    }

    const standin::Recognition recognition =
        standin::Recognize(standin::KnownCommands(), commandArguments);
    const Settings settings = ReadSettings();

    if (settings.logPath) {
        const std::string line = LogLine(arguments, recognition.accepted);
        if (const auto failure = standin::host::AppendToFile(*settings.logPath, line)) {
            std::string reason = "cannot append to NEROCMD_LOG ";
            standin::AppendJsonString(reason, *settings.logPath);
            reason += ": " + *failure;
            return Fail(kCannotRecord, reason);
        }
    }
    if (!recognition.accepted) {
        return Fail(kRejected, recognition.text);
    }
    if (settings.problem) {
        return Fail(kRejected, *settings.problem);
    }
    if (!WriteLine(stdout, recognition.text)) {
        return Fail(kCannotRecord, "cannot write to standard output");
    }
    if (settings.delayMilliseconds > 0) {
        standin::host::SleepMilliseconds(settings.delayMilliseconds);
    }
    return settings.exitCode;
}
