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

namespace ToolGrammar {

namespace {

// --- Values -------------------------------------------------------------------------------------

// Digits only, no sign, no leading zero unless the number is 0 itself, and at most Maximum. The
// tool reads these as the number they show, so "04" or "+4" would be a different command line
// from the one the component means to compose.
bool IsPlainDecimal(std::string_view Text, std::uint64_t Maximum) {
    if (Text.empty() || Text.size() > 19 || (Text.size() > 1 && Text.front() == '0')) {
        return false;
    }
    if (!std::all_of(Text.begin(), Text.end(), [](char C) { return C >= '0' && C <= '9'; })) {
        return false;
    }
    std::uint64_t Number = 0;
    std::from_chars(Text.data(), Text.data() + Text.size(), Number);
    return Number <= Maximum;
}

bool IsDriveLetter(std::string_view Text) {
    return Text.size() == 1 &&
           ((Text[0] >= 'A' && Text[0] <= 'Z') || (Text[0] >= 'a' && Text[0] <= 'z'));
}

bool IsNonEmpty(std::string_view Text) {
    return !Text.empty();
}

bool IsAnything(std::string_view /*text*/) {
    return true;
}

bool IsSpeed(std::string_view Text) {
    return IsPlainDecimal(Text, 65535);
}

bool IsSessionNumber(std::string_view Text) {
    return IsPlainDecimal(Text, 2147483647);
}

constexpr ValueRule DriveLetterValue{"one ASCII letter", &IsDriveLetter};
constexpr ValueRule NonEmptyTextValue{"a non-empty text", &IsNonEmpty};
constexpr ValueRule AnyTextValue{"a text, possibly empty", &IsAnything};
constexpr ValueRule SpeedValue{"a decimal number 0..65535 without sign or leading zeros", &IsSpeed};
constexpr ValueRule SessionNumberValue{
    "a decimal number 0..2147483647 without sign or leading zeros", &IsSessionNumber};

// --- Describing ---------------------------------------------------------------------------------

std::string EntryCount(std::size_t Count) {
    return std::to_string(Count) + (Count == 1 ? " entry" : " entries");
}

// The fixed arguments that are not already named in the description's main phrase, with their
// values quoted so that a value holding a line break cannot split the one-line output.
std::string OtherOptions(const ParsedCommand& Command,
                         std::span<const std::string_view> AlreadyDescribed) {
    std::string Text;
    for (const ParsedCommand::Given& Item : Command.Present) {
        if (std::find(AlreadyDescribed.begin(), AlreadyDescribed.end(), Item.Name) !=
            AlreadyDescribed.end()) {
            continue;
        }
        if (!Text.empty()) {
            Text += ' ';
        }
        Text += Item.Name;
        if (Item.Value) {
            Text += ' ';
            AppendJsonString(Text, *Item.Value);
        }
    }
    return Text.empty() ? "none" : Text;
}

// --- Data disc ----------------------------------------------------------------------------------

constexpr std::array DataDiscSteps{
    Keyword("--write"),
    Option("--drivename", DriveLetterValue),
    Keyword("--real"),
    Switch("--tao"),
    OptionalOption("--artist", NonEmptyTextValue),
    OptionalOption("--title", NonEmptyTextValue),
    Keyword("--recursive"),
    Option("--speed", SpeedValue),
    Option("--iso", AnyTextValue),
    OptionalOption("--import", SessionNumberValue),
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
static_assert(IsWalkable(DataDiscSteps));

std::string DescribeDataDisc(const ParsedCommand& Command) {
    static constexpr std::array<std::string_view, 6> MainPhrase{
        "--write", "--drivename", "--real", "--recursive", "--speed", "--iso"};
    std::string Text = "would write a data disc in drive ";
    Text += Command.Value("--drivename").value_or("?");
    Text += ": label ";
    AppendJsonString(Text, Command.Value("--iso").value_or(""));
    Text += ", speed ";
    Text += Command.Value("--speed").value_or("?");
    Text += ", " + EntryCount(Command.Entries.size());
    Text += ", options: " + OtherOptions(Command, MainPhrase);
    return Text;
}

// --- The other disc kinds -----------------------------------------------------------------------

// An audio CD: no file system, so no label; the tracks follow "--audio".
constexpr std::array AudioCdSteps{
    Keyword("--write"),
    Option("--drivename", DriveLetterValue),
    Keyword("--real"),
    Switch("--tao"),
    OptionalOption("--artist", NonEmptyTextValue),
    OptionalOption("--title", NonEmptyTextValue),
    Keyword("--recursive"),
    Option("--speed", SpeedValue),
    Switch("--disable_eject"),
    Keyword("--audio"),
    Entries(),
};
static_assert(IsWalkable(AudioCdSteps));

// A Video CD or a Super Video CD: the format keyword is their only difference.
template <std::size_t N>
constexpr std::array<Step, 12> VideoDisc(const char (&Format)[N]) {
    return {Keyword("--write"),
            Option("--drivename", DriveLetterValue),
            Keyword("--real"),
            Switch("--tao"),
            Switch("--disable_eject"),
            Keyword(std::string_view(Format, N - 1)),
            Keyword("--recursive"),
            Option("--speed", SpeedValue),
            Switch("--speedtest"),
            Switch("--close_session"),
            Entries(),
            Switch("--force_erase_disk")};
}
constexpr auto VideoCdSteps = VideoDisc("--videocd");
constexpr auto SuperVideoCdSteps = VideoDisc("--svideocd");
static_assert(IsWalkable(VideoCdSteps) && IsWalkable(SuperVideoCdSteps));

// A DVD-Video disc: the data disc's options without an import, with a fixed file-system block.
constexpr std::array DvdVideoSteps{
    Keyword("--write"),
    Option("--drivename", DriveLetterValue),
    Keyword("--real"),
    Switch("--tao"),
    OptionalOption("--artist", NonEmptyTextValue),
    OptionalOption("--title", NonEmptyTextValue),
    Keyword("--recursive"),
    Option("--speed", SpeedValue),
    Option("--iso", AnyTextValue),
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
static_assert(IsWalkable(DvdVideoSteps));

constexpr std::array ImageSteps{
    Keyword("--write"),
    Option("--drivename", DriveLetterValue),
    Keyword("--real"),
    Switch("--tao"),
    Switch("--dvd"),
    Option("--image", NonEmptyTextValue),
    Option("--speed", SpeedValue),
    Switch("--speedtest"),
    Switch("--close_session"),
    Switch("--detect_non_empty_disk"),
    Switch("--underrun_prot"),
    Switch("--disable_eject"),
    Switch("--force_erase_disk"),
};
static_assert(IsWalkable(ImageSteps));

constexpr std::array EraseSteps{
    Keyword("--erase"),
    Switch("--entire"),
    Option("--drivename", DriveLetterValue),
};
static_assert(IsWalkable(EraseSteps));

constexpr std::array EjectSteps{
    Keyword("--eject"),
    Option("--drivename", DriveLetterValue),
};
static_assert(IsWalkable(EjectSteps));

// "would write <what> in drive E: speed 4, 2 entries, options: ..."
std::string DescribeWrite(const ParsedCommand& Command, std::string_view What,
                          std::span<const std::string_view> MainPhrase) {
    std::string Text = "would write ";
    Text += What;
    Text += " in drive ";
    Text += Command.Value("--drivename").value_or("?");
    Text += ": speed ";
    Text += Command.Value("--speed").value_or("?");
    Text += ", " + EntryCount(Command.Entries.size());
    Text += ", options: " + OtherOptions(Command, MainPhrase);
    return Text;
}

constexpr std::array<std::string_view, 4> BurnPhrase{"--write", "--drivename", "--real", "--speed"};

std::string DescribeAudioCd(const ParsedCommand& Command) {
    return DescribeWrite(Command, "an audio CD", BurnPhrase);
}
std::string DescribeVideoCd(const ParsedCommand& Command) {
    return DescribeWrite(Command, "a Video CD", BurnPhrase);
}
std::string DescribeSuperVideoCd(const ParsedCommand& Command) {
    return DescribeWrite(Command, "a Super Video CD", BurnPhrase);
}
std::string DescribeDvdVideo(const ParsedCommand& Command) {
    return DescribeWrite(Command, "a DVD-Video disc", BurnPhrase);
}

std::string DescribeImage(const ParsedCommand& Command) {
    static constexpr std::array<std::string_view, 5> MainPhrase{"--write", "--drivename", "--real",
                                                                "--speed", "--image"};
    std::string Text = "would write the image ";
    AppendJsonString(Text, Command.Value("--image").value_or(""));
    Text += " in drive ";
    Text += Command.Value("--drivename").value_or("?");
    Text += ": speed ";
    Text += Command.Value("--speed").value_or("?");
    Text += ", options: " + OtherOptions(Command, MainPhrase);
    return Text;
}

std::string DescribeErase(const ParsedCommand& Command) {
    std::string Text = Command.Has("--entire") ? "would erase the entire disc in drive "
                                               : "would quickly erase the disc in drive ";
    return Text + std::string(Command.Value("--drivename").value_or("?"));
}

std::string DescribeEject(const ParsedCommand& Command) {
    return "would open the tray of drive " +
           std::string(Command.Value("--drivename").value_or("?"));
}

// The DVD-Video command also fits the data disc's grammar (its fixed block would read as
// entries), so it is tried first: the first command that accepts the arguments names them.
constexpr std::array Grammars{
    CommandGrammar{CommandKind::DvdVideo, DvdVideoSteps, &DescribeDvdVideo},
    CommandGrammar{CommandKind::DataDisc, DataDiscSteps, &DescribeDataDisc},
    CommandGrammar{CommandKind::AudioCd, AudioCdSteps, &DescribeAudioCd},
    CommandGrammar{CommandKind::VideoCd, VideoCdSteps, &DescribeVideoCd},
    CommandGrammar{CommandKind::SuperVideoCd, SuperVideoCdSteps, &DescribeSuperVideoCd},
    CommandGrammar{CommandKind::Image, ImageSteps, &DescribeImage},
    CommandGrammar{CommandKind::Erase, EraseSteps, &DescribeErase},
    CommandGrammar{CommandKind::Eject, EjectSteps, &DescribeEject},
};

} // namespace

std::span<const CommandGrammar> KnownCommands() {
    return Grammars;
}

} // namespace ToolGrammar
