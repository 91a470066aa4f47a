// Values no one would type: every UTF-16 code unit in every quoted value, every code unit as a
// drive, a title of a megabyte and a list of a hundred thousand entries. Each value either reaches
// the tool exactly as the tool's runtime will split it, or the run is refused before it starts.
#include "CommandLineSplit.hpp"
#include "QueltBurner.hpp"
#include "ReadyBurner.hpp"

#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Queltburner::SplitCommandLine;
using Queltburner::TQueltBurner;
using QueltTest::ReadyBurner;
using QueltTest::ReadyTool;
using System::UnicodeString;

constexpr std::size_t ChunkSize = 64;

UnicodeString Chunk(std::size_t First) {
    UnicodeString Value;
    for (std::size_t Unit = First; Unit < First + ChunkSize && Unit <= 0xFFFF; ++Unit) {
        Value.push_back(static_cast<char16_t>(Unit));
    }
    return Value;
}

bool HoldsNul(const UnicodeString& Value) {
    return Value.find(u'\0') != UnicodeString::npos;
}

// The argument after the first occurrence of Option, as the tool will read it.
UnicodeString ValueAfter(const std::vector<UnicodeString>& Args, std::u16string_view Option) {
    const auto Found = std::find(Args.begin(), Args.end(), Option);
    if (Found == Args.end() || Found + 1 == Args.end()) {
        return u"<option missing>";
    }
    return *(Found + 1);
}

std::string Hex(std::size_t Value) {
    char Text[16];
    std::snprintf(Text, sizeof Text, "U+%04zX", Value);
    return Text;
}

// Each field: how a value is put into the component, how the operation runs, where the tool
// finds it, and what the component makes of it before quoting.
struct Field {
    const char* Name;
    std::function<void(ReadyBurner&, const UnicodeString&)> Set;
    std::function<int(ReadyBurner&, const UnicodeString&)> Run;
    std::function<UnicodeString(const std::vector<UnicodeString>&)> Find;
    std::function<UnicodeString(const UnicodeString&)> Expected;
};

const Field Fields[] = {
    {"title", [](ReadyBurner& R, const UnicodeString& V) { R.Burner->SetTitle(V); },
     [](ReadyBurner& R, const UnicodeString&) { return R.Burner->BurnData(u'E'); },
     [](const std::vector<UnicodeString>& A) { return ValueAfter(A, u"--title"); },
     [](const UnicodeString& V) { return System::Sysutils::Trim(V); }},
    {"volume label", [](ReadyBurner& R, const UnicodeString& V) { R.Burner->SetVolumeLabel(V); },
     [](ReadyBurner& R, const UnicodeString&) { return R.Burner->BurnData(u'E'); },
     [](const std::vector<UnicodeString>& A) { return ValueAfter(A, u"--iso"); },
     [](const UnicodeString& V) { return V; }},
    {"entry", [](ReadyBurner& R, const UnicodeString& V) { R.AddFile(V); },
     [](ReadyBurner& R, const UnicodeString&) { return R.Burner->BurnData(u'E'); },
     [](const std::vector<UnicodeString>& A) { return A.back(); },
     [](const UnicodeString& V) { return V; }},
    {"image name", [](ReadyBurner& R, const UnicodeString& V) { R.Host->Files.insert(V); },
     [](ReadyBurner& R, const UnicodeString& V) { return R.Burner->BurnImage(V, u'E'); },
     [](const std::vector<UnicodeString>& A) { return ValueAfter(A, u"--image"); },
     [](const UnicodeString& V) { return V; }},
};

TEST(HostileInput, EveryCodeUnitInEveryValueIsCarriedExactlyOrRefused) {
    for (const Field& F : Fields) {
        for (std::size_t First = 0; First <= 0xFFFF; First += ChunkSize) {
            const UnicodeString Value = Chunk(First);
            const UnicodeString Expected = F.Expected(Value);
            const std::string Case = std::string(F.Name) + " from " + Hex(First);
            ReadyBurner R;
            F.Set(R, Value);
            const int Result = F.Run(R, Value);
            if (HoldsNul(Expected)) {
                EXPECT_EQ(Result, -1) << Case;
                EXPECT_TRUE(R.Host->Starts.empty()) << Case;
                continue;
            }
            ASSERT_EQ(Result, 0) << Case;
            ASSERT_EQ(R.Host->Starts.size(), 1U) << Case;
            const std::vector<UnicodeString> Args =
                SplitCommandLine(R.Host->LastStart().CommandLine);
            ASSERT_FALSE(Args.empty()) << Case;
            EXPECT_EQ(Args.front(), ReadyTool) << Case;
            EXPECT_EQ(F.Find(Args), Expected) << Case;
            EXPECT_EQ(R.Host->OpenHandles(), 0U) << Case;
        }
    }
}

