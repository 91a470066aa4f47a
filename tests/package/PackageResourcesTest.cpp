// The resources as the built package carries them, read through the Windows resource API and
// compared with what the generator wrote.
#include "PackageInfoChecks.hpp"
#include "ResourceBytes.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>

namespace {

using namespace QueltPackageTest;

constexpr WORD Neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr WORD UsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::wstring PackagePath() {
    return std::filesystem::path(QUELT_PACKAGE_PATH).make_preferred().wstring();
}

// The .bmp without its file header, as BITMAP resources are stored.
Bytes BitmapResource() {
    const Bytes File = Generated("TQUELTBURNER.bmp");
    return {File.begin() + 14, File.end()};
}

// The one image of the .ico, from where its directory entry says.
Bytes IconImage() {
    const Bytes File = Generated("MAINICON.ico");
    const auto Begin = File.begin() + Le(File, 18, 4);
    return {Begin, Begin + Le(File, 14, 4)};
}

// GRPICONDIR: the .ico's directory, with the image's offset replaced by its resource number, 1.
Bytes IconGroup() {
    const Bytes File = Generated("MAINICON.ico");
    Bytes Group(6 + 14, 0);
    std::copy(File.begin(), File.begin() + 6 + 12, Group.begin());
    Group[6 + 12] = 1;
    return Group;
}

// Resource types by number (RT_RCDATA and friends follow the build's UNICODE setting).
constexpr WORD Bitmap = 2;
constexpr WORD Icon = 3;
constexpr WORD RcData = 10;
constexpr WORD GroupIcon = 14;

struct Expected {
    WORD TypeId;
    const wchar_t* Name;
    WORD Language;
    Bytes (*Content)();
};

const Expected Resources[] = {
    {RcData, L"DESCRIPTION", Neutral, [] { return Generated("DESCRIPTION.bin"); }},
    {RcData, L"PACKAGEINFO", Neutral, [] { return Generated("PACKAGEINFO.bin"); }},
    {RcData, L"PACKAGEOPTIONS", Neutral, [] { return Generated("PACKAGEOPTIONS.bin"); }},
    {RcData, L"PLATFORMTARGETS", UsEnglish, [] { return Generated("PLATFORMTARGETS.bin"); }},
    {Bitmap, L"TQUELTBURNER", UsEnglish, BitmapResource},
    {GroupIcon, L"MAINICON", UsEnglish, IconGroup},
    {Icon, MAKEINTRESOURCEW(1), UsEnglish, IconImage},
};

const wchar_t* TypeOf(const Expected& R) {
    return MAKEINTRESOURCEW(R.TypeId);
}

std::string Describe(const Expected& R) {
    const auto Id = reinterpret_cast<ULONG_PTR>(R.Name);
    const std::string Name =
        IS_INTRESOURCE(R.Name) ? "#" + std::to_string(Id) : std::filesystem::path(R.Name).string();
    return "type " + std::to_string(R.TypeId) + " " + Name;
}

class PackageResources : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Module = LoadLibraryExW(PackagePath().c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (Module != nullptr) {
            FreeLibrary(Module);
        }
    }
    void SetUp() override { ASSERT_NE(Module, nullptr) << "error " << GetLastError(); }

    static Bytes Load(const Expected& R, WORD Language) {
        HRSRC Found = FindResourceExW(Module, TypeOf(R), R.Name, Language);
        if (Found == nullptr) {
            return {};
        }
        const auto* Data =
            static_cast<const std::uint8_t*>(LockResource(LoadResource(Module, Found)));
        return {Data, Data + SizeofResource(Module, Found)};
    }

    static HMODULE Module;
};

HMODULE PackageResources::Module = nullptr;

TEST_F(PackageResources, HoldWhatTheGeneratorWroteUnderTheirLanguage) {
    for (const Expected& R : Resources) {
        const Bytes Content = Load(R, R.Language);
        EXPECT_FALSE(Content.empty()) << Describe(R) << " not found";
        EXPECT_EQ(Content, R.Content()) << Describe(R);
    }
}

TEST_F(PackageResources, EachHasOneLanguageOnly) {
    for (const Expected& R : Resources) {
        std::set<WORD> Languages;
        EnumResourceLanguagesW(
            Module, TypeOf(R), R.Name,
            [](HMODULE, LPCWSTR, LPCWSTR, WORD Language, LONG_PTR Into) -> BOOL {
                reinterpret_cast<std::set<WORD>*>(Into)->insert(Language);
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&Languages));
        EXPECT_EQ(Languages, std::set<WORD>{R.Language}) << Describe(R);
    }
}

TEST_F(PackageResources, InUsEnglishAreNotFoundUnderAnotherLanguage) {
    // A request for a language falls back to that language's neutral sublanguage and then to
    // neutral, never to a sibling; so only the US English resources can be missed this way (the
    // neutral ones are checked by their one language above).
    const WORD Others[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK),
                           MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN)};
    for (const Expected& R : Resources) {
        for (const WORD Other : Others) {
            if (R.Language == UsEnglish) {
                EXPECT_EQ(FindResourceExW(Module, TypeOf(R), R.Name, Other), nullptr)
                    << Describe(R) << " under language " << Other;
            }
        }
    }
}

// Decoded from the package itself, not only compared with the generator's file.
TEST_F(PackageResources, PackageInfoInThePackageDecodesFieldByField) {
    const Bytes Info = Load(Resources[1], Neutral);
    ASSERT_FALSE(Info.empty());
    ExpectPackageInfoFlags(Info);
    ExpectPackageInfoFields(Info);
}

} // namespace
