// The text form-file format: what the reader makes of every kind of value and block, the exact
// text the writer lays out, round trips, the line and message of each error, and damaged input.
#include "System.Classes.FormText.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace System::Classes {

// Failures show trees as form text rather than as bytes.
void PrintTo(const TFormObject& Object, std::ostream* Out) {
    *Out << "\n" << Sysutils::UTF8Encode(WriteFormText(Object));
}

void PrintTo(const TFormValue& Value, std::ostream* Out) {
    TFormObject Holder;
    Holder.ClassName = u"THolder";
    Holder.Properties.push_back({u"Value", Value, 0});
    PrintTo(Holder, Out);
    *Out << "(read from line " << Value.Line << ")";
}

} // namespace System::Classes

namespace {

using namespace std::string_view_literals;
using System::UnicodeString;
using System::Classes::EFormTextError;
using System::Classes::ParseFormText;
using System::Classes::TFormObject;
using System::Classes::TFormProperty;
using System::Classes::TFormValue;
using System::Classes::TFormValueKind;
using System::Classes::WriteFormText;
using System::Sysutils::UTF8Encode;

TFormValue IntValue(std::int64_t Integer) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Integer;
    Value.Integer = Integer;
    return Value;
}

TFormValue FloatValue(double Float) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Float;
    Value.Float = Float;
    return Value;
}

TFormValue TextValue(TFormValueKind Kind, UnicodeString Text) {
    TFormValue Value;
    Value.Kind = Kind;
    Value.Text = std::move(Text);
    return Value;
}

TFormValue StringValue(UnicodeString Text) {
    return TextValue(TFormValueKind::String, std::move(Text));
}

TFormValue IdentValue(UnicodeString Name) {
    return TextValue(TFormValueKind::Identifier, std::move(Name));
}

TFormValue BinaryValue(UnicodeString Digits) {
    return TextValue(TFormValueKind::Binary, std::move(Digits));
}

TFormValue SetValue(std::vector<UnicodeString> Items) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Set;
    Value.SetItems = std::move(Items);
    return Value;
}

TFormValue ListValue(std::vector<TFormValue> Items) {
    TFormValue Value;
    Value.Kind = TFormValueKind::List;
    Value.Items = std::move(Items);
    return Value;
}

TFormValue CollectionValue(std::vector<std::vector<TFormProperty>> Items) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Collection;
    Value.CollectionItems = std::move(Items);
    return Value;
}

TFormProperty Prop(UnicodeString Name, TFormValue Value) {
    return {std::move(Name), std::move(Value), 0};
}

TFormObject Block(UnicodeString Name, UnicodeString ClassName,
                  std::vector<TFormProperty> Properties = {},
                  std::vector<TFormObject> Children = {}) {
    TFormObject Object;
    Object.Name = std::move(Name);
    Object.ClassName = std::move(ClassName);
    Object.Properties = std::move(Properties);
    Object.Children = std::move(Children);
    return Object;
}

void ClearLines(TFormValue& Value);

void ClearLines(TFormProperty& Property) {
    Property.Line = 0;
    ClearLines(Property.Value);
}

void ClearLines(TFormValue& Value) {
    Value.Line = 0;
    for (TFormValue& Item : Value.Items) {
        ClearLines(Item);
    }
    for (std::vector<TFormProperty>& Item : Value.CollectionItems) {
        for (TFormProperty& Property : Item) {
            ClearLines(Property);
        }
    }
}

void ClearLines(TFormObject& Object) {
    Object.Line = 0;
    for (TFormProperty& Property : Object.Properties) {
        ClearLines(Property);
    }
    for (TFormObject& Child : Object.Children) {
        ClearLines(Child);
    }
}

// The tree as it would be built in code, for comparing a parsed tree with an expected one.
template <class T>
T WithoutLines(T Tree) {
    ClearLines(Tree);
    return Tree;
}

UnicodeString Repeat(std::u16string_view Part, std::size_t Count) {
    UnicodeString Result;
    for (std::size_t I = 0; I < Count; ++I) {
        Result += Part;
    }
    return Result;
}

