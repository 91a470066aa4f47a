// The text form-file format written: the exact text the writer lays out, and trees that come back
// unchanged when read again.
#include "FormTextSupport.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace FormTextTest;

// ---- Writing ----

TEST(FormTextWrite, BlockWithSimpleValuesAndChildren) {
    TFormObject Grandchild = Block(u"", u"TTimer");
    Grandchild.Kind = u"inherited";
    const TFormObject Form = Block(
        u"Form1", u"TForm1",
        {Prop(u"Left", IntValue(10)), Prop(u"Top", IntValue(-3)),
         Prop(u"Big", IntValue(std::numeric_limits<std::int64_t>::min())),
         Prop(u"Visible", IdentValue(u"True")), Prop(u"Enabled", IdentValue(u"False")),
         Prop(u"Align", IdentValue(u"alClient")),
         Prop(u"Font.Style", SetValue({u"fsBold", u"fsItalic"})), Prop(u"Options", SetValue({})),
         Prop(u"Ratio", FloatValue(1.5)), Prop(u"Caption", StringValue(u"Don't\tstop")),
         Prop(u"Empty", StringValue(u"")), Prop(u"Accents", StringValue(u"\u00e9t\u00e9")),
         Prop(u"Emoji", StringValue(u"\U0001F600~")),
         Prop(u"Edges", StringValue(u"\x1F \x7E\x7F"))},
        {Block(u"Burner1", u"TQueltBurner", {Prop(u"Speed", IntValue(8))}, {Grandchild})});
    EXPECT_EQ(WriteFormText(Form), u"object Form1: TForm1\r\n"
                                   u"  Left = 10\r\n"
                                   u"  Top = -3\r\n"
                                   u"  Big = -9223372036854775808\r\n"
                                   u"  Visible = True\r\n"
                                   u"  Enabled = False\r\n"
                                   u"  Align = alClient\r\n"
                                   u"  Font.Style = [fsBold, fsItalic]\r\n"
                                   u"  Options = []\r\n"
                                   u"  Ratio = 1.5\r\n"
                                   u"  Caption = 'Don'#39't'#9'stop'\r\n"
                                   u"  Empty = ''\r\n"
                                   u"  Accents = #233't'#233\r\n"
                                   u"  Emoji = #55357#56832'~'\r\n"
                                   u"  Edges = #31' ~'#127\r\n"
                                   u"  object Burner1: TQueltBurner\r\n"
                                   u"    Speed = 8\r\n"
                                   u"    inherited TTimer\r\n"
                                   u"    end\r\n"
                                   u"  end\r\n"
                                   u"end\r\n");
}

TEST(FormTextWrite, LongStringsSplitAfter64CodeUnits) {
    struct TRow {
        UnicodeString Value;
        UnicodeString Property; // the lines written for S = Value
    };
    const std::vector<TRow> Rows = {
        {Repeat(u"0123456789", 13),
         u"  S = \r\n"
         u"    '0123456789012345678901234567890123456789012345678901234567890123' +\r\n"
         u"    '4567890123456789012345678901234567890123456789012345678901234567' +\r\n"
         u"    '89'\r\n"},
        // 64 units stay on the property's line, 65 do not.
        {Repeat(u"x", 64),
         u"  S = 'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx'\r\n"},
        {Repeat(u"x", 65),
         u"  S = \r\n"
         u"    'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' +\r\n"
         u"    'x'\r\n"},
        // A #code counts one unit; a quoted run is cut at the mark.
        {Repeat(u"a", 60) + u"'" + Repeat(u"b", 5) + Repeat(u"c", 62) + u"\u20ac\u20acd",
         u"  S = \r\n"
         u"    'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa'#39'bbb' +\r\n"
         u"    'bbcccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc' +\r\n"
         u"    #8364#8364'd'\r\n"},
        {Repeat(u"a", 63) + u"\r\nz",
         u"  S = \r\n"
         u"    'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa'#13 +\r\n"
         u"    #10'z'\r\n"},
        // The length in units decides, not the length of the text written.
        {Repeat(u"\u00e9", 64), u"  S = " + Repeat(u"#233", 64) + u"\r\n"},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(UTF8Encode(Row.Value));
        const TFormObject Form = Block(u"A", u"TA", {Prop(u"S", StringValue(Row.Value))});
        EXPECT_EQ(WriteFormText(Form), u"object A: TA\r\n" + Row.Property + u"end\r\n");
    }
}

