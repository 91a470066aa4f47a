#include "Cli.hpp"

#include "QueltBurner.hpp"
#include "System.Classes.FormText.hpp"
#include "System.Classes.Streaming.hpp"
#include "System.SysUtils.hpp"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <string>

namespace Queltburn {

namespace {

using Queltburner::TQueltBurner;
using System::UnicodeString;
using System::Sysutils::UTF8Encode;

struct UsageError {
    std::string Message;
};

// What one run is given: the component's settings, and the parameters that are not settings.
struct Invocation {
    TQueltBurner& Burner;
    bool FullErase = false;
    std::optional<UnicodeString> SettingsFile;
    std::optional<UnicodeString> SettingsName;
};

// One command-line option. A switch (no argument) also has a --no- form that turns it off.
struct Option {
    std::string_view Name;
    std::string_view Argument; // empty for a switch
    std::string_view Help;
    std::function<void(Invocation&, const UnicodeString& Value, bool On)> Apply;
};

template <typename Integer>
Integer ParseInteger(const UnicodeString& Text, std::string_view Option) {
    const std::string Narrow = UTF8Encode(Text);
    Integer Value{};
    const auto [End, Error] = std::from_chars(Narrow.data(), Narrow.data() + Narrow.size(), Value);
    if (Narrow.empty() || Error != std::errc() || End != Narrow.data() + Narrow.size()) {
        throw UsageError{"--" + std::string(Option) + " takes a whole number from " +
                         std::to_string(std::numeric_limits<Integer>::min()) + " to " +
                         std::to_string(std::numeric_limits<Integer>::max()) + ", not '" + Narrow +
                         "'"};
    }
    return Value;
}

Queltburner::TDiskType ParseDiskType(const UnicodeString& Text) {
    const std::pair<std::u16string_view, Queltburner::TDiskType> Types[] = {
        {u"data", Queltburner::dtData},         {u"audio", Queltburner::dtAudio},
        {u"video", Queltburner::dtVideo},       {u"svideo", Queltburner::dtSuperVideo},
        {u"dvdvideo", Queltburner::dtDVDVideo},
    };
    for (const auto& [Name, Type] : Types) {
        if (Text == Name) {
            return Type;
        }
    }
    throw UsageError{"--type takes data, audio, video, svideo or dvdvideo, not '" +
                     UTF8Encode(Text) + "'"};
}

Option Text(std::string_view Name, std::string_view Help,
            void (TQueltBurner::*Setter)(const UnicodeString&)) {
    return {Name, "TEXT", Help,
            [Setter](Invocation& I, const UnicodeString& V, bool) { (I.Burner.*Setter)(V); }};
}

Option Switch(std::string_view Name, std::string_view Help, void (TQueltBurner::*Setter)(bool)) {
    return {Name, "", Help,
            [Setter](Invocation& I, const UnicodeString&, bool On) { (I.Burner.*Setter)(On); }};
}

// Every option of every command, each defined once.
const std::vector<Option>& AllOptions() {
    static const std::vector<Option> Options = {
        Text("label", "volume label (default NEW; written as given, may be empty)",
             &TQueltBurner::SetVolumeLabel),
        Text("artist", "artist text (trimmed; left out when blank)", &TQueltBurner::SetArtist),
        Text("title", "title text (trimmed; left out when blank)", &TQueltBurner::SetTitle),
        {"speed", "N", "write speed, 0 to 65535 (default 4)",
         [](Invocation& I, const UnicodeString& V, bool) {
             I.Burner.SetSpeed(ParseInteger<std::uint16_t>(V, "speed"));
         }},
        {"continue-session", "N", "session to import, 0 or more; negative: none (default -1)",
         [](Invocation& I, const UnicodeString& V, bool) {
             I.Burner.SetContinueSession(ParseInteger<int>(V, "continue-session"));
         }},
        Switch("tao", "track-at-once writing (default off)", &TQueltBurner::SetTao),
        Switch("speedtest", "test the speed first (default off)", &TQueltBurner::SetSpeedTest),
        Switch("close-session", "close the session (default off)", &TQueltBurner::SetCloseSession),
        Switch("detect-non-empty-disk", "refuse a disc that is not empty (default off)",
               &TQueltBurner::SetDetectNonEmptyDisk),
        Switch("underrun-prot", "buffer underrun protection (default on)",
               &TQueltBurner::SetUnderrunProtection),
        Switch("disable-eject", "leave the tray closed afterwards (default off)",
               &TQueltBurner::SetDisableEject),
        Switch("verify", "verify the written data (default off)", &TQueltBurner::SetVerify),
        Switch("dvd", "write a DVD (default off)", &TQueltBurner::SetDVD),
        Switch("force-erase-disk", "erase a rewritable disc first (default off)",
               &TQueltBurner::SetForceEraseDisk),
        {"type", "KIND", "disc kind: data, audio, video, svideo or dvdvideo (default data)",
         [](Invocation& I, const UnicodeString& V, bool) {
             I.Burner.SetDiskType(ParseDiskType(V));
         }},
        {"full", "", "erase the entire disc (default: a quick erase)",
         [](Invocation& I, const UnicodeString&, bool On) { I.FullErase = On; }},
        // What every operation reads.
        Switch("sync", "wait for the tool, report its exit code and fire an event (default off)",
               &TQueltBurner::SetSynchronous),
        Switch("hide", "hide the tool's window (default off)", &TQueltBurner::SetHideNeroCmd),
        {"quiet", "", "show no error messages",
         [](Invocation& I, const UnicodeString&, bool On) { I.Burner.SetShowMessages(!On); }},
        {"settings", "FILE",
         "load the settings from a form file first (the other options then apply)",
         [](Invocation& I, const UnicodeString& V, bool) { I.SettingsFile = V; }},
        {"name", "NAME",
         "with --settings: the component's block of that name, anywhere in the file",
         [](Invocation& I, const UnicodeString& V, bool) { I.SettingsName = V; }},
        {"tool", "PATH", "the tool to run (default: found through the registry)",
         [](Invocation& I, const UnicodeString& V, bool) { I.Burner.NeroCmdLocation = V; }},
    };
    return Options;
}

constexpr std::string_view RunnerOptions[] = {"sync", "hide", "quiet", "tool", "settings", "name"};

enum class Operands { DriveAndFiles, DriveAndOneFile, DriveOnly, None };

struct Command {
    std::string_view Name;
    Operands Takes;
    std::string_view Summary;
    std::vector<std::string_view> Reads; // the options of the settings its operation reads
    std::function<int(Invocation&, System::WideChar, const std::vector<UnicodeString>&)> Run;
};

// The options of the data disc, which reads every burn setting.
const std::vector<std::string_view>& DataSettings() {
    static const std::vector<std::string_view> Names = {
        "label",         "artist",           "title",
        "speed",         "continue-session", "tao",
        "speedtest",     "close-session",    "detect-non-empty-disk",
        "underrun-prot", "disable-eject",    "verify",
        "dvd",           "force-erase-disk"};
    return Names;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> List = {
        {"data", Operands::DriveAndFiles,
         "writes a data disc from every FILE or folder that exists", DataSettings(),
         [](Invocation& I, System::WideChar D, const auto&) { return I.Burner.BurnData(D); }},
        {"audio",
         Operands::DriveAndFiles,
         "writes an audio CD from every FILE that exists",
         {"artist", "title", "speed", "tao", "disable-eject"},
         [](Invocation& I, System::WideChar D, const auto&) { return I.Burner.BurnAudio(D); }},
        {"video",
         Operands::DriveAndFiles,
         "writes a Video CD from every FILE that exists",
         {"speed", "tao", "disable-eject", "speedtest", "close-session", "force-erase-disk"},
         [](Invocation& I, System::WideChar D, const auto&) { return I.Burner.BurnVideo(D); }},
        {"svideo",
         Operands::DriveAndFiles,
         "writes a Super Video CD from every FILE that exists",
         {"speed", "tao", "disable-eject", "speedtest", "close-session", "force-erase-disk"},
         [](Invocation& I, System::WideChar D, const auto&) { return I.Burner.BurnSuperVideo(D); }},
        {"dvdvideo",
         Operands::DriveAndFiles,
         "writes a DVD-Video disc from every FILE or folder that exists",
         {"label", "artist", "title", "speed", "tao", "speedtest", "close-session",
          "detect-non-empty-disk", "underrun-prot", "disable-eject", "verify", "force-erase-disk"},
         [](Invocation& I, System::WideChar D, const auto&) { return I.Burner.BurnDVDVideo(D); }},
        {"image",
         Operands::DriveAndOneFile,
         "writes the image FILE (result -3 when it does not exist)",
         {"speed", "tao", "dvd", "speedtest", "close-session", "detect-non-empty-disk",
          "underrun-prot", "disable-eject", "force-erase-disk"},
         [](Invocation& I, System::WideChar D, const std::vector<UnicodeString>& Files) {
             return I.Burner.BurnImage(Files.front(), D);
         }},
        {"erase",
         Operands::DriveOnly,
         "blanks the rewritable disc",
         {"full"},
         [](Invocation& I, System::WideChar D, const auto&) {
             return I.Burner.Erase(D, I.FullErase);
         }},
        {"eject",
         Operands::DriveOnly,
         "opens the tray",
         {},
         [](Invocation& I, System::WideChar D, const auto&) { return I.Burner.Eject(D); }},
        {"burn", Operands::DriveAndFiles,
         "writes the disc kind that --type names, from every FILE that exists",
         [] {
             std::vector<std::string_view> Reads = DataSettings();
             Reads.emplace_back("type");
             return Reads;
         }(),
         [](Invocation& I, System::WideChar D, const auto&) { return I.Burner.Burn(D); }},
        {"settings", Operands::None, "prints the settings that the options produce, as form text",
         [] {
             std::vector<std::string_view> Reads = DataSettings();
             Reads.emplace_back("type");
             return Reads;
         }(),
         nullptr},
    };
    return List;
}

std::string Synopsis(const Command& C) {
    std::string Text = "queltburn " + std::string(C.Name);
    if (C.Takes == Operands::None) {
        return Text + " [options]";
    }
    Text += " DRIVE";
    if (C.Takes == Operands::DriveAndFiles) {
        Text += " FILE...";
    } else if (C.Takes == Operands::DriveAndOneFile) {
        Text += " FILE";
    }
    return Text + " [options]";
}

const Option& FindOption(std::string_view Name) {
    const auto& Options = AllOptions();
    return *std::find_if(Options.begin(), Options.end(),
                         [&](const Option& O) { return O.Name == Name; });
}

void PrintOptionLines(std::ostream& Out, const std::vector<std::string_view>& Names) {
    for (const std::string_view Name : Names) {
        const Option& O = FindOption(Name);
        std::string Left = "  --" + std::string(O.Name);
        Left +=
            O.Argument.empty() ? ", --no-" + std::string(O.Name) : " " + std::string(O.Argument);
        // The help text starts in column 41, on a line of its own after a long option.
        const std::string Gap =
            Left.size() < 40 ? std::string(40 - Left.size(), ' ') : "\n" + std::string(40, ' ');
        Out << Left << Gap << O.Help << "\n";
    }
}

void PrintCommandHelp(std::ostream& Out, const Command& C) {
    Out << "usage: " << Synopsis(C) << "\n\n"
        << (C.Takes == Operands::None ? "Queltburn "
                                      : "In DRIVE (one letter), through NeroCmd.exe: ")
        << C.Summary << ".\n";
    if (!C.Reads.empty()) {
        Out << "\noptions:\n";
        PrintOptionLines(Out, C.Reads);
    }
    Out << "\noptions of every command:\n";
    PrintOptionLines(Out, {std::begin(RunnerOptions), std::end(RunnerOptions)});
    Out << "  --help" << std::string(32, ' ') << "show this text\n"
        << "\nPrints the result code and the event that fired; exits 0 for result 0, 1 for any\n"
           "other result, 2 for a usage error. Options may stand anywhere; after -- every\n"
           "argument is an operand.\n";
}

void PrintUsage(std::ostream& Out) {
    Out << "usage: queltburn COMMAND DRIVE [FILE...] [options]\n\ncommands:\n";
    for (const Command& C : Commands()) {
        const std::string Left = "  " + Synopsis(C);
        Out << Left << "\n" << std::string(6, ' ') << C.Summary << "\n";
    }
    Out << "\nqueltburn COMMAND --help lists the options of a command. Every command prints the\n"
           "result code and the event that fired, and exits 0 for result 0, 1 for any other\n"
           "result, 2 for a usage error.\n";
}

// Reads a form file: UTF-8 (with or without a byte-order mark) or UTF-16LE with its mark.
UnicodeString ReadFormFile(const UnicodeString& Path) {
    std::ifstream In(std::filesystem::path(Path), std::ios::binary);
    std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    if (!In && !In.eof()) {
        throw UsageError{"cannot read " + UTF8Encode(Path)};
    }
    if (Bytes.size() >= 2 && Bytes[0] == '\xFF' && Bytes[1] == '\xFE') {
        UnicodeString Text;
        for (std::size_t I = 2; I + 1 < Bytes.size(); I += 2) {
            Text.push_back(static_cast<char16_t>(static_cast<unsigned char>(Bytes[I]) |
                                                 (static_cast<unsigned char>(Bytes[I + 1]) << 8U)));
        }
        return Text;
    }
    if (Bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        Bytes.erase(0, 3);
    }
    return System::Sysutils::UTF8ToString(Bytes);
}

// Events named in a settings file need no code here: the host sets its own handlers.
std::optional<std::any> NoHandlerNeeded(const UnicodeString&,
                                        const System::Typinfo::TPropInfo& Event) {
    if (Event.TypeName == u"TErrorEvent") {
        return std::any(Queltburner::TErrorEvent());
    }
    return std::any(System::Classes::TNotifyEvent());
}

void LoadSettings(Invocation& Run) {
    const UnicodeString Text = ReadFormFile(*Run.SettingsFile);
    try {
        if (Run.SettingsName) {
            System::Classes::ReadComponentFromForm(Text, *Run.SettingsName, Run.Burner,
                                                   NoHandlerNeeded);
        } else {
            System::Classes::ReadComponentText(Text, Run.Burner, NoHandlerNeeded);
        }
    } catch (const System::Classes::EFormTextError& Error) {
        throw UsageError{UTF8Encode(*Run.SettingsFile) + ": " + Error.what()};
    }
}

// Applies the options that Command accepts, a settings file first; the operands are returned in
// order.
std::vector<UnicodeString> ApplyOptions(const Command& C, Invocation& Run,
                                        const std::vector<UnicodeString>& Args) {
    std::vector<std::string_view> Accepted = C.Reads;
    Accepted.insert(Accepted.end(), std::begin(RunnerOptions), std::end(RunnerOptions));
    std::vector<UnicodeString> Operands;
    std::vector<std::function<void()>> Settings;
    bool OptionsEnded = false;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        const UnicodeString& Arg = Args[I];
        if (!OptionsEnded && Arg == u"--") {
            OptionsEnded = true;
            continue;
        }
        if (OptionsEnded || Arg.size() < 3 || Arg.compare(0, 2, u"--") != 0) {
            Operands.push_back(Arg);
            continue;
        }
        const std::string Name = UTF8Encode(Arg.substr(2));
        const bool Negated = Name.rfind("no-", 0) == 0;
        const std::string_view Base =
            Negated ? std::string_view(Name).substr(3) : std::string_view(Name);
        const bool Known = std::find(Accepted.begin(), Accepted.end(), Base) != Accepted.end();
        if (!Known || (Negated && !FindOption(Base).Argument.empty())) {
            throw UsageError{"'" + std::string(C.Name) + "' has no option --" + Name};
        }
        const Option& O = FindOption(Base);
        UnicodeString Value;
        if (!O.Argument.empty()) {
            if (I + 1 >= Args.size()) {
                throw UsageError{"--" + Name + " needs " + std::string(O.Argument)};
            }
            Value = Args[++I];
        }
        if (Base == "settings" || Base == "name") {
            O.Apply(Run, Value, !Negated);
        } else {
            Settings.emplace_back([&O, &Run, Value, On = !Negated] { O.Apply(Run, Value, On); });
        }
    }
    if (Run.SettingsName && !Run.SettingsFile) {
        throw UsageError{"--name goes with --settings"};
    }
    if (Run.SettingsFile) {
        LoadSettings(Run);
    }
    for (const auto& Apply : Settings) {
        Apply();
    }
    return Operands;
}

int RunCommand(const Command& C, const std::vector<UnicodeString>& Args, std::ostream& Out) {
    TQueltBurner Burner(nullptr);
    Invocation Run{Burner, false, std::nullopt, std::nullopt};
    std::vector<UnicodeString> Operands = ApplyOptions(C, Run, Args);
    if (C.Takes == Operands::None) {
        if (!Operands.empty()) {
            throw UsageError{"usage: " + Synopsis(C)};
        }
        if (Burner.Name().empty()) {
            Burner.SetName(u"QueltBurner1");
        }
        Out << UTF8Encode(System::Classes::WriteComponentText(Burner));
        return 0;
    }
    if (Operands.empty() || Operands[0].size() != 1) {
        throw UsageError{"the drive is one letter, for example E"};
    }
    const System::WideChar Drive = Operands[0][0];
    Operands.erase(Operands.begin());
    if ((C.Takes == Operands::DriveOnly && !Operands.empty()) ||
        (C.Takes == Operands::DriveAndOneFile && Operands.size() != 1)) {
        throw UsageError{"usage: " + Synopsis(C)};
    }
    if (C.Takes == Operands::DriveAndFiles) {
        for (const UnicodeString& File : Operands) {
            Burner.Files()->Add(File);
        }
    }
    std::string Event = "none";
    Burner.SetOnSuccess([&Event](System::TObject*) { Event = "OnSuccess"; });
    Burner.SetOnError(
        [&Event](System::TObject*, int Code) { Event = "OnError(" + std::to_string(Code) + ")"; });
    const int Result = C.Run(Run, Drive, Operands);
    Out << "result: " << Result << "\nevent: " << Event << "\n";
    return Result == 0 ? 0 : 1;
}

} // namespace

int Run(const std::vector<UnicodeString>& Args, std::ostream& Out, std::ostream& Err) {
    try {
        if (Args.empty()) {
            throw UsageError{"no command given"};
        }
        const auto& List = Commands();
        const auto Found = std::find_if(List.begin(), List.end(), [&](const Command& C) {
            return Args[0] == UnicodeString(C.Name.begin(), C.Name.end());
        });
        const auto OptionsEnd = std::find(Args.begin(), Args.end(), u"--");
        const bool WantsHelp = std::find(Args.begin(), OptionsEnd, u"--help") != OptionsEnd;
        if (Found == List.end()) {
            if (WantsHelp || Args[0] == u"-h") {
                PrintUsage(Out);
                return 0;
            }
            throw UsageError{"unknown command '" + UTF8Encode(Args[0]) + "'"};
        }
        if (WantsHelp) {
            PrintCommandHelp(Out, *Found);
            return 0;
        }
        return RunCommand(*Found, std::vector<UnicodeString>(Args.begin() + 1, Args.end()), Out);
    } catch (const UsageError& Error) {
        Err << "queltburn: " << Error.Message << "\n(queltburn --help lists the commands)\n";
        return 2;
    }
}

} // namespace Queltburn
