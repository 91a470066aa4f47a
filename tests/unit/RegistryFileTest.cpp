#include "RegistryFile.hpp"

#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using Queltburner::RegistryValue;
using Queltburner::RegistryValueKind;
using Queltburner::Posix::FindUserValue;
using System::Sysutils::UTF8Encode;

enum class Encoding { Utf8, Utf8Bom, Utf16LeBom };

struct FileFormat {
    Encoding Enc;
    bool Crlf;
};

// Test names and failure messages show the format in words, not the struct's bytes.
void PrintTo(const FileFormat& Format, std::ostream* Out) {
    const char* Names[] = {"UTF-8", "UTF-8 with BOM", "UTF-16LE with BOM"};
    *Out << Names[static_cast<int>(Format.Enc)] << (Format.Crlf ? ", CRLF" : ", LF");
}

// The bytes of a file holding Content (written with LF line ends) in the given format.
std::string FileBytes(std::u16string_view Content, FileFormat Format) {
    std::u16string Lines;
    for (const char16_t C : Content) {
        if (C == u'\n' && Format.Crlf) {
            Lines.push_back(u'\r');
        }
        Lines.push_back(C);
    }
    switch (Format.Enc) {
    case Encoding::Utf8:
        return UTF8Encode(Lines);
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF" + UTF8Encode(Lines);
    case Encoding::Utf16LeBom:
        break;
    }
    std::string Bytes = "\xFF\xFE";
    for (const char16_t C : Lines) {
        Bytes.push_back(static_cast<char>(C & 0xFF));
        Bytes.push_back(static_cast<char>(C >> 8));
    }
    return Bytes;
}

struct Lookup {
    std::u16string Key;
    std::u16string Name;
    RegistryValueKind Kind;
    std::u16string Text;
};

void ExpectLookups(const std::string& Bytes, const std::vector<Lookup>& Rows) {
    for (const Lookup& Row : Rows) {
        SCOPED_TRACE(UTF8Encode(Row.Key) + " : " + UTF8Encode(Row.Name));
        const RegistryValue Value = FindUserValue(Bytes, Row.Key, Row.Name);
        EXPECT_EQ(Value.Kind, Row.Kind);
        EXPECT_EQ(Value.Text, Row.Text);
    }
}

constexpr auto Text = RegistryValueKind::Text;
constexpr auto Missing = RegistryValueKind::Missing;
constexpr auto OtherType = RegistryValueKind::OtherType;

class RegistryFileFormatTest : public testing::TestWithParam<FileFormat> {};

TEST_P(RegistryFileFormatTest, ReadsEachKindOfValue) {
    const std::u16string Content = uR"(Windows Registry Editor Version 5.00

; written by hand
[HKEY_CURRENT_USER\Software\Quelt]
@="default text"
"Plain"="C:\\Program Files\\Quelt\\burn.exe"
"Quoted"="say \"hi\" \\"
"Mixed Case"="found"
"Unicode"="Grüße 日本 😀"
"Empty"=""
  "Indented" = "spaced"
"Count"=dword:0000001f
"Blob"=hex:01,02,03
"Big"=hex(b):01,00,00,00,00,00,00,00
"List"=hex(7):41,00,00,00,00,00
"Expand"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,5c,00,\
  62,00,69,00,6e,00,00,00
"Sz"=hex(1):3d,d8,00,de,\
    e9,00,00,00

[HKEY_CURRENT_USER\Software\Quelt\Sub Key]
"Deep"="sub"

[HKEY_CURRENT_USER\Software\Ärger]
"Umlaut"="key"

[HKEY_LOCAL_MACHINE\Software\Quelt]
"Machine"="other root"
)";
    const std::u16string Key = uR"(Software\Quelt)";
    ExpectLookups(FileBytes(Content, GetParam()),
                  {
                      {Key, u"", Text, u"default text"},
                      {Key, u"Plain", Text, uR"(C:\Program Files\Quelt\burn.exe)"},
                      {Key, u"Quoted", Text, uR"(say "hi" \)"},
                      {uR"(SOFTWARE\quelt)", u"mixed CASE", Text, u"found"},
                      {Key, u"Unicode", Text, u"Grüße 日本 😀"},
                      {Key, u"Empty", Text, u""},
                      {Key, u"Indented", Text, u"spaced"},
                      {Key, u"Count", OtherType, u""},
                      {Key, u"Blob", OtherType, u""},
                      {Key, u"Big", OtherType, u""},
                      {Key, u"List", OtherType, u""},
                      {Key, u"Expand", Text, uR"(%PATH%\bin)"},
                      {Key, u"Sz", Text, u"😀é"},
                      {Key, u"Absent", Missing, u""},
                      {uR"(Software\Nowhere)", u"Plain", Missing, u""},
                      {uR"(Software\Quelt\Sub Key)", u"Deep", Text, u"sub"},
                      {uR"(Software\Quelt\SubKey)", u"Deep", Missing, u""},
                      {uR"(Software\Quelt\Sub Key)", u"Plain", Missing, u""},
                      {Key, u"Deep", Missing, u""},
                      {uR"(software\äRGER)", u"umlaut", Text, u"key"},
                      {Key, u"Machine", Missing, u""},
                  });
}