TEST(FormTextWrite, ListsBinaryAndCollections) {
    const TFormObject Form =
        Block(u"A", u"TA",
              {Prop(u"Lines.Strings",
                    ListValue({StringValue(u"first"), StringValue(u""), StringValue(u"it's"),
                               StringValue(Repeat(u"abcdefghij", 7))})),
               Prop(u"NoLines", ListValue({})),
               Prop(u"Nested", ListValue({IntValue(1), ListValue({StringValue(u"x")}),
                                          SetValue({u"a"}), IdentValue(u"b")})),
               Prop(u"Data", BinaryValue(Repeat(u"0123456789ABCDEF", 4) + u"00FF00ff")),
               Prop(u"NoData", BinaryValue(u"")),
               Prop(u"Columns", CollectionValue({{Prop(u"Caption", StringValue(u"Name")),
                                                  Prop(u"Tags", ListValue({IntValue(1)}))},
                                                 {}})),
               Prop(u"NoColumns", CollectionValue({}))},
              {Block(u"B", u"TB", {Prop(u"Items", ListValue({IntValue(2)}))})});
    EXPECT_EQ(WriteFormText(Form),
              u"object A: TA\r\n"
              u"  Lines.Strings = (\r\n"
              u"    'first'\r\n"
              u"    ''\r\n"
              u"    'it'#39's'\r\n"
              u"    'abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcd' +\r\n"
              u"    'efghij')\r\n"
              u"  NoLines = ()\r\n"
              u"  Nested = (\r\n"
              u"    1\r\n"
              u"    (\r\n"
              u"      'x')\r\n"
              u"    [a]\r\n"
              u"    b)\r\n"
              u"  Data = {\r\n"
              u"    0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF\r\n"
              u"    00FF00ff}\r\n"
              u"  NoData = {}\r\n"
              u"  Columns = <\r\n"
              u"    item\r\n"
              u"      Caption = 'Name'\r\n"
              u"      Tags = (\r\n"
              u"        1)\r\n"
              u"    end\r\n"
              u"    item\r\n"
              u"    end>\r\n"
              u"  NoColumns = <>\r\n"
              u"  object B: TB\r\n"
              u"    Items = (\r\n"
              u"      2)\r\n"
              u"  end\r\n"
              u"end\r\n");
}

TEST(FormTextWrite, FloatsAreShortestAndReadBackAsFloats) {
    struct TRow {
        double Value;
        std::u16string_view Text;
    };
    const std::vector<TRow> Rows = {
        {1.0, u"1.0"},   {1.5, u"1.5"},    {-0.25, u"-0.25"},
        {0.1, u"0.1"},   {1e20, u"1E+20"}, {123456789012345678.0, u"123456789012345680.0"},
        {-0.0, u"-0.0"}, {1e-7, u"1E-07"},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Value);
        const TFormObject Form = Block(u"A", u"TA", {Prop(u"F", FloatValue(Row.Value))});
        EXPECT_EQ(WriteFormText(Form),
                  u"object A: TA\r\n  F = " + UnicodeString(Row.Text) + u"\r\nend\r\n");
    }
    for (const double Value : {1.0 / 3, DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(),
                               -123.456e-200, 2.0 / 3 * 1e300}) {
        SCOPED_TRACE(Value);
        const TFormObject Form = Block(u"A", u"TA", {Prop(u"F", FloatValue(Value))});
        const TFormValue Read = ParseFormText(WriteFormText(Form)).Properties.at(0).Value;
        EXPECT_EQ(Read.Kind, TFormValueKind::Float);
        EXPECT_EQ(Read.Float, Value);
    }
}

