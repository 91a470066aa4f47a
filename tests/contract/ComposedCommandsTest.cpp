// Every command the component composes, read by the tool's grammar: each operation with every
// setting off, with each setting turned on alone and with all of them on must be recognised as
// that operation's command, carrying exactly the options its settings ask for, the drive and the
// entries it was given. A name the composer and the grammar spelled differently shows up here as
// a refused line, a missing option or an option read as an entry.
#include "ReadCommand.hpp"
#include "ReadyBurner.hpp"
#include "ToolOptions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <set>
#include <span>
#include <string_view>
#include <vector>

namespace {

using Queltburner::TDiskType;
using Queltburner::TQueltBurner;
using System::UnicodeString;
using ToolGrammar::CommandKind;
namespace Arg = ToolContract::Arg;

using Names = std::set<std::string_view>;

// A setting that reaches the command line as an option of its own, and how to turn it on.
struct Setting {
    std::string_view Option;
    void (*TurnOn)(TQueltBurner&);
};

constexpr std::array<Setting, 12> Settings{{
    {Arg::Tao, [](TQueltBurner& B) { B.SetTao(true); }},
    {Arg::Artist, [](TQueltBurner& B) { B.SetArtist(u"The Band"); }},
    {Arg::Title, [](TQueltBurner& B) { B.SetTitle(u"Live"); }},
    {Arg::Import, [](TQueltBurner& B) { B.SetContinueSession(1); }},
    {Arg::SpeedTest, [](TQueltBurner& B) { B.SetSpeedTest(true); }},
    {Arg::CloseSession, [](TQueltBurner& B) { B.SetCloseSession(true); }},
    {Arg::DetectNonEmptyDisk, [](TQueltBurner& B) { B.SetDetectNonEmptyDisk(true); }},
    {Arg::UnderrunProtection, [](TQueltBurner& B) { B.SetUnderrunProtection(true); }},
    {Arg::DisableEject, [](TQueltBurner& B) { B.SetDisableEject(true); }},
    {Arg::Verify, [](TQueltBurner& B) { B.SetVerify(true); }},
    {Arg::Dvd, [](TQueltBurner& B) { B.SetDVD(true); }},
    {Arg::ForceEraseDisk, [](TQueltBurner& B) { B.SetForceEraseDisk(true); }},
}};

enum class Op { Data, Audio, Video, SuperVideo, DVDVideo, Image, Erase, FullErase, Eject, Burn };

struct Row {
    const char* Name;
    Op Operation;
    TDiskType DiskType; // what Burn writes; the other operations ignore it
    CommandKind Kind;
    bool TakesEntries;
    std::span<const std::string_view> Fixed; // the options of the line with every setting off
    std::span<const std::string_view> Reads; // those of the settings it carries when they are on
};

constexpr std::array DataFixed{Arg::Write,     Arg::DriveName, Arg::Real,
                               Arg::Recursive, Arg::Speed,     Arg::Iso};
constexpr std::array DataReads{Arg::Tao,
                               Arg::Artist,
                               Arg::Title,
                               Arg::Import,
                               Arg::SpeedTest,
                               Arg::CloseSession,
                               Arg::DetectNonEmptyDisk,
                               Arg::UnderrunProtection,
                               Arg::DisableEject,
                               Arg::Verify,
                               Arg::Dvd,
                               Arg::ForceEraseDisk};
constexpr std::array DvdVideoFixed{
    Arg::Write, Arg::DriveName,   Arg::Real,        Arg::Recursive,   Arg::Speed,          Arg::Iso,
    Arg::Dvd,   Arg::CreateIsoFs, Arg::CreateUdfFs, Arg::IsoNoJoliet, Arg::DvdVideoRealloc};
constexpr std::array DvdVideoReads{Arg::Tao,
                                   Arg::Artist,
                                   Arg::Title,
                                   Arg::SpeedTest,
                                   Arg::CloseSession,
                                   Arg::DetectNonEmptyDisk,
                                   Arg::UnderrunProtection,
                                   Arg::DisableEject,
                                   Arg::Verify,
                                   Arg::ForceEraseDisk};
constexpr std::array AudioFixed{Arg::Write,     Arg::DriveName, Arg::Real,
                                Arg::Recursive, Arg::Speed,     Arg::Audio};
constexpr std::array AudioReads{Arg::Tao, Arg::Artist, Arg::Title, Arg::DisableEject};
constexpr std::array VideoReads{Arg::Tao, Arg::DisableEject, Arg::SpeedTest, Arg::CloseSession,
                                Arg::ForceEraseDisk};
constexpr std::array VideoCdFixed{Arg::Write,   Arg::DriveName, Arg::Real,
                                  Arg::VideoCd, Arg::Recursive, Arg::Speed};
constexpr std::array SuperVideoCdFixed{Arg::Write,        Arg::DriveName, Arg::Real,
                                       Arg::SuperVideoCd, Arg::Recursive, Arg::Speed};
constexpr std::array ImageFixed{Arg::Write, Arg::DriveName, Arg::Real, Arg::Image, Arg::Speed};
constexpr std::array ImageReads{Arg::Tao,
                                Arg::Dvd,
                                Arg::SpeedTest,
                                Arg::CloseSession,
                                Arg::DetectNonEmptyDisk,
                                Arg::UnderrunProtection,
                                Arg::DisableEject,
                                Arg::ForceEraseDisk};

constexpr std::array EraseFixed{Arg::Erase, Arg::DriveName};
constexpr std::array FullEraseFixed{Arg::Erase, Arg::Entire, Arg::DriveName};
constexpr std::array EjectFixed{Arg::Eject, Arg::DriveName};
constexpr std::span<const std::string_view> Nothing;

// A failing row is named by its name, not its bytes.
void PrintTo(const Row& R, std::ostream* Out) {
    *Out << R.Name;
}

// A kind past the Super Video CD, which Burn writes as DVD-Video.
constexpr auto PastTheKinds = static_cast<TDiskType>(9);

constexpr Row Rows[] = {
    {"Data", Op::Data, Queltburner::dtData, CommandKind::DataDisc, true, DataFixed, DataReads},
    {"Audio", Op::Audio, Queltburner::dtData, CommandKind::AudioCd, true, AudioFixed, AudioReads},
    {"Video", Op::Video, Queltburner::dtData, CommandKind::VideoCd, true, VideoCdFixed, VideoReads},
    {"SuperVideo", Op::SuperVideo, Queltburner::dtData, CommandKind::SuperVideoCd, true,
     SuperVideoCdFixed, VideoReads},
    {"DVDVideo", Op::DVDVideo, Queltburner::dtData, CommandKind::DvdVideo, true, DvdVideoFixed,
     DvdVideoReads},
    {"Image", Op::Image, Queltburner::dtData, CommandKind::Image, false, ImageFixed, ImageReads},
    {"Erase", Op::Erase, Queltburner::dtData, CommandKind::Erase, false, EraseFixed, Nothing},
    {"FullErase", Op::FullErase, Queltburner::dtData, CommandKind::Erase, false, FullEraseFixed,
     Nothing},
    {"Eject", Op::Eject, Queltburner::dtData, CommandKind::Eject, false, EjectFixed, Nothing},
    {"BurnData", Op::Burn, Queltburner::dtData, CommandKind::DataDisc, true, DataFixed, DataReads},
    {"BurnAudio", Op::Burn, Queltburner::dtAudio, CommandKind::AudioCd, true, AudioFixed,
     AudioReads},
    {"BurnVideo", Op::Burn, Queltburner::dtVideo, CommandKind::VideoCd, true, VideoCdFixed,
     VideoReads},
    {"BurnSuperVideo", Op::Burn, Queltburner::dtSuperVideo, CommandKind::SuperVideoCd, true,
     SuperVideoCdFixed, VideoReads},
    {"BurnDVDVideo", Op::Burn, Queltburner::dtDVDVideo, CommandKind::DvdVideo, true, DvdVideoFixed,
     DvdVideoReads},
    {"BurnPastTheKinds", Op::Burn, PastTheKinds, CommandKind::DvdVideo, true, DvdVideoFixed,
     DvdVideoReads},
};

constexpr std::u16string_view ImageFile = u"disc image.iso";
// Plain names, a blank, a non-ASCII letter and a backslash before the closing quote: entries the
// tool must read back as they are, never as options.
constexpr std::array<std::u16string_view, 4> EntryNames{u"notes.txt", u"two words", u"B\u00fccher",
                                                        u"ends with\\"};

// A ready component with every setting off and the entries in place.
struct Composer : QueltTest::ReadyBurner {
    explicit Composer(const Row& R) : Which(R) {
        Burner->SetTao(false);
        Burner->SetArtist(u"");
        Burner->SetTitle(u"");
        Burner->SetContinueSession(-1);
        Burner->SetSpeedTest(false);
        Burner->SetCloseSession(false);
        Burner->SetDetectNonEmptyDisk(false);
        Burner->SetUnderrunProtection(false);
        Burner->SetDisableEject(false);
        Burner->SetVerify(false);
        Burner->SetDVD(false);
        Burner->SetForceEraseDisk(false);
        Burner->SetDiskType(R.DiskType);
        Host->Files.insert(UnicodeString(ImageFile));
        for (const std::u16string_view Entry : EntryNames) {
            AddFile(UnicodeString(Entry));
        }
    }

