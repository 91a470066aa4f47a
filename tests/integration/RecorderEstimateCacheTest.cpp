// A repeated estimate of a new disc is answered from the user's cache while neither the question
// nor its sources changed, and measured again as soon as either did; a cache that is damaged, or
// missing for want of a cache folder, changes no answer.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::TempDir;

// An answer no measurement gives (an odd number of blocks far from the tree's size), planted in
// the cache so that an answer taken from it is told from one measured.
constexpr std::uint64_t PlantedBlocks = 777;

struct Estimating {
    TempDir Dir;
    fs::path Tree = Dir.MakeDir("tree");
    fs::path Cache = Dir.Path() / "cache";
    fs::path Kept = Cache / "QueltBurner/estimates";

    std::uint64_t Needed(const std::string& Label = "EST") const {
        Strings Argv{"--estimate"};
        const Strings Burn = DataDisc(Label, {}, {Tree.string()});
        Argv.insert(Argv.end(), Burn.begin(), Burn.end());
        const auto Run =
            RunRecorder(Argv, RecorderEnvironment(Dir.Path() / "disc.iso",
                                                  {"XDG_CACHE_HOME=" + Cache.string()}));
        EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
        return NumberOf(Run.Out, "needed_bytes");
    }
    // Replaces the blocks of every kept answer with PlantedBlocks.
    void Plant() const {
        std::string Planted;
        std::istringstream Lines(ReadFile(Kept));
        for (std::string Question, Tree, Blocks; Lines >> Question >> Tree >> Blocks;) {
            Planted.append(Question).append(" ").append(Tree).append(" ");
            Planted.append(std::to_string(PlantedBlocks)).append("\n");
        }
        ASSERT_FALSE(Planted.empty()) << "nothing was kept";
        std::ofstream(Kept, std::ios::trunc) << Planted;
    }
};

TEST(RecorderEstimateCache, UnchangedAnswersFromTheCacheAChangeIsMeasured) {
    const struct {
        const char* Case;
        void (*Change)(const Estimating&);
        bool FromCache;
    } Rows[] = {
        {"nothing changed", [](const Estimating&) {}, true},
        {"a file grew",
         [](const Estimating& E) { std::ofstream(E.Tree / "a.txt", std::ios::app) << "more"; },
         false},
        {"a file added", [](const Estimating& E) { E.Dir.Write("tree/sub/new.txt", "new"); },
         false},
        {"a file renamed",
         [](const Estimating& E) { fs::rename(E.Tree / "sub/b.txt", E.Tree / "sub/c.txt"); },
         false},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Case);
        const Estimating Question;
        Question.Dir.Write("tree/a.txt", std::string(5000, 'a'));
        Question.Dir.Write("tree/sub/b.txt", "b");
        const std::uint64_t Measured = Question.Needed();
        ASSERT_GT(Measured, 0U);
        Question.Plant();
        Row.Change(Question);
        const std::uint64_t Again = Question.Needed();
        if (Row.FromCache) {
            EXPECT_EQ(Again, PlantedBlocks * 2048);
        } else {
            EXPECT_NE(Again, PlantedBlocks * 2048);
            // Measured again and kept: the cache now holds the new tree's answer.
            EXPECT_EQ(Question.Needed(), Again);
        }
    }
}

TEST(RecorderEstimateCache, AnotherQuestionIsMeasuredAndADamagedCacheChangesNothing) {
    const Estimating Question;
    Question.Dir.Write("tree/a.txt", "a");
    const std::uint64_t Measured = Question.Needed();
    Question.Plant();
    EXPECT_EQ(Question.Needed("OTHER"), Measured) << "another label is another question";
    for (const std::string& Damage :
         {std::string("not a cache\n\x01\x02"), std::string(), std::string(100000, 'x')}) {
        std::ofstream(Question.Kept, std::ios::trunc) << Damage;
        EXPECT_EQ(Question.Needed(), Measured);
    }
    // Without a cache folder (no XDG_CACHE_HOME, no HOME) the answer is measured and nothing kept.
    Strings Argv{"--estimate"};
    const Strings Burn = DataDisc("EST", {}, {Question.Tree.string()});
    Argv.insert(Argv.end(), Burn.begin(), Burn.end());
    fs::remove_all(Question.Cache);
    const auto Run = RunRecorder(Argv, RecorderEnvironment(Question.Dir.Path() / "disc.iso"));
    EXPECT_EQ(NumberOf(Run.Out, "needed_bytes"), Measured);
    EXPECT_FALSE(fs::exists(Question.Cache));
}

} // namespace
