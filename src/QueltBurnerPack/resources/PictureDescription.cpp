// PaletteBitmap.txt and MainIcon.txt: a legend of characters and colours, then the picture drawn
// with those characters, one line a row, top row first.
#include "DescriptionLines.hpp"
#include "ResourceDescriptions.hpp"

#include <algorithm>
#include <map>

namespace QueltResources {

namespace {

struct LegendEntry {
    std::uint8_t Index = 0;
    bool Transparent = false;
};

constexpr Rgb Black{};

Rgb ParseRgb(const LineReader& Reader, std::string_view Text) {
    if (Text.size() != 6 || Text.find_first_not_of("0123456789abcdefABCDEF") != Text.npos) {
        Reader.Fail("'" + std::string(Text) + "' is not a colour; write RRGGBB in hexadecimal");
    }
    const auto Value = Number(Reader, "0x" + std::string(Text), 0xFFFFFF);
    return {static_cast<std::uint8_t>(Value >> 16U), static_cast<std::uint8_t>(Value >> 8U),
            static_cast<std::uint8_t>(Value)};
}

void ReadLegend(const LineReader& Reader, std::string_view Text, const PictureRules& Rules,
                std::map<char, LegendEntry>& Legend, Picture& Result) {
    std::string_view Rest;
    const std::string_view Symbol = FirstWord(Text, Rest);
    if (Symbol.size() != 1 || Symbol == "|") {
        Reader.Fail("a legend names one character other than '|'");
    }
    if (Legend.contains(Symbol[0])) {
        Reader.Fail(std::string("'") + Symbol[0] + "' is in the legend twice");
    }
    const std::string_view Value = FirstWord(Rest, Rest);
    if (Value == "transparent") {
        if (!Rules.AllowTransparent) {
            Reader.Fail("this picture has no transparency");
        }
        Legend[Symbol[0]] = {0, true};
        return;
    }
    if (Result.Colours.size() == Rules.MaxColours) {
        Reader.Fail("colour " + std::to_string(Rules.MaxColours + 1) +
                    " is one too many: the picture holds " + std::to_string(Rules.MaxColours));
    }
    Result.Colours.push_back(ParseRgb(Reader, Value));
    Legend[Symbol[0]] = {static_cast<std::uint8_t>(Result.Colours.size() - 1), false};
}

void ReadRow(const LineReader& Reader, std::string_view Line, const PictureRules& Rules,
             const std::map<char, LegendEntry>& Legend, Picture& Result) {
    if (Line.size() < 2 || Line.back() != '|') {
        Reader.Fail("a row of the picture starts and ends with '|'");
    }
    const std::string_view Pixels = Line.substr(1, Line.size() - 2);
    if (Pixels.size() != static_cast<std::size_t>(Rules.Width)) {
        Reader.Fail("a row of " + std::to_string(Pixels.size()) + " pixels; the picture is " +
                    std::to_string(Rules.Width) + " wide");
    }
    if (Result.Height == Rules.Height) {
        Reader.Fail("more rows than the picture's height of " + std::to_string(Rules.Height));
    }
    for (std::size_t Column = 0; Column < Pixels.size(); ++Column) {
        const auto Entry = Legend.find(Pixels[Column]);
        if (Entry == Legend.end()) {
            Reader.Fail(std::string("'") + Pixels[Column] + "' in column " +
                        std::to_string(Column + 1) + " is not in the legend");
        }
        Result.Indices.push_back(Entry->second.Index);
        Result.Transparent.push_back(Entry->second.Transparent);
    }
    ++Result.Height;
}

// Transparent pixels draw with a black entry: the screen is ANDed with the mask, then XORed with
// the pixel's colour, which must therefore add nothing.
void PointTransparentPixelsAtBlack(const LineReader& Reader, const PictureRules& Rules,
                                   Picture& Result) {
    if (std::none_of(Result.Transparent.begin(), Result.Transparent.end(),
                     [](bool T) { return T; })) {
        return;
    }
    auto Found = std::find(Result.Colours.begin(), Result.Colours.end(), Black);
    if (Found == Result.Colours.end()) {
        if (Result.Colours.size() == Rules.MaxColours) {
            Reader.FailFile("transparent pixels need a black colour entry and there is no room");
        }
        Result.Colours.push_back(Black);
        Found = Result.Colours.end() - 1;
    }
    const auto BlackIndex = static_cast<std::uint8_t>(Found - Result.Colours.begin());
    for (std::size_t I = 0; I < Result.Indices.size(); ++I) {
        if (Result.Transparent[I]) {
            Result.Indices[I] = BlackIndex;
        }
    }
}

} // namespace

Picture ReadPicture(const std::filesystem::path& File, const PictureRules& Rules) {
    LineReader Reader(File);
    Picture Result;
    Result.Width = Rules.Width;
    std::map<char, LegendEntry> Legend;
    while (Reader.Next()) {
        const std::string_view Line = Trim(Reader.Line());
        std::string_view Rest;
        if (Line.front() == '|') {
            ReadRow(Reader, Line, Rules, Legend, Result);
        } else if (FirstWord(Line, Rest) == "colour") {
            if (Result.Height > 0) {
                Reader.Fail("the legend comes before the picture's rows");
            }
            ReadLegend(Reader, Rest, Rules, Legend, Result);
        } else {
            Reader.Fail("neither a legend line ('colour C RRGGBB') nor a row ('|...|')");
        }
    }
    if (Result.Height != Rules.Height) {
        Reader.FailFile(std::to_string(Result.Height) + " rows; the picture is " +
                        std::to_string(Rules.Height) + " high");
    }
    PointTransparentPixelsAtBlack(Reader, Rules, Result);
    return Result;
}

} // namespace QueltResources
