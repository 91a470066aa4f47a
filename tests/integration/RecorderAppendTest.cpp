// Sessions that continue a disc, at their edges: the fit of a session that rewrites a large tree,
// entries that replace their namesakes in the tree continued, and a disc whose recorded checksums
// no longer match it.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::TempDir;

Strings Question(const char* Asked, const Strings& Burn) {
    Strings Argv{Asked};
    Argv.insert(Argv.end(), Burn.begin(), Burn.end());
    return Argv;
}

Strings DiscInfo() {
    return {"--disc_info", "--drivename", "E"};
}

// An append rewrites the records of the whole tree it continues: on a CD holding 800 folders and
// left with a little less than the estimate says a small file more needs, the burn is refused
// and writes nothing.
TEST(RecorderAppends, TheTreeContinuedCountsInTheFit) {
    TempDir Dir;
    for (int Index = 0; Index < 800; ++Index) {
        Dir.MakeDir("many/" + std::to_string(Index));
    }
    const fs::path Filler = Dir.Path() / "filler.bin";
    MakeSparseFile(Filler, 1U << 20U, "filler");
    const fs::path Disc = Dir.Path() / "disc.iso";
    const Strings Environment = RecorderEnvironment(Disc);
    const Strings First = DataDisc("FULL", {}, {(Dir.Path() / "many").string(), Filler.string()});
    const Strings Append =
        DataDisc("MORE", {"--import", "0"}, {Dir.Write("small.txt", "small").string()});
    ASSERT_EQ(RunRecorder(First, Environment).ExitCode, 0);
    const std::string Roomy = RunRecorder(Question("--estimate", Append), Environment).Out;
    // A session ends on a whole 64 KiB: the filler grows by what was left and a little less than
    // that, so that less than the append needs is left, by less than 64 KiB more.
    fs::resize_file(Filler, (1U << 20U) + NumberOf(Roomy, "free_bytes") -
                                NumberOf(Roomy, "needed_bytes") + (64U << 10U));
    fs::remove(Disc);
    ASSERT_EQ(RunRecorder(First, Environment).ExitCode, 0);
    const std::string Full = RunRecorder(Question("--estimate", Append), Environment).Out;
    ASSERT_LT(NumberOf(Full, "free_bytes"), NumberOf(Full, "needed_bytes")) << Full;

    const std::uintmax_t Size = fs::file_size(Disc);
    const std::string Sum = RunReader({"md5sum", Disc.string()}).Out;
    const auto Refused = RunRecorder(Append, Environment);
    EXPECT_EQ(Refused.ExitCode, 5) << Refused.Err;
    EXPECT_EQ(fs::file_size(Disc), Size);
    EXPECT_EQ(RunReader({"md5sum", Disc.string()}).Out, Sum);
    EXPECT_EQ(AnswerOf(RunRecorder(DiscInfo(), Environment).Out, "medium"), "virtual CD");
}