// The value of the single property P of a one-block form.
TFormValue ParseValueText(std::u16string_view Text) {
    const TFormObject Form =
        ParseFormText(u"object A: TA\r\n  P = " + UnicodeString(Text) + u"\r\nend\r\n");
    if (Form.Properties.size() != 1) {
        ADD_FAILURE() << Form.Properties.size() << " properties read";
        return {};
    }
    return WithoutLines(Form.Properties[0].Value);
}

// ---- Reading ----

struct TValueRow {
    std::u16string_view Text;
    TFormValue Expected;
};

void ExpectValues(const std::vector<TValueRow>& Rows) {
    for (const TValueRow& Row : Rows) {
        SCOPED_TRACE(UTF8Encode(Row.Text));
        EXPECT_EQ(ParseValueText(Row.Text), Row.Expected);
    }
}

TEST(FormTextParse, Numbers) {
    ExpectValues({
        {u"12", IntValue(12)},
        {u"0", IntValue(0)},
        {u"-7", IntValue(-7)},
        {u"+3", IntValue(3)},
        {u"$00FF", IntValue(255)},
        {u"$ff", IntValue(255)},
        {u"-$10", IntValue(-16)},
        {u"9223372036854775807", IntValue(std::numeric_limits<std::int64_t>::max())},
        {u"-9223372036854775808", IntValue(std::numeric_limits<std::int64_t>::min())},
        {u"$7FFFFFFFFFFFFFFF", IntValue(std::numeric_limits<std::int64_t>::max())},
        {u"1.5", FloatValue(1.5)},
        {u"-2.25E3", FloatValue(-2250)},
        {u"1E-5", FloatValue(1e-5)},
        {u"2.5e+2", FloatValue(250)},
        {u"0.1", FloatValue(0.1)},
        {u"1.5s", FloatValue(1.5)},
        {u"2c", FloatValue(2)},
        {u"3D", FloatValue(3)},
        {u"-4.75d", FloatValue(-4.75)},
    });
}

TEST(FormTextParse, Strings) {
    ExpectValues({
        {u"'abc'", StringValue(u"abc")},
        {u"''", StringValue(u"")},
        {u"''''", StringValue(u"'")},
        {u"'Don''t'", StringValue(u"Don't")},
        {u"'Don'#39't'", StringValue(u"Don't")},
        {u"#13#10", StringValue(u"\r\n")},
        {u"'a'#9'b'", StringValue(u"a\tb")},
        {u"#0065#066", StringValue(u"AB")},
        {u"#$263A", StringValue(u"\u263A")},
        {u"#$d800'x'", StringValue(u"\xD800x")},
        {u"#0", StringValue(UnicodeString(1, u'\0'))},
        {u"#65535", StringValue(u"\xFFFF")},
        {u"'caf\u00e9 \u263A \U0001F600'", StringValue(u"caf\u00e9 \u263A \U0001F600")},
        {u"'tab\tinside'", StringValue(u"tab\tinside")},
        {u"'first part' +\r\n    'second'", StringValue(u"first partsecond")},
        {u"'a'\n    + 'b' +#33", StringValue(u"ab!")},
        {u"#13 +\r\n    #10 +\r\n    'z'", StringValue(u"\r\nz")},
    });
}

TEST(FormTextParse, IdentifiersAndSets) {
    ExpectValues({
        {u"True", IdentValue(u"True")},
        {u"dtAudio", IdentValue(u"dtAudio")},
        {u"Font.Style", IdentValue(u"Font.Style")},
        {u"_Hidden1", IdentValue(u"_Hidden1")},
        {u"item", IdentValue(u"item")},
        {u"[]", SetValue({})},
        {u"[a, b, c]", SetValue({u"a", u"b", u"c"})},
        {u"[fsBold,fsItalic]", SetValue({u"fsBold", u"fsItalic"})},
        {u"[\r\n    a\r\n  ]", SetValue({u"a"})},
    });
}

