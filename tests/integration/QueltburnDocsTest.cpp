// What queltburn says about itself: its help, its version, its man page and its bash completion.
// The commands and options are read from the host's own help, so that the man page and the
// completion cannot drift from what the host accepts.
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using QueltTest::Cli;
using Strings = std::vector<std::string>;

const fs::path ManPage = fs::path(QUELT_CLI_SOURCE_DIR) / "queltburn.1";
const fs::path Completion = fs::path(QUELT_CLI_SOURCE_DIR) / "queltburn.bash";

Strings Lines(const std::string& Text) {
    Strings Result;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);) {
        Result.push_back(Line);
    }
    return Result;
}

// The commands, as the general help lists them: "  queltburn NAME ...".
Strings CommandNames() {
    const auto Help = QueltTest::RunProgram({Cli, "--help"});
    Strings Names;
    for (const std::string& Line : Lines(Help.Out)) {
        const std::string Lead = "  queltburn ";
        if (Line.rfind(Lead, 0) == 0) {
            Names.push_back(Line.substr(Lead.size(), Line.find(' ', Lead.size()) - Lead.size()));
        }
    }
    return Names;
}

// The options a command's help lists: every "-x" or "--name" in the left column of a line that
// starts with "  -" ("  --wait, --no-wait", "  --label TEXT", "  -h, --help").
Strings OptionsOf(const std::string& Command) {
    const auto Help = QueltTest::RunProgram({Cli, Command, "--help"});
    Strings Options;
    for (const std::string& Line : Lines(Help.Out)) {
        if (Line.rfind("  -", 0) != 0) {
            continue;
        }
        std::istringstream Left(Line.substr(2, Line.find("  ", 2) - 2));
        for (std::string Word; Left >> Word;) {
            if (Word.front() == '-') {
                Options.push_back(Word.back() == ',' ? Word.substr(0, Word.size() - 1) : Word);
            }
        }
    }
    std::sort(Options.begin(), Options.end());
    return Options;
}

// A program found on the PATH, or an empty path.
fs::path OnPath(const std::string& Name) {
    const char* Path = std::getenv("PATH");
    std::istringstream Folders(Path != nullptr ? Path : "");
    for (std::string Folder; std::getline(Folders, Folder, ':');) {
        const fs::path Candidate = fs::path(Folder) / Name;
        if (!Folder.empty() && access(Candidate.c_str(), X_OK) == 0) {
            return Candidate;
        }
    }
    return {};
}

TEST(QueltburnDocs, EveryHelpFitsEightyColumnsAndNamesEnvironmentAndExitCodes) {
    const Strings Commands = CommandNames();
    ASSERT_GE(Commands.size(), 10U);
    std::vector<Strings> Asks{{Cli, "--help"}, {Cli, "-h"}};
    for (const std::string& Command : Commands) {
        Asks.push_back({Cli, Command, "--help"});
        Asks.push_back({Cli, Command, "-h"});
    }
    for (const Strings& Ask : Asks) {
        const auto Help = QueltTest::RunProgram(Ask);
        EXPECT_EQ(Help.ExitCode, 0) << testing::PrintToString(Ask) << Help.Err;
        for (const std::string& Line : Lines(Help.Out)) {
            EXPECT_LE(Line.size(), 80U) << testing::PrintToString(Ask) << "\n" << Line;
        }
        for (const char* Needed :
             {"QUELT_DRIVES", "QUELT_REGISTRY", "exit codes", "\n  124 ", "\n  130 "}) {
            EXPECT_NE(Help.Out.find(Needed), std::string::npos)
                << testing::PrintToString(Ask) << " " << Needed;
        }
    }
    // The defaults the help states are the component's.
    const std::string Data = QueltTest::RunProgram({Cli, "data", "--help"}).Out;
    for (const std::string& Default :
         {"(default " + QueltTest::Utf8(Queltburner::Initial::VolumeLabel) + ")",
          "(default " + std::to_string(Queltburner::Initial::Speed) + ")",
          "(default " + std::to_string(Queltburner::Initial::ContinueSession) + ")"}) {
        EXPECT_NE(Data.find(Default), std::string::npos) << Default;
    }
    EXPECT_NE(QueltTest::RunProgram({Cli, "settings", "--help"}).Out.find("form text"),
              std::string::npos);
}

TEST(QueltburnDocs, VersionNamesComponentAndLibrary) {
    QueltTest::RealWorld W;
    std::ostringstream Component;
    Component << W.Burner->Version();
    const auto Version = QueltTest::RunProgram({Cli, "--version"});
    EXPECT_EQ(Version.ExitCode, 0) << Version.Err;
    EXPECT_NE(Version.Out.find("library " QUELT_PROJECT_VERSION), std::string::npos) << Version.Out;
    EXPECT_NE(Version.Out.find("TQueltBurner " + Component.str()), std::string::npos)
        << Version.Out;
}

