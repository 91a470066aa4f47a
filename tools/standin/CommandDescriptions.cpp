#include "CommandDescriptions.hpp"

#include "JsonText.hpp"
#include "ToolOptions.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

namespace Standin {

using ToolGrammar::AppendJsonString;
using ToolGrammar::CommandKind;
using ToolGrammar::ParsedCommand;

namespace {

// The names the component composes with and the grammar recognises.
namespace Arg = ToolContract::Arg;

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

std::string DescribeDataDisc(const ParsedCommand& Command) {
    static constexpr std::array<std::string_view, 6> MainPhrase{
        Arg::Write, Arg::DriveName, Arg::Real, Arg::Recursive, Arg::Speed, Arg::Iso};
    std::string Text = "would write a data disc in drive ";
    Text += Command.Value(Arg::DriveName).value_or("?");
    Text += ": label ";
    AppendJsonString(Text, Command.Value(Arg::Iso).value_or(""));
    Text += ", speed ";
    Text += Command.Value(Arg::Speed).value_or("?");
    Text += ", " + EntryCount(Command.Entries.size());
    Text += ", options: " + OtherOptions(Command, MainPhrase);
    return Text;
}

// "would write <what> in drive E: speed 4, 2 entries, options: ..."
std::string DescribeWrite(const ParsedCommand& Command, std::string_view What,
                          std::span<const std::string_view> MainPhrase) {
    std::string Text = "would write ";
    Text += What;
    Text += " in drive ";
    Text += Command.Value(Arg::DriveName).value_or("?");
    Text += ": speed ";
    Text += Command.Value(Arg::Speed).value_or("?");
    Text += ", " + EntryCount(Command.Entries.size());
    Text += ", options: " + OtherOptions(Command, MainPhrase);
    return Text;
}

constexpr std::array<std::string_view, 4> BurnPhrase{Arg::Write, Arg::DriveName, Arg::Real,
                                                     Arg::Speed};

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
    static constexpr std::array<std::string_view, 5> MainPhrase{Arg::Write, Arg::DriveName,
                                                                Arg::Real, Arg::Speed, Arg::Image};
    std::string Text = "would write the image ";
    AppendJsonString(Text, Command.Value(Arg::Image).value_or(""));
    Text += " in drive ";
    Text += Command.Value(Arg::DriveName).value_or("?");
    Text += ": speed ";
    Text += Command.Value(Arg::Speed).value_or("?");
    Text += ", options: " + OtherOptions(Command, MainPhrase);
    return Text;
}

std::string DescribeErase(const ParsedCommand& Command) {
    std::string Text = Command.Has(Arg::Entire) ? "would erase the entire disc in drive "
                                                : "would quickly erase the disc in drive ";
    return Text + std::string(Command.Value(Arg::DriveName).value_or("?"));
}

std::string DescribeEject(const ParsedCommand& Command) {
    return "would open the tray of drive " +
           std::string(Command.Value(Arg::DriveName).value_or("?"));
}

std::string DescribeDiscInfo(const ParsedCommand& Command) {
    return "would tell what the disc in drive " +
           std::string(Command.Value(Arg::DriveName).value_or("?")) + " holds";
}

struct Description {
    CommandKind Kind;
    std::string (*Describe)(const ParsedCommand& Command);
};

constexpr std::array Descriptions{
    Description{CommandKind::DataDisc, &DescribeDataDisc},
    Description{CommandKind::DvdVideo, &DescribeDvdVideo},
    Description{CommandKind::AudioCd, &DescribeAudioCd},
    Description{CommandKind::VideoCd, &DescribeVideoCd},
    Description{CommandKind::SuperVideoCd, &DescribeSuperVideoCd},
    Description{CommandKind::Image, &DescribeImage},
    Description{CommandKind::Erase, &DescribeErase},
    Description{CommandKind::Eject, &DescribeEject},
    Description{CommandKind::DiscInfo, &DescribeDiscInfo},
};

} // namespace

std::string Describe(CommandKind Kind, const ParsedCommand& Command) {
    for (const Description& Row : Descriptions) {
        if (Row.Kind == Kind) {
            return Row.Describe(Command);
        }
    }
    return "would run a command this stand-in cannot describe";
}

} // namespace Standin
