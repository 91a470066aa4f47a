// Whatever a setting holds, the tool reads back exactly that value: the composed command line,
// split by the C runtime's rules, gives back every quoted value unchanged.
#include "CommandLineSplit.hpp"
#include "QueltBurner.hpp"
#include "RecordingHost.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Queltburner::TQueltBurner;
using QueltTest::RecordingHost;
using System::UnicodeString;

const UnicodeString Tool = u"/opt/nero/NeroCmd.exe";

struct Fixture {
    std::shared_ptr<RecordingHost> Host = std::make_shared<RecordingHost>();
    std::unique_ptr<TQueltBurner> Burner;

    Fixture() {
        Host->MakeReady(u'E', Tool);
        Burner = std::make_unique<TQueltBurner>(nullptr, Host);
        Burner->NeroCmdLocation = Tool;
    }

    // The tool's argv for a data burn with Value as the label and as the one entry.
    std::vector<UnicodeString> ArgvFor(const UnicodeString& Value) {
        Burner->SetVolumeLabel(Value);
        Burner->Files()->Clear();
        Burner->Files()->Add(Value);
        Host->Files.insert(Value);
        Host->Starts.clear();
        EXPECT_EQ(Burner->BurnData(u'E'), 0);
        Host->Files.erase(Value);
        return Queltburner::SplitCommandLine(Host->LastStart().CommandLine);
    }
};

// An entry as the tool reads it: one named like a switch is a path in the working folder.
UnicodeString AsEntry(const UnicodeString& Value) {
    return Value.starts_with(u'-') ? UnicodeString{u'.', System::Sysutils::PathDelim} + Value
                                   : Value;
}

// Positions in the data command's argv with the initial settings and one entry.
constexpr std::size_t LabelIndex = 9;
constexpr std::size_t EntryIndex = 11;

TEST(QuotingRoundTrip, AwkwardValuesReachTheToolUnchanged) {
    Fixture F;
    const UnicodeString Values[] = {
        u"",
        u" ",
        u"two words",
        u"  padded  ",
        u"C:\\Audio\\",
        u"C:\\Audio\\\\",
        u"\\",
        u"\"",
        u"\"\"",
        u"a\\\"b",
        u"a\\\\\"b",
        u"x\" --erase --entire \"",
        u"tab\there",
        u"line\nbreak\r\n",
        u"\U0001F4BF disc \u00e9\u4e2d",
        u"--force_erase_disk",
        u"-",
        u"%PATH% !x! ^&|<>",
    };
    for (const UnicodeString& Value : Values) {
        const std::vector<UnicodeString> Argv = F.ArgvFor(Value);
        ASSERT_EQ(Argv.size(), EntryIndex + 1) << testing::PrintToString(Value);
        EXPECT_EQ(Argv[LabelIndex], Value);
        EXPECT_EQ(Argv[EntryIndex], AsEntry(Value));
        EXPECT_EQ(Argv[0], Tool);
    }
}

// Every text up to six characters over the characters that matter to the rules.
TEST(QuotingRoundTrip, ExhaustiveOverShortValues) {
    Fixture F;
    const char16_t Alphabet[] = {u'\\', u'"', u' ', u'\t', u'a', u'\n'};
    std::vector<UnicodeString> Level{u""};
    std::size_t Checked = 0;
    for (int Length = 0; Length <= 6; ++Length) {
        for (const UnicodeString& Value : Level) {
            const std::vector<UnicodeString> Argv = F.ArgvFor(Value);
            ASSERT_EQ(Argv.size(), EntryIndex + 1) << testing::PrintToString(Value);
            ASSERT_EQ(Argv[LabelIndex], Value);
            ASSERT_EQ(Argv[EntryIndex], Value);
            ++Checked;
        }
        std::vector<UnicodeString> Next;
        Next.reserve(Level.size() * std::size(Alphabet));
        for (const UnicodeString& Value : Level) {
            for (const char16_t C : Alphabet) {
                Next.push_back(Value + C);
            }
        }
        Level = std::move(Next);
    }
    EXPECT_EQ(Checked, 55987U); // 6^0 + 6^1 + ... + 6^6
}

TEST(QuotingRoundTrip, ToolPathIsReadBackAsTheProgram) {
    const UnicodeString Paths[] = {
        u"/opt/nero/NeroCmd.exe",
        u"/opt/Nero Burning Rom/NeroCmd.exe",
        u"C:\\Program Files\\Nero\\NeroCmd.exe",
        u"/opt/tab\there/NeroCmd.exe",
        u"C:\\trailing\\",
        u"NeroCmd.exe",
    };
    for (const UnicodeString& Path : Paths) {
        auto Host = std::make_shared<RecordingHost>();
        Host->MakeReady(u'E', Path);
        TQueltBurner Burner(nullptr, Host);
        Burner.NeroCmdLocation = Path;
        ASSERT_EQ(Burner.BurnData(u'E'), 0);
        const std::vector<UnicodeString> Argv =
            Queltburner::SplitCommandLine(Host->LastStart().CommandLine);
        EXPECT_EQ(Argv[0], Path);
        EXPECT_EQ(Argv[1], u"--write");
        EXPECT_EQ(Host->LastStart().Application, Path);
    }
}

} // namespace
