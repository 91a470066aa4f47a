// File names of any bytes through the POSIX host and the command-line host: found, handed to the
// tool as their bytes, written to the disc under them. (Rock Ridge and Joliet on their own are in
// RecorderNamesTest.cpp.)
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using QueltTest::RealWorld;
using Strings = std::vector<std::string>;
using System::Sysutils::FileNameToString;
using System::Sysutils::StringToFileName;

// Each name, read as FileNameToString reads it, is found as what it is and reaches the tool as its
// bytes; text that stands for no bytes names nothing, even where a file of its look exists.
TEST(PosixHost, NamesOfAnyBytesAreFoundAndArriveExactly) {
    RealWorld W;
    W.Dir.Write("caf\xC3\xA9", "the UTF-8 name");
    const struct {
        std::string Name;
        bool Folder;
    } Rows[] = {{"caf\xE9.txt", false}, {"\xC3(.txt", false}, {"a\xFF\xFE", true}, {"\xE9", false}};
    Strings Expected;
    for (const auto& Row : Rows) {
        const fs::path Path =
            Row.Folder ? W.Dir.MakeDir(Row.Name) : W.Dir.Write(Row.Name, "any bytes");
        const System::UnicodeString Text = FileNameToString(Path.string());
        EXPECT_EQ(W.Host->FileExists(Text), !Row.Folder) << Path;
        EXPECT_EQ(W.Host->DirectoryExists(Text), Row.Folder) << Path;
        W.Burner->Files()->Add(Text);
        Expected.push_back(Path.string());
    }
    const System::UnicodeString Folder = FileNameToString(W.Dir.Path().string() + "/");
    for (const System::UnicodeString& NoBytes :
         {Folder + u"caf\xDCC3\xDCA9", Folder + u"caf\xD800", Folder + u"caf\xDC41"}) {
        EXPECT_FALSE(W.Host->FileExists(NoBytes));
        W.Burner->Files()->Add(NoBytes);
    }
    ASSERT_EQ(W.Burner->BurnData(u'E'), 0);
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    ASSERT_GE(Runs[0].Argv.size(), Expected.size());
    EXPECT_EQ(Strings(Runs[0].Argv.end() - static_cast<std::ptrdiff_t>(Expected.size()),
                      Runs[0].Argv.end()),
              Expected);
}

// The tool's path found through the registry file (UTF-8 text holding a Latin-1 folder) is its
// bytes: the tool starts from there, and the recorder is known there by its mark.
TEST(PosixHost, ToolInAFolderOfAnyBytesIsFoundAndStarts) {
    RealWorld W;
    const fs::path Folder = W.Dir.MakeDir("Nero caf\xE9");
    fs::copy_file(QueltTest::Standin, Folder / "NeroCmd.exe");
    fs::copy_file(RecorderTest::RecorderPath, Folder / "recorder");
    EXPECT_TRUE(W.Host->ToolIsRecorder(QueltTest::PathText(Folder / "recorder")));
    EXPECT_FALSE(W.Host->ToolIsRecorder(QueltTest::PathText(Folder / "NeroCmd.exe")));
    const QueltTest::ScopedEnv Registry{
        "QUELT_REGISTRY",
        W.Dir
            .Write("user.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning "
                               "Rom\\General]\n\"RegisteredTypesNeroPath\"=\"" +
                                   (Folder / "nero.exe").string() + "\"\n")
            .string()};
    Queltburner::TQueltBurner Burner(nullptr, W.Host);
    EXPECT_EQ(StringToFileName(Burner.NeroCmdLocation), (Folder / "NeroCmd.exe").string());
    Burner.SetSynchronous(true);
    EXPECT_EQ(Burner.BurnData(u'E'), 0);
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv.front(), (Folder / "NeroCmd.exe").string());
}

// The command-line host reads its arguments as file names: files whose names are not UTF-8 are
// found, written under their bytes, none left out, and the recorder's Joliet line reaches the
// user; a settings file of such a name is read.
TEST(QueltburnCli, NamesOfAnyBytesReachTheDiscExactly) {
    if (const std::string Missing = RecorderTest::MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    RealWorld W;
    const fs::path Source = W.Dir.Path() / "names";
    Strings Argv{QueltTest::Cli, "data", "E"};
    for (const std::string& Entry : RecorderTest::WriteNamesOfAnyBytes(Source)) {
        Argv.push_back(Entry);
    }
    Argv.insert(Argv.end(), {"--tool", RecorderTest::RecorderPath});
    const fs::path Disc = W.Dir.Path() / "disc.iso";
    const auto Outcome = QueltTest::RunProgram(Argv, RecorderTest::RecorderEnvironment(Disc));
    EXPECT_EQ(Outcome.ExitCode, 0) << Outcome.Out << Outcome.Err;
    EXPECT_EQ(RecorderTest::JolietReplacedLine(Outcome.Out),
              "joliet names replaced: " + std::to_string(RecorderTest::NamesOfAnyBytes) +
                  " (not UTF-8; Rock Ridge keeps them exactly)");
    EXPECT_EQ(Outcome.Err.find("left out"), std::string::npos) << Outcome.Err;
    ASSERT_EQ(RecorderTest::ExtractWithXorriso(Disc, W.Dir.Path() / "rr").ExitCode, 0);
    EXPECT_EQ(RecorderTest::TreeDifferences(Source, W.Dir.Path() / "rr"), Strings{});

    const fs::path Settings =
        W.Dir.Write("r\xE9glages.dfm", "object B: TQueltBurner\n  Title = 'from the file'\nend\n");
    const auto Printed =
        QueltTest::RunProgram({QueltTest::Cli, "settings", "--settings", Settings.string()});
    EXPECT_EQ(Printed.ExitCode, 0) << Printed.Err;
    EXPECT_NE(Printed.Out.find("from the file"), std::string::npos) << Printed.Out;
}

} // namespace
