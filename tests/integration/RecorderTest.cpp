// The recorder as a real process: discs written through the component and the command-line host
// and read back by standard readers (xorriso for Rock Ridge, 7z for Joliet, isoinfo for the label),
// sessions that continue a disc, verify, and labels cut to their field.
#include "RecorderSupport.hpp"

#include "QueltBurner.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;

constexpr int SmallFiles = 10000;
// 200 bytes.
std::string LongName() {
    return std::string(196, 'n') + ".txt";
}

// U+1F600, outside the BMP.
std::string Emoji() {
    return "\xF0\x9F\x98\x80";
}

std::string AccentedName() {
    std::string Name;
    for (int I = 0; I < 100; ++I) {
        Name += "\xC3\xA9"; // é
    }
    return Name;
}

// The tree every round trip writes: names in UTF-8 inside and outside the BMP, names of 200
// bytes, 20 nested folders, empty files and folders, links, and many small files.
fs::path MakeTree(const TempDir& Dir) {
    fs::path Root = Dir.MakeDir("source/tree");
    Dir.Write("source/tree/été/日本/" + Emoji() + ".txt", "emoji");
    Dir.Write("source/tree/été/plain.txt", "accents");
    Dir.Write("source/tree/" + LongName(), "a long name");
    Dir.Write("source/tree/" + AccentedName() + "/inside.txt", "under a long folder name");
    std::string Deep = "source/tree/deep";
    for (int Level = 1; Level <= 20; ++Level) {
        Deep += "/level" + std::to_string(Level);
    }
    Dir.Write(Deep + "/bottom.txt", "twenty folders down");
    Dir.Write("source/tree/empty.txt", "");
    Dir.MakeDir("source/tree/empty folder");
    Dir.Write("source/tree/links/target.txt", "the link's target");
    fs::create_symlink("target.txt", Root / "links/link");
    fs::create_hard_link(Root / "links/target.txt", Root / "hard.txt");
    for (int I = 0; I < SmallFiles; ++I) {
        Dir.Write("source/tree/many/" + std::to_string(I / 100) + "/" + std::to_string(I) + ".txt",
                  "small file " + std::to_string(I) + "\n");
    }
    return Root;
}

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point Start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 Start);
}

