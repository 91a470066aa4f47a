// The commands the stand-in understands, each as the list of its arguments in the one order the
// tool accepts them. To add a command: write its step list, a function that describes it in a
// few words, and a row in KnownCommands(); the walker in CommandGrammar.cpp does the rest.
#include "Commands.hpp"

#include "JsonText.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace standin {

namespace {

// --- Values -------------------------------------------------------------------------------------

// Digits only, no sign, no leading zero unless the number is 0 itself, and at most Maximum. The
// tool reads these as the number they show, so "04" or "+4" would be a different command line
// from the one the component means to compose.
bool IsPlainDecimal(std::string_view text, std::uint64_t maximum) {
    if (text.empty() || text.size() > 19 || (text.size() > 1 && text.front() == '0')) {
        return false;
    }
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    std::uint64_t number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number <= maximum;
}

bool IsDriveLetter(std::string_view text) {
    return text.size() == 1 &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

bool IsNonEmpty(std::string_view text) {
    return !text.empty();
}

bool IsAnything(std::string_view /*text*/) {
    return true;
}

bool IsSpeed(std::string_view text) {
    return IsPlainDecimal(text, 65535);
}

bool IsSessionNumber(std::string_view text) {
    return IsPlainDecimal(text, 2147483647);
}

constexpr ValueRule kDriveLetter{"one ASCII letter", &IsDriveLetter};
constexpr ValueRule kNonEmptyText{"a non-empty text", &IsNonEmpty};
constexpr ValueRule kAnyText{"a text, possibly empty", &IsAnything};
constexpr ValueRule kSpeed{"a decimal number 0..65535 without sign or leading zeros", &IsSpeed};
constexpr ValueRule kSessionNumber{"a decimal number 0..2147483647 without sign or leading zeros",
                                   &IsSessionNumber};

// --- Describing ---------------------------------------------------------------------------------

std::string EntryCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " entry" : " entries");
}

// The fixed arguments that are not already named in the description's main phrase, with their
// values quoted so that a value holding a line break cannot split the one-line output.
std::string OtherOptions(const ParsedCommand& command,
                         std::span<const std::string_view> alreadyDescribed) {
    std::string text;
    for (const ParsedCommand::Given& item : command.given) {
        if (std::find(alreadyDescribed.begin(), alreadyDescribed.end(), item.name) !=
            alreadyDescribed.end()) {
            continue;
        }
        if (!text.empty()) {
            text += ' ';
        }
        text += item.name;
        if (item.value) {
            text += ' ';
            AppendJsonString(text, *item.value);
        }
    }
    return text.empty() ? "none" : text;
}

// --- Data disc ----------------------------------------------------------------------------------

constexpr std::array kDataDisc{
    Keyword("--write"),
    Option("--drivename", kDriveLetter),
    Keyword("--real"),
    Switch("--tao"),
    OptionalOption("--artist", kNonEmptyText),
    OptionalOption("--title", kNonEmptyText),
    Keyword("--recursive"),
    Option("--speed", kSpeed),
    Option("--iso", kAnyText),
    OptionalOption("--import", kSessionNumber),
    Switch("--speedtest"),
    Switch("--close_session"),
    Switch("--detect_non_empty_disk"),
    Switch("--underrun_prot"),
    Switch("--disable_eject"),
    Switch("--verify"),
    Switch("--dvd"),
    Entries(),
    Switch("--force_erase_disk"),
};
static_assert(IsWalkable(kDataDisc));

std::string DescribeDataDisc(const ParsedCommand& command) {
    static constexpr std::array<std::string_view, 6> mainPhrase{
        "--write", "--drivename", "--real", "--recursive", "--speed", "--iso"};
    std::string text = "would write a data disc in drive ";
    text += command.Value("--drivename").value_or("?");
    text += ": label ";
    AppendJsonString(text, command.Value("--iso").value_or(""));
    text += ", speed ";
    text += command.Value("--speed").value_or("?");
    text += ", " + EntryCount(command.entries.size());
    text += ", options: " + OtherOptions(command, mainPhrase);
    return text;
}

constexpr std::array kCommands{
    CommandGrammar{kDataDisc, &DescribeDataDisc},
};

} // namespace

std::span<const CommandGrammar> KnownCommands() {
    return kCommands;
}

} // namespace standin
