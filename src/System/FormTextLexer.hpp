// The tokens of form text, read from UTF-16 code units. Private to the framework: only the form
// text reader uses it.
#pragma once

#include "System.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace System::Classes::FormText {

enum class TTokenKind : std::uint8_t { EndOfText, Identifier, Integer, Float, String, Symbol, Bad };

struct TToken {
    TTokenKind Kind = TTokenKind::EndOfText;
    char16_t Symbol = 0;
    UnicodeString Text; // Identifier: the name; String: the decoded value
    std::int64_t Integer = 0;
    double Float = 0;
    // Bad: why the text here is no token. The error is raised only when the parser looks at the
    // token, so that it carries the name of the property the parser is in at that point.
    std::string Error;
    int Line = 1;
};

inline bool IsNameStart(char16_t C) {
    return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || C == u'_';
}

inline bool IsDigit(char16_t C) {
    return C >= u'0' && C <= u'9';
}

inline bool IsNameChar(char16_t C) {
    return IsNameStart(C) || IsDigit(C);
}

// Keywords are matched whatever their case; Keyword is given in lower case.
bool SameKeyword(std::u16string_view Text, std::u16string_view Keyword);

// object, inherited or inline: the words that open a block.
bool IsBlockKeyword(std::u16string_view Text);

// Reserved words of the host language: never a component name, class name or identifier value.
bool IsReserved(std::u16string_view Text);

class TFormTextLexer {
public:
    // A leading U+FEFF is skipped.
    explicit TFormTextLexer(std::u16string_view AText);

    // The next token; a text that is no token gives a Bad token and never throws.
    TToken Next();

    // The first character after the blanks and line ends ahead, or U+0000 at the end of the
    // text; it tells a keyword from a property of the same name.
    char16_t NextSignificantChar() const;

    // Hex digits are no tokens of their own (0A would read as a malformed number), so the parser
    // asks for the digits of a binary value once it has seen its '{'. Appends them to Digits
    // without blanks or line ends, and steps past the closing '}'; returns why it could not,
    // Line() telling where.
    std::optional<std::string> ReadBinaryDigits(UnicodeString& Digits);

    int Line() const { return FLine; }

private:
    // What the scan of a number found, before it is checked and converted.
    struct TNumberScan {
        bool Negative = false;
        // Magnitudes beyond 64 bits only need to be known as too large.
        std::uint64_t Magnitude = 0;
        bool TooLarge = false;
        bool IsFloat = false;
        std::string FloatText; // the sign and decimal digits, point and exponent, for from_chars
    };

    void SkipBlanks();
    char16_t At(std::size_t Index) const { return Index < FText.size() ? FText[Index] : u'\0'; }
    TToken BadToken(std::string Error) const;
    TToken LexName();
    TToken LexString();
    std::optional<std::string> LexQuotedRun(UnicodeString& Text);
    std::optional<std::string> LexCharCode(UnicodeString& Text);
    // The numbers, in FormTextNumbers.cpp.
    TToken LexNumber();
    std::size_t ScanHex(std::size_t Pos, TNumberScan& Scan) const;
    std::size_t ScanDecimal(std::size_t Pos, TNumberScan& Scan) const;
    TToken FloatToken(const TNumberScan& Scan) const;
    TToken IntegerToken(const TNumberScan& Scan) const;

    std::u16string_view FText;
    std::size_t FPos = 0;
    int FLine = 1;
};

} // namespace System::Classes::FormText
