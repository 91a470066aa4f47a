#include "Cli.hpp"

#include "QueltBurner.hpp"
#include "System.SysUtils.hpp"

#include <charconv>
#include <functional>
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

// One command-line option and the setting it changes.
struct Option {
    std::string_view Name;
    std::string_view Argument; // empty for a switch
    std::string_view Help;
    std::function<void(TQueltBurner&, const UnicodeString&)> Apply;
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

// A switch with its --no- form, so that every Boolean can be set either way.
void AddSwitch(std::vector<Option>& Options, std::string_view Name, std::string_view Help,
               void (TQueltBurner::*Setter)(bool)) {
    Options.push_back(
        {Name, "", Help, [Setter](TQueltBurner& B, const UnicodeString&) { (B.*Setter)(true); }});
    Options.push_back(
        {Name, "", "", [Setter](TQueltBurner& B, const UnicodeString&) { (B.*Setter)(false); }});
}

// The settings that the data-disc operation reads, with the runner's own.
std::vector<Option> DataOptions() {
    std::vector<Option> O;
    O.push_back({"label", "TEXT", "volume label (default NEW; written as given, may be empty)",
                 [](TQueltBurner& B, const UnicodeString& V) { B.SetVolumeLabel(V); }});
    O.push_back({"artist", "TEXT", "artist text (trimmed; left out when blank)",
                 [](TQueltBurner& B, const UnicodeString& V) { B.SetArtist(V); }});
    O.push_back({"title", "TEXT", "title text (trimmed; left out when blank)",
                 [](TQueltBurner& B, const UnicodeString& V) { B.SetTitle(V); }});
    O.push_back({"speed", "N", "write speed, 0 to 65535 (default 4)",
                 [](TQueltBurner& B, const UnicodeString& V) {
                     B.SetSpeed(ParseInteger<std::uint16_t>(V, "speed"));
                 }});
    O.push_back({"continue-session", "N",
                 "session to import, 0 or more; negative: none (default -1)",
                 [](TQueltBurner& B, const UnicodeString& V) {
                     B.SetContinueSession(ParseInteger<int>(V, "continue-session"));
                 }});
    AddSwitch(O, "tao", "track-at-once writing (default off)", &TQueltBurner::SetTao);
    AddSwitch(O, "speedtest", "test the speed first (default off)", &TQueltBurner::SetSpeedTest);
    AddSwitch(O, "close-session", "close the session (default off)",
              &TQueltBurner::SetCloseSession);
    AddSwitch(O, "detect-non-empty-disk", "refuse a disc that is not empty (default off)",
              &TQueltBurner::SetDetectNonEmptyDisk);
    AddSwitch(O, "underrun-prot", "buffer underrun protection (default on)",
              &TQueltBurner::SetUnderrunProtection);
    AddSwitch(O, "disable-eject", "leave the tray closed afterwards (default off)",
              &TQueltBurner::SetDisableEject);
    AddSwitch(O, "verify", "verify the written data (default off)", &TQueltBurner::SetVerify);
    AddSwitch(O, "dvd", "write a DVD (default off)", &TQueltBurner::SetDVD);
    AddSwitch(O, "force-erase-disk", "erase a rewritable disc first (default off)",
              &TQueltBurner::SetForceEraseDisk);
    return O;
}

// Options that every operation reads.
std::vector<Option> RunnerOptions() {
    std::vector<Option> O;
    O.push_back({"sync", "", "wait for the tool, report its exit code and fire an event",
                 [](TQueltBurner& B, const UnicodeString&) { B.SetSynchronous(true); }});
    O.push_back({"hide", "", "hide the tool's window",
                 [](TQueltBurner& B, const UnicodeString&) { B.SetHideNeroCmd(true); }});
    O.push_back({"quiet", "", "show no error messages",
                 [](TQueltBurner& B, const UnicodeString&) { B.SetShowMessages(false); }});
    O.push_back({"tool", "PATH", "the tool to run (default: found through the registry)",
                 [](TQueltBurner& B, const UnicodeString& V) { B.NeroCmdLocation = V; }});
    return O;
}

void PrintUsage(std::ostream& Out) {
    Out << "usage: queltburn data DRIVE FILE... [options]\n"
           "\n"
           "Writes a data disc in DRIVE (one letter) from every FILE or folder that exists,\n"
           "by running NeroCmd.exe. Prints the result code and the event that fired; exits 0\n"
           "for result 0, 1 for any other result, 2 for a usage error. Options may stand\n"
           "anywhere; after -- every argument is a FILE.\n\noptions:\n";
    const auto PrintOptions = [&Out](const std::vector<Option>& Options) {
        for (const Option& O : Options) {
            if (O.Help.empty()) {
                continue;
            }
            std::string Left = "  --" + std::string(O.Name);
            if (!O.Argument.empty()) {
                Left += " " + std::string(O.Argument);
            }
            const bool IsSwitch =
                O.Argument.empty() && &O != &Options.back() && (&O + 1)->Name == O.Name;
            if (IsSwitch) {
                Left += ", --no-" + std::string(O.Name);
            }
            Out << Left << std::string(Left.size() < 40 ? 40 - Left.size() : 1, ' ') << O.Help
                << "\n";
        }
    };
    PrintOptions(DataOptions());
    PrintOptions(RunnerOptions());
    Out << "  --help" << std::string(34, ' ') << "show this text\n";
}

// Applies options to the component; the other arguments are returned in order.
std::vector<UnicodeString> ApplyOptions(TQueltBurner& Burner,
                                        const std::vector<UnicodeString>& Args) {
    std::vector<Option> Options = DataOptions();
    for (Option& O : RunnerOptions()) {
        Options.push_back(std::move(O));
    }
    std::vector<UnicodeString> Positional;
    bool OptionsEnded = false;
    for (std::size_t I = 0; I < Args.size(); ++I) {
        const UnicodeString& Arg = Args[I];
        if (OptionsEnded || Arg.size() < 3 || Arg.compare(0, 2, u"--") != 0) {
            if (!OptionsEnded && Arg == u"--") {
                OptionsEnded = true;
                continue;
            }
            Positional.push_back(Arg);
            continue;
        }
        const std::string Name = UTF8Encode(Arg.substr(2));
        const bool Negated = Name.rfind("no-", 0) == 0;
        const std::string_view Base =
            Negated ? std::string_view(Name).substr(3) : std::string_view(Name);
        const Option* Found = nullptr;
        for (std::size_t K = 0; K < Options.size(); ++K) {
            if (Options[K].Name != Base) {
                continue;
            }
            // A switch's --no- form is the entry right after it.
            const bool HasNegation = K + 1 < Options.size() && Options[K + 1].Name == Base;
            if (Negated && !HasNegation) {
                break;
            }
            Found = &Options[Negated ? K + 1 : K];
            break;
        }
        if (Found == nullptr) {
            throw UsageError{"unknown option --" + Name};
        }
        UnicodeString Value;
        if (!Found->Argument.empty()) {
            if (I + 1 >= Args.size()) {
                throw UsageError{"--" + Name + " needs " + std::string(Found->Argument)};
            }
            Value = Args[++I];
        }
        Found->Apply(Burner, Value);
    }
    return Positional;
}

} // namespace

