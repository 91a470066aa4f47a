// The text form-file format read: what the reader makes of every kind of value and block, and the
// line each one was read from.
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

} // namespace