TEST(QueltburnDocs, ManPageNamesEveryCommandAndOption) {
    const std::string Page = QueltTest::ReadFile(ManPage);
    const auto Escaped = [](const std::string& Option) {
        std::string Text;
        for (const char C : Option) {
            Text += C == '-' ? std::string("\\-") : std::string(1, C);
        }
        return Text;
    };
    for (const std::string& Command : CommandNames()) {
        EXPECT_NE(Page.find("\\fB" + Command + "\\fR"), std::string::npos) << Command;
        for (const std::string& Option : OptionsOf(Command)) {
            EXPECT_NE(Page.find(Escaped(Option)), std::string::npos) << Command << " " << Option;
        }
    }
    for (const char* Needed : {"QUELT_DRIVES", "QUELT_REGISTRY", ".SH EXIT STATUS", ".SH EXAMPLES",
                               "\\-\\-version", "\\-\\-help", ".B 124", ".B 130"}) {
        EXPECT_NE(Page.find(Needed), std::string::npos) << Needed;
    }
}

TEST(QueltburnDocs, ManPageRendersWithoutWarnings) {
    const fs::path Groff = OnPath("groff");
    if (Groff.empty()) {
        GTEST_SKIP() << "groff is not installed";
    }
    const auto Rendered =
        QueltTest::RunProgram({Groff.string(), "-man", "-ww", "-z", ManPage.string()});
    EXPECT_EQ(Rendered.ExitCode, 0);
    EXPECT_EQ(Rendered.Err, "");
}

// Runs the completion for the words given, the last one being completed.
Strings Complete(const Strings& Words) {
    std::string Script = "source '" + Completion.string() + "'; COMP_WORDS=(";
    for (const std::string& Word : Words) {
        Script += "'" + Word + "' ";
    }
    Script += "); COMP_CWORD=" + std::to_string(Words.size() - 1) +
              "; _queltburn; printf '%s\\n' \"${COMPREPLY[@]}\"";
    const auto Outcome = QueltTest::RunProgram({OnPath("bash").string(), "-c", Script});
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Err;
    Strings Offered;
    for (const std::string& Line : Lines(Outcome.Out)) {
        if (!Line.empty()) {
            Offered.push_back(Line);
        }
    }
    std::sort(Offered.begin(), Offered.end());
    return Offered;
}

TEST(QueltburnDocs, CompletionOffersWhatTheHostAccepts) {
    if (OnPath("bash").empty()) {
        GTEST_SKIP() << "bash is not installed";
    }
    Strings Commands = CommandNames();
    for (const std::string& Command : Commands) {
        const Strings Words = Command == "settings" ? Strings{"queltburn", Command, "-"}
                                                    : Strings{"queltburn", Command, "E", "-"};
        EXPECT_EQ(Complete(Words), OptionsOf(Command)) << Command;
    }
    Strings Top = Commands;
    Top.insert(Top.end(), {"--help", "--version", "-h"});
    std::sort(Top.begin(), Top.end());
    EXPECT_EQ(Complete({"queltburn", ""}), Top);
    EXPECT_EQ(Complete({"queltburn", "dvd"}), Strings{"dvdvideo"});
    EXPECT_EQ(Complete({"queltburn", "burn", "E", "--type", "s"}), Strings{"svideo"});

    // Files after the drive, also after an option's value, and after -- also those named with a
    // leading dash.
    const QueltTest::TempDir Dir;
    const QueltTest::ScopedEnv Drives{"QUELT_DRIVES", "E=" + (Dir.Path() / "disc.iso").string()};
    Dir.Write("odd.txt", "x");
    Dir.Write("-dash.txt", "x");
    const fs::path Before = fs::current_path();
    fs::current_path(Dir.Path());
    const struct {
        Strings Words;
        Strings Offered;
    } Rows[] = {
        {{"queltburn", "data", "E", "od"}, {"odd.txt"}},
        {{"queltburn", "data", "--speed", "8", "E", "od"}, {"odd.txt"}},
        {{"queltburn", "image", "E", "od"}, {"odd.txt"}},
        {{"queltburn", "data", "E", "--", "-d"}, {"-dash.txt"}},
        {{"queltburn", "data", "E", "--settings", "od"}, {"odd.txt"}},
        // A value that is no file, and the drive after an option's value in either form.
        {{"queltburn", "data", "E", "--timeout", ""}, {}},
        {{"queltburn", "data", "--timeout", "5", ""}, {"E"}},
        {{"queltburn", "data", "--speed", "=", "8", ""}, {"E"}},
        {{"queltburn", "data", "E", "--settings", "=", "od"}, {"odd.txt"}},
        // Only burn and settings take --type; after --version nothing more is taken.
        {{"queltburn", "data", "E", "--type", ""}, {}},
        {{"queltburn", "--version", ""}, {}},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(Complete(Row.Words), Row.Offered) << testing::PrintToString(Row.Words);
    }
    fs::current_path(Before);
}

} // namespace