// A new session shows each entry as it is now: its namesake in the tree continued goes wholly,
// whatever either is, and the first session keeps it; the checksums of the disc still hold.
TEST(RecorderAppends, AnEntryReplacesItsNamesakeWholly) {
    if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    const struct {
        const char* Case;
        Strings Before; // "path=content" of the entry x; content "/" is a folder
        Strings After;
    } Rows[] = {
        {"a folder with a file deleted",
         {"x/keep.txt=keep", "x/gone.txt=gone"},
         {"x/keep.txt=keep"}},
        {"a file where a folder was", {"x/in/deep.txt=deep"}, {"x=now a file"}},
        {"a folder where a file was", {"x=a file"}, {"x/in.txt=in", "x/empty=/"}},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Case);
        TempDir Dir;
        const fs::path Disc = Dir.Path() / "disc.iso";
        const fs::path In = Dir.Path() / "in";
        for (const Strings* Items : {&Row.Before, &Row.After}) {
            fs::remove_all(In / "x");
            for (const std::string& Item : *Items) {
                const std::string Path = "in/" + Item.substr(0, Item.find('='));
                const std::string Content = Item.substr(Item.find('=') + 1);
                Content == "/" ? Dir.MakeDir(Path) : Dir.Write(Path, Content);
            }
            // The first session also holds a file of its own, which the second takes over.
            Strings Entries{(In / "x").string()};
            if (Items == &Row.Before) {
                Entries.push_back(Dir.Write("in/other.txt", "other").string());
            }
            const auto Run =
                RunRecorder(DataDisc("S", {"--import", "0"}, Entries), RecorderEnvironment(Disc));
            ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
            if (Items == &Row.Before) {
                fs::copy(In, Dir.Path() / "first", fs::copy_options::recursive);
            }
        }
        for (const auto& [Session, Expected] :
             {std::pair{1, Dir.Path() / "first"}, std::pair{2, In}}) {
            const fs::path Out = Dir.Path() / ("read" + std::to_string(Session));
            ASSERT_EQ(ExtractWithXorriso(Disc, Out, Session).ExitCode, 0);
            EXPECT_EQ(TreeDifferences(Expected, Out), Strings{}) << "session " << Session;
        }
        const auto Checked = RunReader({"xorriso", "-md5", "on", "-indev", "stdio:" + Disc.string(),
                                        "-check_md5", "FAILURE", "--"});
        EXPECT_EQ(Checked.ExitCode, 0) << Checked.Out << Checked.Err;
    }
}

// Every primary volume descriptor of Disc that names Old names New instead: the copy at the head
// of the disc and the session's own, which the checksum tags cover.
void PatchVolumeId(const fs::path& Disc, const std::string& Old, const std::string& New) {
    std::fstream File(Disc, std::ios::in | std::ios::out | std::ios::binary);
    const std::string Descriptor = "\x01"
                                   "CD001\x01";
    std::string Block(2048, '\0');
    for (std::streamoff At = 0; File.read(Block.data(), 2048); At += 2048) {
        if (Block.starts_with(Descriptor) && Block.compare(40, Old.size(), Old) == 0) {
            File.seekp(At + 40);
            File.write(New.data(), static_cast<std::streamsize>(New.size()));
            File.seekg(At + 2048);
        }
    }
}

// A disc whose descriptors were changed outside a burn: its sessions and newest label are still
// told, with its failing checksums; an append is refused for them and writes nothing, and its
// estimate gives the sizes first.
TEST(RecorderAppends, DiscWithFailingChecksumsIsToldAndNotContinued) {
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const Strings Environment = RecorderEnvironment(Disc);
    ASSERT_EQ(RunRecorder(DataDisc("FIRST", {}, {Dir.Write("a.txt", "a").string()}), Environment)
                  .ExitCode,
              0);
    const Strings Append =
        DataDisc("SECOND", {"--import", "0"}, {Dir.Write("b.txt", "b").string()});
    ASSERT_EQ(RunRecorder(Append, Environment).ExitCode, 0);
    EXPECT_EQ(AnswerOf(RunRecorder(DiscInfo(), Environment).Out, "checksums"), "(none)");
    PatchVolumeId(Disc, "SECOND", "SECRET");
    const std::string Before = ReadFile(Disc);

    const auto Info = RunRecorder(DiscInfo(), Environment);
    EXPECT_EQ(Info.ExitCode, 0) << Info.Err;
    EXPECT_EQ(AnswerOf(Info.Out, "sessions"), "2") << Info.Out;
    EXPECT_EQ(AnswerOf(Info.Out, "label"), "SECRET") << Info.Out;
    EXPECT_EQ(AnswerOf(Info.Out, "checksums"), "failing") << Info.Out;
    for (const Strings& Argv : {Append, Question("--estimate", Append)}) {
        SCOPED_TRACE(Argv[0]);
        const auto Run = RunRecorder(Argv, Environment);
        EXPECT_EQ(Run.ExitCode, 4) << Run.Err;
        EXPECT_NE(Run.Err.find("checksums fail: it was changed outside a burn"), std::string::npos)
            << Run.Err;
        EXPECT_EQ(NumberOf(Run.Out, "needed_bytes") > 0, Argv[0] == "--estimate") << Run.Out;
    }
    EXPECT_TRUE(ReadFile(Disc) == Before);
}

} // namespace
