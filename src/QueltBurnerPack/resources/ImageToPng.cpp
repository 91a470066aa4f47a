// quelt_image2png: shows the package's pictures to a person.
//
//   quelt_image2png <input.bmp|input.ico> <output.png> [scale]
//
// decodes an uncompressed 4- or 8-bit .bmp, or the first image of such an .ico (its AND mask
// becomes transparency), and writes an RGBA PNG, each pixel enlarged Scale times. The PNG's zlib
// stream holds stored (uncompressed) deflate blocks: the pictures are tiny, and that keeps the
// writer free of any library.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Image {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    Bytes Rgba; // top row first
};

std::uint32_t Le(const Bytes& Data, std::size_t Offset, std::size_t Size) {
    if (Offset > Data.size() || Data.size() - Offset < Size) {
        throw std::runtime_error("the file ends early");
    }
    std::uint32_t Value = 0;
    for (std::size_t I = Size; I-- > 0;) {
        Value = (Value << 8U) | Data[Offset + I];
    }
    return Value;
}

// A DIB at Offset: BITMAPINFOHEADER, colour table, then pixels at PixelOffset (0: right after the
// table). An icon's DIB counts the AND mask's rows in its height and has the mask after the pixels.
Image DecodeDib(const Bytes& Data, std::size_t Offset, std::size_t PixelOffset, bool Icon) {
    const std::uint32_t HeaderSize = Le(Data, Offset, 4);
    const std::uint32_t Width = Le(Data, Offset + 4, 4);
    const auto RawHeight = static_cast<std::int32_t>(Le(Data, Offset + 8, 4));
    const std::uint32_t Bits = Le(Data, Offset + 14, 2);
    if (HeaderSize < 40 || Le(Data, Offset + 16, 4) != 0 || (Bits != 4 && Bits != 8)) {
        throw std::runtime_error("only uncompressed bitmaps of 4 or 8 bits a pixel are read");
    }
    // A negative height (bitmaps only) means the rows are stored top-down.
    const bool TopDown = RawHeight < 0;
    const std::uint32_t Height =
        static_cast<std::uint32_t>(TopDown ? -RawHeight : RawHeight) / (Icon ? 2U : 1U);
    if (Width == 0 || Height == 0 || Width > 4096 || Height > 4096) {
        throw std::runtime_error("the picture's size is out of range");
    }
    const std::uint32_t Used = Le(Data, Offset + 32, 4);
    const std::uint32_t Entries = Used != 0 ? Used : 1U << Bits;
    const std::size_t Table = Offset + HeaderSize;
    const std::size_t Pixels = PixelOffset != 0 ? PixelOffset : Table + std::size_t{Entries} * 4;
    const std::size_t Stride = (std::size_t{Width} * Bits + 31) / 32 * 4;
    const std::size_t MaskStride = (std::size_t{Width} + 31) / 32 * 4;
    const std::size_t Mask = Pixels + Stride * Height;

    Image Result{Width, Height, {}};
    for (std::uint32_t Y = 0; Y < Height; ++Y) {
        const std::size_t Row = TopDown ? Y : Height - 1 - Y;
        for (std::uint32_t X = 0; X < Width; ++X) {
            const std::uint32_t Byte = Le(Data, Pixels + Row * Stride + X * Bits / 8, 1);
            const std::uint32_t Index = Bits == 8 ? Byte : (X % 2 == 0 ? Byte >> 4U : Byte & 0x0FU);
            if (Index >= Entries) {
                throw std::runtime_error("a pixel names a colour past the colour table");
            }
            const std::uint32_t Bgr = Le(Data, Table + std::size_t{Index} * 4, 3);
            const bool Clear =
                Icon && ((Le(Data, Mask + Row * MaskStride + X / 8, 1) << (X % 8)) & 0x80U) != 0;
            Result.Rgba.insert(Result.Rgba.end(), {static_cast<std::uint8_t>(Bgr >> 16U),
                                                   static_cast<std::uint8_t>(Bgr >> 8U),
                                                   static_cast<std::uint8_t>(Bgr),
                                                   Clear ? std::uint8_t{0} : std::uint8_t{255}});
        }
    }
    return Result;
}

Image Decode(const Bytes& Data) {
    if (Le(Data, 0, 2) == 0x4D42) { // "BM"
        return DecodeDib(Data, 14, Le(Data, 10, 4), false);
    }
    if (Le(Data, 0, 2) == 0 && Le(Data, 2, 2) == 1 && Le(Data, 4, 2) >= 1) {
        return DecodeDib(Data, Le(Data, 6 + 12, 4), 0, true);
    }
    throw std::runtime_error("neither a .bmp nor an .ico file");
}

