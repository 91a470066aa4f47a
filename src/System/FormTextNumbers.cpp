// The lexer's numbers: decimal and $hex integers within 64 bits, and floats, which from_chars
// reads so that a value reads back exactly as it was written.
#include "FormTextLexer.hpp"

#include "System.SysUtils.hpp"

#include <charconv>
#include <limits>
#include <system_error>

namespace System::Classes::FormText {

using Sysutils::HexDigitValue;
using Sysutils::LowerAscii;

TToken TFormTextLexer::LexNumber() {
    std::size_t Pos = FPos;
    TNumberScan Scan;
    Scan.Negative = FText[Pos] == u'-';
    if (FText[Pos] == u'-' || FText[Pos] == u'+') {
        ++Pos;
    }
    Scan.FloatText = Scan.Negative ? "-" : "";
    if (At(Pos) == u'$') {
        ++Pos;
        if (HexDigitValue(At(Pos)) < 0) {
            return BadToken("hex digit expected after '$'");
        }
        Pos = ScanHex(Pos, Scan);
    } else {
        Pos = ScanDecimal(Pos, Scan);
    }
    FPos = Pos;
    if (IsNameChar(At(Pos)) || At(Pos) == u'.') {
        return BadToken("invalid number");
    }
    return Scan.IsFloat ? FloatToken(Scan) : IntegerToken(Scan);
}

// Returns where the hex digits from Pos end.
std::size_t TFormTextLexer::ScanHex(std::size_t Pos, TNumberScan& Scan) const {
    constexpr std::uint64_t Limit = std::numeric_limits<std::uint64_t>::max();
    for (int Digit = HexDigitValue(At(Pos)); Digit >= 0; Digit = HexDigitValue(At(Pos))) {
        Scan.TooLarge = Scan.TooLarge || Scan.Magnitude > (Limit >> 4);
        Scan.Magnitude = (Scan.Magnitude << 4) | static_cast<std::uint64_t>(Digit);
        ++Pos;
    }
    return Pos;
}

// Returns where the decimal number from Pos ends: its digits, a fraction, an exponent and the
// framework's type letter.
std::size_t TFormTextLexer::ScanDecimal(std::size_t Pos, TNumberScan& Scan) const {
    constexpr std::uint64_t Limit = std::numeric_limits<std::uint64_t>::max();
    const std::size_t Digits = Pos;
    while (IsDigit(At(Pos))) {
        const auto Digit = static_cast<std::uint64_t>(At(Pos) - u'0');
        Scan.TooLarge = Scan.TooLarge || Scan.Magnitude > (Limit - Digit) / 10;
        Scan.Magnitude = Scan.Magnitude * 10 + Digit;
        ++Pos;
    }
    if (At(Pos) == u'.' && IsDigit(At(Pos + 1))) {
        Scan.IsFloat = true;
        Pos += 2;
        while (IsDigit(At(Pos))) {
            ++Pos;
        }
    }
    const char16_t Sign = At(Pos + 1);
    if ((At(Pos) == u'e' || At(Pos) == u'E') &&
        (IsDigit(Sign) || ((Sign == u'-' || Sign == u'+') && IsDigit(At(Pos + 2))))) {
        Scan.IsFloat = true;
        Pos += 2;
        while (IsDigit(At(Pos))) {
            ++Pos;
        }
    }
    for (std::size_t I = Digits; I < Pos; ++I) {
        Scan.FloatText.push_back(static_cast<char>(FText[I]));
    }
    // The framework marks single and currency values with a letter; the tree does not keep the
    // distinction.
    const char16_t Suffix = LowerAscii(At(Pos));
    if (Suffix == u's' || Suffix == u'c' || Suffix == u'd') {
        Scan.IsFloat = true;
        ++Pos;
    }
    return Pos;
}

TToken TFormTextLexer::FloatToken(const TNumberScan& Scan) const {
    TToken Token;
    Token.Line = FLine;
    Token.Kind = TTokenKind::Float;
    const char* const First = Scan.FloatText.data();
    const char* const Last = First + Scan.FloatText.size();
    const auto [End, Error] = std::from_chars(First, Last, Token.Float);
    if (Error == std::errc::result_out_of_range) {
        return BadToken("number out of range");
    }
    if (Error != std::errc() || End != Last) {
        return BadToken("invalid number");
    }
    return Token;
}

TToken TFormTextLexer::IntegerToken(const TNumberScan& Scan) const {
    constexpr auto MaxPositive =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (Scan.TooLarge || Scan.Magnitude > MaxPositive + (Scan.Negative ? 1U : 0U)) {
        return BadToken("number out of range");
    }
    TToken Token;
    Token.Line = FLine;
    Token.Kind = TTokenKind::Integer;
    if (!Scan.Negative) {
        Token.Integer = static_cast<std::int64_t>(Scan.Magnitude);
    } else if (Scan.Magnitude > MaxPositive) {
        Token.Integer = std::numeric_limits<std::int64_t>::min();
    } else {
        Token.Integer = -static_cast<std::int64_t>(Scan.Magnitude);
    }
    return Token;
}

} // namespace System::Classes::FormText