TEST_P(RegistryFileFormatTest, LaterLinesOverrideEarlierOnes) {
    const std::u16string Content = uR"(REGEDIT4

[HKEY_CURRENT_USER\Software\Quelt]
"Twice"="first"
"Deleted"="there"
"Retyped"=dword:00000001
"Undeleted"="before"

[HKEY_CURRENT_USER\Software\Other]
"Twice"="other key"

[HKEY_CURRENT_USER\software\QUELT]
"twice"="second"
"Deleted"=-
"Retyped"="now text"
"Undeleted"=-
"Undeleted"="after"
"Torn"=hex(2):41,00,\
"Torn"="whole"

[HKEY_CURRENT_USER\Software\Gone\Child]
"Value"="child"
[HKEY_CURRENT_USER\Software\Gone]
"Value"="parent"
[HKEY_CURRENT_USER\Software\GoneToo]
"Value"="sibling"
[-HKEY_CURRENT_USER\Software\gone]
"Value"="after a deletion section"

[HKEY_CURRENT_USER\Software\Reborn]
"Old"="old"
"Kept"="old"
[-HKEY_CURRENT_USER\Software\Reborn]
[HKEY_CURRENT_USER\Software\Reborn]
"Kept"="new"

[HKEY_CURRENT_USER\Software\Quelt
"Twice"="after a broken section line"
)";
    ExpectLookups(FileBytes(Content, GetParam()),
                  {
                      {uR"(Software\Quelt)", u"Twice", Text, u"second"},
                      {uR"(Software\Other)", u"Twice", Text, u"other key"},
                      {uR"(Software\Quelt)", u"Deleted", Missing, u""},
                      {uR"(Software\Quelt)", u"Retyped", Text, u"now text"},
                      {uR"(Software\Quelt)", u"Undeleted", Text, u"after"},
                      {uR"(Software\Quelt)", u"Torn", Text, u"whole"},
                      {uR"(Software\Gone)", u"Value", Missing, u""},
                      {uR"(Software\Gone\Child)", u"Value", Missing, u""},
                      {uR"(Software\GoneToo)", u"Value", Text, u"sibling"},
                      {uR"(Software\Reborn)", u"Old", Missing, u""},
                      {uR"(Software\Reborn)", u"Kept", Text, u"new"},
                  });
}

std::string FormatName(const testing::TestParamInfo<FileFormat>& Info) {
    const char* Names[] = {"Utf8", "Utf8Bom", "Utf16LeBom"};
    return std::string(Names[static_cast<std::size_t>(Info.param.Enc)]) +
           (Info.param.Crlf ? "Crlf" : "Lf");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RegistryFileFormatTest,
                         testing::Values(FileFormat{Encoding::Utf8, false},
                                         FileFormat{Encoding::Utf8, true},
                                         FileFormat{Encoding::Utf8Bom, false},
                                         FileFormat{Encoding::Utf8Bom, true},
                                         FileFormat{Encoding::Utf16LeBom, false},
                                         FileFormat{Encoding::Utf16LeBom, true}),
                         FormatName);

