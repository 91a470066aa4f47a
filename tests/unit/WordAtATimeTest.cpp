// The argv splitter and the UTF-8 encoder test four UTF-16 units at a time. Every short text over
// an alphabet of the characters that matter is checked against plain one-unit-at-a-time
// references, so that a character at any position within or across a word is handled alike.
#include "CommandLineSplit.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using System::UnicodeString;

// Calls Check with every text of up to MaxLength units drawn from Alphabet.
template <class CheckText>
void ForEveryText(std::u16string_view Alphabet, std::size_t MaxLength, CheckText Check) {
    std::vector<std::size_t> Digits;
    UnicodeString Text;
    for (std::size_t Length = 0; Length <= MaxLength; ++Length) {
        Digits.assign(Length, 0);
        for (;;) {
            Text.clear();
            for (const std::size_t Digit : Digits) {
                Text.push_back(Alphabet[Digit]);
            }
            Check(Text);
            std::size_t Position = 0;
            while (Position < Length && ++Digits[Position] == Alphabet.size()) {
                Digits[Position++] = 0;
            }
            if (Position == Length) {
                break;
            }
        }
    }
}

// The C runtime's rules, one unit at a time.
std::vector<UnicodeString> ReferenceSplit(std::u16string_view Line) {
    std::vector<UnicodeString> Items;
    std::size_t P = 0;
    UnicodeString Item;
    bool InQuotes = false;
    for (; P < Line.size() && (InQuotes || (Line[P] != u' ' && Line[P] != u'\t')); ++P) {
        if (Line[P] == u'"') {
            InQuotes = !InQuotes;
        } else {
            Item.push_back(Line[P]);
        }
    }
    Items.push_back(Item);
    for (;;) {
        while (P < Line.size() && (Line[P] == u' ' || Line[P] == u'\t')) {
            ++P;
        }
        if (P >= Line.size()) {
            return Items;
        }
        Item.clear();
        InQuotes = false;
        while (P < Line.size()) {
            std::size_t Backslashes = 0;
            for (; P < Line.size() && Line[P] == u'\\'; ++P) {
                ++Backslashes;
            }
            if (P < Line.size() && Line[P] == u'"') {
                Item.append(Backslashes / 2, u'\\');
                if (Backslashes % 2 == 1) {
                    Item.push_back(u'"');
                } else if (InQuotes && P + 1 < Line.size() && Line[P + 1] == u'"') {
                    Item.push_back(u'"');
                    ++P;
                } else {
                    InQuotes = !InQuotes;
                }
                ++P;
                continue;
            }
            Item.append(Backslashes, u'\\');
            if (P >= Line.size() || (!InQuotes && (Line[P] == u' ' || Line[P] == u'\t'))) {
                break;
            }
            Item.push_back(Line[P++]);
        }
        Items.push_back(Item);
    }
}

// UTF-8 one unit at a time; no value for an unpaired surrogate, or a NUL when refused.
std::optional<std::string> ReferenceUtf8(std::u16string_view Text, bool NulRefused) {
    std::string Out;
    for (std::size_t I = 0; I < Text.size(); ++I) {
        char32_t C = Text[I];
        if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 &&
            Text[I + 1] <= 0xDFFF) {
            C = 0x10000 + ((C - 0xD800) << 10U) + (Text[++I] - 0xDC00U);
        } else if (C >= 0xD800 && C <= 0xDFFF) {
            return std::nullopt;
        }
        if (NulRefused && C == 0) {
            return std::nullopt;
        }
        if (C < 0x80) {
            Out.push_back(static_cast<char>(C));
        } else if (C < 0x800) {
            Out.push_back(static_cast<char>(0xC0U | (C >> 6U)));
            Out.push_back(static_cast<char>(0x80U | (C & 0x3FU)));
        } else if (C < 0x10000) {
            Out.push_back(static_cast<char>(0xE0U | (C >> 12U)));
            Out.push_back(static_cast<char>(0x80U | ((C >> 6U) & 0x3FU)));
            Out.push_back(static_cast<char>(0x80U | (C & 0x3FU)));
        } else {
            Out.push_back(static_cast<char>(0xF0U | (C >> 18U)));
            Out.push_back(static_cast<char>(0x80U | ((C >> 12U) & 0x3FU)));
            Out.push_back(static_cast<char>(0x80U | ((C >> 6U) & 0x3FU)));
            Out.push_back(static_cast<char>(0x80U | (C & 0x3FU)));
        }
    }
    return Out;
}

TEST(WordAtATime, SplitterAgreesWithTheOneUnitReferenceOnEveryShortLine) {
    // Nine units: past two whole words, with every special character at every position.
    ForEveryText(u"a \t\"\\", 9, [](const UnicodeString& Line) {
        ASSERT_EQ(Queltburner::SplitCommandLine(Line), ReferenceSplit(Line))
            << testing::PrintToString(Line);
    });
}

TEST(WordAtATime, EncoderAgreesWithTheOneUnitReferenceOnEveryShortText) {
    // The literal holds a NUL, so its length is given.
    const std::u16string_view Alphabet(u"a\0\x7F\x80\xE9\x20AC\xD83D\xDE00", 8);
    const std::string Prefix = "kept";
    ForEveryText(Alphabet, 6, [&Prefix](const UnicodeString& Text) {
        for (const bool NulRefused : {false, true}) {
            const std::optional<std::string> Expected = ReferenceUtf8(Text, NulRefused);
            std::string Out = Prefix;
            const bool Done = NulRefused ? System::Sysutils::TryAppendUTF8WithoutNul(Out, Text)
                                         : System::Sysutils::TryAppendUTF8(Out, Text);
            ASSERT_EQ(Done, Expected.has_value()) << testing::PrintToString(Text);
            // A failed append leaves what was there.
            ASSERT_EQ(Out, Prefix + Expected.value_or("")) << testing::PrintToString(Text);
        }
    });
}

} // namespace