TEST(FormTextParse, ListsBinaryAndCollections) {
    ExpectValues({
        {u"()", ListValue({})},
        {u"(\r\n    'a'\r\n    'b')", ListValue({StringValue(u"a"), StringValue(u"b")})},
        {u"( 'x' 12 Ident 1.5 [a] {00} <> )",
         ListValue({StringValue(u"x"), IntValue(12), IdentValue(u"Ident"), FloatValue(1.5),
                    SetValue({u"a"}), BinaryValue(u"00"), CollectionValue({})})},
        {u"(\r\n    'a' +\r\n    'b'\r\n    (1 (2)))",
         ListValue({StringValue(u"ab"), ListValue({IntValue(1), ListValue({IntValue(2)})})})},
        {u"{}", BinaryValue(u"")},
        {u"{\r\n    0A1B\r\n    2c3D}", BinaryValue(u"0A1B2c3D")},
        {u"{ 0 0 }", BinaryValue(u"00")},
        {u"<>", CollectionValue({})},
        {u"<\r\n    item\r\n      Caption = 'a'\r\n      Width = 10\r\n    end\r\n"
         u"    item [3]\r\n    end>",
         CollectionValue(
             {{Prop(u"Caption", StringValue(u"a")), Prop(u"Width", IntValue(10))}, {}})},
        {u"< ITEM Tags = ( 1 2 ) Sub = < Item End > END >",
         CollectionValue({{Prop(u"Tags", ListValue({IntValue(1), IntValue(2)})),
                           Prop(u"Sub", CollectionValue({{}}))}})},
    });
}

TEST(FormTextParse, NestedBlocksWithKindsNamesAndLines) {
    const TFormObject Form = ParseFormText(u"\uFEFFinherited Form1: TForm1 [0]\r\n" // 1
                                           u"  Caption = 'Main'\r\n"                // 2
                                           u"  OBJECT Panel1: TPanel\r\n"           // 3
                                           u"    Align = alTop\r\n"                 // 4
                                           u"    Inline Frame: TFrame1 [2]\r\n"     // 5
                                           u"      Tag = 1\r\n"                     // 6
                                           u"    END\r\n"                           // 7
                                           u"  end\r\n"                             // 8
                                           u"  Files.Strings = (\r\n"               // 9
                                           u"    'a')\r\n"                          // 10
                                           u"  object TTimer\r\n"                   // 11
                                           u"  End\r\n"                             // 12
                                           u"  Inline = True\r\n"                   // 13
                                           u"  end = 2\r\n"                         // 14
                                           u"end\r\n"
                                           u"\r\n \t\r\n");
    EXPECT_EQ(Form.Kind, u"inherited");
    EXPECT_EQ(Form.Name, u"Form1");
    EXPECT_EQ(Form.ClassName, u"TForm1");
    EXPECT_EQ(Form.Line, 1);

    // Properties keep text order, also those after the children; a keyword followed by '=' is
    // a property of that name.
    ASSERT_EQ(Form.Properties.size(), 4U);
    EXPECT_EQ(Form.Properties[0].Name, u"Caption");
    EXPECT_EQ(Form.Properties[0].Line, 2);
    EXPECT_EQ(Form.Properties[1].Name, u"Files.Strings");
    EXPECT_EQ(Form.Properties[1].Line, 9);
    EXPECT_EQ(Form.Properties[1].Value.Line, 9);
    ASSERT_EQ(Form.Properties[1].Value.Items.size(), 1U);
    EXPECT_EQ(Form.Properties[1].Value.Items[0].Line, 10);
    EXPECT_EQ(Form.Properties[2].Name, u"Inline");
    EXPECT_EQ(WithoutLines(Form.Properties[2].Value), IdentValue(u"True"));
    EXPECT_EQ(Form.Properties[2].Line, 13);
    EXPECT_EQ(Form.Properties[3].Name, u"end");
    EXPECT_EQ(Form.Properties[3].Line, 14);

    ASSERT_EQ(Form.Children.size(), 2U);
    const TFormObject& Panel = Form.Children[0];
    EXPECT_EQ(Panel.Kind, u"object");
    EXPECT_EQ(Panel.Name, u"Panel1");
    EXPECT_EQ(Panel.ClassName, u"TPanel");
    EXPECT_EQ(Panel.Line, 3);
    ASSERT_EQ(Panel.Properties.size(), 1U);
    EXPECT_EQ(Panel.Properties[0].Line, 4);
    ASSERT_EQ(Panel.Children.size(), 1U);
    EXPECT_EQ(Panel.Children[0].Kind, u"inline");
    EXPECT_EQ(Panel.Children[0].Name, u"Frame");
    EXPECT_EQ(Panel.Children[0].ClassName, u"TFrame1");
    EXPECT_EQ(Panel.Children[0].Line, 5);
    ASSERT_EQ(Panel.Children[0].Properties.size(), 1U);
    EXPECT_EQ(Panel.Children[0].Properties[0].Line, 6);

    const TFormObject& Timer = Form.Children[1];
    EXPECT_EQ(Timer.Name, u"");
    EXPECT_EQ(Timer.ClassName, u"TTimer");
    EXPECT_EQ(Timer.Line, 11);
    EXPECT_TRUE(Timer.Properties.empty());
}

