// The questions a front end asks around a burn, through the recording host: which letters are
// drives, the result codes of a question, and that a measured burn is the burn Burn would start.
#include "ReadyBurner.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

namespace {

using Queltburner::DiscReport;
using Queltburner::QueryStatus;
using Queltburner::SizeReport;
using QueltTest::ReadyBurner;
using System::UnicodeString;

TEST(FrontEndQueries, OpticalDrivesAreTheOpticalLettersInOrderWithTheirTargets) {
    ReadyBurner R;
    R.Host->DriveTypes[u'G'] = Queltburner::DriveTypeCdRom;
    R.Host->DriveTypes[u'B'] = Queltburner::DriveTypeCdRom;
    R.Host->DriveTypes[u'F'] = 3; // a fixed disk
    R.Host->DriveTargets[u'B'] = u"/dev/sr0";
    R.Host->DriveTargets[u'G'] = u"/tmp/disc.iso";
    const std::vector<Queltburner::TOpticalDrive> Drives = R.Burner->OpticalDrives();
    ASSERT_EQ(Drives.size(), 3U);
    EXPECT_EQ(Drives[0].Letter, u'B');
    EXPECT_EQ(Drives[0].Target, u"/dev/sr0");
    EXPECT_EQ(Drives[1].Letter, u'E');
    EXPECT_EQ(Drives[1].Target, u"");
    EXPECT_EQ(Drives[2].Letter, u'G');
    EXPECT_EQ(Drives[2].Target, u"/tmp/disc.iso");
}

DiscReport Report(QueryStatus Status, const UnicodeString& Reason = {}) {
    DiscReport Disc;
    Disc.Status = Status;
    Disc.Reason = Reason;
    Disc.Sessions = Status == QueryStatus::Answered ? 2 : 0;
    return Disc;
}

// What the host answers (or throws), and what the component returns; nothing is ever shown.
TEST(FrontEndQueries, DescribeDiscResultCodes) {
    struct Row {
        const char* Name;
        char16_t Drive;
        bool ToolExists;
        std::optional<DiscReport> HostAnswer; // none: the interface's default
        bool HostThrows;
        int Result;
        const char16_t* Reason;
        const char16_t* ToolAsked; // null: the host is not asked
    };
    const UnicodeString Tool = QueltTest::ReadyTool;
    const Row Rows[] = {
        {"not an optical drive", u'Q', true, Report(QueryStatus::Answered), false,
         Queltburner::ResultNotOpticalDrive, u"drive Q is not an optical drive", nullptr},
        {"not a letter", u'1', true, Report(QueryStatus::Answered), false,
         Queltburner::ResultNotOpticalDrive, u"drive 1 is not an optical drive", nullptr},
        {"a host that cannot answer", u'E', true, std::nullopt, false,
         Queltburner::ResultNotAvailable, u"", Tool.c_str()},
        {"a question that failed", u'E', true, Report(QueryStatus::Failed, u"drive busy"), false,
         Queltburner::ResultToolFailed, u"drive busy", Tool.c_str()},
        {"no tool: the host decides", u'E', false, Report(QueryStatus::Failed, u"no tool"), false,
         Queltburner::ResultToolFailed, u"no tool", u""},
        {"answered", u'E', true, Report(QueryStatus::Answered), false, Queltburner::ResultSuccess,
         u"", Tool.c_str()},
        {"a host that throws", u'E', true, Report(QueryStatus::Answered), true,
         Queltburner::ResultToolFailed, u"pipe broke", Tool.c_str()},
    };
    for (const Row& Case : Rows) {
        SCOPED_TRACE(Case.Name);
        ReadyBurner R;
        if (!Case.ToolExists) {
            R.Host->Files.clear();
        }
        R.Host->Disc = Case.HostAnswer;
        if (Case.HostThrows) {
            R.Host->BeforeAnswer = [](const QueltTest::HostCall& Call) {
                if (Call.Name == "DescribeDisc") {
                    throw std::runtime_error("pipe broke");
                }
            };
        }
        DiscReport Disc;
        Disc.Label = u"stale";
        EXPECT_EQ(R.Burner->DescribeDisc(Case.Drive, Disc), Case.Result);
        EXPECT_EQ(Disc.Reason, Case.Reason);
        EXPECT_NE(Disc.Label, u"stale");
        EXPECT_EQ(Disc.Sessions, Case.Result == Queltburner::ResultSuccess ? 2U : 0U);
        EXPECT_TRUE(R.Host->Messages.empty());
        std::vector<UnicodeString> Asked;
        for (const QueltTest::HostCall& Call : R.Host->Calls) {
            if (Call.Name == "DescribeDisc") {
                Asked.push_back(Call.Args.at(0));
            }
        }
        EXPECT_EQ(Asked.size(), Case.ToolAsked == nullptr ? 0U : 1U);
        if (Case.ToolAsked != nullptr && !Asked.empty()) {
            EXPECT_EQ(Asked[0], Case.ToolAsked);
        }
    }
}

// For every disc kind, the host measures exactly the command line Burn then starts, and nothing
// is started by the measuring itself.
TEST(FrontEndQueries, MeasureBurnMeasuresTheCommandBurnStarts) {
    for (const Queltburner::TDiskType Kind :
         {Queltburner::dtData, Queltburner::dtAudio, Queltburner::dtVideo,
          Queltburner::dtSuperVideo, Queltburner::dtDVDVideo}) {
        SCOPED_TRACE(static_cast<int>(Kind));
        ReadyBurner R;
        R.AddFile(u"C:\\in\\one.wav");
        R.AddFolder(u"C:\\in\\VIDEO_TS");
        R.Burner->SetDiskType(Kind);
        R.Burner->SetVerify(true);
        R.Burner->SetContinueSession(0);
        SizeReport Answer;
        Answer.Status = QueryStatus::Answered;
        Answer.NeededBytes = 4096;
        R.Host->Size = Answer;
        SizeReport Size;
        ASSERT_EQ(R.Burner->MeasureBurn(u'E', Size), Queltburner::ResultSuccess);
        EXPECT_EQ(Size.NeededBytes, 4096U);
        EXPECT_TRUE(R.Host->Starts.empty());
        const QueltTest::HostCall Measured = R.Host->Calls.back();
        ASSERT_EQ(Measured.Name, "MeasureBurn");
        R.Burner->SetSynchronous(true);
        ASSERT_EQ(R.Burner->Burn(u'E'), 0);
        EXPECT_EQ(Measured.Args.at(0), QueltTest::ReadyTool);
        EXPECT_EQ(Measured.Args.at(1), R.Host->LastStart().CommandLine);
    }
    ReadyBurner R;
    SizeReport Size;
    EXPECT_EQ(R.Burner->MeasureBurn(u'Q', Size), Queltburner::ResultNotOpticalDrive);
    EXPECT_EQ(R.Burner->MeasureBurn(u'E', Size), Queltburner::ResultNotAvailable);
}

} // namespace

