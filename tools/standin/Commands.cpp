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

// --- The other disc kinds -----------------------------------------------------------------------

// An audio CD: no file system, so no label; the tracks follow "--audio".
constexpr std::array kAudioCd{
    Keyword("--write"),
    Option("--drivename", kDriveLetter),
    Keyword("--real"),
    Switch("--tao"),
    OptionalOption("--artist", kNonEmptyText),
    OptionalOption("--title", kNonEmptyText),
    Keyword("--recursive"),
    Option("--speed", kSpeed),
    Switch("--disable_eject"),
    Keyword("--audio"),
    Entries(),
};
static_assert(IsWalkable(kAudioCd));

// A Video CD or a Super Video CD: the format keyword is their only difference.
template <std::size_t N>
constexpr std::array<Step, 12> VideoDisc(const char (&Format)[N]) {
    return {Keyword("--write"),
            Option("--drivename", kDriveLetter),
            Keyword("--real"),
            Switch("--tao"),
            Switch("--disable_eject"),
            Keyword(std::string_view(Format, N - 1)),
            Keyword("--recursive"),
            Option("--speed", kSpeed),
            Switch("--speedtest"),
            Switch("--close_session"),
            Entries(),
            Switch("--force_erase_disk")};
}
constexpr auto kVideoCd = VideoDisc("--videocd");
constexpr auto kSuperVideoCd = VideoDisc("--svideocd");
static_assert(IsWalkable(kVideoCd) && IsWalkable(kSuperVideoCd));

// A DVD-Video disc: the data disc's options without an import, with a fixed file-system block.
constexpr std::array kDvdVideo{
    Keyword("--write"),
    Option("--drivename", kDriveLetter),
    Keyword("--real"),
    Switch("--tao"),
    OptionalOption("--artist", kNonEmptyText),
    OptionalOption("--title", kNonEmptyText),
    Keyword("--recursive"),
    Option("--speed", kSpeed),
    Option("--iso", kAnyText),
    Switch("--speedtest"),
    Switch("--close_session"),
    Switch("--detect_non_empty_disk"),
    Switch("--underrun_prot"),
    Switch("--disable_eject"),
    Switch("--verify"),
    Keyword("--dvd"),
    Keyword("--create_iso_fs"),
    Keyword("--create_udf_fs"),
    Keyword("--iso-no-joliet"),
    Keyword("--dvdvideo_realloc"),
    Entries(),
    Switch("--force_erase_disk"),
};
static_assert(IsWalkable(kDvdVideo));

constexpr std::array kImage{
    Keyword("--write"),
    Option("--drivename", kDriveLetter),
    Keyword("--real"),
    Switch("--tao"),
    Switch("--dvd"),
    Option("--image", kNonEmptyText),
    Option("--speed", kSpeed),
    Switch("--speedtest"),
    Switch("--close_session"),
    Switch("--detect_non_empty_disk"),
    Switch("--underrun_prot"),
    Switch("--disable_eject"),
    Switch("--force_erase_disk"),
};
static_assert(IsWalkable(kImage));

constexpr std::array kErase{
    Keyword("--erase"),
    Switch("--entire"),
    Option("--drivename", kDriveLetter),
};
static_assert(IsWalkable(kErase));

constexpr std::array kEject{
    Keyword("--eject"),
    Option("--drivename", kDriveLetter),
};
static_assert(IsWalkable(kEject));

// "would write <what> in drive E: speed 4, 2 entries, options: ..."
std::string DescribeWrite(const ParsedCommand& command, std::string_view what,
                          std::span<const std::string_view> mainPhrase) {
    std::string text = "would write ";
    text += what;
    text += " in drive ";
    text += command.Value("--drivename").value_or("?");
    text += ": speed ";
    text += command.Value("--speed").value_or("?");
    text += ", " + EntryCount(command.entries.size());
    text += ", options: " + OtherOptions(command, mainPhrase);
    return text;
}

constexpr std::array<std::string_view, 4> kBurnPhrase{"--write", "--drivename", "--real",
                                                      "--speed"};

std::string DescribeAudioCd(const ParsedCommand& command) {
    return DescribeWrite(command, "an audio CD", kBurnPhrase);
}
std::string DescribeVideoCd(const ParsedCommand& command) {
    return DescribeWrite(command, "a Video CD", kBurnPhrase);
}
std::string DescribeSuperVideoCd(const ParsedCommand& command) {
    return DescribeWrite(command, "a Super Video CD", kBurnPhrase);
}
std::string DescribeDvdVideo(const ParsedCommand& command) {
    return DescribeWrite(command, "a DVD-Video disc", kBurnPhrase);
}

std::string DescribeImage(const ParsedCommand& command) {
    static constexpr std::array<std::string_view, 5> mainPhrase{"--write", "--drivename", "--real",
                                                                "--speed", "--image"};
    std::string text = "would write the image ";
    AppendJsonString(text, command.Value("--image").value_or(""));
    text += " in drive ";
    text += command.Value("--drivename").value_or("?");
    text += ": speed ";
    text += command.Value("--speed").value_or("?");
    text += ", options: " + OtherOptions(command, mainPhrase);
    return text;
}

std::string DescribeErase(const ParsedCommand& command) {
    std::string text = command.Has("--entire") ? "would erase the entire disc in drive "
                                               : "would quickly erase the disc in drive ";
    return text + std::string(command.Value("--drivename").value_or("?"));
}

std::string DescribeEject(const ParsedCommand& command) {
    return "would open the tray of drive " +
           std::string(command.Value("--drivename").value_or("?"));
}

// The DVD-Video command also fits the data disc's grammar (its fixed block would read as
// entries), so it is tried first: the first command that accepts the arguments names them.
constexpr std::array kCommands{
    CommandGrammar{kDvdVideo, &DescribeDvdVideo},
    CommandGrammar{kDataDisc, &DescribeDataDisc},
    CommandGrammar{kAudioCd, &DescribeAudioCd},
    CommandGrammar{kVideoCd, &DescribeVideoCd},
    CommandGrammar{kSuperVideoCd, &DescribeSuperVideoCd},
    CommandGrammar{kImage, &DescribeImage},
    CommandGrammar{kErase, &DescribeErase},
    CommandGrammar{kEject, &DescribeEject},
};

} // namespace

std::span<const CommandGrammar> KnownCommands() {
    return kCommands;
}

} // namespace standin
