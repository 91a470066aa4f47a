// The POSIX host's questions against the stand-in as a real process: the answer lines read into
// the reports, and the tool's exit code telling an answer, a question it cannot answer and a
// failure apart.
#include "RealWorld.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

namespace {

using Queltburner::DiscState;
using Queltburner::QueryStatus;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;

TEST(DiscQueriesPosix, TheToolsAnswerReachesTheReports) {
    struct Row {
        const char* Name;
        std::optional<std::string> Answer;
        std::optional<std::string> Exit;
        std::optional<std::string> ErrorLine;
        int Result;
        const char16_t* Reason;
        DiscState State;
        std::uint64_t Free;
    };
    const Row Rows[] = {
        {"the stand-in's own answer", std::nullopt, std::nullopt, std::nullopt, 0, u"",
         DiscState::Blank, 737280000},
        {"a closed disc, a line that is no answer ignored",
         "medium=DVD+R;note: x=1;state=closed;sessions=3;label=A=B;used_bytes=9;free_bytes=0",
         std::nullopt, std::nullopt, 0, u"", DiscState::Closed, 0},
        {"cannot answer", std::nullopt, "9", "cannot tell", Queltburner::ResultNotAvailable,
         u"NeroCmd stand-in: cannot tell", DiscState::NoDisc, 0},
        {"failed, with the tool's error line", std::nullopt, "3", "drive busy",
         Queltburner::ResultToolFailed, u"NeroCmd stand-in: drive busy", DiscState::NoDisc, 0},
        {"ended well without an answer", "nothing=here", std::nullopt, std::nullopt,
         Queltburner::ResultToolFailed, u"the tool gave no answer", DiscState::NoDisc, 0},
    };
    for (const Row& Case : Rows) {
        SCOPED_TRACE(Case.Name);
        RealWorld W;
        const ScopedEnv Answer{"NEROCMD_ANSWER", Case.Answer};
        const ScopedEnv Exit{"NEROCMD_EXIT", Case.Exit};
        const ScopedEnv Error{"NEROCMD_STDERR", Case.ErrorLine};
        Queltburner::DiscReport Disc;
        EXPECT_EQ(W.Burner->DescribeDisc(u'E', Disc), Case.Result);
        EXPECT_EQ(Disc.Reason, Case.Reason);
        EXPECT_EQ(Disc.State, Case.State);
        EXPECT_EQ(Disc.FreeBytes, Case.Free);
        if (Case.Answer && Case.Result == 0) {
            EXPECT_EQ(Disc.Medium, u"DVD+R");
            EXPECT_EQ(Disc.Sessions, 3U);
            EXPECT_EQ(Disc.Label, u"A=B");
            EXPECT_EQ(Disc.UsedBytes, 9U);
        }
        const auto Runs = W.Runs();
        ASSERT_EQ(Runs.size(), 1U);
        EXPECT_EQ(Runs[0].Argv, (std::vector<std::string>{QueltTest::Standin.string(),
                                                          "--disc_info", "--drivename", "E"}));
    }
}

// The burn is measured with the switch right after the program, whatever the program's path
// looks like, and every argument of the burn after it as the burn would get it.
TEST(DiscQueriesPosix, MeasureBurnPutsTheSwitchBeforeTheBurn) {
    RealWorld W;
    const std::filesystem::path Tool = W.Dir.Path() / "my tools" / "NeroCmd.exe";
    std::filesystem::create_directories(Tool.parent_path());
    std::filesystem::copy_file(QueltTest::Standin, Tool);
    W.Burner->NeroCmdLocation = QueltTest::PathText(Tool);
    const std::filesystem::path File = W.Dir.Write("a b.txt", "x");
    W.Burner->Files()->Add(QueltTest::PathText(File));
    Queltburner::SizeReport Size;
    ASSERT_EQ(W.Burner->MeasureBurn(u'E', Size), 0) << System::Sysutils::UTF8Encode(Size.Reason);
    EXPECT_EQ(Size.NeededBytes, 1048576U);
    EXPECT_EQ(Size.FreeBytes, 737280000U);
    const auto Runs = W.Runs();
    ASSERT_EQ(Runs.size(), 1U);
    EXPECT_EQ(Runs[0].Argv,
              (std::vector<std::string>{Tool.string(), "--estimate", "--write", "--drivename", "E",
                                        "--real", "--recursive", "--speed", "4", "--iso", "NEW",
                                        "--underrun_prot", File.string()}));
    EXPECT_TRUE(Runs[0].Accepted);
}

} // namespace
