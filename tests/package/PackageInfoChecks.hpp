// PACKAGEINFO decoded field by field, for the generated file and for the resource in the package.
#pragma once

#include "ResourceBytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <string_view>

namespace QueltPackageTest {

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
inline std::uint32_t DocumentedNameHash(std::string_view Name) {
    std::uint32_t Hash = 0;
    for (const char C : Name) {
        const auto Upper = static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(C)));
        Hash = (((Hash << 1U) | (Hash >> 7U)) & 0xFFU) ^ Upper;
    }
    return Hash;
}

// The flags: a never-build package library, usable at design time and at run time.
inline void ExpectPackageInfoFlags(const Bytes& PackageInfo) {
    const std::uint32_t Flags = FieldReader(PackageInfo).U32();
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

// The required packages, the contained units and the package's own name, then the padding.
inline void ExpectPackageInfoFields(const Bytes& PackageInfo) {
    FieldReader Info(PackageInfo);
    Info.U32(); // the flags
    const std::string_view Requires[] = {"vclx180.bpl", "vcl180.bpl", "rtl180.bpl"};
    ASSERT_EQ(Info.U32(), std::size(Requires)) << "required packages";
    for (const std::string_view Expected : Requires) {
        const std::uint32_t Hash = Info.U8();
        EXPECT_EQ(Info.CString(), Expected);
        EXPECT_EQ(Hash, DocumentedNameHash(Expected)) << Expected;
    }
    const struct {
        std::string_view Name;
        std::uint32_t Flags;
    } Units[] = {{"QueltBurnerPack", 3}, {"QueltBurner", 0}, {"SysInit", 0}};
    ASSERT_EQ(Info.U32(), std::size(Units)) << "contained units";
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

} // namespace QueltPackageTest
