// File names of any bytes on a data disc: Rock Ridge holds each name's bytes exactly, whether the
// recorder is run alone or by the component on the POSIX host (waited for, or as a job); Joliet,
// which holds UTF-16, shows a replacement for each name that is not UTF-8, nothing left out, and
// the run says so in one line. (The command-line host's share is in QueltburnCliTest.cpp.)
#include "JolietNames.hpp"
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;
using Names = std::set<std::string>;

// The names of what Folder holds, its folders' contents under "folder/name".
Names NamesUnder(const fs::path& Folder) {
    Names Found;
    for (const fs::directory_entry& Entry : fs::recursive_directory_iterator(Folder)) {
        Found.insert(fs::relative(Entry.path(), Folder).string());
    }
    return Found;
}

TEST(JolietNames, EachNameIsCountedAsJolietShowsIt) {
    const struct {
        const char* Name;
        std::string Bytes;
        bool NotUtf8;
        bool CutOff;
        bool BeyondBmp;
    } Rows[] = {
        {"ASCII", "notes.txt", false, false, false},
        {"UTF-8", "caf\xC3\xA9", false, false, false},
        {"past U+FFFF", "\xF0\x9F\x98\x80.txt", false, false, true},
        {"Latin-1 inside", "caf\xE9.txt", true, false, false},
        {"Latin-1 at the end", "caf\xE9", true, true, false},
        {"broken UTF-8", "\xC3(.txt", true, false, false},
        {"bytes UTF-8 never holds", "a\xFF\xFE", true, false, false},
        {"three bytes cut off", "x\xE2\x82", true, true, false},
        {"four bytes cut off", "\xF0\x9F\x98", true, true, false},
        {"a stray continuation at the end", "\xE2\x82\xAC\x82", true, false, false},
        {"an overlong slash", "\xC0\xAF", true, false, false},
        {"an encoded surrogate", "\xED\xB2\x80", true, false, false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", true, false, false},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        Recorder::JolietNameCounts Counts;
        Counts.Count(Row.Bytes);
        EXPECT_EQ(Counts.NotUtf8, Row.NotUtf8 ? 1U : 0U);
        EXPECT_EQ(Counts.CutOff, Row.CutOff ? 1U : 0U);
        EXPECT_EQ(Counts.BeyondBmp, Row.BeyondBmp ? 1U : 0U);
        EXPECT_EQ(Counts.NeedUcs2(), Row.CutOff);
        EXPECT_EQ(Counts.Replaced(false), Row.NotUtf8 ? 1U : 0U);
        EXPECT_EQ(Counts.Replaced(true), Row.NotUtf8 || Row.BeyondBmp ? 1U : 0U);
    }
    // Paths as xorriso prints them: any name of the path may be the cut-off one.
    const struct {
        std::string Printed;
        bool CutOff;
    } Paths[] = {
        {"'/caf\xE9.txt'", false},   {"'/caf\xE9'", true},      {"'/d\xC3/in.txt'", true},
        {"'/it'\"'\"'s\xE9'", true}, {"'/\xE9'\"'\"''", false}, {"'/plain/names'", false},
    };
    for (const auto& Path : Paths) {
        EXPECT_EQ(Recorder::PrintedPathHoldsCutOffName(Path.Printed), Path.CutOff) << Path.Printed;
    }
}

// A way of burning Entries onto drive E of World; what it says, as the recorder's output lines.
using BurnWay = std::function<std::string(QueltTest::RealWorld& World, const Strings& Entries)>;

std::string ThroughTheComponent(QueltTest::RealWorld& World, const Strings& Entries, bool AsJob) {
    World.Burner->NeroCmdLocation = QueltTest::PathText(RecorderPath);
    for (const std::string& Entry : Entries) {
        World.Burner->Files()->Add(System::Sysutils::FileNameToString(Entry));
    }
    std::string Said;
    const auto Keep = [&Said](const System::UnicodeString& Line, bool IsError) {
        Said += (IsError ? "error: " : "") + QueltTest::Utf8(Line) + "\n";
    };
    if (!AsJob) {
        World.Burner->SetOnOutput([&Keep](System::TObject*, const System::UnicodeString& Line,
                                          bool IsError) { Keep(Line, IsError); });
        EXPECT_EQ(World.Burner->BurnData(u'E'), 0) << Said;
        EXPECT_EQ(World.Events, Strings{"OnSuccess"});
        return Said;
    }
    Queltburner::TJobEvents Events;
    Events.OnOutput = Keep;
    const auto Job = World.Burner->StartBurn(u'E', Events);
    const Queltburner::TJobResult& Result = Job->Wait();
    EXPECT_EQ(Result.Result, 0) << QueltTest::Utf8(Result.Reason);
    EXPECT_TRUE(Result.SkippedEntries.empty());
    return Said;
}

// Every way reads the same names from the file system and writes them; xorriso gives every one
// back as the bytes it was, and 7z (Joliet) a file for every file.
TEST(RecorderNames, EveryWayOfBurningKeepsTheBytes) {
    if (const std::string Missing = MissingPrograms({"xorriso", "7z"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    const struct {
        const char* Name;
        BurnWay Burn;
    } Ways[] = {
        {"the recorder alone",
         [](QueltTest::RealWorld& World, const Strings& Entries) {
             const auto Run = RunRecorder(DataDisc("NAMES", {"--verify"}, Entries),
                                          RecorderEnvironment(World.Dir.Path() / "disc.iso"));
             EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
             return Run.Out;
         }},
        {"a waited burn",
         [](QueltTest::RealWorld& World, const Strings& Entries) {
             return ThroughTheComponent(World, Entries, false);
         }},
        {"a job", [](QueltTest::RealWorld& World,
                     const Strings& Entries) { return ThroughTheComponent(World, Entries, true); }},
    };
    for (const auto& Way : Ways) {
        SCOPED_TRACE(Way.Name);
        QueltTest::RealWorld World;
        const fs::path Source = World.Dir.Path() / "names";
        const std::string Said = Way.Burn(World, WriteNamesOfAnyBytes(Source));
        EXPECT_EQ(JolietReplacedLine(Said),
                  "joliet names replaced: " + std::to_string(NamesOfAnyBytes) +
                      " (not UTF-8; Rock Ridge keeps them exactly)");
        const fs::path Disc = World.Dir.Path() / "disc.iso";
        ASSERT_EQ(ExtractWithXorriso(Disc, World.Dir.Path() / "rr").ExitCode, 0);
        EXPECT_EQ(TreeDifferences(Source, World.Dir.Path() / "rr"), Strings{});
        ASSERT_EQ(ExtractWith7z(Disc, World.Dir.Path() / "joliet").ExitCode, 0);
        EXPECT_EQ(NamesUnder(World.Dir.Path() / "joliet").size(), NamesOfAnyBytes);
    }
}

// Joliet names are UTF-16, so that a character past U+FFFF reaches Windows whole, unless the
// session's tree holds a name cut off at its end (this run's, or one of the tree it continues),
// which UTF-16 would cut short or fail on: then they are UCS-2, with "_" for such a character too.
TEST(RecorderNames, JolietNamesAreUtf16UnlessANameIsCutOff) {
    if (const std::string Missing = MissingPrograms({"xorriso", "7z"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    const std::string Emoji = "\xF0\x9F\x98\x80.txt";
    const std::string InUcs2 =
        " (not UTF-8, or past U+FFFF in UCS-2; Rock Ridge keeps them exactly)";
    const struct {
        const char* Name;
        std::vector<Strings> Sessions; // the names each run adds, the later ones continuing
        std::string Said;              // by the last run
        Names Joliet;
    } Rows[] = {
        {"UTF-16",
         {{"caf\xE9.txt", "\xC3(.txt", "a\xFF\xFE", Emoji}},
         "joliet names replaced: 3 (not UTF-8; Rock Ridge keeps them exactly)",
         {"caf_.txt", "_(.txt", "a__", Emoji}},
        {"UCS-2 beside a name cut off",
         {{"r\xE9sum\xE9", "\xE9", Emoji}},
         "joliet names replaced: 3" + InUcs2,
         {"r_sum_", "_", "_.txt"}},
        {"UCS-2 on a disc whose tree holds one",
         {{"\xE9"}, {"plain.txt", Emoji}},
         "joliet names replaced: 1" + InUcs2,
         {"_", "plain.txt", "_.txt"}},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        const TempDir Dir;
        const fs::path Disc = Dir.Path() / "disc.iso";
        std::string Said;
        Names Written;
        for (const Strings& Session : Row.Sessions) {
            Strings Entries;
            for (const std::string& Name : Session) {
                std::ofstream(Dir.Path() / Name, std::ios::binary) << Name;
                Entries.push_back((Dir.Path() / Name).string());
                Written.insert(Name);
            }
            const auto Run = RunRecorder(
                DataDisc("JOLIET",
                         Written.size() > Session.size() ? Strings{"--import", "0"} : Strings{},
                         Entries),
                RecorderEnvironment(Disc));
            ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
            Said = Run.Out;
        }
        EXPECT_EQ(JolietReplacedLine(Said), Row.Said);
        ASSERT_EQ(ExtractWithXorriso(Disc, Dir.Path() / "rr").ExitCode, 0);
        EXPECT_EQ(NamesUnder(Dir.Path() / "rr"), Written);
        ASSERT_EQ(ExtractWith7z(Disc, Dir.Path() / "joliet").ExitCode, 0);
        EXPECT_EQ(NamesUnder(Dir.Path() / "joliet"), Row.Joliet);
    }
}

} // namespace