int Run(const std::vector<UnicodeString>& Args, std::ostream& Out, std::ostream& Err) {
    for (const UnicodeString& Arg : Args) {
        if (Arg == u"--") {
            break;
        }
        if (Arg == u"--help" || Arg == u"-h") {
            PrintUsage(Out);
            return 0;
        }
    }
    try {
        if (Args.empty()) {
            throw UsageError{"no command given"};
        }
        if (Args[0] != u"data") {
            throw UsageError{"unknown command '" + UTF8Encode(Args[0]) + "'"};
        }
        TQueltBurner Burner(nullptr);
        const std::vector<UnicodeString> Positional =
            ApplyOptions(Burner, std::vector<UnicodeString>(Args.begin() + 1, Args.end()));
        if (Positional.empty() || Positional[0].size() != 1) {
            throw UsageError{"the drive is one letter, for example E"};
        }
        for (std::size_t I = 1; I < Positional.size(); ++I) {
            Burner.Files()->Add(Positional[I]);
        }
        std::string Event = "none";
        Burner.SetOnSuccess([&Event](System::TObject*) { Event = "OnSuccess"; });
        Burner.SetOnError([&Event](System::TObject*, int Code) {
            Event = "OnError(" + std::to_string(Code) + ")";
        });
        const int Result = Burner.BurnData(Positional[0][0]);
        Out << "result: " << Result << "\nevent: " << Event << "\n";
        return Result == 0 ? 0 : 1;
    } catch (const UsageError& Error) {
        Err << "queltburn: " << Error.Message << "\n(queltburn --help lists the options)\n";
        return 2;
    }
}

} // namespace Queltburn