Image Enlarge(const Image& Source, std::uint32_t Scale) {
    Image Result{Source.Width * Scale, Source.Height * Scale, {}};
    for (std::uint32_t Y = 0; Y < Result.Height; ++Y) {
        for (std::uint32_t X = 0; X < Result.Width; ++X) {
            const auto* Pixel =
                &Source.Rgba[(std::size_t{Y / Scale} * Source.Width + X / Scale) * 4];
            Result.Rgba.insert(Result.Rgba.end(), Pixel, Pixel + 4);
        }
    }
    return Result;
}

void PutBe32(Bytes& Out, std::uint32_t Value) {
    for (unsigned Shift = 32; Shift > 0;) {
        Shift -= 8;
        Out.push_back(static_cast<std::uint8_t>(Value >> Shift));
    }
}

std::uint32_t Crc32(const Bytes& Data, std::size_t From) {
    std::uint32_t Crc = 0xFFFFFFFFU;
    for (std::size_t I = From; I < Data.size(); ++I) {
        Crc ^= Data[I];
        for (int Bit = 0; Bit < 8; ++Bit) {
            Crc = (Crc >> 1U) ^ (0xEDB88320U & (0U - (Crc & 1U)));
        }
    }
    return ~Crc;
}

void PutChunk(Bytes& Png, const char* Type, const Bytes& Content) {
    PutBe32(Png, static_cast<std::uint32_t>(Content.size()));
    const std::size_t Start = Png.size();
    Png.insert(Png.end(), Type, Type + 4);
    Png.insert(Png.end(), Content.begin(), Content.end());
    PutBe32(Png, Crc32(Png, Start));
}

// zlib around stored deflate blocks of at most 65535 bytes each.
Bytes ZlibStored(const Bytes& Raw) {
    Bytes Out{0x78, 0x01};
    std::size_t Pos = 0;
    do {
        const std::size_t Length = std::min<std::size_t>(Raw.size() - Pos, 0xFFFF);
        const bool Last = Pos + Length == Raw.size();
        Out.push_back(Last ? 1 : 0);
        const auto Len = static_cast<std::uint16_t>(Length);
        const auto NotLen = static_cast<std::uint16_t>(~Len);
        Out.insert(Out.end(),
                   {static_cast<std::uint8_t>(Len), static_cast<std::uint8_t>(Len >> 8U),
                    static_cast<std::uint8_t>(NotLen), static_cast<std::uint8_t>(NotLen >> 8U)});
        Out.insert(Out.end(), Raw.begin() + static_cast<std::ptrdiff_t>(Pos),
                   Raw.begin() + static_cast<std::ptrdiff_t>(Pos + Length));
        Pos += Length;
    } while (Pos < Raw.size());
    std::uint32_t A = 1;
    std::uint32_t B = 0;
    for (const std::uint8_t Byte : Raw) {
        A = (A + Byte) % 65521U;
        B = (B + A) % 65521U;
    }
    PutBe32(Out, (B << 16U) | A);
    return Out;
}

Bytes EncodePng(const Image& Picture) {
    Bytes Png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes Header;
    PutBe32(Header, Picture.Width);
    PutBe32(Header, Picture.Height);
    Header.insert(Header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlacing
    PutChunk(Png, "IHDR", Header);
    Bytes Raw;
    const std::size_t RowBytes = std::size_t{Picture.Width} * 4;
    for (std::size_t Y = 0; Y < Picture.Height; ++Y) {
        Raw.push_back(0); // filter: none
        const auto Row = Picture.Rgba.begin() + static_cast<std::ptrdiff_t>(Y * RowBytes);
        Raw.insert(Raw.end(), Row, Row + static_cast<std::ptrdiff_t>(RowBytes));
    }
    PutChunk(Png, "IDAT", ZlibStored(Raw));
    PutChunk(Png, "IEND", {});
    return Png;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: quelt_image2png <input.bmp|input.ico> <output.png> [scale]\n";
        return 2;
    }
    try {
        std::uint32_t Scale = 1;
        const std::string ScaleText = argc == 4 ? argv[3] : "1";
        const auto [End, Error] =
            std::from_chars(ScaleText.data(), ScaleText.data() + ScaleText.size(), Scale);
        if (Error != std::errc() || End != ScaleText.data() + ScaleText.size() || Scale < 1 ||
            Scale > 64) {
            throw std::runtime_error("the scale is a whole number from 1 to 64");
        }
        std::ifstream In(argv[1], std::ios::binary);
        if (!In) {
            throw std::runtime_error(std::string(argv[1]) + ": cannot be read");
        }
        const Bytes Data{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
        const Bytes Png = EncodePng(Enlarge(Decode(Data), Scale));
        std::ofstream Out(argv[2], std::ios::binary | std::ios::trunc);
        Out.write(reinterpret_cast<const char*>(Png.data()),
                  static_cast<std::streamsize>(Png.size()));
        if (!Out.flush()) {
            throw std::runtime_error(std::string(argv[2]) + ": cannot be written");
        }
    } catch (const std::exception& Error) {
        std::cerr << "quelt_image2png: " << Error.what() << '\n';
        return 1;
    }
    return 0;
}
