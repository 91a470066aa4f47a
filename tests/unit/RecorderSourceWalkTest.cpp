// The data disc's walk of its sources and the stamps it keeps: each item seen once, a folder's
// items before its subfolders, links never entered; and after the write, the first file (in the
// walk's order) that changed is the one named, however the list is shared among threads.
#include "SourceWalk.hpp"
#include "Sources.hpp"
#include "TestFiles.hpp"
#include "TreeWalk.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using QueltTest::TempDir;

TEST(RecorderSourceWalk, EachItemOnceFoldersAfterTheirItemsLinksNotEntered) {
    TempDir Dir;
    Dir.Write("tree/b.txt", "b");
    Dir.Write("tree/sub/c.txt", "c");
    Dir.Write("tree/sub/deeper/d.txt", "d");
    Dir.Write("tree/skipped/e.txt", "e");
    fs::create_directory_symlink(Dir.Path() / "tree/sub", Dir.Path() / "tree/link");
    const std::string Root = (Dir.Path() / "tree").string();
    std::vector<std::string> Seen;
    const bool Whole = Recorder::WalkTree(
        Root, [&](const std::string& Folder, std::string_view Name, const struct stat& Info) {
            Seen.push_back(Folder.substr(Root.size()) + std::string(Name) +
                           (S_ISDIR(Info.st_mode)   ? "/"
                            : S_ISLNK(Info.st_mode) ? "@"
                                                    : ""));
            return Name != "skipped";
        });
    EXPECT_TRUE(Whole);
    // Each folder's items in the folder's own order: compared as sets per folder.
    const auto At = [&](const std::string& Item) {
        return std::find(Seen.begin(), Seen.end(), Item) - Seen.begin();
    };
    ASSERT_EQ(Seen.size(), 7U) << ::testing::PrintToString(Seen);
    for (const char* Item : {"/b.txt", "/sub/", "/link@", "/skipped/"}) {
        EXPECT_LT(At(Item), At("/sub/c.txt")) << Item;
    }
    EXPECT_LT(At("/sub/deeper/"), At("/sub/deeper/d.txt"));
    EXPECT_EQ(At("/skipped/e.txt"), static_cast<long>(Seen.size()));

    fs::permissions(Dir.Path() / "tree/sub/deeper", fs::perms::none);
    const bool Unreadable = Recorder::WalkTree(
        Root, [](const std::string&, std::string_view, const struct stat&) { return true; });
    fs::permissions(Dir.Path() / "tree/sub/deeper", fs::perms::owner_all);
    EXPECT_EQ(Unreadable, ::geteuid() == 0); // root reads any folder
}

// Files as they are now, each stamped Times over in a row: a list long enough to be shared
// between two threads without creating thousands of files.
Recorder::FileStamps StampsOf(const std::vector<fs::path>& Files, std::size_t Times) {
    Recorder::FileStamps Stamps;
    for (const fs::path& File : Files) {
        struct stat Info {};
        EXPECT_EQ(::stat(File.c_str(), &Info), 0);
        for (std::size_t Time = 0; Time < Times; ++Time) {
            Stamps.Add(File.string(), static_cast<std::uintmax_t>(Info.st_size),
                       std::int64_t{Info.st_mtim.tv_sec} * 1000000000 + Info.st_mtim.tv_nsec);
        }
    }
    return Stamps;
}

TEST(RecorderSourceWalk, TheFirstChangedFileIsNamedWhereverItIs) {
    TempDir Dir;
    constexpr std::size_t Times = 25; // 328 files, 8,200 stamps
    std::vector<fs::path> Files;
    Files.reserve(328);
    for (int I = 0; I < 328; ++I) {
        Files.push_back(Dir.Write("many/" + std::to_string(I / 4) + "/" + std::to_string(I), "x"));
    }
    EXPECT_EQ(StampsOf(Files, Times).FirstChanged(), std::nullopt);
    const struct {
        const char* Case;
        std::vector<std::size_t> Grown;
        std::size_t Named;
    } Rows[] = {
        {"the first file", {0}, 0},
        {"one in the second share", {200}, 200},
        {"the last file", {327}, 327},
        {"two in different shares: the earlier", {300, 50}, 50},
    };
    for (const auto& Row : Rows) {
        const Recorder::FileStamps Stamps = StampsOf(Files, Times);
        for (const std::size_t Index : Row.Grown) {
            std::ofstream(Files[Index], std::ios::app) << "more";
        }
        EXPECT_EQ(Stamps.FirstChanged(), Files[Row.Named].string()) << Row.Case;
    }
    // A folder gone: its first file is the one named.
    const Recorder::FileStamps Stamps = StampsOf(Files, Times);
    fs::remove_all(Dir.Path() / "many/42");
    EXPECT_EQ(Stamps.FirstChanged(), Files[168].string());
}

// The walk beside the mapping finds what the walk alone finds, its shares follow the mapping's
// order, and a walk handed over (an estimate's) gives the same.
TEST(RecorderSourceWalk, TheWalkBesideTheMappingFindsWhatTheWalkAloneFinds) {
    TempDir Dir;
    for (std::size_t I = 0; I < 300; ++I) {
        Dir.Write("one/" + std::to_string(I % 7) + "/" + std::to_string(I), std::string(I, 'x'));
    }
    Dir.Write("two/only.txt", "only");
    const std::vector<Recorder::Source> Sources{{(Dir.Path() / "one").string(), "one"},
                                                {(Dir.Path() / "two").string(), "two"}};
    Recorder::FileStamps AloneStamps;
    Recorder::TreeCounts Alone;
    const auto AloneBound = Recorder::UpperBoundBlocks(Sources, AloneStamps, &Alone);
    const std::string AloneTree = Alone.Tree.Finish();

    const std::vector<std::size_t> Order{1, 0}; // mapped from the last name to the first
    Recorder::FileStamps Stamps;
    Recorder::SourceWalk Beside(Sources, Stamps, {}, Order);
    Recorder::WalkedSources Found = Beside.Finish();
    EXPECT_EQ(Found.Bound, AloneBound);
    EXPECT_EQ(Found.Counts.Items, Alone.Items);
    EXPECT_EQ(Stamps.Count(), AloneStamps.Count());
    EXPECT_EQ(Found.Counts.Tree.Finish(), AloneTree);

    Recorder::FileStamps Unused;
    Recorder::TreeCounts Again;
    const auto Bound = Recorder::UpperBoundBlocks(Sources, Unused, &Again);
    const Recorder::SourceWalk HandedOver(Recorder::WalkedSources{Bound, std::move(Again)}, Order);
    // "two" (2 items: itself and its file) first, then "one" (308: itself, 7 folders, 300 files).
    EXPECT_DOUBLE_EQ(HandedOver.Share(0, 0).value_or(-1), 0.0);
    EXPECT_DOUBLE_EQ(HandedOver.Share(1, 0).value_or(-1), 2.0 / 310.0);
    EXPECT_DOUBLE_EQ(HandedOver.Share(1, 154).value_or(-1), 156.0 / 310.0);
    EXPECT_DOUBLE_EQ(HandedOver.Share(2, 0).value_or(-1), 1.0);
}

} // namespace
