// The resource files the build generated, decoded as the package loader and Windows read them.
#include "ResourceBytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace {

using namespace QueltPackageTest;

// Reads fields in stored order; a read past the end throws, which fails the test.
class FieldReader {
public:
    explicit FieldReader(Bytes Data) : FData(std::move(Data)) {}

    std::uint32_t U8() { return Take(1); }
    std::uint32_t U32() { return Take(4); }
    std::string CString() {
        const auto End =
            std::find(FData.begin() + static_cast<std::ptrdiff_t>(FPos), FData.end(), 0);
        if (End == FData.end()) {
            throw std::out_of_range("no NUL after the string at " + std::to_string(FPos));
        }
        std::string Text(FData.begin() + static_cast<std::ptrdiff_t>(FPos), End);
        FPos += Text.size() + 1;
        return Text;
    }
    std::string ShortString() {
        const std::size_t Length = U8();
        std::string Text;
        for (std::size_t I = 0; I < Length; ++I) {
            Text += static_cast<char>(U8());
        }
        return Text;
    }
    std::size_t Pos() const { return FPos; }
    const Bytes& Data() const { return FData; }

private:
    std::uint32_t Take(std::size_t Size) {
        const std::uint32_t Value = Le(FData, FPos, Size);
        FPos += Size;
        return Value;
    }

    Bytes FData;
    std::size_t FPos = 0;
};

// The hash PackageInfo.txt's reader documents: rotate the byte left by one bit, then XOR in the
// next character, upper-cased.
std::uint32_t DocumentedNameHash(std::string_view Name) {
    std::uint32_t Hash = 0;
    for (const char C : Name) {
        const auto Upper = static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(C)));
        Hash = (((Hash << 1U) | (Hash >> 7U)) & 0xFFU) ^ Upper;
    }
    return Hash;
}

constexpr std::string_view Description = "QueltBurner 1.78";

TEST(PackageInfo, FlagsAreANeverBuildPackageLibraryFromDelphi) {
    const std::uint32_t Flags = FieldReader(Generated("PACKAGEINFO.bin")).U32();
    EXPECT_EQ(Flags, 0x4C100001U);
    const struct {
        const char* Field;
        unsigned Shift;
        std::uint32_t Mask;
        std::uint32_t Expected;
    } Rows[] = {
        {"never build", 0, 1, 1},  {"design-time only", 1, 1, 0}, {"run-time only", 2, 1, 0},
        {"bit 3", 3, 1, 0},        {"bit 20", 20, 1, 1},          {"producer", 26, 3, 3},
        {"module type", 30, 3, 1},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ((Flags >> Row.Shift) & Row.Mask, Row.Expected) << Row.Field;
    }
}

TEST(PackageInfo, ListsRequiredPackagesUnitsAndItsOwnNameThenPadsToFourBytes) {
    FieldReader Info(Generated("PACKAGEINFO.bin"));
    Info.U32(); // the flags
    const std::string_view Requires[] = {"vclx180.bpl", "vcl180.bpl", "rtl180.bpl"};
    ASSERT_EQ(Info.U32(), std::size(Requires));
    for (const std::string_view Expected : Requires) {
        const std::uint32_t Hash = Info.U8();
        EXPECT_EQ(Info.CString(), Expected);
        EXPECT_EQ(Hash, DocumentedNameHash(Expected)) << Expected;
    }
    const struct {
        std::string_view Name;
        std::uint32_t Flags;
    } Units[] = {{"QueltBurnerPack", 3}, {"QueltBurner", 0}, {"SysInit", 0}};
    ASSERT_EQ(Info.U32(), std::size(Units));
    for (const auto& Expected : Units) {
        EXPECT_EQ(Info.U8(), Expected.Flags) << Expected.Name;
        const std::uint32_t Hash = Info.U8();
        EXPECT_EQ(Info.CString(), Expected.Name);
        EXPECT_EQ(Hash, DocumentedNameHash(Expected.Name)) << Expected.Name;
    }
    const std::uint32_t Hash = Info.U8();
    EXPECT_EQ(Info.CString(), "QueltBurnerPack");
    EXPECT_EQ(Hash, DocumentedNameHash("QueltBurnerPack"));

    const Bytes& Data = Info.Data();
    EXPECT_EQ(Data.size(), (Info.Pos() + 3) / 4 * 4) << "padding to the next multiple of 4 only";
    EXPECT_TRUE(std::all_of(Data.begin() + static_cast<std::ptrdiff_t>(Info.Pos()), Data.end(),
                            [](std::uint8_t B) { return B == 0; }));
}

TEST(PackageStrings, DescriptionIsUtf16WithAClosingNul) {
    Bytes Expected;
    for (const char C : Description) {
        Expected.insert(Expected.end(), {static_cast<std::uint8_t>(C), 0});
    }
    Expected.insert(Expected.end(), {0, 0});
    EXPECT_EQ(Generated("DESCRIPTION.bin"), Expected);
}

TEST(PackageStrings, OptionsAreFortyFourSwitchesThenThreeShortStrings) {
    FieldReader Options(Generated("PACKAGEOPTIONS.bin"));
    for (int I = 0; I < 44; ++I) {
        Options.U8();
    }
    EXPECT_EQ(Options.ShortString(), "DEBUG;");
    EXPECT_EQ(Options.ShortString(),
              "WinTypes=Winapi.Windows;WinProcs=Winapi.Windows;DbiTypes=BDE;DbiProcs=BDE;"
              "DbiErrs=BDE");
    EXPECT_EQ(Options.ShortString(), Description);
    EXPECT_EQ(Options.Pos(), Options.Data().size()) << "nothing after the description";
}

TEST(PackageStrings, OptionSwitchesAgreeWithThePackageFlags) {
    // Bytes 31 to 33 repeat the flags: implicit build (the opposite of never build), design-time
    // only, run-time only.
    const Bytes Options = Generated("PACKAGEOPTIONS.bin");
    const std::uint32_t Flags = Le(Generated("PACKAGEINFO.bin"), 0, 4);
    EXPECT_EQ(Le(Options, 31, 1), (Flags & 1U) ^ 1U);
    EXPECT_EQ(Le(Options, 32, 1), (Flags >> 1U) & 1U);
    EXPECT_EQ(Le(Options, 33, 1), (Flags >> 2U) & 1U);
}

TEST(PackageStrings, PlatformTargetsAreWin32AndWin64) {
    const Bytes Targets = Generated("PLATFORMTARGETS.bin");
    ASSERT_EQ(Targets.size(), 2U);
    EXPECT_EQ(Le(Targets, 0, 2), 3U);
}

} // namespace
