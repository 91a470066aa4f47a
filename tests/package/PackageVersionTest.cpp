// The built package's version block, read as Explorer's properties page reads it.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::wstring PackagePath() {
    return std::filesystem::path(QUELT_PACKAGE_PATH).make_preferred().wstring();
}

class PackageVersion : public testing::Test {
protected:
    void SetUp() override {
        DWORD Ignored = 0;
        const DWORD Size = GetFileVersionInfoSizeW(PackagePath().c_str(), &Ignored);
        ASSERT_NE(Size, 0U) << "error " << GetLastError();
        FBlock.resize(Size);
        ASSERT_TRUE(GetFileVersionInfoW(PackagePath().c_str(), 0, Size, FBlock.data()));
    }

    // The value at Path, or nullptr; Length receives its length (characters for text).
    const void* Query(const std::wstring& Path, UINT& Length) const {
        void* Value = nullptr;
        Length = 0;
        return VerQueryValueW(FBlock.data(), Path.c_str(), &Value, &Length) ? Value : nullptr;
    }

    std::vector<std::uint8_t> FBlock;
};

TEST_F(PackageVersion, FixedInfoIsVersion1ForAWindowsApplication) {
    UINT Length = 0;
    const auto* Fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", Length));
    ASSERT_NE(Fixed, nullptr);
    ASSERT_EQ(Length, sizeof(VS_FIXEDFILEINFO));
    const struct {
        const char* Field;
        DWORD Value;
        DWORD Expected;
    } Rows[] = {
        {"signature", Fixed->dwSignature, 0xFEEF04BD},
        {"file version, high", Fixed->dwFileVersionMS, 0x00010000},
        {"file version, low", Fixed->dwFileVersionLS, 0},
        {"product version, high", Fixed->dwProductVersionMS, 0x00010000},
        {"product version, low", Fixed->dwProductVersionLS, 0},
        {"flags mask", Fixed->dwFileFlagsMask, 0x3F},
        {"flags", Fixed->dwFileFlags, 0},
        {"OS: 32-bit Windows", Fixed->dwFileOS, VOS__WINDOWS32},
        {"type: application", Fixed->dwFileType, VFT_APP},
        {"subtype", Fixed->dwFileSubtype, 0},
        {"date, high", Fixed->dwFileDateMS, 0},
        {"date, low", Fixed->dwFileDateLS, 0},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(Row.Value, Row.Expected) << Row.Field;
    }
}

TEST_F(PackageVersion, HasOneTranslationAndItsTwoStrings) {
    UINT Length = 0;
    const auto* Translation =
        static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation", Length));
    ASSERT_NE(Translation, nullptr);
    ASSERT_EQ(Length, 4U) << "one language and code page pair";
    EXPECT_EQ(Translation[0], 0x0409);
    EXPECT_EQ(Translation[1], 0x04E4);
    for (const wchar_t* Name : {L"FileVersion", L"ProductVersion"}) {
        const auto* Text = static_cast<const wchar_t*>(
            Query(std::wstring(L"\\StringFileInfo\\040904E4\\") + Name, Length));
        ASSERT_NE(Text, nullptr) << std::filesystem::path(Name).string();
        EXPECT_EQ(std::wstring(Text), L"1.0.0.0") << std::filesystem::path(Name).string();
    }
}

// Every key in the block, depth first: each entry is a length, a value length, a type, a
// NUL-terminated UTF-16 key, its value, then its children, each part aligned to four bytes.
void CollectKeys(const std::uint8_t* Entry, std::vector<std::wstring>& Keys) {
    const auto Word = [&](std::size_t Offset) {
        return static_cast<std::size_t>(Entry[Offset] | (Entry[Offset + 1] << 8));
    };
    const std::size_t Length = Word(0);
    const std::size_t ValueBytes = Word(2) * (Word(4) == 1 ? 2 : 1); // text counts characters
    std::wstring Key;
    std::size_t Pos = 6;
    for (; Word(Pos) != 0; Pos += 2) {
        Key += static_cast<wchar_t>(Word(Pos));
    }
    Keys.push_back(Key);
    Pos = ((Pos + 2 + 3) & ~std::size_t{3}) + ValueBytes;
    for (Pos = (Pos + 3) & ~std::size_t{3}; Pos < Length;
         Pos = (Pos + Word(Pos) + 3) & ~std::size_t{3}) {
        CollectKeys(Entry + Pos, Keys);
    }
}

TEST_F(PackageVersion, HoldsNothingElse) {
    std::vector<std::wstring> Keys;
    CollectKeys(FBlock.data(), Keys);
    const std::vector<std::wstring> Expected = {
        L"VS_VERSION_INFO", L"StringFileInfo", L"040904E4",   L"FileVersion",
        L"ProductVersion",  L"VarFileInfo",    L"Translation"};
    EXPECT_EQ(Keys, Expected);
}

} // namespace