namespace {

// The kind of medium comes from the host, or from the medium's name when the host gives none.
TEST(FrontEndQueries, TheMediumsKindNeedsNoParsing) {
    using Queltburner::TMediumKind;
    const std::pair<const char16_t*, TMediumKind> Rows[] = {
        {u"CD-R", TMediumKind::CD},
        {u"CD-RW", TMediumKind::CD},
        {u"DVD+RW DL", TMediumKind::DVD},
        {u"DVD-RAM", TMediumKind::DVD},
        {u"BD-RE", TMediumKind::BD},
        {u"virtual CD", TMediumKind::Virtual},
        {u"virtual disc", TMediumKind::Virtual},
        {u"HD DVD-R", TMediumKind::Unknown},
        {u"", TMediumKind::Unknown},
    };
    for (const auto& [Medium, Kind] : Rows) {
        ReadyBurner R;
        R.Host->Disc.emplace();
        R.Host->Disc->Status = QueryStatus::Answered;
        R.Host->Disc->Medium = Medium;
        DiscReport Disc;
        ASSERT_EQ(R.Burner->DescribeDisc(u'E', Disc), 0);
        EXPECT_EQ(Disc.Kind, Kind) << QueltTest::Utf8(Medium);
    }
    ReadyBurner Told;
    Told.Host->Disc.emplace();
    Told.Host->Disc->Status = QueryStatus::Answered;
    Told.Host->Disc->Medium = u"CD-R";
    Told.Host->Disc->Kind = TMediumKind::Virtual;
    DiscReport Disc;
    ASSERT_EQ(Told.Burner->DescribeDisc(u'E', Disc), 0);
    EXPECT_EQ(Disc.Kind, TMediumKind::Virtual) << "the host's own kind stands";
}

// The free space is the one a burn with the component's settings would have: a virtual disc grows
// to the kind asked for, and an audio CD counts audio sectors and needs a blank disc.
TEST(FrontEndQueries, FreeSpaceIsTheBurnsOwn) {
    using Queltburner::DiscState;
    using Queltburner::TDiskType;
    constexpr std::uint64_t Cd = 2048ULL * 1000;
    constexpr std::uint64_t Dvd = 2048ULL * 5000;
    const struct {
        const char* Name;
        TDiskType Kind;
        bool Dvd;
        DiscState State;
        std::uint64_t AsCd;
        std::uint64_t AsDvd;
        std::uint64_t Free;
    } Rows[] = {
        {"virtual, data", Queltburner::dtData, false, DiscState::Blank, Cd, Dvd, Cd},
        {"virtual, data with DVD", Queltburner::dtData, true, DiscState::Appendable, Cd, Dvd, Dvd},
        {"virtual, DVD-Video", Queltburner::dtDVDVideo, false, DiscState::Blank, Cd, Dvd, Dvd},
        {"virtual, audio", Queltburner::dtAudio, true, DiscState::Blank, Cd, Dvd, 2352ULL * 1000},
        {"virtual, audio on data", Queltburner::dtAudio, false, DiscState::Appendable, Cd, Dvd, 0},
        {"real, data with DVD", Queltburner::dtData, true, DiscState::Appendable, 0, 0, 4096},
        {"real, audio", Queltburner::dtAudio, false, DiscState::Blank, 0, 0, 2352ULL * 2},
    };
    for (const auto& Row : Rows) {
        ReadyBurner R;
        R.Host->Disc.emplace();
        R.Host->Disc->Status = QueryStatus::Answered;
        R.Host->Disc->State = Row.State;
        R.Host->Disc->FreeBytes = 4096;
        R.Host->Disc->FreeBytesAsCD = Row.AsCd;
        R.Host->Disc->FreeBytesAsDVD = Row.AsDvd;
        R.Burner->SetDiskType(Row.Kind);
        R.Burner->SetDVD(Row.Dvd);
        DiscReport Disc;
        ASSERT_EQ(R.Burner->DescribeDisc(u'E', Disc), 0);
        EXPECT_EQ(Disc.FreeBytes, Row.Free) << Row.Name;
        EXPECT_EQ(Disc.FreeBytesAsCD, Row.AsCd) << Row.Name;
    }
}

} // namespace
