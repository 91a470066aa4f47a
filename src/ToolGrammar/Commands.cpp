// The commands the tool understands, each as the list of its arguments in the one order the tool
// accepts them. To add a command: write its step list and a row in KnownCommands(); the walker in
// CommandGrammar.cpp does the rest (the stand-in also needs a line that describes it).
#include "Commands.hpp"

#include "ToolOptions.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace ToolGrammar {

namespace {

// The option names are the ones the component composes with.
namespace Arg = ToolContract::Arg;

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
    Keyword(Arg::Write),
    Option(Arg::DriveName, DriveLetterValue),
    Keyword(Arg::Real),
    Switch(Arg::Tao),
    OptionalOption(Arg::Artist, NonEmptyTextValue),
    OptionalOption(Arg::Title, NonEmptyTextValue),
    Keyword(Arg::Recursive),
    Option(Arg::Speed, SpeedValue),
    Option(Arg::Iso, AnyTextValue),
    OptionalOption(Arg::Import, SessionNumberValue),
    Switch(Arg::SpeedTest),
    Switch(Arg::CloseSession),
    Switch(Arg::DetectNonEmptyDisk),
    Switch(Arg::UnderrunProtection),
    Switch(Arg::DisableEject),
    Switch(Arg::Verify),
    Switch(Arg::Dvd),
    Entries(),
    Switch(Arg::ForceEraseDisk),
};
static_assert(IsWalkable(DataDiscSteps));

// --- The other disc kinds -----------------------------------------------------------------------

// An audio CD: no file system, so no label; the tracks follow "--audio".
constexpr std::array AudioCdSteps{
    Keyword(Arg::Write),
    Option(Arg::DriveName, DriveLetterValue),
    Keyword(Arg::Real),
    Switch(Arg::Tao),
    OptionalOption(Arg::Artist, NonEmptyTextValue),
    OptionalOption(Arg::Title, NonEmptyTextValue),
    Keyword(Arg::Recursive),
    Option(Arg::Speed, SpeedValue),
    Switch(Arg::DisableEject),
    Keyword(Arg::Audio),
    Entries(),
};
static_assert(IsWalkable(AudioCdSteps));

// A Video CD or a Super Video CD: the format keyword is their only difference.
constexpr std::array<Step, 12> VideoDisc(std::string_view Format) {
    return {Keyword(Arg::Write),
            Option(Arg::DriveName, DriveLetterValue),
            Keyword(Arg::Real),
            Switch(Arg::Tao),
            Switch(Arg::DisableEject),
            Keyword(Format),
            Keyword(Arg::Recursive),
            Option(Arg::Speed, SpeedValue),
            Switch(Arg::SpeedTest),
            Switch(Arg::CloseSession),
            Entries(),
            Switch(Arg::ForceEraseDisk)};
}
constexpr auto VideoCdSteps = VideoDisc(Arg::VideoCd);
constexpr auto SuperVideoCdSteps = VideoDisc(Arg::SuperVideoCd);
static_assert(IsWalkable(VideoCdSteps) && IsWalkable(SuperVideoCdSteps));

// A DVD-Video disc: the data disc's options without an import, with a fixed file-system block.
constexpr std::array DvdVideoSteps{
    Keyword(Arg::Write),
    Option(Arg::DriveName, DriveLetterValue),
    Keyword(Arg::Real),
    Switch(Arg::Tao),
    OptionalOption(Arg::Artist, NonEmptyTextValue),
    OptionalOption(Arg::Title, NonEmptyTextValue),
    Keyword(Arg::Recursive),
    Option(Arg::Speed, SpeedValue),
    Option(Arg::Iso, AnyTextValue),
    Switch(Arg::SpeedTest),
    Switch(Arg::CloseSession),
    Switch(Arg::DetectNonEmptyDisk),
    Switch(Arg::UnderrunProtection),
    Switch(Arg::DisableEject),
    Switch(Arg::Verify),
    Keyword(Arg::Dvd),
    Keyword(Arg::CreateIsoFs),
    Keyword(Arg::CreateUdfFs),
    Keyword(Arg::IsoNoJoliet),
    Keyword(Arg::DvdVideoRealloc),
    Entries(),
    Switch(Arg::ForceEraseDisk),
};
static_assert(IsWalkable(DvdVideoSteps));

constexpr std::array ImageSteps{
    Keyword(Arg::Write),
    Option(Arg::DriveName, DriveLetterValue),
    Keyword(Arg::Real),
    Switch(Arg::Tao),
    Switch(Arg::Dvd),
    Option(Arg::Image, NonEmptyTextValue),
    Option(Arg::Speed, SpeedValue),
    Switch(Arg::SpeedTest),
    Switch(Arg::CloseSession),
    Switch(Arg::DetectNonEmptyDisk),
    Switch(Arg::UnderrunProtection),
    Switch(Arg::DisableEject),
    Switch(Arg::ForceEraseDisk),
};
static_assert(IsWalkable(ImageSteps));

constexpr std::array EraseSteps{
    Keyword(Arg::Erase),
    Switch(Arg::Entire),
    Option(Arg::DriveName, DriveLetterValue),
};
static_assert(IsWalkable(EraseSteps));

constexpr std::array EjectSteps{
    Keyword(Arg::Eject),
    Option(Arg::DriveName, DriveLetterValue),
};
static_assert(IsWalkable(EjectSteps));

// What the disc in the drive holds, answered as key=value lines; nothing is written.
constexpr std::array DiscInfoSteps{
    Keyword(Arg::DiscInfo),
    Option(Arg::DriveName, DriveLetterValue),
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
