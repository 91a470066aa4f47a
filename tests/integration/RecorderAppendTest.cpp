// Sessions that continue a disc, at their edges: the fit of a session that rewrites a large tree.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

// The value of Key in a question's answer, "(none)" when it has none.
std::string AnswerOf(const std::string& Out, const std::string& Key) {
    std::istringstream Lines(Out);
    for (std::string Line; std::getline(Lines, Line);) {
        if (Line.starts_with(Key + "=")) {
            return Line.substr(Key.size() + 1);
        }
    }
    return "(none)";
}

std::uint64_t NumberOf(const std::string& Out, const std::string& Key) {
    const std::string Value = AnswerOf(Out, Key);
    return Value.find_first_not_of("0123456789") == std::string::npos ? std::stoull(Value) : 0;
}

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

} // namespace