TEST(FormTextParse, EveryLineEndCountsOneLine) {
    const std::vector<std::u16string_view> Lines = {
        u"object A: TA", u"  Hint = ", u"    'a' +",      u"    'b'", u"  Items = (",
        u"    1",        u"    2)",    u"  object B: TB", u"  end",   u"end"};
    std::vector<TFormObject> Parsed;
    for (const std::u16string_view LineEnd : {u"\r\n"sv, u"\n"sv, u"\r"sv}) {
        UnicodeString Text;
        for (const std::u16string_view Line : Lines) {
            Text += Line;
            Text += LineEnd;
        }
        Parsed.push_back(ParseFormText(Text));
    }
    const TFormObject& Form = Parsed[0];
    ASSERT_EQ(Form.Properties.size(), 2U);
    EXPECT_EQ(Form.Properties[0].Line, 2);
    EXPECT_EQ(Form.Properties[0].Value.Line, 3); // a long string starts on the next line
    EXPECT_EQ(Form.Properties[0].Value.Text, u"ab");
    EXPECT_EQ(Form.Properties[1].Value.Items.at(1).Line, 7);
    ASSERT_EQ(Form.Children.size(), 1U);
    EXPECT_EQ(Form.Children[0].Line, 8);
    EXPECT_EQ(Parsed[1], Form);
    EXPECT_EQ(Parsed[2], Form);
}

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

// ---- Errors ----

struct TErrorRow {
    std::u16string_view Text;
    int Line;
    std::string Message;
};

void ExpectErrors(const std::vector<TErrorRow>& Rows) {
    for (const TErrorRow& Row : Rows) {
        SCOPED_TRACE(UTF8Encode(Row.Text));
        try {
            (void)ParseFormText(Row.Text);
            ADD_FAILURE() << "accepted";
        } catch (const EFormTextError& Error) {
            EXPECT_EQ(Error.Line(), Row.Line);
            EXPECT_EQ(std::string(Error.what()),
                      "line " + std::to_string(Row.Line) + ": " + Row.Message);
        }
    }
}

TEST(FormTextErrors, BlockStructure) {
    ExpectErrors({
        {u"", 1, "'object', 'inherited' or 'inline' expected"},
        {u"\r\n\r\n  Left = 1", 3, "'object', 'inherited' or 'inline' expected"},
        {u"object\r\n", 2, "component name or class name expected"},
        {u"object : TA\r\nend", 1, "component name or class name expected"},
        {u"object A:\r\nend", 2, "class name expected"},
        {u"object A: TA.B\r\nend", 1, "class name expected"},
        {u"object A: TA [x]\r\nend", 1, "integer expected as order index"},
        {u"object A: TA [1\r\nend", 2, "']' expected"},
        {u"object A: TA\r\n  Left = 1\r\n", 3, "property, object or 'end' expected"},
        {u"object A: TA\r\n  Left = 1 2\r\nend", 2, "property, object or 'end' expected"},
        {u"object A: TA\r\n  object\r\n  end\r\nend", 3, "component name or class name expected"},
        {u"object A: TA\r\nend\r\nobject B: TB\r\nend\r\n", 3,
         "end of text expected after the last 'end'"},
        {u"object A: TA\r\nend\r\n'abc", 3, "unterminated string"},
        {u"object A: TA\r\n  Left = 1\r\n  @\r\nend", 3, "unexpected character '@'"},
        {u"object A: TA\r\n  Left = 1\r\n\0end"sv, 3, "unexpected character U+0000"},
        {u"object A: TA\r\n\uFEFF  Left = 1\r\nend", 2, "unexpected character U+FEFF"},
    });
}

