// Device-independent bitmaps as the resource compiler takes them: a .bmp file for BITMAP and an
// .ico file for ICON.
#include "ResourceEncoders.hpp"

namespace QueltResources {

namespace {

constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::uint32_t FileHeaderSize = 14;
constexpr std::uint32_t IconDirSize = 6 + 16;

// Rows of a DIB are padded to a multiple of four bytes.
std::uint32_t RowBytes(int Width, unsigned BitsPerPixel) {
    return (static_cast<std::uint32_t>(Width) * BitsPerPixel + 31U) / 32U * 4U;
}

struct DibLayout {
    unsigned BitsPerPixel;
    std::uint32_t TableEntries;
    bool WithMask;
};

std::uint32_t PixelBytes(const Picture& Image, const DibLayout& Layout) {
    const auto Rows = static_cast<std::uint32_t>(Image.Height);
    const std::uint32_t Mask = Layout.WithMask ? RowBytes(Image.Width, 1) * Rows : 0;
    return RowBytes(Image.Width, Layout.BitsPerPixel) * Rows + Mask;
}

std::uint32_t DibSize(const Picture& Image, const DibLayout& Layout) {
    return InfoHeaderSize + Layout.TableEntries * 4 + PixelBytes(Image, Layout);
}

// BITMAPINFOHEADER, colour table, pixels and, for an icon, the AND mask; rows bottom-up.
void AppendDib(Bytes& Out, const Picture& Image, const DibLayout& Layout) {
    const auto Width = static_cast<std::uint32_t>(Image.Width);
    const auto Height = static_cast<std::uint32_t>(Image.Height);
    Put32(Out, InfoHeaderSize);
    Put32(Out, Width);
    Put32(Out, Layout.WithMask ? Height * 2 : Height); // an icon counts its mask's rows too
    Put16(Out, 1);                                     // planes
    Put16(Out, Layout.BitsPerPixel);
    Put32(Out, 0); // BI_RGB
    Put32(Out, PixelBytes(Image, Layout));
    Put32(Out, 0); // no resolution
    Put32(Out, 0);
    Put32(Out, 0); // every entry of the table is in use
    Put32(Out, 0); // and all are important
    for (std::uint32_t I = 0; I < Layout.TableEntries; ++I) {
        const Rgb Colour = I < Image.Colours.size() ? Image.Colours[I] : Rgb{};
        Out.insert(Out.end(), {Colour.Blue, Colour.Green, Colour.Red, 0});
    }
    const std::uint32_t PixelRow = RowBytes(Image.Width, Layout.BitsPerPixel);
    const unsigned PerByte = 8 / Layout.BitsPerPixel;
    for (std::uint32_t Row = Height; Row-- > 0;) {
        Bytes Line(PixelRow);
        for (std::uint32_t X = 0; X < Width; ++X) {
            const unsigned Shift = 8 - Layout.BitsPerPixel * (X % PerByte + 1);
            Line[X / PerByte] |= static_cast<std::uint8_t>(Image.Indices[Row * Width + X] << Shift);
        }
        Out.insert(Out.end(), Line.begin(), Line.end());
    }
    if (!Layout.WithMask) {
        return;
    }
    for (std::uint32_t Row = Height; Row-- > 0;) {
        Bytes Line(RowBytes(Image.Width, 1));
        for (std::uint32_t X = 0; X < Width; ++X) {
            if (Image.Transparent[Row * Width + X]) {
                Line[X / 8] |= static_cast<std::uint8_t>(0x80U >> (X % 8));
            }
        }
        Out.insert(Out.end(), Line.begin(), Line.end());
    }
}

} // namespace

Bytes EncodeBitmapFile(const Picture& Image) {
    const DibLayout Layout{8, 256, false};
    const std::uint32_t Size = DibSize(Image, Layout);
    Bytes Out;
    Out.insert(Out.end(), {'B', 'M'});
    Put32(Out, FileHeaderSize + Size);
    Put32(Out, 0); // reserved
    Put32(Out, FileHeaderSize + InfoHeaderSize + Layout.TableEntries * 4);
    AppendDib(Out, Image, Layout);
    return Out;
}

Bytes EncodeIconFile(const Picture& Image) {
    const DibLayout Layout{4, 16, true};
    Bytes Out;
    Put16(Out, 0); // reserved
    Put16(Out, 1); // an icon, not a cursor
    Put16(Out, 1); // one image
    Out.push_back(static_cast<std::uint8_t>(Image.Width));
    Out.push_back(static_cast<std::uint8_t>(Image.Height));
    Out.push_back(static_cast<std::uint8_t>(Layout.TableEntries));
    Out.push_back(0); // reserved
    Put16(Out, 1);    // planes
    Put16(Out, Layout.BitsPerPixel);
    Put32(Out, DibSize(Image, Layout));
    Put32(Out, IconDirSize);
    AppendDib(Out, Image, Layout);
    return Out;
}

} // namespace QueltResources
