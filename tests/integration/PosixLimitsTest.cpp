// The kernel's limits on an argument list and on descriptors, through the POSIX host and the
// stand-in tool: a command line the kernel will not take is a failed start (never a partial run,
// never a zombie), a large one within the limits still reaches the tool whole, and a run without
// descriptors to spare fails or runs, but never throws.
#include "RealWorld.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
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

// Leaves this process exactly Free descriptors below its limit while it lives.
class DescriptorsTaken {
public:
    explicit DescriptorsTaken(rlim_t Free) {
        getrlimit(RLIMIT_NOFILE, &FSaved);
        int Highest = 2;
        for (const auto& Entry : fs::directory_iterator("/proc/self/fd")) {
            Highest = std::max(Highest, std::stoi(Entry.path().filename().string()));
        }
        SetLimit(static_cast<rlim_t>(Highest) + 1);
        for (int Taken = 0; (Taken = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) {
            FTaken.push_back(Taken);
        }
        SetLimit(static_cast<rlim_t>(Highest) + 1 + Free);
    }
    DescriptorsTaken(const DescriptorsTaken&) = delete;
    DescriptorsTaken& operator=(const DescriptorsTaken&) = delete;
    DescriptorsTaken(DescriptorsTaken&&) = delete;
    DescriptorsTaken& operator=(DescriptorsTaken&&) = delete;
    ~DescriptorsTaken() {
        for (const int Taken : FTaken) {
            close(Taken);
        }
        setrlimit(RLIMIT_NOFILE, &FSaved);
    }

private:
    void SetLimit(rlim_t Current) const {
        rlimit Limit = FSaved;
        Limit.rlim_cur = Current;
        setrlimit(RLIMIT_NOFILE, &Limit);
    }

    rlimit FSaved{};
    std::vector<int> FTaken;
};

// A run that cannot get its descriptors is a failed start (its events need pipes); one that needs
// none runs as it would anyway. Neither throws out of the operation.
TEST(PosixLimits, ARunWithoutDescriptorsToSpareFailsOrRunsButNeverThrows) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' runtime needs descriptors of its own (it probes memory through a pipe before
    // each type check), so it reports faults of its own when none are left.
    GTEST_SKIP() << "the sanitizers' runtime needs free descriptors itself";
#endif
    const struct {
        const char* Case;
        rlim_t Free;
        bool Events;
        int Result;
    } Rows[] = {
        {"no event, none free", 0, false, 0},
        {"no event, one free", 1, false, 0},
        {"output event, none free", 0, true, -1},
        {"output event, one free", 1, true, -1},
    };
    for (const auto& Row : Rows) {
        RealWorld W;
        if (Row.Events) {
            W.Burner->SetOnOutput([](System::TObject*, const System::UnicodeString&, bool) {});
        }
        int Result = 1;
        {
            const DescriptorsTaken Taken(Row.Free);
            EXPECT_NO_THROW(Result = W.Burner->BurnData(u'E')) << Row.Case;
        }
        EXPECT_EQ(Result, Row.Result) << Row.Case;
        EXPECT_EQ(fs::exists(W.Log), Row.Result == 0) << Row.Case;
        EXPECT_EQ(W.Host->OpenHandleCount(), 0U) << Row.Case;
    }
}

} // namespace
