// The commands the tool understands, each as the list of its arguments in the one order the tool
// accepts them. To add a command: write its step list and a row in KnownCommands(); the walker in
// CommandGrammar.cpp does the rest (the stand-in also needs a line that describes it).
#include "Commands.hpp"

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

// What the disc in the drive holds, answered as key=value lines; nothing is written.
constexpr std::array DiscInfoSteps{
    Keyword("--disc_info"),
    Option("--drivename", DriveLetterValue),
};
static_assert(IsWalkable(DiscInfoSteps));

// The DVD-Video command also fits the data disc's grammar (its fixed block would read as
// entries), so it is tried first: the first command that accepts the arguments names them.
constexpr std::array Grammars{
    CommandGrammar{CommandKind::DvdVideo, DvdVideoSteps},
    CommandGrammar{CommandKind::DataDisc, DataDiscSteps},
    CommandGrammar{CommandKind::AudioCd, AudioCdSteps},
    CommandGrammar{CommandKind::VideoCd, VideoCdSteps},
    CommandGrammar{CommandKind::SuperVideoCd, SuperVideoCdSteps},
    CommandGrammar{CommandKind::Image, ImageSteps},
    CommandGrammar{CommandKind::Erase, EraseSteps},
    CommandGrammar{CommandKind::Eject, EjectSteps},
    CommandGrammar{CommandKind::DiscInfo, DiscInfoSteps},
};

} // namespace

std::span<const CommandGrammar> KnownCommands() {
    return Grammars;
}

} // namespace ToolGrammar