TEST(RegistryFileTest, HeaderMustBeTheFirstNonEmptyLine) {
    const std::string Body = "[HKEY_CURRENT_USER\\Software\\Quelt]\n\"V\"=\"x\"\n";
    const struct {
        std::string Bytes;
        RegistryValueKind Kind;
    } Rows[] = {
        {"REGEDIT4\n" + Body, Text},
        {"\n \t\nWindows Registry Editor Version 5.00 \n" + Body, Text},
        {Body, Missing},
        {"; comment\nREGEDIT4\n" + Body, Missing},
        {"Windows Registry Editor Version 4.00\n" + Body, Missing},
        {"REGEDIT\n" + Body, Missing},
        {"", Missing},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Bytes);
        EXPECT_EQ(FindUserValue(Row.Bytes, u"Software\\Quelt", u"V").Kind, Row.Kind);
    }
}

TEST(RegistryFileTest, MalformedLineChangesNothingAndReadingGoesOn) {
    const char* BadLines[] = {
        R"("V"="unterminated)",
        R"("V"="escaped end\")",
        R"("V")",
        R"("V"=)",
        R"("V"="x" junk)",
        R"("V"=string)",
        R"(V="unquoted name")",
        R"("V=-)",
        R"("V"=dword:xyz)",
        R"("V"=dword:123456789)",
        R"("V"=hex(2):4x,00)",
        R"("V"=hex(2):41,,00)",
        R"("V"=hex(2):410,00)",
        R"("V"=hex(2:41,00)",
        R"("V"=hex(zz):41,00)",
        R"("V"=hex(2):41,00,\)",
        R"("V"=hex(2):,41,00)",
    };
    for (const char* Bad : BadLines) {
        SCOPED_TRACE(Bad);
        const std::string Bytes =
            "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quelt]\n\"V\"=\"good\"\n" + std::string(Bad) +
            "\n\"W\"=\"after\"\n";
        const RegistryValue V = FindUserValue(Bytes, u"Software\\Quelt", u"V");
        EXPECT_EQ(V.Kind, Text);
        EXPECT_EQ(V.Text, u"good");
        EXPECT_EQ(FindUserValue(Bytes, u"Software\\Quelt", u"W").Text, u"after");
    }
}

// Ill-formed UTF-16 still reads, with U+FFFD where the bad code units were; 8-bit text keeps
// every byte, as a file name (FileNameToString): a path in it names its file exactly.
TEST(RegistryFileTest, IllFormedEncodingDecodesLeniently) {
    const std::u16string Head = u"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Quelt]\n";
    const FileFormat Utf16{Encoding::Utf16LeBom, false};
    const struct {
        std::string Bytes;
        std::u16string Expected;
    } Rows[] = {
        {UTF8Encode(Head) + "\"V\"=\"a\xC3z\xFF\"\n", u"a\xDCC3z\xDCFF"},
        {UTF8Encode(Head) + "\"V\"=\"/opt/caf\xE9/NeroCmd.exe\"\n", u"/opt/caf\xDCE9/NeroCmd.exe"},
        {FileBytes(Head + u"\"V\"=\"a\xD800z\xDC00\"\n", Utf16), u"a\uFFFDz\uFFFD"},
        {FileBytes(Head + u"\"V\"=hex(2):41,00,00,d8,42,00,00,00\n", Utf16), u"A\uFFFDB"},
        {FileBytes(Head + u"\"V\"=hex(1):41,00,00\n", Utf16), u"A"},
        {FileBytes(Head + u"\"V\"=hex(1):41,00,42\n", Utf16), u"A\uFFFD"},
        {FileBytes(Head + u"\"V\"=\"ok\"\n", Utf16) + "A", u"ok"}, // odd byte count
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(UTF8Encode(Row.Expected));
        const RegistryValue V = FindUserValue(Row.Bytes, u"Software\\Quelt", u"V");
        EXPECT_EQ(V.Kind, Text);
        EXPECT_EQ(V.Text, Row.Expected);
    }
}