    // The command line the operation starts the tool with.
    UnicodeString Compose() {
        const int Result = Run();
        EXPECT_EQ(Result, 0);
        return Host->Starts.empty() ? UnicodeString() : Host->LastStart().CommandLine;
    }

    int Run() {
        switch (Which.Operation) {
        case Op::Data:
            return Burner->BurnData(u'E');
        case Op::Audio:
            return Burner->BurnAudio(u'E');
        case Op::Video:
            return Burner->BurnVideo(u'E');
        case Op::SuperVideo:
            return Burner->BurnSuperVideo(u'E');
        case Op::DVDVideo:
            return Burner->BurnDVDVideo(u'E');
        case Op::Image:
            return Burner->BurnImage(UnicodeString(ImageFile), u'E');
        case Op::Erase:
        case Op::FullErase:
            return Burner->Erase(u'E', Which.Operation == Op::FullErase);
        case Op::Eject:
            return Burner->Eject(u'E');
        case Op::Burn:
            return Burner->Burn(u'E');
        }
        return -100;
    }

    const Row& Which;
};

class ComposedCommands : public ::testing::TestWithParam<Row> {
protected:
    // The line must be the row's command with exactly the options Expected, the drive and the
    // entries as given.
    static void ExpectRead(const UnicodeString& Line, const Names& Expected) {
        const Row& R = GetParam();
        const QueltTest::ReadCommand Read(Line);
        const ToolGrammar::Recognition& Seen = Read.Recognition;
        ASSERT_TRUE(Seen.Accepted) << Seen.Text;
        EXPECT_EQ(Seen.Kind, R.Kind);
        Names Present;
        for (const auto& Given : Seen.Command.Present) {
            Present.insert(Given.Name);
        }
        EXPECT_EQ(Present, Expected);
        EXPECT_EQ(Seen.Command.Value(Arg::DriveName), std::optional<std::string_view>("E"));
        std::vector<std::string> Entries(Seen.Command.Entries.begin(), Seen.Command.Entries.end());
        std::vector<std::string> Given;
        if (R.TakesEntries) {
            for (const std::u16string_view Entry : EntryNames) {
                Given.push_back(System::Sysutils::StringToFileName(Entry));
            }
        }
        EXPECT_EQ(Entries, Given);
    }
};

TEST_P(ComposedCommands, EverySettingOffIsTheCommandAlone) {
    Composer C(GetParam());
    ExpectRead(C.Compose(), Names(GetParam().Fixed.begin(), GetParam().Fixed.end()));
}

TEST_P(ComposedCommands, EachSettingOnAloneAddsItsOptionWhereTheCommandReadsIt) {
    for (const Setting& S : Settings) {
        SCOPED_TRACE(std::string(S.Option));
        Composer C(GetParam());
        S.TurnOn(*C.Burner);
        Names Expected(GetParam().Fixed.begin(), GetParam().Fixed.end());
        if (std::find(GetParam().Reads.begin(), GetParam().Reads.end(), S.Option) !=
            GetParam().Reads.end()) {
            Expected.insert(S.Option);
        }
        ExpectRead(C.Compose(), Expected);
    }
}

TEST_P(ComposedCommands, EverySettingOnAddsEveryOptionTheCommandReads) {
    Composer C(GetParam());
    for (const Setting& S : Settings) {
        S.TurnOn(*C.Burner);
    }
    Names Expected(GetParam().Fixed.begin(), GetParam().Fixed.end());
    Expected.insert(GetParam().Reads.begin(), GetParam().Reads.end());
    ExpectRead(C.Compose(), Expected);
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, ComposedCommands, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<Row>& Info) {
                             return std::string(Info.param.Name);
                         });

} // namespace
