#include "Help.hpp"

#include "QueltburnVersion.hpp"

#include <algorithm>
#include <sstream>

namespace Queltburn {

namespace {

constexpr std::size_t Width = 80;
// Where an option's or command's description starts.
constexpr std::size_t HelpColumn = 30;

// Text broken into lines of at most Width columns, each indented by Indent; the first line's
// indent is already written when FirstIndented is false.
void PrintWrapped(std::ostream& Out, std::string_view Text, std::size_t Indent,
                  bool FirstIndented = true) {
    std::size_t Column = FirstIndented ? 0 : Indent;
    bool LineEmpty = true;
    while (!Text.empty()) {
        const std::size_t WordEnd = std::min(Text.find(' '), Text.size());
        const std::string_view Word = Text.substr(0, WordEnd);
        Text.remove_prefix(std::min(WordEnd + 1, Text.size()));
        if (!LineEmpty && Column + 1 + Word.size() > Width) {
            Out << "\n";
            Column = 0;
            LineEmpty = true;
        }
        if (Column == 0) {
            Out << std::string(Indent, ' ');
            Column = Indent;
        }
        if (!LineEmpty) {
            Out << ' ';
            ++Column;
        }
        Out << Word;
        Column += Word.size();
        LineEmpty = false;
    }
    Out << "\n";
}

// "  --label TEXT" or "  --verify, --no-verify", then its description from Column on (on a line
// of its own after a long left part).
void PrintEntry(std::ostream& Out, const std::string& Left, const std::string& Text,
                std::size_t Column = HelpColumn) {
    Out << Left;
    if (Left.size() + 2 > Column) {
        Out << "\n" << std::string(Column, ' ');
    } else {
        Out << std::string(Column - Left.size(), ' ');
    }
    PrintWrapped(Out, Text, Column, false);
}

void PrintOptions(std::ostream& Out, const std::vector<std::string_view>& Names) {
    for (const std::string_view Name : Names) {
        const Option& O = *FindOption(Name);
        std::string Left = "  --" + std::string(O.Name);
        Left +=
            O.Argument.empty() ? ", --no-" + std::string(O.Name) : " " + std::string(O.Argument);
        std::string Text = O.Help;
        if (!O.Default.empty()) {
            Text += " (default " + O.Default + ")";
        }
        PrintEntry(Out, Left, Text);
    }
}

// What every help ends with: the environment and the exit codes.
void PrintEnvironmentAndExitCodes(std::ostream& Out) {
    constexpr std::size_t VariableColumn = 18;
    constexpr std::size_t CodeColumn = 7;
    Out << "\nenvironment (Linux and other POSIX systems):\n";
    PrintEntry(Out, "  QUELT_DRIVES",
               "L=TARGET;... makes each letter L an optical drive writing to TARGET (default: "
               "/dev/sr0, /dev/sr1, ... as D, E, ...)",
               VariableColumn);
    PrintEntry(Out, "  QUELT_REGISTRY",
               "a .reg file standing in for HKEY_CURRENT_USER, where the tool's folder is found "
               "(default ~/.config/QueltBurner/user.reg, else QueltBurner/user.reg in "
               "$XDG_CONFIG_DIRS, else the one the install wrote)",
               VariableColumn);
    Out << "\nexit codes:\n";
    PrintEntry(Out, "  0", "result 0: the tool succeeded (with --no-wait: it was started)",
               CodeColumn);
    PrintEntry(Out, "  1",
               "any other result, printed with its meaning after the tool's error line; the "
               "recorder's own codes: 2 command line, 3 target, 4 medium, 5 does not fit, "
               "6 source, 7 write, 8 verify, 9 a question it cannot answer",
               CodeColumn);
    PrintEntry(Out, "  2",
               "a usage error: unknown command or option, bad value, a FILE that does not "
               "exist, a settings file that cannot be read; nothing was started",
               CodeColumn);
    PrintEntry(Out, "  3",
               "an unexpected failure inside queltburn, or its output could not be written "
               "(a command that failed keeps its own status); nothing more was started",
               CodeColumn);
    PrintEntry(Out, "  124", "the run took longer than --timeout (result -5); the tool was ended",
               CodeColumn);
    PrintEntry(Out, "  130",
               "Ctrl-C cancelled the run (result -4); the tool was ended. SIGTERM gives 143, "
               "SIGHUP 129 (128 + the signal's number)",
               CodeColumn);
}

} // namespace

void PrintUsage(std::ostream& Out) {
    Out << "usage: queltburn COMMAND DRIVE [FILE...] [options]\n"
           "       queltburn (-h | --help | --version)\n\ncommands:\n";
    for (const Command& C : Commands()) {
        Out << "  " << Synopsis(C) << "\n";
        PrintWrapped(Out, C.Summary, 6);
    }
    Out << "\n";
    PrintWrapped(Out,
                 "queltburn COMMAND --help lists the options of a command. Options may stand "
                 "anywhere after the command, as --name VALUE or --name=VALUE; after -- every "
                 "argument is a FILE. Every command but settings, drives and info waits for the "
                 "tool and prints the result with its meaning and the event that fired; with "
                 "--estimate a burning command only measures the burn.",
                 0);
    PrintEnvironmentAndExitCodes(Out);
}

void PrintCommandHelp(std::ostream& Out, const Command& C) {
    Out << "usage: " << Synopsis(C) << "\n\n";
    PrintWrapped(Out,
                 (C.Takes == Operands::None ? "Queltburn "
                                            : "In DRIVE (one letter), through NeroCmd.exe: ") +
                     std::string(C.Summary) + ".",
                 0);
    if (C.Takes == Operands::DriveAndFiles) {
        PrintWrapped(Out,
                     "Every FILE (a file or a folder) must exist, unless --skip-missing is given; "
                     "at least one FILE is needed.",
                     0);
    }
    if (const auto Own = OwnOptions(C); !Own.empty()) {
        Out << "\noptions:\n";
        PrintOptions(Out, Own);
    }
    Out << "\noptions of every command:\n";
    PrintOptions(Out, RunnerOptions(C));
    PrintEntry(Out, "  -h, --help", "show this text");
    if (C.Takes != Operands::None) {
        Out << "\n";
        PrintWrapped(
            Out,
            "Prints \"result: CODE (meaning)\" and \"event: OnSuccess\", \"OnError(CODE)\" "
            "or \"none\". With --print-command the first line is \"command: \" and the "
            "command line; the result and event are then those of a tool that ended "
            "with exit code 0.",
            0);
    }
    PrintEnvironmentAndExitCodes(Out);
}

void PrintVersion(std::ostream& Out) {
    const Queltburner::TQueltBurner Burner(nullptr);
    std::ostringstream Component;
    Component << Burner.Version();
    Out << "queltburn (QueltBurner library " << LibraryVersion << ")\n"
        << "component TQueltBurner " << Component.str() << "\n";
}

} // namespace Queltburn