// The same tree read back by xorriso (Rock Ridge: everything kept but hard links, which come
// back as two files with the same content) and by 7z (Joliet, with its limits).
void ExpectReadBack(const fs::path& Disc, const fs::path& Source, const TempDir& Dir,
                    const std::string& Label) {
    auto Start = std::chrono::steady_clock::now();
    const auto Xorriso = ExtractWithXorriso(Disc, Dir.Path() / "xorriso");
    ASSERT_EQ(Xorriso.ExitCode, 0) << Xorriso.Err;
    EXPECT_EQ(TreeDifferences(Source, Dir.Path() / "xorriso/tree"), Strings{});
    std::printf("xorriso extracted the disc in %lld ms\n",
                static_cast<long long>(Since(Start).count()));

    Start = std::chrono::steady_clock::now();
    const fs::path Joliet = Dir.Path() / "7z/tree";
    const auto SevenZip = ExtractWith7z(Disc, Dir.Path() / "7z");
    ASSERT_EQ(SevenZip.ExitCode, 0) << SevenZip.Out << SevenZip.Err;
    std::printf("7z extracted the disc in %lld ms\n", static_cast<long long>(Since(Start).count()));
    // Joliet has no symbolic links: the link is left out, its target is there.
    EXPECT_FALSE(fs::exists(fs::symlink_status(Joliet / "links/link")));
    EXPECT_EQ(ReadFile(Joliet / "links/target.txt"), "the link's target");
    // Joliet names are UTF-16: a character outside the BMP comes back whole.
    EXPECT_EQ(ReadFile(Joliet / "été/日本/😀.txt"), "emoji");
    EXPECT_EQ(ReadFile(Joliet / "hard.txt"), "the link's target");
    // Joliet names are short: the 200-byte names come back cut (the extension kept), at a
    // character boundary, with their content.
    Strings Cut;
    for (const fs::directory_entry& Entry : fs::directory_iterator(Joliet)) {
        const std::string Name = Entry.path().filename().string();
        if (Name.starts_with("nnn") || Name.starts_with("\xC3\xA9\xC3\xA9")) {
            Cut.push_back(Name);
        }
    }
    ASSERT_EQ(Cut.size(), 2U) << ::testing::PrintToString(Cut);
    for (const std::string& Name : Cut) {
        EXPECT_LT(Name.size(), 200U) << Name;
        if (Name.starts_with("nnn")) {
            EXPECT_TRUE(Name.ends_with(".txt")) << Name;
            EXPECT_EQ(LongName().substr(0, Name.size() - 4), Name.substr(0, Name.size() - 4));
            EXPECT_EQ(ReadFile(Joliet / Name), "a long name");
        } else {
            EXPECT_EQ(AccentedName().substr(0, Name.size()), Name);
            EXPECT_EQ(ReadFile(Joliet / Name / "inside.txt"), "under a long folder name");
        }
    }
    // Joliet paths hold at most 240 bytes, 120 UCS-2 characters: the nested folders are there
    // as far as their path from the disc's root ("tree/deep/level1/...") stays within that, and
    // the deeper ones are left out.
    constexpr std::size_t JolietPathCharacters = 120;
    std::size_t Kept = 0;
    for (const fs::directory_entry& Entry : fs::recursive_directory_iterator(Source / "deep")) {
        const fs::path Relative = fs::relative(Entry.path(), Source);
        const bool Fits = ("tree/" + Relative.string()).size() <= JolietPathCharacters;
        Kept += Fits ? 1 : 0;
        EXPECT_EQ(fs::exists(Joliet / Relative), Fits) << Relative;
    }
    EXPECT_GT(Kept, 10U);
    // Everything else is the same as in Rock Ridge.
    for (const char* Folder : {"many", "empty folder"}) {
        EXPECT_EQ(TreeDifferences(Source / Folder, Joliet / Folder), Strings{}) << Folder;
    }
    for (const char* File : {"empty.txt", "été/plain.txt"}) {
        ASSERT_TRUE(fs::is_regular_file(Joliet / File)) << File;
        EXPECT_EQ(ReadFile(Joliet / File), ReadFile(Source / File)) << File;
    }
    EXPECT_EQ(VolumeIdOf(Disc), Label);
}

TEST(RecorderRoundTrip, ComponentWritesATreeThatReadersGiveBack) {
    if (const std::string Missing = MissingPrograms({"xorriso", "7z", "isoinfo"});
        !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    TempDir Dir;
    auto Start = std::chrono::steady_clock::now();
    const fs::path Source = MakeTree(Dir);
    std::printf("made the tree (%d small files) in %lld ms\n", SmallFiles,
                static_cast<long long>(Since(Start).count()));
    const fs::path Disc = Dir.Path() / "disc.iso";
    const ScopedEnv Drives{"QUELT_DRIVES", "E=" + Disc.string()};
    const ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "missing.reg").string()};
    // An application in the C locale: names are still written as the UTF-8 they are.
    const ScopedEnv Locale{"LC_ALL", "C"};
    Queltburner::TQueltBurner Burner(nullptr);
    Burner.NeroCmdLocation = QueltTest::Utf16(RecorderPath);
    Burner.SetShowMessages(false);
    Burner.SetSynchronous(true);
    Burner.SetVolumeLabel(u"ROUND_TRIP");
    Strings Events;
    Burner.SetOnSuccess([&Events](System::TObject*) { Events.emplace_back("OnSuccess"); });
    Burner.SetOnError([&Events](System::TObject*, int Code) {
        Events.push_back("OnError(" + std::to_string(Code) + ")");
    });
    Burner.Files()->Add(QueltTest::PathText(Source));
    Start = std::chrono::steady_clock::now();
    EXPECT_EQ(Burner.BurnData(u'E'), 0);
    std::printf("the component's burn took %lld ms, the disc has %ju bytes\n",
                static_cast<long long>(Since(Start).count()),
                static_cast<std::uintmax_t>(fs::file_size(Disc)));
    EXPECT_EQ(Events, Strings{"OnSuccess"});
    ExpectReadBack(Disc, Source, Dir, "ROUND_TRIP");
}

