// The palette picture and the main icon the build generated: their headers, and what they show.
#include "ResourceBytes.hpp"

#include <gtest/gtest.h>

namespace {

using namespace QueltPackageTest;

struct Rgb {
    std::uint32_t Red, Green, Blue;
};

// Colours by what they depict; loose bounds, so that the artwork's shades can change.
enum class Look { Other, Orange, DarkRed, Black, Brown };

Look LookOf(const Rgb& C) {
    if (C.Red >= 200 && C.Green >= 80 && C.Green <= 190 && C.Blue <= 80) {
        return Look::Orange;
    }
    if (C.Red >= 100 && C.Red <= 190 && C.Green <= 60 && C.Blue <= 60) {
        return Look::DarkRed;
    }
    if (C.Red <= 40 && C.Green <= 40 && C.Blue <= 40) {
        return Look::Black;
    }
    if (C.Red >= 70 && C.Red <= 200 && C.Green * 100 >= C.Red * 35 && C.Green * 100 <= C.Red * 75 &&
        C.Blue * 2 <= C.Green) {
        return Look::Brown;
    }
    return Look::Other;
}

// A DIB's pixels as colours, top row first; Clear marks an icon's transparent pixels.
struct Pixels {
    std::size_t Width = 0;
    std::size_t Height = 0;
    std::vector<Rgb> Colour;
    std::vector<bool> Clear;

