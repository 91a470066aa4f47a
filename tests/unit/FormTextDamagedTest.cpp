// The text form-file reader on damaged input: it fails with a line inside the text, or reads a
// tree that the writer writes and the reader reads back unchanged.
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
