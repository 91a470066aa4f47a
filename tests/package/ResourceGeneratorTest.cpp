// The resource files the build generated, decoded as the package loader and Windows read them.
#include "PackageInfoChecks.hpp"
#include "ResourceBytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace {

using namespace QueltPackageTest;

constexpr std::string_view Description = "QueltBurner 1.78";

TEST(PackageInfo, FlagsAreANeverBuildPackageLibraryFromDelphi) {
    ExpectPackageInfoFlags(Generated("PACKAGEINFO.bin"));
}

TEST(PackageInfo, ListsRequiredPackagesUnitsAndItsOwnNameThenPadsToFourBytes) {
    ExpectPackageInfoFields(Generated("PACKAGEINFO.bin"));
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