TEST(RecorderRoundTrip, CommandLineHostWritesThroughTheRecorder) {
    if (const std::string Missing = MissingPrograms({"xorriso", "isoinfo"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path File = Dir.Write("source/notes été.txt", "notes");
    const fs::path Folder = Dir.MakeDir("source/photos");
    Dir.Write("source/photos/" + Emoji() + ".jpg", std::string(5000, 'p'));
    const fs::path Disc = Dir.Path() / "disc.iso";
    const auto Run = QueltTest::RunProgram(
        {QUELT_CLI_PATH, "data", "E", File.string(), Folder.string(), "--sync", "--label", "CLI",
         "--tool", RecorderPath},
        RecorderEnvironment(Disc, {"QUELT_REGISTRY=" + (Dir.Path() / "missing.reg").string()}));
    EXPECT_EQ(Run.ExitCode, 0) << Run.Out << Run.Err;
    EXPECT_NE(Run.Out.find("result: 0 (success)"), std::string::npos) << Run.Out;
    const auto Read = ExtractWithXorriso(Disc, Dir.Path() / "back");
    ASSERT_EQ(Read.ExitCode, 0) << Read.Err;
    EXPECT_EQ(TreeDifferences(Dir.Path() / "source", Dir.Path() / "back"), Strings{});
    EXPECT_EQ(VolumeIdOf(Disc), "CLI");
}

// Three appends, each replacing a.txt and adding a file of its own: the last session holds the
// merged tree with the newest a.txt; the first session, read by its own address, is unchanged.
TEST(RecorderSessions, AppendsMergeAndKeepEarlierSessions) {
    if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    for (int Session = 1; Session <= 3; ++Session) {
        const fs::path Changed = Dir.Write("in/a.txt", "version " + std::to_string(Session));
        const std::string Own = "own" + std::to_string(Session) + ".txt";
        const fs::path Added = Dir.Write("in/" + Own, "only in session " + std::to_string(Session));
        const auto Run = RunRecorder(DataDisc("S" + std::to_string(Session), {"--import", "0"},
                                              {Changed.string(), Added.string()}),
                                     RecorderEnvironment(Disc));
        ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
        EXPECT_NE(Run.Out.find(Session == 1 ? "as a new disc" : "as a new session"),
                  std::string::npos)
            << Run.Out;
        Dir.Write("expected/" + std::to_string(Session) + "/a.txt",
                  "version " + std::to_string(Session));
        for (int Earlier = 1; Earlier <= Session; ++Earlier) {
            const std::string Name = "own" + std::to_string(Earlier) + ".txt";
            Dir.Write("expected/" + std::to_string(Session) + "/" + Name,
                      "only in session " + std::to_string(Earlier));
        }
    }
    ASSERT_EQ(ExtractWithXorriso(Disc, Dir.Path() / "last").ExitCode, 0);
    EXPECT_EQ(TreeDifferences(Dir.Path() / "expected/3", Dir.Path() / "last"), Strings{});
    for (int Session = 1; Session <= 3; ++Session) {
        const fs::path Out = Dir.Path() / ("session" + std::to_string(Session));
        ASSERT_EQ(ExtractWithXorriso(Disc, Out, Session).ExitCode, 0);
        EXPECT_EQ(TreeDifferences(Dir.Path() / "expected" / std::to_string(Session), Out),
                  Strings{})
            << "session " << Session;
    }

    // --import 1 builds on the first session's tree, not on the last one's.
    const fs::path Fourth = Dir.Write("in/own4.txt", "only in session 4");
    const auto Run = RunRecorder(DataDisc("S4", {"--import", "1"}, {Fourth.string()}),
                                 RecorderEnvironment(Disc));
    ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
    fs::copy(Dir.Path() / "expected/1", Dir.Path() / "expected/4");
    Dir.Write("expected/4/own4.txt", "only in session 4");
    ASSERT_EQ(ExtractWithXorriso(Disc, Dir.Path() / "fourth").ExitCode, 0);
    EXPECT_EQ(TreeDifferences(Dir.Path() / "expected/4", Dir.Path() / "fourth"), Strings{});
}

// A clean write verifies; a byte flipped between writing and verifying (the recorder's test hook)
// is a verify error naming the file, and a new disc is then not put in place.
TEST(RecorderVerify, CleanWritePassesAndCorruptionIsReported) {
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const fs::path Folder = Dir.MakeDir("data");
    Dir.Write("data/marked.txt", "VERIFY-MARKER in the middle of a file");
    Dir.Write("data/other.txt", "nothing special");
    const Strings Arguments = DataDisc("V", {"--verify"}, {Folder.string()});

    const auto Clean = RunRecorder(Arguments, RecorderEnvironment(Disc));
    EXPECT_EQ(Clean.ExitCode, 0) << Clean.Err;
    EXPECT_NE(Clean.Out.find("progress verifying 100.0"), std::string::npos) << Clean.Out;
    fs::remove(Disc);

    const auto Corrupt = RunRecorder(
        Arguments, RecorderEnvironment(Disc, {"QUELT_RECORDER_TEST_CORRUPT=VERIFY-MARKER"}));
    EXPECT_EQ(Corrupt.ExitCode, 8) << Corrupt.Err;
    EXPECT_NE(Corrupt.Err.find("marked.txt"), std::string::npos) << Corrupt.Err;
    EXPECT_EQ(Corrupt.Err.find("other.txt"), std::string::npos) << Corrupt.Err;
    EXPECT_FALSE(fs::exists(Disc));
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
}

// A label longer than the 32 bytes of an ISO 9660 volume identifier is cut at a character
// boundary, and the run says so.
TEST(RecorderCommands, LongLabelsAreCutAtACharacterBoundary) {
    if (const std::string Missing = MissingPrograms({"isoinfo"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    const struct {
        std::string Label;
        std::string Written;
        bool Said;
    } Rows[] = {
        {std::string(32, 'L'), std::string(32, 'L'), false},
        {std::string(40, 'L'), std::string(32, 'L'), true},
        // "é" takes two bytes: 31 bytes of "L" then "é" would end at byte 33.
        {std::string(31, 'L') + "\xC3\xA9xyz", std::string(31, 'L'), true},
        {std::string(30, 'L') + "\xC3\xA9xyz", std::string(30, 'L') + "\xC3\xA9", true},
        {std::string(29, 'L') + Emoji(), std::string(29, 'L'), true},
    };
    for (const auto& Row : Rows) {
        TempDir Dir;
        const fs::path Disc = Dir.Path() / "disc.iso";
        const fs::path File = Dir.Write("a.txt", "content");
        const auto Run = RunRecorder(DataDisc(Row.Label, {}, {File.string()}),
                                     RecorderEnvironment(Disc, {"LC_ALL=C.UTF-8"}));
        ASSERT_EQ(Run.ExitCode, 0) << Row.Label << Run.Err;
        EXPECT_EQ(VolumeIdOf(Disc), Row.Written) << Row.Label;
        EXPECT_EQ(Run.Out.find("label cut to \"" + Row.Written + "\"") != std::string::npos,
                  Row.Said)
            << Row.Label << "\n"
            << Run.Out;
    }
}

} // namespace