TEST(FormTextErrors, ValuesNameTheirProperty) {
    ExpectErrors({
        {u"object A: TA\r\n  Left 1\r\nend", 2, "Left: '=' expected"},
        {u"object A: TA\r\n  Left =\r\nend", 3, "Left: value expected"},
        {u"object A: TA\r\n  Left = )\r\nend", 2, "Left: value expected"},
        {u"object A: TA\r\n  Caption = 'abc\r\nend", 2, "Caption: unterminated string"},
        {u"object A: TA\r\n  Caption = 'abc", 2, "Caption: unterminated string"},
        {u"object A: TA\r\n  Caption = 'a' +\r\nend", 3, "Caption: string expected after '+'"},
        {u"object A: TA\r\n  Caption = 'a'#\r\nend", 2,
         "Caption: character code expected after '#'"},
        {u"object A: TA\r\n  Caption = #$\r\nend", 2, "Caption: character code expected after '#'"},
        {u"object A: TA\r\n  Caption = #65536\r\nend", 2, "Caption: character code out of range"},
        {u"object A: TA\r\n  Caption = #$10000\r\nend", 2, "Caption: character code out of range"},
        {u"object A: TA\r\n  Caption = 'a\x01z'\r\nend", 2,
         "Caption: control character in a string (write it as #1)"},
        {u"object A: TA\r\n  Speed = 12ab\r\nend", 2, "Speed: invalid number"},
        {u"object A: TA\r\n  Speed = 1.\r\nend", 2, "Speed: invalid number"},
        {u"object A: TA\r\n  Speed = 2ss\r\nend", 2, "Speed: invalid number"},
        {u"object A: TA\r\n  Speed = 1E\r\nend", 2, "Speed: invalid number"},
        {u"object A: TA\r\n  Speed = 9223372036854775808\r\nend", 2, "Speed: number out of range"},
        {u"object A: TA\r\n  Speed = -9223372036854775809\r\nend", 2, "Speed: number out of range"},
        {u"object A: TA\r\n  Speed = 99999999999999999999999\r\nend", 2,
         "Speed: number out of range"},
        {u"object A: TA\r\n  Speed = $10000000000000000\r\nend", 2, "Speed: number out of range"},
        {u"object A: TA\r\n  Speed = 1E999\r\nend", 2, "Speed: number out of range"},
        {u"object A: TA\r\n  Speed = $\r\nend", 2, "Speed: hex digit expected after '$'"},
        {u"object A: TA\r\n  Speed = -\r\nend", 2, "Speed: unexpected character '-'"},
        {u"object A: TA\r\n  Mode = Font.\r\nend", 2, "Mode: name expected after '.'"},
        {u"object A: TA\r\n  Mode = end\r\nend", 2, "Mode: value expected"},
        {u"object A: TA\r\n  Style = [a b]\r\nend", 2, "Style: ',' or ']' expected"},
        {u"object A: TA\r\n  Style = [a,]\r\nend", 2, "Style: set element expected"},
        {u"object A: TA\r\n  Style = [1]\r\nend", 2, "Style: set element or ']' expected"},
        {u"object A: TA\r\n  Data = {\r\n    0A1\r\n  }\r\nend", 4,
         "Data: odd number of hex digits"},
        {u"object A: TA\r\n  Data = {\r\n    0A1G\r\n  }\r\nend", 3,
         "Data: hex digit or '}' expected, found 'G'"},
        {u"object A: TA\r\n  Data = {\r\n    0A", 3, "Data: '}' expected"},
        {u"object A: TA\r\n  Lines.Strings = (\r\n    'a'\r\nend", 4,
         "Lines.Strings: value or ')' expected"},
        {u"object A: TA\r\n  Lines.Strings = (\r\n    'a'", 3,
         "Lines.Strings: value or ')' expected"},
        {u"object A: TA\r\n  Columns = <\r\n    Caption = 'a'\r\n  >\r\nend", 3,
         "Columns: 'item' or '>' expected"},
        {u"object A: TA\r\n  Columns = <\r\n    item [x]\r\n    end>\r\nend", 3,
         "Columns: integer expected as order index"},
        {u"object A: TA\r\n  Columns = <\r\n    item\r\n      object B: TB\r\n      end\r\n"
         u"    end>\r\nend",
         4, "Columns: property or 'end' expected"},
        {u"object A: TA\r\n  Columns = <\r\n    item\r\n      Width = #\r\n    end>\r\nend", 4,
         "Width: character code expected after '#'"},
        {u"object A: TA\r\n  Columns = <\r\n    item\r\n      Width = 1\r\n    end\r\nend", 6,
         "Columns: 'item' or '>' expected"},
    });
}

