// Entries given one by one on the command line cost the recorder no more than the same files found
// in a folder, and twice the entries take about twice the time: no per-entry wait, and nothing
// that grows with the square of their number. Whole runs are compared with each other, never
// with an absolute time, and each takes the fastest of three tries, which a busy machine disturbs
// least.
#include "RecorderSupport.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

double FastestRun(const Strings& Arguments, const fs::path& Disc) {
    double Fastest = 1e9;
    for (int Try = 0; Try < 3; ++Try) {
        fs::remove(Disc);
        const auto Start = std::chrono::steady_clock::now();
        const auto Run = RunRecorder(Arguments, RecorderEnvironment(Disc));
        const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
        EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
        Fastest = std::min(Fastest, Took.count());
    }
    return Fastest;
}

TEST(RecorderScaling, EntriesOnTheCommandLinePrepareInLinearTime) {
    TempDir Dir;
    Strings Entries;
    for (int Index = 0; Index < 2000; ++Index) {
        const std::string Name = "f" + std::to_string(Index);
        Entries.push_back(Dir.Write("folder/" + Name, Name).string());
    }
    const fs::path Disc = Dir.Path() / "disc.iso";
    const Strings Thousand(Entries.begin(), Entries.begin() + 1000);
    const double OneThousand = FastestRun(DataDisc("SCALE", {}, Thousand), Disc);
    const double TwoThousand = FastestRun(DataDisc("SCALE", {}, Entries), Disc);
    const double OneFolder =
        FastestRun(DataDisc("SCALE", {}, {(Dir.Path() / "folder").string()}), Disc);
    EXPECT_LT(TwoThousand, 3.0 * OneThousand)
        << "1,000 entries: " << OneThousand << " s, 2,000: " << TwoThousand << " s";
    EXPECT_LT(TwoThousand, 3.0 * OneFolder)
        << "2,000 entries: " << TwoThousand << " s, one folder of them: " << OneFolder << " s";
}

} // namespace
