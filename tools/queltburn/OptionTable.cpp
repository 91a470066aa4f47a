// The options of the command-line host: its own names for the component's settings and for how a
// command runs, with their help, their defaults and what each sets. They are queltburn's words
// for people, not the tool's command line, which the component composes from these settings.
#include "CommandTable.hpp"

#include "System.SysUtils.hpp"
#include "TextFile.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <utility>

namespace Queltburn {

namespace {

using Queltburner::TQueltBurner;
using System::UnicodeString;
using System::Sysutils::UTF8Encode;
namespace Initial = Queltburner::Initial;

std::string OnOff(bool On) {
    return On ? "on" : "off";
}

// A whole number of the option from the type's least value to Most; the message of a bad one
// states that range.
template <typename Integer>
Integer ParseInteger(const UnicodeString& Text, std::string_view Option,
                     Integer Most = std::numeric_limits<Integer>::max()) {
    const std::string Narrow = UTF8Encode(Text);
    Integer Value{};
    const auto [End, Error] = std::from_chars(Narrow.data(), Narrow.data() + Narrow.size(), Value);
    if (Narrow.empty() || Error != std::errc() || End != Narrow.data() + Narrow.size() ||
        Value > Most) {
        throw UsageError("--" + std::string(Option) + " takes a whole number from " +
                         std::to_string(std::numeric_limits<Integer>::min()) + " to " +
                         std::to_string(Most) + ", not '" + Narrow + "'");
    }
    return Value;
}

constexpr std::pair<std::string_view, Queltburner::TDiskType> DiskTypes[] = {
    {"data", Queltburner::dtData},         {"audio", Queltburner::dtAudio},
    {"video", Queltburner::dtVideo},       {"svideo", Queltburner::dtSuperVideo},
    {"dvdvideo", Queltburner::dtDVDVideo},
};

Queltburner::TDiskType ParseDiskType(const UnicodeString& Text) {
    const std::string Narrow = UTF8Encode(Text);
    for (const auto& [Name, Type] : DiskTypes) {
        if (Narrow == Name) {
            return Type;
        }
    }
    throw UsageError("--type takes data, audio, video, svideo or dvdvideo, not '" + Narrow + "'");
}

Option Text(std::string_view Name, std::string Help, std::string Default,
            void (TQueltBurner::*Setter)(const UnicodeString&)) {
    return {Name,
            "TEXT",
            std::move(Help),
            std::move(Default),
            nullptr,
            [Setter](TQueltBurner& B, const UnicodeString& V, bool) { (B.*Setter)(V); }};
}

Option Switch(std::string_view Name, std::string Help, bool Initially,
              void (TQueltBurner::*Setter)(bool)) {
    return {Name,
            "",
            std::move(Help),
            OnOff(Initially),
            nullptr,
            [Setter](TQueltBurner& B, const UnicodeString&, bool On) { (B.*Setter)(On); }};
}

Option RunSwitch(std::string_view Name, std::string Help, std::string Default,
                 bool RunOptions::*Field) {
    return {Name,
            "",
            std::move(Help),
            std::move(Default),
            [Field](RunOptions& R, const UnicodeString&, bool On) { R.*Field = On; },
            nullptr};
}

Option RunValue(std::string_view Name, std::string_view Argument, std::string Help,
                std::optional<UnicodeString> RunOptions::*Field) {
    return {Name,
            Argument,
            std::move(Help),
            "",
            [Field](RunOptions& R, const UnicodeString& V, bool) { R.*Field = V; },
            nullptr};
}

} // namespace

std::string DiskTypeName(Queltburner::TDiskType Type) {
    const auto* Found = std::find_if(std::begin(DiskTypes), std::end(DiskTypes),
                                     [Type](const auto& Entry) { return Entry.second == Type; });
    return std::string(Found->first);
}

const std::vector<Option>& AllOptions() {
    static const std::vector<Option> Options = {
        Text("label", "volume label, written as given; may be empty",
             UTF8Encode(Initial::VolumeLabel), &TQueltBurner::SetVolumeLabel),
        Text("artist", "artist text (trimmed; left out when blank)", "", &TQueltBurner::SetArtist),
        Text("title", "title text (trimmed; left out when blank)", "", &TQueltBurner::SetTitle),
        {"speed", "N",
         "write speed, N times the medium's base speed (0 to 65535; 0: the drive's fastest)",
         std::to_string(Initial::Speed), nullptr,
         [](TQueltBurner& B, const UnicodeString& V, bool) {
             B.SetSpeed(ParseInteger<std::uint16_t>(V, "speed"));
         }},
        {"continue-session", "N", "session to import, 0 or more; negative: none",
         std::to_string(Initial::ContinueSession), nullptr,
         [](TQueltBurner& B, const UnicodeString& V, bool) {
             B.SetContinueSession(ParseInteger<int>(V, "continue-session"));
         }},
        Switch("tao", "track-at-once writing", Initial::Switch, &TQueltBurner::SetTao),
        Switch("speedtest",
               "read every source once and report its read speed (warning when it is below the "
               "write speed), then write the disc for real",
               Initial::Switch, &TQueltBurner::SetSpeedTest),
        Switch("close-session", "close the session", Initial::Switch,
               &TQueltBurner::SetCloseSession),
        Switch("detect-non-empty-disk", "refuse a disc that is not empty", Initial::Switch,
               &TQueltBurner::SetDetectNonEmptyDisk),
        Switch("underrun-prot", "buffer underrun protection", Initial::UnderrunProtection,
               &TQueltBurner::SetUnderrunProtection),
        Switch("disable-eject", "leave the tray closed afterwards", Initial::Switch,
               &TQueltBurner::SetDisableEject),
        Switch("verify", "verify the written data", Initial::Switch, &TQueltBurner::SetVerify),
        Switch("dvd", "write a DVD", Initial::Switch, &TQueltBurner::SetDVD),
        Switch("force-erase-disk", "erase a rewritable disc first", Initial::Switch,
               &TQueltBurner::SetForceEraseDisk),
        {"type", "KIND", "disc kind: data, audio, video, svideo or dvdvideo",
         DiskTypeName(Initial::DiskType), nullptr,
         [](TQueltBurner& B, const UnicodeString& V, bool) { B.SetDiskType(ParseDiskType(V)); }},
        RunSwitch("full", "erase the entire disc, not only its table of contents", OnOff(false),
                  &RunOptions::FullErase),
        RunSwitch("skip-missing",
                  "pass a FILE that does not exist to the component, which leaves it out "
                  "('left out: FILE' on standard error); without it such a FILE is an error",
                  OnOff(false), &RunOptions::SkipMissing),
        // How a command runs.
        RunSwitch("wait",
                  "wait for the tool, exit by its exit code and fire an event; --no-wait only "
                  "starts it",
                  OnOff(true), &RunOptions::Wait),
        RunSwitch("sync", "the same as --wait (--no-sync: --no-wait)", "", &RunOptions::Wait),
        {"timeout", "SECONDS",
         "end a waiting run that lasts longer (result -5); 0: no limit, at most 4294967",
         std::to_string(Initial::Timeout / 1000), nullptr,
         [](TQueltBurner& B, const UnicodeString& V, bool) {
             constexpr std::uint32_t Most = 4294967; // milliseconds in 32 bits
             const auto Seconds = ParseInteger<std::uint32_t>(V, "timeout", Most);
             B.SetTimeout(Seconds * 1000);
         }},
        RunSwitch("progress",
                  "print progress lines while waiting, with the rate and time left while "
                  "writing and verifying (on a terminal a progress bar is shown anyway)",
                  OnOff(false), &RunOptions::Progress),
        RunSwitch("estimate",
                  "tell how much of the disc in DRIVE the burn would take and whether it fits, "
                  "without writing (exit 0: fits, 1: does not fit or cannot be told)",
                  OnOff(false), &RunOptions::Estimate),
        RunSwitch("json",
                  "JSON for programs instead of lines for people (exact bytes; drives: an array)",
                  OnOff(false), &RunOptions::Json),
        RunSwitch("print-command",
                  "print the tool's command line and run nothing; every check still happens",
                  OnOff(false), &RunOptions::PrintCommand),
        Switch("hide", "hide the tool's window", Initial::Switch, &TQueltBurner::SetHideNeroCmd),
        {"quiet", "", "show no error messages", OnOff(!Initial::ShowMessages), nullptr,
         [](TQueltBurner& B, const UnicodeString&, bool On) { B.SetShowMessages(!On); }},
        {"tool", "PATH", "the tool to run, instead of the one found through the registry", "",
         nullptr, [](TQueltBurner& B, const UnicodeString& V, bool) { B.NeroCmdLocation = V; }},
        RunValue("settings", "FILE",
                 "load the settings from a form file first (UTF-8 or UTF-16, at most " +
                     std::string(MaxTextFileSize) + "); the other options then apply",
                 &RunOptions::SettingsFile),
        RunValue("name", "NAME", "with --settings: the component's block of that name",
                 &RunOptions::SettingsName),
    };
    return Options;
}

const Option* FindOption(std::string_view Name) {
    const auto& Options = AllOptions();
    const auto Found = std::find_if(Options.begin(), Options.end(),
                                    [&](const Option& O) { return O.Name == Name; });
    return Found == Options.end() ? nullptr : &*Found;
}

} // namespace Queltburn