// Objects nested N deep, each header on its own line.
UnicodeString NestedObjects(std::size_t Count) {
    UnicodeString Text;
    for (std::size_t I = 0; I < Count; ++I) {
        Text += UnicodeString(I * 2, u' ') + u"object O: TO\r\n";
    }
    for (std::size_t I = Count; I > 0; --I) {
        Text += UnicodeString((I - 1) * 2, u' ') + u"end\r\n";
    }
    return Text;
}

UnicodeString NestedLists(std::size_t Count) {
    return u"object A: TA\r\n  P = " + UnicodeString(Count, u'(') + UnicodeString(Count, u')') +
           u"\r\nend\r\n";
}

UnicodeString NestedCollections(std::size_t Count) {
    return u"object A: TA\r\n  P = " + Repeat(u"< item P = ", Count) + u"1" +
           Repeat(u" end >", Count) + u"\r\nend\r\n";
}

TEST(FormTextErrors, NestingIsLimitedTo64Levels) {
    // The top-level block is the first level; lists and collections count with objects.
    EXPECT_NO_THROW((void)ParseFormText(NestedObjects(64)));
    EXPECT_NO_THROW((void)ParseFormText(NestedLists(63)));
    EXPECT_NO_THROW((void)ParseFormText(NestedCollections(63)));
    const std::string TooDeep = "objects, lists and collections nested more than 64 levels deep";
    const UnicodeString Objects = NestedObjects(65);
    const UnicodeString Lists = NestedLists(64);
    const UnicodeString Collections = NestedCollections(64);
    const UnicodeString Huge = NestedLists(200000);
    ExpectErrors({
        {Objects, 65, TooDeep},
        {Lists, 2, "P: " + TooDeep},
        {Collections, 2, "P: " + TooDeep},
        {Huge, 2, "P: " + TooDeep},
    });
}

// ---- Damaged input ----

int CountLines(std::u16string_view Text) {
    int Lines = 1;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == u'\n' ||
            (Text[I] == u'\r' && (I + 1 >= Text.size() || Text[I + 1] != u'\n'))) {
            ++Lines;
        }
    }
    return Lines;
}

// Reading damaged text either fails with a line inside the text or gives a tree that the writer
// writes and the reader reads back unchanged.
void CheckDamaged(const UnicodeString& Text, int& Accepted) {
    try {
        const TFormObject Form = ParseFormText(Text);
        ++Accepted;
        EXPECT_EQ(WithoutLines(ParseFormText(WriteFormText(Form))), WithoutLines(Form))
            << UTF8Encode(Text);
    } catch (const EFormTextError& Error) {
        EXPECT_GE(Error.Line(), 1) << UTF8Encode(Text);
        EXPECT_LE(Error.Line(), CountLines(Text)) << UTF8Encode(Text);
    }
}