    bool Is(std::size_t X, std::size_t Y, Look Wanted) const {
        return !Clear[Y * Width + X] && LookOf(Colour[Y * Width + X]) == Wanted;
    }
    // The first and last rows (from the top) holding a pixel that looks one of the Wanted ways.
    std::pair<std::size_t, std::size_t> RowsOf(std::initializer_list<Look> Wanted) const {
        std::pair<std::size_t, std::size_t> Rows{Height, 0};
        for (std::size_t Y = 0; Y < Height; ++Y) {
            for (std::size_t X = 0; X < Width; ++X) {
                for (const Look L : Wanted) {
                    if (Is(X, Y, L)) {
                        Rows = {std::min(Rows.first, Y), std::max(Rows.second, Y)};
                    }
                }
            }
        }
        return Rows;
    }
};

Pixels DecodeDib(const Bytes& Data, std::size_t Dib, std::size_t Bits, bool WithMask) {
    Pixels P;
    P.Width = Le(Data, Dib + 4, 4);
    P.Height = Le(Data, Dib + 8, 4) / (WithMask ? 2 : 1);
    const std::size_t Table = Dib + 40;
    const std::size_t Image = Table + (std::size_t{1} << Bits) * 4;
    const std::size_t Stride = (P.Width * Bits + 31) / 32 * 4;
    const std::size_t Mask = Image + Stride * P.Height;
    for (std::size_t Y = 0; Y < P.Height; ++Y) {
        const std::size_t Row = P.Height - 1 - Y; // stored bottom-up
        for (std::size_t X = 0; X < P.Width; ++X) {
            const std::uint32_t Byte = Le(Data, Image + Row * Stride + X * Bits / 8, 1);
            const std::uint32_t Index = Bits == 8 ? Byte : (X % 2 == 0 ? Byte >> 4U : Byte & 15U);
            const std::size_t Entry = Table + std::size_t{Index} * 4;
            P.Colour.push_back(
                {Le(Data, Entry + 2, 1), Le(Data, Entry + 1, 1), Le(Data, Entry, 1)});
            const std::uint32_t MaskByte =
                WithMask ? Le(Data, Mask + Row * ((P.Width + 31) / 32 * 4) + X / 8, 1) : 0;
            P.Clear.push_back(((MaskByte << (X % 8)) & 0x80U) != 0);
        }
    }
    return P;
}

struct Field {
    const char* Name;
    std::size_t Offset;
    std::size_t Size;
    std::uint32_t Expected;
};

void ExpectFields(const Bytes& Data, std::initializer_list<Field> Fields) {
    for (const Field& F : Fields) {
        EXPECT_EQ(Le(Data, F.Offset, F.Size), F.Expected) << F.Name << " at " << F.Offset;
    }
}

// Flames (orange and dark red) in the upper part, the burner (black and brown) below them.
void ExpectFlamesOverTheBurner(const Pixels& P) {
    const auto Flames = P.RowsOf({Look::Orange, Look::DarkRed});
    const auto Burner = P.RowsOf({Look::Black, Look::Brown});
    for (const Look L : {Look::Orange, Look::DarkRed}) {
        EXPECT_LT(P.RowsOf({L}).first, P.Height / 2) << "flame colour " << static_cast<int>(L);
    }
    for (const Look L : {Look::Black, Look::Brown}) {
        EXPECT_GE(P.RowsOf({L}).second, P.Height / 2) << "burner colour " << static_cast<int>(L);
    }
    EXPECT_LT(Flames.second, Burner.first) << "the flames end above the burner's top";
}

TEST(PaletteBitmap, IsA16By16BottomUpBitmapOf8BitsWithA256ColourTable) {
    const Bytes Bmp = Generated("TQUELTBURNER.bmp");
    ASSERT_EQ(Bmp.size(), 14U + 40 + 1024 + 256);
    ExpectFields(Bmp, {{"type 'BM'", 0, 2, 0x4D42},
                       {"file size", 2, 4, 14 + 40 + 1024 + 256},
                       {"pixel offset", 10, 4, 14 + 40 + 1024},
                       {"header size", 14, 4, 40},
                       {"width", 18, 4, 16},
                       {"height, positive: bottom-up", 22, 4, 16},
                       {"planes", 26, 2, 1},
                       {"bits a pixel", 28, 2, 8},
                       {"compression BI_RGB", 30, 4, 0},
                       {"image size", 34, 4, 256}});
    const std::uint32_t Used = Le(Bmp, 46, 4);
    EXPECT_TRUE(Used == 0 || Used == 256) << "colours used: " << Used;
}

TEST(PaletteBitmap, ShowsFlamesOverABurnerOnWhite) {
    const Pixels P = DecodeDib(Generated("TQUELTBURNER.bmp"), 14, 8, false);
    const Rgb BottomLeft = P.Colour[15 * 16];
    EXPECT_EQ(BottomLeft.Red + BottomLeft.Green + BottomLeft.Blue, 3U * 255) << "white";
    ExpectFlamesOverTheBurner(P);
}

TEST(MainIcon, IsOne32By32ImageOf16ColoursWithItsMask) {
    const Bytes Ico = Generated("MAINICON.ico");
    constexpr std::uint32_t ImageSize = 40 + 16 * 4 + 32 * 16 + 32 * 4;
    ASSERT_EQ(Ico.size(), 6U + 16 + ImageSize);
    ExpectFields(Ico, {{"reserved", 0, 2, 0},
                       {"type: icon", 2, 2, 1},
                       {"images", 4, 2, 1},
                       {"width", 6, 1, 32},
                       {"height", 7, 1, 32},
                       {"colours", 8, 1, 16},
                       {"reserved", 9, 1, 0},
                       {"planes", 10, 2, 1},
                       {"bits a pixel", 12, 2, 4},
                       {"image bytes", 14, 4, ImageSize},
                       {"image offset", 18, 4, 22},
                       {"header size", 22, 4, 40},
                       {"width", 26, 4, 32},
                       {"height, with the mask's rows", 30, 4, 64},
                       {"planes", 34, 2, 1},
                       {"bits a pixel", 36, 2, 4},
                       {"compression BI_RGB", 38, 4, 0}});
}

TEST(MainIcon, ShowsFlamesOverABurnerOnATransparentBackground) {
    const Pixels P = DecodeDib(Generated("MAINICON.ico"), 22, 4, true);
    for (const auto& [X, Y] :
         {std::pair<std::size_t, std::size_t>{0, 0}, {31, 0}, {0, 31}, {31, 31}}) {
        EXPECT_TRUE(P.Clear[Y * 32 + X]) << "corner " << X << "," << Y;
    }
    for (std::size_t I = 0; I < P.Colour.size(); ++I) {
        // The screen is ANDed with the mask, then XORed with the colour: black leaves it be.
        if (P.Clear[I]) {
            EXPECT_EQ(P.Colour[I].Red | P.Colour[I].Green | P.Colour[I].Blue, 0U) << "pixel " << I;
        }
    }
    ExpectFlamesOverTheBurner(P);
}

} // namespace
