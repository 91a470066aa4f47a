// The lexer never throws: whatever it cannot read becomes a Bad token, and the parser raises the
// error when it reaches that token.
#include "FormTextLexer.hpp"

#include "System.SysUtils.hpp"

#include <utility>

namespace System::Classes::FormText {

namespace {

using Sysutils::HexDigitValue;
using Sysutils::LowerAscii;

std::string DescribeChar(char16_t C) {
    if (C > 0x20 && C < 0x7F) {
        return std::string("'") + static_cast<char>(C) + "'";
    }
    std::string Result = "U+";
    for (int Shift = 12; Shift >= 0; Shift -= 4) {
        Result.push_back("0123456789ABCDEF"[(C >> Shift) & 0xF]);
    }
    return Result;
}

// The value of C as a digit of a #code, or -1.
int CodeDigitValue(char16_t C, bool Hex) {
    if (Hex) {
        return HexDigitValue(C);
    }
    return IsDigit(C) ? C - u'0' : -1;
}

} // namespace

bool SameKeyword(std::u16string_view Text, std::u16string_view Keyword) {
    if (Text.size() != Keyword.size()) {
        return false;
    }
    for (std::size_t I = 0; I < Text.size(); ++I) {
        if (LowerAscii(Text[I]) != Keyword[I]) {
            return false;
        }
    }
    return true;
}

bool IsBlockKeyword(std::u16string_view Text) {
    return SameKeyword(Text, u"object") || SameKeyword(Text, u"inherited") ||
           SameKeyword(Text, u"inline");
}

bool IsReserved(std::u16string_view Text) {
    return IsBlockKeyword(Text) || SameKeyword(Text, u"end");
}

TFormTextLexer::TFormTextLexer(std::u16string_view AText) : FText(AText) {
    if (At(0) == u'\uFEFF' && !FText.empty()) {
        FPos = 1;
    }
}

void TFormTextLexer::SkipBlanks() {
    while (FPos < FText.size()) {
        const char16_t C = FText[FPos];
        if (C == u' ' || C == u'\t') {
            ++FPos;
        } else if (C == u'\n') {
            ++FPos;
            ++FLine;
        } else if (C == u'\r') {
            ++FPos;
            if (At(FPos) == u'\n') {
                ++FPos;
            }
            ++FLine;
        } else {
            break;
        }
    }
}

char16_t TFormTextLexer::NextSignificantChar() const {
    std::size_t Pos = FPos;
    while (Pos < FText.size() && (FText[Pos] == u' ' || FText[Pos] == u'\t' ||
                                  FText[Pos] == u'\r' || FText[Pos] == u'\n')) {
        ++Pos;
    }
    return At(Pos);
}

TToken TFormTextLexer::BadToken(std::string Error) const {
    TToken Token;
    Token.Kind = TTokenKind::Bad;
    Token.Error = std::move(Error);
    Token.Line = FLine;
    return Token;
}

TToken TFormTextLexer::Next() {
    SkipBlanks();
    if (FPos >= FText.size()) {
        TToken Token;
        Token.Line = FLine;
        return Token;
    }
    const char16_t C = FText[FPos];
    if (IsNameStart(C)) {
        return LexName();
    }
    const bool Signed = (C == u'-' || C == u'+') && (IsDigit(At(FPos + 1)) || At(FPos + 1) == u'$');
    if (IsDigit(C) || C == u'$' || Signed) {
        return LexNumber();
    }
    if (C == u'\'' || C == u'#') {
        return LexString();
    }
    if (std::u16string_view(u"=:()[]<>{},+").find(C) != std::u16string_view::npos) {
        TToken Token;
        Token.Kind = TTokenKind::Symbol;
        Token.Symbol = C;
        Token.Line = FLine;
        ++FPos;
        return Token;
    }
    return BadToken("unexpected character " + DescribeChar(C));
}

TToken TFormTextLexer::LexName() {
    const std::size_t Start = FPos;
    for (;;) {
        while (IsNameChar(At(FPos))) {
            ++FPos;
        }
        if (At(FPos) != u'.') {
            break;
        }
        if (!IsNameStart(At(FPos + 1))) {
            return BadToken("name expected after '.'");
        }
        ++FPos;
    }
    TToken Token;
    Token.Kind = TTokenKind::Identifier;
    Token.Text = UnicodeString(FText.substr(Start, FPos - Start));
    Token.Line = FLine;
    return Token;
}

// Quoted runs and #codes joined without blanks: 'Don'#39't', #13#10.
TToken TFormTextLexer::LexString() {
    TToken Token;
    Token.Kind = TTokenKind::String;
    Token.Line = FLine;
    for (;;) {
        std::optional<std::string> Error;
        if (At(FPos) == u'\'') {
            Error = LexQuotedRun(Token.Text);
        } else if (At(FPos) == u'#') {
            Error = LexCharCode(Token.Text);
        } else {
            return Token;
        }
        if (Error) {
            return BadToken(std::move(*Error));
        }
    }
}

// FPos is at the opening quote. A doubled quote inside the run is one quote of the text.
std::optional<std::string> TFormTextLexer::LexQuotedRun(UnicodeString& Text) {
    ++FPos;
    for (;;) {
        if (FPos >= FText.size() || FText[FPos] == u'\r' || FText[FPos] == u'\n') {
            return "unterminated string";
        }
        const char16_t C = FText[FPos];
        if (C == u'\'') {
            ++FPos;
            if (At(FPos) != u'\'') {
                return std::nullopt;
            }
            Text.push_back(u'\'');
            ++FPos;
        } else if (C < 0x20 && C != u'\t') {
            return "control character in a string (write it as #" +
                   std::to_string(static_cast<unsigned>(C)) + ")";
        } else {
            Text.push_back(C);
            ++FPos;
        }
    }
}

// FPos is at the '#' of a decimal (#13) or hex (#$0D) character code.
std::optional<std::string> TFormTextLexer::LexCharCode(UnicodeString& Text) {
    ++FPos;
    const bool Hex = At(FPos) == u'$';
    if (Hex) {
        ++FPos;
    }
    unsigned Code = 0;
    bool TooLarge = false;
    std::size_t Digits = 0;
    for (int Digit = CodeDigitValue(At(FPos), Hex); Digit >= 0;
         Digit = CodeDigitValue(At(FPos), Hex)) {
        // Once too large, the value no longer matters, and the accumulator stays small however
        // long the run of digits.
        if (!TooLarge) {
            Code = Code * (Hex ? 16U : 10U) + static_cast<unsigned>(Digit);
            TooLarge = Code > 0xFFFF;
        }
        ++Digits;
        ++FPos;
    }
    if (Digits == 0) {
        return "character code expected after '#'";
    }
    if (TooLarge) {
        return "character code out of range";
    }
    Text.push_back(static_cast<char16_t>(Code));
    return std::nullopt;
}

std::optional<std::string> TFormTextLexer::ReadBinaryDigits(UnicodeString& Digits) {
    std::size_t Count = 0;
    for (;;) {
        SkipBlanks();
        if (FPos >= FText.size()) {
            return "'}' expected";
        }
        const char16_t C = FText[FPos];
        if (C == u'}') {
            break;
        }
        if (HexDigitValue(C) < 0) {
            return "hex digit or '}' expected, found " + DescribeChar(C);
        }
        Digits.push_back(C);
        ++Count;
        ++FPos;
    }
    if (Count % 2 != 0) {
        return "odd number of hex digits";
    }
    ++FPos;
    return std::nullopt;
}

} // namespace System::Classes::FormText