TEST(FormTextWrite, FloatsWithoutTextAreRefused) {
    for (const double Value : {std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), std::nan("")}) {
        const TFormObject Form = Block(u"A", u"TA", {Prop(u"F", FloatValue(Value))});
        EXPECT_THROW((void)WriteFormText(Form), std::invalid_argument);
    }
}

// ---- Round trips ----

void ExpectRoundTrip(const TFormObject& Form) {
    EXPECT_EQ(WithoutLines(ParseFormText(WriteFormText(Form))), Form);
}

TEST(FormTextRoundTrip, EveryCodeUnitInStringsShortAndLong) {
    // Short strings stay on their line, long ones are split; lone surrogates included.
    for (const std::size_t Chunk : {std::size_t{50}, std::size_t{1000}}) {
        SCOPED_TRACE(Chunk);
        TFormObject Form = Block(u"A", u"TA");
        std::vector<TFormValue> Items;
        for (std::size_t Start = 0; Start <= 0xFFFF; Start += Chunk) {
            UnicodeString Text;
            for (std::size_t Unit = Start; Unit < Start + Chunk && Unit <= 0xFFFF; ++Unit) {
                Text.push_back(static_cast<char16_t>(Unit));
            }
            Form.Properties.push_back(
                Prop(u"S" + System::IntToStr(static_cast<std::int64_t>(Start)), StringValue(Text)));
            Items.push_back(StringValue(Text));
        }
        Form.Properties.push_back(Prop(u"List", ListValue(std::move(Items))));
        ExpectRoundTrip(Form);
    }
}

TEST(FormTextRoundTrip, LargeListAndLongString) {
    std::vector<TFormValue> Items;
    for (int I = 0; I < 10000; ++I) {
        switch (I % 4) {
        case 0:
            Items.push_back(
                StringValue(u"line " + UnicodeString(static_cast<std::size_t>(I % 97), u'x')));
            break;
        case 1:
            Items.push_back(IntValue(I * 1000003LL - 5000000000LL));
            break;
        case 2:
            Items.push_back(IdentValue(u"ident"));
            break;
        default:
            Items.push_back(FloatValue(I / 7.0));
            break;
        }
    }
    std::mt19937 Random(1234);
    std::uniform_int_distribution<unsigned> Unit(0, 0xFFFF);
    UnicodeString Long;
    for (int I = 0; I < 1000; ++I) {
        Long.push_back(static_cast<char16_t>(Unit(Random)));
    }
    const TFormObject Form =
        Block(u"A", u"TA",
              {Prop(u"Items", ListValue(std::move(Items))), Prop(u"Long", StringValue(Long)),
               Prop(u"Plain", StringValue(Repeat(u"0123456789", 100)))});
    ExpectRoundTrip(Form);
}

TEST(FormTextRoundTrip, EveryKindNested) {
    TFormObject Frame = Block(u"Frame", u"TFrame1", {Prop(u"Tag", IntValue(1))});
    Frame.Kind = u"inline";
    TFormObject Timer = Block(u"", u"TTimer");
    Timer.Kind = u"inherited";
    const TFormObject Form = Block(
        u"Form1", u"TForm1",
        {Prop(u"Left", IntValue(-1)), Prop(u"Ratio", FloatValue(-2250)),
         Prop(u"OnClick", IdentValue(u"Form1Click")), Prop(u"Style", SetValue({u"a", u"b"})),
         Prop(u"Data", BinaryValue(Repeat(u"0f", 70))),
         Prop(u"Deep", ListValue({ListValue({ListValue({StringValue(u"'#+")})}), ListValue({})})),
         Prop(u"Columns",
              CollectionValue(
                  {{Prop(u"Caption", StringValue(Repeat(u"long ", 30))), Prop(u"end", IntValue(3)),
                    Prop(u"Sub", CollectionValue({{Prop(u"X", SetValue({}))}}))},
                   {}}))},
        {Block(u"Panel1", u"TPanel", {Prop(u"object", IdentValue(u"item"))}, {Frame}), Timer});
    ExpectRoundTrip(Form);
}

} // namespace
