// The kernel's limits on an argument list, through the POSIX host and the stand-in tool: a
// command line the kernel will not take is a failed start (never a partial run, never a zombie),
// and a large one within the limits still reaches the tool whole.
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using QueltTest::RealWorld;
using QueltTest::Utf16;
using Strings = std::vector<std::string>;

std::size_t ArgMax() {
    const long Limit = sysconf(_SC_ARG_MAX);
    return Limit > 0 ? static_cast<std::size_t>(Limit) : std::size_t{2} * 1024 * 1024;
}

// An existing folder named by a long path: the folder itself followed by enough "./" steps.
std::string LongPathTo(const fs::path& Folder, std::size_t Length) {
    std::string Path = Folder.string();
    while (Path.size() + 2 < Length) {
        Path += "/.";
    }
    return Path;
}

TEST(PosixLimits, ArgumentListPastTheKernelsLimitIsAFailedStart) {
    const struct {
        const char* Case;
        std::function<void(RealWorld&)> Fill;
    } Rows[] = {
        // Linux takes no single argument longer than 32 pages, however much room is left.
        {"one title of 200 KB",
         [](RealWorld& W) { W.Burner->SetTitle(Utf16(std::string(200 * 1024, 't'))); }},
        {"one title of 3 MB",
         [](RealWorld& W) { W.Burner->SetTitle(Utf16(std::string(3 * 1024 * 1024, 't'))); }},
        {"entries summing past the limit",
         [](RealWorld& W) {
             const std::string Entry = LongPathTo(W.Dir.MakeDir("entries"), 2000);
             for (std::size_t Sum = 0; Sum <= ArgMax() + 4096; Sum += Entry.size() + 1) {
                 W.Burner->Files()->Add(Utf16(Entry));
             }
         }},
    };
    for (const auto& Row : Rows) {
        for (const bool Synchronous : {true, false}) {
            RealWorld W;
            Row.Fill(W);
            W.Burner->SetSynchronous(Synchronous);
            EXPECT_EQ(W.Burner->BurnData(u'E'), -1) << Row.Case;
            EXPECT_EQ(W.Events, Synchronous ? Strings{"OnError(-1)"} : Strings{}) << Row.Case;
            // The tool never ran, not even with a shortened list.
            EXPECT_FALSE(fs::exists(W.Log)) << Row.Case;
            EXPECT_EQ(W.Host->OpenHandleCount(), 0U) << Row.Case;
            EXPECT_TRUE(QueltTest::ZombieChildren().empty()) << Row.Case;
        }
    }
}

TEST(PosixLimits, LargeArgumentListWithinTheLimitReachesTheToolWhole) {
    RealWorld W;
    const std::string Title(100 * 1024, 't');
    W.Burner->SetTitle(Utf16(Title));
    const std::string Entry = LongPathTo(W.Dir.MakeDir("entries"), 2000);
    Strings Entries;
    for (std::size_t Sum = 0; Sum < ArgMax() / 4; Sum += Entry.size() + 1) {
        W.Burner->Files()->Add(Utf16(Entry));
        Entries.push_back(Entry);
    }
    EXPECT_EQ(W.Burner->BurnData(u'E'), 0);
    EXPECT_EQ(W.Events, Strings{"OnSuccess"});
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_TRUE(Runs[0].Accepted);
    Strings Expected{QueltTest::Standin.string(),
                     "--write",
                     "--drivename",
                     "E",
                     "--real",
                     "--title",
                     Title,
                     "--recursive",
                     "--speed",
                     "4",
                     "--iso",
                     "NEW",
                     "--underrun_prot"};
    Expected.insert(Expected.end(), Entries.begin(), Entries.end());
    EXPECT_TRUE(Runs[0].Argv == Expected) << Runs[0].Argv.size() << " arguments arrived";
    EXPECT_EQ(W.Host->OpenHandleCount(), 0U);
    EXPECT_TRUE(QueltTest::ZombieChildren().empty());
}

} // namespace