// A file cut off anywhere (mid-character, mid-UTF-16 unit) must neither crash nor yield a partial
// string: the value is absent until its closing quote has been read, and complete once its line
// has been read. (Cut between the two, a torn line end is junk after the quote.)
TEST(RegistryFileTest, TruncatedFileNeverYieldsPartialText) {
    const std::u16string Head = u"Windows Registry Editor Version 5.00\n\n"
                                u"[HKEY_CURRENT_USER\\Software\\Quelt]\n"
                                u"\"Path\"=\"C:\\\\Tools\\\\ü😀.exe\"";
    const std::u16string Content = Head + u"\n\"Hex\"=hex(2):41,00,\\\n  42,00,00,00\n";
    for (const FileFormat Format :
         {FileFormat{Encoding::Utf8, true}, FileFormat{Encoding::Utf16LeBom, false}}) {
        const std::string Whole = FileBytes(Content, Format);
        const std::size_t Closed = FileBytes(Head, Format).size();
        const std::size_t LineRead = FileBytes(Head + u"\n", Format).size();
        for (std::size_t Cut = 0; Cut <= Whole.size(); ++Cut) {
            SCOPED_TRACE(Cut);
            const std::string Bytes = Whole.substr(0, Cut);
            const RegistryValue Path = FindUserValue(Bytes, u"Software\\Quelt", u"Path");
            if (Cut < Closed) {
                EXPECT_EQ(Path.Kind, Missing);
            } else if (Cut >= LineRead) {
                EXPECT_EQ(Path.Kind, Text);
                EXPECT_EQ(Path.Text, u"C:\\Tools\\ü😀.exe");
            }
            FindUserValue(Bytes, u"Software\\Quelt", u"Hex");
        }
    }
}

// Random lines built from the format's own pieces, raw bytes and lone surrogates. They come after
// a complete value in another key, which none of the pieces can name, so it must survive them.
TEST(RegistryFileTest, GarbageNeverCrashesNorDisturbsOtherKeys) {
    const std::u16string Head = u"Windows Registry Editor Version 5.00\n"
                                u"[HKEY_CURRENT_USER\\Software\\Quelt]\n\"Path\"=\"kept\"\n"
                                u"[HKEY_CURRENT_USER\\Software\\Other]\n";
    const std::u16string Pieces[] = {
        u"[",      u"]",       u"[-HKEY_CURRENT_USER\\Software\\Other",
        u"\"",     u"\\",      u"=",
        u"@",      u"-",       u"dword:",
        u"hex:",   u"hex(2):", u"hex(",
        u")",      u":",       u",",
        u"\\\n",   u"\n",      u"\r\n",
        u"\r",     u";",       u" ",
        u"00",     u"4",       u"Name",
        u"\xD800", u"\xDC00",  std::u16string(1, u'\0'),
        u"😀",      u"ü",
    };
    std::mt19937 Random(20240611);
    for (int Round = 0; Round < 4000; ++Round) {
        const FileFormat Format{Round % 2 == 0 ? Encoding::Utf8 : Encoding::Utf16LeBom, false};
        std::string Bytes = FileBytes(Head, Format);
        const auto Count = Random() % 60;
        for (std::uint32_t I = 0; I < Count; ++I) {
            if (Random() % 8 == 0) {
                Bytes.push_back(static_cast<char>(Random() & 0xFF));
            } else {
                const std::string Piece = FileBytes(Pieces[Random() % std::size(Pieces)], Format);
                Bytes += Piece.substr(Format.Enc == Encoding::Utf8 ? 0 : 2);
            }
        }
        SCOPED_TRACE(Round);
        EXPECT_EQ(FindUserValue(Bytes, u"Software\\Quelt", u"Path").Text, u"kept");
        FindUserValue(Bytes, u"Software\\Other", u"Name");
    }
}

} // namespace