// With a NUL away from the ends, trimming cannot remove it: the title is refused as well.
TEST(HostileInput, NulInsideATrimmedTitleIsRefused) {
    for (const bool Synchronous : {true, false}) {
        ReadyBurner R;
        R.Burner->SetSynchronous(Synchronous);
        R.Burner->SetTitle(u"<" + Chunk(0) + u">");
        EXPECT_EQ(R.Burner->BurnData(u'E'), -1);
        EXPECT_TRUE(R.Host->Starts.empty());
        EXPECT_EQ(R.Events, Synchronous ? std::vector<std::string>{"OnError(-1)"}
                                        : std::vector<std::string>{});
    }
}

TEST(HostileInput, OnlyAsciiLettersPassAsDrives) {
    ReadyBurner R;
    for (std::uint32_t Unit = 0; Unit <= 0xFFFF; ++Unit) {
        // Every root is an optical drive here: only the letter rule can refuse a drive.
        R.Host->DriveTypes[static_cast<char16_t>(Unit)] = Queltburner::DriveTypeCdRom;
    }
    for (std::uint32_t Unit = 0; Unit <= 0xFFFF; ++Unit) {
        const auto Drive = static_cast<System::WideChar>(Unit);
        const bool Letter = (Drive >= u'A' && Drive <= u'Z') || (Drive >= u'a' && Drive <= u'z');
        R.Host->Calls.clear();
        R.Host->Messages.clear();
        R.Host->Starts.clear();
        const int Result = R.Burner->BurnData(Drive);
        if (Letter) {
            ASSERT_EQ(Result, 0) << Hex(Unit);
            ASSERT_EQ(R.Host->Starts.size(), 1U) << Hex(Unit);
            EXPECT_EQ(ValueAfter(SplitCommandLine(R.Host->LastStart().CommandLine), u"--drivename"),
                      UnicodeString(1, Drive))
                << Hex(Unit);
            EXPECT_EQ(R.Host->Calls.front().Args.at(0), (UnicodeString{Drive, u':', u'\\'}))
                << Hex(Unit);
        } else {
            ASSERT_EQ(Result, -2) << Hex(Unit);
            ASSERT_EQ(R.Host->Messages.size(), 1U) << Hex(Unit);
            EXPECT_EQ(R.Host->Messages[0], UnicodeString(u"Invalid drive ") + Drive + u".")
                << Hex(Unit);
            EXPECT_EQ(R.Host->CallNames(), std::vector<std::string>{"ShowErrorMessage"})
                << Hex(Unit);
        }
    }
    EXPECT_EQ(R.Host->OpenHandles(), 0U);
}

TEST(HostileInput, AMegabyteTitleIsCarriedWhole) {
    ReadyBurner R;
    const UnicodeString Pattern = u"a\\\"b \\\\\t\"\u00e9\U0001F4BF\\";
    UnicodeString Title = u"<";
    while (Title.size() < (1U << 20) - 1) {
        Title += Pattern;
    }
    Title.resize((1U << 20) - 1);
    Title += u">";
    R.Burner->SetTitle(Title);
    ASSERT_EQ(R.Burner->BurnData(u'E'), 0);
    const std::vector<UnicodeString> Args = SplitCommandLine(R.Host->LastStart().CommandLine);
    EXPECT_TRUE(ValueAfter(Args, u"--title") == Title);
}

TEST(HostileInput, AHundredThousandEntriesAreCarriedInOrder) {
    ReadyBurner R;
    std::vector<UnicodeString> Existing;
    for (int I = 0; I < 100000; ++I) {
        const UnicodeString Entry =
            u"C:\\data\\" + System::Sysutils::IntToStr(I) + (I % 4 == 2 ? u" \"quoted\"\\" : u"");
        if (I % 2 == 0) {
            R.Host->Files.insert(Entry);
            Existing.push_back(Entry);
        } else if (I % 4 == 1) {
            R.Host->Directories.insert(Entry + u"\\");
        }
        R.Burner->Files()->Add(Entry);
    }
    // Odd entries name nothing (a folder with one more backslash exists, and does not count).
    ASSERT_EQ(R.Burner->BurnData(u'E'), 0);
    const std::vector<UnicodeString> Args = SplitCommandLine(R.Host->LastStart().CommandLine);
    const auto FirstEntry = std::find(Args.begin(), Args.end(), u"--underrun_prot");
    ASSERT_NE(FirstEntry, Args.end());
    const std::vector<UnicodeString> Carried(FirstEntry + 1, Args.end());
    EXPECT_TRUE(Carried == Existing) << Carried.size() << " entries carried";
}

} // namespace
