#include "StandinLog.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <utility>

namespace QueltTest {

namespace {

int HexDigit(char C) {
    if (C >= '0' && C <= '9') {
        return C - '0';
    }
    if (C >= 'a' && C <= 'f') {
        return C - 'a' + 10;
    }
    if (C >= 'A' && C <= 'F') {
        return C - 'A' + 10;
    }
    return -1;
}

// Maps the escapes of a JSON string's text back to bytes; \u00xx is the byte xx, which is how the
// log writes control characters and bytes that are not UTF-8. The log never needs a larger \u
// escape, so one is refused like any other malformed escape.
std::optional<std::string> Decode(std::string_view Raw) {
    std::string Bytes;
    for (std::size_t I = 0; I < Raw.size(); ++I) {
        if (Raw[I] != '\\') {
            Bytes += Raw[I];
            continue;
        }
        if (++I == Raw.size()) {
            return std::nullopt;
        }
        switch (Raw[I]) {
        case '"':
        case '\\':
        case '/':
            Bytes += Raw[I];
            break;
        case 'n':
            Bytes += '\n';
            break;
        case 't':
            Bytes += '\t';
            break;
        case 'u': {
            if (Raw.size() - I < 5 || Raw.substr(I + 1, 2) != "00") {
                return std::nullopt;
            }
            const int High = HexDigit(Raw[I + 3]);
            const int Low = HexDigit(Raw[I + 4]);
            if (High < 0 || Low < 0) {
                return std::nullopt;
            }
            Bytes += static_cast<char>(static_cast<unsigned char>(High * 16 + Low));
            I += 4;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return Bytes;
}

// Reads the flat JSON object of one log line: values are strings, arrays of strings, whole
// numbers or booleans, which is all the log holds.
class LogLineReader {
public:
    explicit LogLineReader(std::string_view Text) : FText(Text) {}

    std::optional<LoggedRun> Read() {
        LoggedRun Run;
        if (!Eat('{')) {
            return std::nullopt;
        }
        bool First = true;
        while (!Eat('}')) {
            std::string Key;
            if ((!First && !Eat(',')) || !RawString(Key) || !Eat(':')) {
                return std::nullopt;
            }
            First = false;
            if (!Value(Key, Run)) {
                return std::nullopt;
            }
        }
        if (FAt != FText.size() || !FHasArgv || !FHasPid || !FHasAccepted) {
            return std::nullopt;
        }
        return Run;
    }

private:
    bool Eat(char Expected) {
        if (FAt < FText.size() && FText[FAt] == Expected) {
            ++FAt;
            return true;
        }
        return false;
    }

    bool RawString(std::string& Raw) {
        if (!Eat('"')) {
            return false;
        }
        const std::size_t Start = FAt;
        while (FAt < FText.size() && FText[FAt] != '"') {
            if (static_cast<unsigned char>(FText[FAt]) < 0x20) {
                return false; // JSON strings cannot hold raw control characters
            }
            FAt += FText[FAt] == '\\' ? 2U : 1U;
        }
        if (FAt >= FText.size()) {
            return false;
        }
        Raw = std::string(FText.substr(Start, FAt - Start));
        ++FAt;
        return true;
    }

    bool Value(const std::string& Key, LoggedRun& Run) {
        if (Eat('[')) {
            std::vector<std::string> Items;
            while (!Eat(']')) {
                std::string Raw;
                if ((!Items.empty() && !Eat(',')) || !RawString(Raw)) {
                    return false;
                }
                Items.push_back(Raw);
            }
            if (Key == "argv") {
                Run.Argv.clear();
                for (const std::string& Raw : Items) {
                    const auto Bytes = Decode(Raw);
                    if (!Bytes) {
                        return false;
                    }
                    Run.Argv.push_back(*Bytes);
                }
                Run.RawArgv = std::move(Items);
                FHasArgv = true;
            }
            return true;
        }
        const std::string_view Rest = FText.substr(FAt);
        if (Rest.starts_with("true") || Rest.starts_with("false")) {
            const bool Flag = Rest.front() == 't';
            FAt += Flag ? 4U : 5U;
            if (Key == "accepted") {
                Run.Accepted = Flag;
                FHasAccepted = true;
            }
            return true;
        }
        if (Rest.starts_with("\"")) {
            std::string Raw;
            if (!RawString(Raw)) {
                return false;
            }
            if (Key == "commandLine") {
                Run.CommandLine = Decode(Raw);
                return Run.CommandLine.has_value();
            }
            return true;
        }
        const std::size_t Start = FAt;
        while (FAt < FText.size() && FText[FAt] >= '0' && FText[FAt] <= '9') {
            ++FAt;
        }
        if (FAt == Start) {
            return false;
        }
        if (Key == "show") {
            unsigned Show = 0;
            const char* const Last = FText.data() + FAt;
            if (std::from_chars(FText.data() + Start, Last, Show).ptr != Last) {
                return false;
            }
            Run.Show = Show;
        }
        if (Key == "pid") {
            const char* const First = FText.data() + Start;
            const char* const Last = FText.data() + FAt;
            if (std::from_chars(First, Last, Run.Pid).ptr != Last) {
                return false;
            }
            FHasPid = true;
        }
        return true;
    }

    std::string_view FText;
    std::size_t FAt = 0;
    bool FHasArgv = false;
    bool FHasPid = false;
    bool FHasAccepted = false;
};

} // namespace

std::vector<std::string> SplitLines(const std::string& Text) {
    std::vector<std::string> Lines;
    std::size_t Start = 0;
    while (Start < Text.size()) {
        const std::size_t End = Text.find('\n', Start);
        if (End == std::string::npos) {
            ADD_FAILURE() << "unterminated line: " << Text.substr(Start);
            break;
        }
        Lines.push_back(Text.substr(Start, End - Start));
        Start = End + 1;
    }
    return Lines;
}

std::optional<LoggedRun> ParseStandinLogLine(std::string_view Line) {
    return LogLineReader(Line).Read();
}

std::vector<LoggedRun> ReadStandinLog(const std::string& Path) {
    std::vector<LoggedRun> Runs;
    for (const std::string& Line : SplitLines(ReadFile(Path))) {
        if (auto Run = ParseStandinLogLine(Line)) {
            Runs.push_back(std::move(*Run));
        } else {
            ADD_FAILURE() << "not a log line: " << Line.substr(0, 200);
        }
    }
    return Runs;
}

} // namespace QueltTest
