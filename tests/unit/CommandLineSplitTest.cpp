// The C runtime's argv rules, as a Windows program sees its command line.
#include "CommandLineSplit.hpp"

#include <gtest/gtest.h>

namespace {

using Argv = std::vector<System::UnicodeString>;

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
    const struct {
        std::u16string_view Line;
        Argv Expected;
    } Rows[] = {
        {u"", {u""}},
        {u"tool", {u"tool"}},
        {u"tool a b", {u"tool", u"a", u"b"}},
        {u"tool  \t a\t\tb  ", {u"tool", u"a", u"b"}},
        // The program name: quotes only toggle, backslashes are plain.
        {u"\"C:\\Program Files\\x.exe\" a", {u"C:\\Program Files\\x.exe", u"a"}},
        {u"C:\\dir\\\"x y\"\\t.exe z", {u"C:\\dir\\x y\\t.exe", u"z"}},
        {u"a\\\"b c", {u"a\\b c"}},
        // Arguments: quotes, backslashes before quotes, doubled quotes inside quotes.
        {u"t \"a b\" c", {u"t", u"a b", u"c"}},
        {u"t \"\"", {u"t", u""}},
        {u"t \"\" \"\"", {u"t", u"", u""}},
        {u"t a\\\\b", {u"t", u"a\\\\b"}},
        {u"t \"a\\\\\"", {u"t", u"a\\"}},
        {u"t \"a\\\"b\"", {u"t", u"a\"b"}},
        {u"t \"a\\\\\\\"b\"", {u"t", u"a\\\"b"}},
        {u"t a\\\"b", {u"t", u"a\"b"}},
        {u"t \"a\"\"b\"", {u"t", u"a\"b"}},
        {u"t \"a\"b\"c d\"", {u"t", u"abc d"}},
        {u"t \"unterminated a", {u"t", u"unterminated a"}},
        {u"t \"line\nbreak\"", {u"t", u"line\nbreak"}},
        {u"t a\nb", {u"t", u"a\nb"}}, // a line feed does not separate arguments
        {u"t \\", {u"t", u"\\"}},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(Queltburner::SplitCommandLine(Row.Line), Row.Expected)
            << "line: " << testing::PrintToString(System::UnicodeString(Row.Line));
    }
}

} // namespace
