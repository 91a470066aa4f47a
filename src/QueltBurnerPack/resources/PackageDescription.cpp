// PackageInfo.txt: the package flags, what the package requires and contains, its strings and
// option bytes.
#include "DescriptionLines.hpp"
#include "ResourceDescriptions.hpp"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>

namespace QueltResources {

namespace {

// A field of the package flags word: its bits are Shift to Shift + Width - 1.
struct FlagField {
    std::string_view Name;
    unsigned Shift;
    unsigned Width;
};

constexpr FlagField FlagFields[] = {
    {"never-build", 0, 1},  {"design-only", 1, 1},
    {"run-only", 2, 1},     {"ignore-duplicate-units", 3, 1},
    {"consumer", 20, 1},    {"producer", 26, 2},
    {"module-type", 30, 2},
};

template <std::size_t N>
unsigned NamedBits(const LineReader& Reader, std::string_view Text,
                   const std::pair<std::string_view, unsigned> (&Names)[N], const char* What) {
    unsigned Bits = 0;
    for (const std::string_view Word : Words(Text)) {
        const auto Found = std::find_if(std::begin(Names), std::end(Names),
                                        [&](const auto& Entry) { return Entry.first == Word; });
        if (Found == std::end(Names)) {
            Reader.Fail("unknown " + std::string(What) + " '" + std::string(Word) + "'");
        }
        Bits |= Found->second;
    }
    return Bits;
}

constexpr std::pair<std::string_view, unsigned> UnitFlagNames[] = {{"main", 0x01},
                                                                   {"package-source", 0x02}};
constexpr std::pair<std::string_view, unsigned> PlatformNames[] = {{"win32", 0x01},
                                                                   {"win64", 0x02}};
constexpr std::size_t OptionByteCount = 44;

std::string Name(const LineReader& Reader, std::string_view Text) {
    if (Text.empty() || Text.find_first_of(" \t") != std::string_view::npos) {
        Reader.Fail("a name is one word");
    }
    return std::string(Text);
}

// Strings stored after a one-byte length.
std::string ShortString(const LineReader& Reader, std::string_view Keyword, std::string_view Text) {
    if (Text.size() > 255) {
        Reader.Fail(std::string(Keyword) + " is " + std::to_string(Text.size()) +
                    " bytes long; a one-byte length holds at most 255");
    }
    return std::string(Text);
}

void ReadFlag(const LineReader& Reader, std::string_view Text,
              std::map<std::string_view, bool>& Seen, std::uint32_t& Flags) {
    std::string_view ValueText;
    const std::string_view FieldName = FirstWord(Text, ValueText);
    const auto* Field = std::find_if(std::begin(FlagFields), std::end(FlagFields),
                                     [&](const FlagField& F) { return F.Name == FieldName; });
    if (Field == std::end(FlagFields)) {
        Reader.Fail("unknown flag field '" + std::string(FieldName) + "'");
    }
    if (Seen[Field->Name]) {
        Reader.Fail("flag field '" + std::string(FieldName) + "' given twice");
    }
    Seen[Field->Name] = true;
    const auto Value = Number(Reader, ValueText, (1UL << Field->Width) - 1);
    Flags |= static_cast<std::uint32_t>(Value) << Field->Shift;
}

void ReadOption(const LineReader& Reader, std::string_view Text,
                std::vector<std::uint8_t>& Options) {
    std::string_view Rest;
    const auto Index = Number(Reader, FirstWord(Text, Rest), OptionByteCount - 1);
    if (Index != Options.size()) {
        Reader.Fail("option byte " + std::to_string(Index) + " where byte " +
                    std::to_string(Options.size()) + " comes next");
    }
    FirstWord(Rest, Rest); // the option's name, for the reader
    const auto Value = Number(Reader, FirstWord(Rest, Rest), 255);
    if (Rest.empty()) {
        Reader.Fail("option byte " + std::to_string(Index) + " has no meaning documented");
    }
    Options.push_back(static_cast<std::uint8_t>(Value));
}

void ReadVersion(const LineReader& Reader, std::string_view Text, std::uint16_t (&Version)[4]) {
    std::size_t Part = 0;
    for (std::string_view Rest = Text;; ++Part) {
        const std::size_t Dot = std::min(Rest.find('.'), Rest.size());
        if (Part == 4) {
            Reader.Fail("a version is four numbers: A.B.C.D");
        }
        Version[Part] = static_cast<std::uint16_t>(Number(Reader, Rest.substr(0, Dot), 0xFFFF));
        if (Dot == Rest.size()) {
            break;
        }
        Rest.remove_prefix(Dot + 1);
    }
    if (Part != 3) {
        Reader.Fail("a version is four numbers: A.B.C.D");
    }
}

} // namespace

PackageDescription ReadPackageDescription(const std::filesystem::path& File) {
    LineReader Reader(File);
    PackageDescription Package;
    std::map<std::string_view, bool> FlagsSeen;
    std::map<std::string, bool> Given;
    while (Reader.Next()) {
        std::string_view Text;
        const std::string Keyword(FirstWord(Reader.Line(), Text));
        const bool Once =
            Keyword != "flag" && Keyword != "requires" && Keyword != "unit" && Keyword != "option";
        if (Once && std::exchange(Given[Keyword], true)) {
            Reader.Fail("'" + Keyword + "' given twice");
        }
        if (Keyword == "flag") {
            ReadFlag(Reader, Text, FlagsSeen, Package.Flags);
        } else if (Keyword == "requires") {
            Package.Requires.push_back(Name(Reader, Text));
        } else if (Keyword == "unit") {
            std::string_view Flags;
            const std::string UnitName = Name(Reader, FirstWord(Text, Flags));
            const auto Bits = NamedBits(Reader, Flags, UnitFlagNames, "unit flag");
            Package.Units.push_back({UnitName, static_cast<std::uint8_t>(Bits)});
        } else if (Keyword == "package") {
            Package.PackageName = Name(Reader, Text);
        } else if (Keyword == "description") {
            Package.Description = ShortString(Reader, Keyword, Text);
        } else if (Keyword == "defines") {
            Package.Defines = ShortString(Reader, Keyword, Text);
        } else if (Keyword == "aliases") {
            Package.Aliases = ShortString(Reader, Keyword, Text);
        } else if (Keyword == "platforms") {
            Package.Platforms =
                static_cast<std::uint16_t>(NamedBits(Reader, Text, PlatformNames, "platform"));
        } else if (Keyword == "version") {
            ReadVersion(Reader, Text, Package.Version);
        } else if (Keyword == "option") {
            ReadOption(Reader, Text, Package.Options);
        } else {
            Reader.Fail("unknown keyword '" + Keyword + "'");
        }
    }
    for (const FlagField& Field : FlagFields) {
        if (!FlagsSeen[Field.Name]) {
            Reader.FailFile("flag field '" + std::string(Field.Name) + "' is missing");
        }
    }
    for (const char* Required : {"package", "description", "platforms", "version"}) {
        if (!Given[Required]) {
            Reader.FailFile("'" + std::string(Required) + "' is missing");
        }
    }
    if (Package.Options.size() != OptionByteCount) {
        Reader.FailFile(std::to_string(Package.Options.size()) + " option bytes; there must be " +
                        std::to_string(OptionByteCount));
    }
    return Package;
}

std::uint8_t NameHash(const std::string& Name) {
    // Case-insensitive, as unit and package names are: each character, upper-cased in ASCII, is
    // XORed into the hash after the hash has been rotated left by one bit.
    unsigned Hash = 0;
    for (const char C : Name) {
        const auto Upper = static_cast<unsigned char>(C >= 'a' && C <= 'z' ? C - 'a' + 'A' : C);
        Hash = (((Hash << 1U) | (Hash >> 7U)) & 0xFFU) ^ Upper;
    }
    return static_cast<std::uint8_t>(Hash);
}

} // namespace QueltResources
