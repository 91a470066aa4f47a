// The text form-file format's errors: the line and message of each, and the limit on nesting.
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

} // namespace