constexpr std::u16string_view ValidForm = u"object Form1: TForm1\r\n"
                                          u"  Left = 10\r\n"
                                          u"  Caption = 'Don'#39't'#13#10'stop'\r\n"
                                          u"  Ratio = -2.25E3\r\n"
                                          u"  Price = 1.5c\r\n"
                                          u"  Mask = $00FF\r\n"
                                          u"  Font.Style = [fsBold, fsItalic]\r\n"
                                          u"  OnClick = Form1Click\r\n"
                                          u"  Lines.Strings = (\r\n"
                                          u"    'first part' +\r\n"
                                          u"    'second'\r\n"
                                          u"    #$263A\r\n"
                                          u"    12\r\n"
                                          u"    (nested 1.5))\r\n"
                                          u"  Data = {\r\n"
                                          u"    0A1B2C3D\r\n"
                                          u"    4E5F}\r\n"
                                          u"  Columns = <\r\n"
                                          u"    item [0]\r\n"
                                          u"      Caption = 'Name'\r\n"
                                          u"      Tags = (1 2)\r\n"
                                          u"    end\r\n"
                                          u"    item\r\n"
                                          u"      Width = 120\r\n"
                                          u"    end>\r\n"
                                          u"  inherited Panel1: TPanel [1]\r\n"
                                          u"    Align = alTop\r\n"
                                          u"    inline Frame: TFrame1\r\n"
                                          u"      Visible = False\r\n"
                                          u"    end\r\n"
                                          u"  end\r\n"
                                          u"  object TTimer\r\n"
                                          u"  end\r\n"
                                          u"end\r\n";

TEST(FormTextRobustness, MutatedAndRandomTextNeverBreaksTheReader) {
    const std::u16string_view Alphabet =
        u"'#$+-()[]<>{}=:,._ \t\r\n0123456789aeEdsXZ\0\x01\u00e9\xD800\uFEFF"sv;
    const std::vector<std::u16string_view> Snippets = {u"object X: TY\r\n",
                                                       u"end\r\n",
                                                       u"item ",
                                                       u"end>",
                                                       u"'",
                                                       u"''",
                                                       u"#",
                                                       u"#$FFFF",
                                                       u" + ",
                                                       u"(",
                                                       u")",
                                                       u"<",
                                                       u">",
                                                       u"{",
                                                       u"}",
                                                       u"[",
                                                       u"]",
                                                       u"1E",
                                                       u"$",
                                                       u"= ",
                                                       u"\r\n",
                                                       u"inline",
                                                       u"inherited I: TI [0]\r\n"};
    std::mt19937 Random(20240521);
    const auto Below = [&Random](std::size_t Limit) {
        return std::uniform_int_distribution<std::size_t>(0, Limit - 1)(Random);
    };

    ASSERT_NO_THROW((void)ParseFormText(ValidForm));
    int Accepted = 0;
    for (int Variant = 0; Variant < 20000; ++Variant) {
        UnicodeString Text(ValidForm);
        const std::size_t Edits = 1 + Below(4);
        for (std::size_t Edit = 0; Edit < Edits; ++Edit) {
            const std::size_t At = Below(Text.size() + 1);
            switch (Below(4)) {
            case 0:
                if (At < Text.size()) {
                    Text[At] = Alphabet[Below(Alphabet.size())];
                }
                break;
            case 1:
                Text.insert(At, Snippets[Below(Snippets.size())]);
                break;
            case 2:
                Text.erase(At, Below(20));
                break;
            default: {
                // Copies can stack blocks and brackets deeper than the nesting limit.
                const std::size_t From = Below(Text.size() + 1);
                const UnicodeString Part = Text.substr(From, Below(200));
                Text.insert(At, Part);
                break;
            }
            }
        }
        CheckDamaged(Text, Accepted);
        if (HasFailure()) {
            return;
        }
    }
    for (int Variant = 0; Variant < 2000; ++Variant) {
        UnicodeString Text = Variant % 2 == 0 ? u"object A: TA\r\n  P = " : u"";
        const std::size_t Length = Below(200);
        for (std::size_t I = 0; I < Length; ++I) {
            Text.push_back(Alphabet[Below(Alphabet.size())]);
        }
        CheckDamaged(Text, Accepted);
        if (HasFailure()) {
            return;
        }
    }
    // The mutations are mild enough that some variants stay valid, so the round trip is checked.
    EXPECT_GT(Accepted, 100);
}

} // namespace
