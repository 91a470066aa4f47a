// Reads form text into the syntax tree: a lexer over UTF-16 code units and a recursive descent
// whose depth is bounded, so that any input, however damaged, ends in a tree or an
// EFormTextError.
#include "System.Classes.FormText.hpp"
#include "System.SysUtils.hpp"

#include <charconv>
#include <limits>
#include <string>
#include <system_error>
#include <utility>

namespace System::Classes {

EFormTextError::EFormTextError(int ALine, const std::string& AMessage)
    : std::runtime_error("line " + std::to_string(ALine) + ": " + AMessage), FLine(ALine) {}

namespace {

using Sysutils::HexDigitValue;
using Sysutils::LowerAscii;

// Far deeper than any real form; the limit bounds the reader's stack (and the tree's recursive
// destruction) whatever the input.
constexpr int MaxNesting = 64;

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

bool IsNameStart(char16_t C) {
    return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || C == u'_';
}

bool IsDigit(char16_t C) {
    return C >= u'0' && C <= u'9';
}

bool IsNameChar(char16_t C) {
    return IsNameStart(C) || IsDigit(C);
}

// Keywords are matched whatever their case; Keyword is given in lower case.
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

// Reserved words of the host language: never a component name, class name or identifier value.
bool IsReserved(std::u16string_view Text) {
    return IsBlockKeyword(Text) || SameKeyword(Text, u"end");
}

UnicodeString LowerAscii(std::u16string_view Text) {
    UnicodeString Result(Text);
    for (char16_t& C : Result) {
        C = LowerAscii(C);
    }
    return Result;
}

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

class TFormTextReader {
public:
    explicit TFormTextReader(std::u16string_view AText) : FText(AText) {}

    TFormObject Parse();

private:
    // Lexing.
    void Advance() { FCurrent = Lex(); }
    TToken Lex();
    void SkipBlanks();
    char16_t At(std::size_t Index) const { return Index < FText.size() ? FText[Index] : u'\0'; }
    char16_t NextSignificantChar() const;
    TToken LexName();
    TToken LexNumber();
    TToken LexString();
    TToken BadToken(std::string Error) const;

    // Parsing.
    bool IsSymbol(char16_t Symbol) const {
        return FCurrent.Kind == TTokenKind::Symbol && FCurrent.Symbol == Symbol;
    }
    bool IsPlainName() const;
    bool IsKeywordHere(std::u16string_view Keyword) const;
    bool IsValueStart() const;
    TFormObject ParseObject(int Depth);
    void SkipOrderIndex();
    TFormProperty ParseProperty(int Depth);
    TFormValue ParseValue(int Depth);
    void ParseSet(TFormValue& Value);
    void ParseList(TFormValue& Value, int Depth);
    void ParseBinary(TFormValue& Value);
    void ParseCollection(TFormValue& Value, int Depth);
    void CheckDepth(int Depth) const;

    [[noreturn]] void Fail(int Line, const std::string& Message) const;
    // Fails at the current token; a token the lexer could not read reports its own error.
    [[noreturn]] void FailHere(const std::string& Message) const;

    std::u16string_view FText;
    std::size_t FPos = 0;
    int FLine = 1;
    TToken FCurrent;
    const UnicodeString* FProperty = nullptr; // the property whose value is being read
};

void TFormTextReader::SkipBlanks() {
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

char16_t TFormTextReader::NextSignificantChar() const {
    std::size_t Pos = FPos;
    while (Pos < FText.size() && (FText[Pos] == u' ' || FText[Pos] == u'\t' ||
                                  FText[Pos] == u'\r' || FText[Pos] == u'\n')) {
        ++Pos;
    }
    return At(Pos);
}

TToken TFormTextReader::BadToken(std::string Error) const {
    TToken Token;
    Token.Kind = TTokenKind::Bad;
    Token.Error = std::move(Error);
    Token.Line = FLine;
    return Token;
}

TToken TFormTextReader::Lex() {
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

TToken TFormTextReader::LexName() {
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

TToken TFormTextReader::LexNumber() {
    constexpr std::uint64_t Limit = std::numeric_limits<std::uint64_t>::max();
    std::size_t Pos = FPos;
    const bool Negative = FText[Pos] == u'-';
    if (FText[Pos] == u'-' || FText[Pos] == u'+') {
        ++Pos;
    }
    // Magnitudes beyond 64 bits only need to be known as too large.
    std::uint64_t Magnitude = 0;
    bool TooLarge = false;
    bool IsFloat = false;
    std::string FloatText = Negative ? "-" : "";
    if (At(Pos) == u'$') {
        ++Pos;
        if (HexDigitValue(At(Pos)) < 0) {
            return BadToken("hex digit expected after '$'");
        }
        for (int Digit = HexDigitValue(At(Pos)); Digit >= 0; Digit = HexDigitValue(At(Pos))) {
            TooLarge = TooLarge || Magnitude > (Limit >> 4);
            Magnitude = (Magnitude << 4) | static_cast<std::uint64_t>(Digit);
            ++Pos;
        }
    } else {
        const std::size_t Digits = Pos;
        while (IsDigit(At(Pos))) {
            const auto Digit = static_cast<std::uint64_t>(At(Pos) - u'0');
            TooLarge = TooLarge || Magnitude > (Limit - Digit) / 10;
            Magnitude = Magnitude * 10 + Digit;
            ++Pos;
        }
        if (At(Pos) == u'.' && IsDigit(At(Pos + 1))) {
            IsFloat = true;
            Pos += 2;
            while (IsDigit(At(Pos))) {
                ++Pos;
            }
        }
        const char16_t Sign = At(Pos + 1);
        if ((At(Pos) == u'e' || At(Pos) == u'E') &&
            (IsDigit(Sign) || ((Sign == u'-' || Sign == u'+') && IsDigit(At(Pos + 2))))) {
            IsFloat = true;
            Pos += 2;
            while (IsDigit(At(Pos))) {
                ++Pos;
            }
        }
        for (std::size_t I = Digits; I < Pos; ++I) {
            FloatText.push_back(static_cast<char>(FText[I]));
        }
        // The framework marks single and currency values with a letter; the tree does not keep
        // the distinction.
        const char16_t Suffix = LowerAscii(At(Pos));
        if (Suffix == u's' || Suffix == u'c' || Suffix == u'd') {
            IsFloat = true;
            ++Pos;
        }
    }
    if (IsNameChar(At(Pos)) || At(Pos) == u'.') {
        FPos = Pos;
        return BadToken("invalid number");
    }
    FPos = Pos;

    TToken Token;
    Token.Line = FLine;
    if (IsFloat) {
        Token.Kind = TTokenKind::Float;
        const char* const First = FloatText.data();
        const char* const Last = First + FloatText.size();
        const auto [End, Error] = std::from_chars(First, Last, Token.Float);
        if (Error == std::errc::result_out_of_range) {
            return BadToken("number out of range");
        }
        if (Error != std::errc() || End != Last) {
            return BadToken("invalid number");
        }
        return Token;
    }
    constexpr auto MaxPositive =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (TooLarge || Magnitude > MaxPositive + (Negative ? 1U : 0U)) {
        return BadToken("number out of range");
    }
    Token.Kind = TTokenKind::Integer;
    if (!Negative) {
        Token.Integer = static_cast<std::int64_t>(Magnitude);
    } else if (Magnitude > MaxPositive) {
        Token.Integer = std::numeric_limits<std::int64_t>::min();
    } else {
        Token.Integer = -static_cast<std::int64_t>(Magnitude);
    }
    return Token;
}

// Quoted runs and #codes joined without blanks: 'Don'#39't', #13#10.
TToken TFormTextReader::LexString() {
    TToken Token;
    Token.Kind = TTokenKind::String;
    Token.Line = FLine;
    for (;;) {
        if (At(FPos) == u'\'') {
            ++FPos;
            for (;;) {
                if (FPos >= FText.size() || FText[FPos] == u'\r' || FText[FPos] == u'\n') {
                    return BadToken("unterminated string");
                }
                const char16_t C = FText[FPos];
                if (C == u'\'') {
                    ++FPos;
                    if (At(FPos) != u'\'') {
                        break;
                    }
                    Token.Text.push_back(u'\'');
                    ++FPos;
                } else if (C < 0x20 && C != u'\t') {
                    return BadToken("control character in a string (write it as #" +
                                    std::to_string(static_cast<unsigned>(C)) + ")");
                } else {
                    Token.Text.push_back(C);
                    ++FPos;
                }
            }
        } else if (At(FPos) == u'#') {
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
                // Once too large, the value no longer matters, and the accumulator stays small
                // however long the run of digits.
                if (!TooLarge) {
                    Code = Code * (Hex ? 16U : 10U) + static_cast<unsigned>(Digit);
                    TooLarge = Code > 0xFFFF;
                }
                ++Digits;
                ++FPos;
            }
            if (Digits == 0) {
                return BadToken("character code expected after '#'");
            }
            if (TooLarge) {
                return BadToken("character code out of range");
            }
            Token.Text.push_back(static_cast<char16_t>(Code));
        } else {
            return Token;
        }
    }
}

[[noreturn]] void TFormTextReader::Fail(int Line, const std::string& Message) const {
    if (FProperty != nullptr) {
        throw EFormTextError(Line, Sysutils::UTF8Encode(*FProperty) + ": " + Message);
    }
    throw EFormTextError(Line, Message);
}

[[noreturn]] void TFormTextReader::FailHere(const std::string& Message) const {
    Fail(FCurrent.Line, FCurrent.Kind == TTokenKind::Bad ? FCurrent.Error : Message);
}

void TFormTextReader::CheckDepth(int Depth) const {
    if (Depth > MaxNesting) {
        Fail(FCurrent.Line, "objects, lists and collections nested more than " +
                                std::to_string(MaxNesting) + " levels deep");
    }
}

bool TFormTextReader::IsPlainName() const {
    return FCurrent.Kind == TTokenKind::Identifier &&
           FCurrent.Text.find(u'.') == UnicodeString::npos && !IsReserved(FCurrent.Text);
}

// A keyword directly followed by '=' is a property of that name rather than the keyword.
bool TFormTextReader::IsKeywordHere(std::u16string_view Keyword) const {
    return FCurrent.Kind == TTokenKind::Identifier && SameKeyword(FCurrent.Text, Keyword) &&
           NextSignificantChar() != u'=';
}

bool TFormTextReader::IsValueStart() const {
    switch (FCurrent.Kind) {
    case TTokenKind::Integer:
    case TTokenKind::Float:
    case TTokenKind::String:
        return true;
    case TTokenKind::Identifier:
        return !IsReserved(FCurrent.Text);
    case TTokenKind::Symbol:
        return std::u16string_view(u"[({<").find(FCurrent.Symbol) != std::u16string_view::npos;
    case TTokenKind::EndOfText:
    case TTokenKind::Bad:
        break;
    }
    return false;
}

TFormObject TFormTextReader::Parse() {
    if (At(0) == u'\uFEFF' && !FText.empty()) {
        FPos = 1;
    }
    Advance();
    if (FCurrent.Kind != TTokenKind::Identifier || !IsBlockKeyword(FCurrent.Text)) {
        FailHere("'object', 'inherited' or 'inline' expected");
    }
    TFormObject Root = ParseObject(1);
    if (FCurrent.Kind != TTokenKind::EndOfText) {
        FailHere("end of text expected after the last 'end'");
    }
    return Root;
}

// The current token is object, inherited or inline.
TFormObject TFormTextReader::ParseObject(int Depth) {
    CheckDepth(Depth);
    TFormObject Object;
    Object.Kind = LowerAscii(FCurrent.Text);
    Object.Line = FCurrent.Line;
    Advance();
    if (!IsPlainName()) {
        FailHere("component name or class name expected");
    }
    UnicodeString First = std::move(FCurrent.Text);
    Advance();
    if (IsSymbol(u':')) {
        Advance();
        if (!IsPlainName()) {
            FailHere("class name expected");
        }
        Object.Name = std::move(First);
        Object.ClassName = std::move(FCurrent.Text);
        Advance();
    } else {
        Object.ClassName = std::move(First);
    }
    SkipOrderIndex();
    for (;;) {
        if (IsKeywordHere(u"end")) {
            Advance();
            return Object;
        }
        if (IsKeywordHere(u"object") || IsKeywordHere(u"inherited") || IsKeywordHere(u"inline")) {
            Object.Children.push_back(ParseObject(Depth + 1));
        } else if (FCurrent.Kind == TTokenKind::Identifier) {
            Object.Properties.push_back(ParseProperty(Depth));
        } else {
            FailHere("property, object or 'end' expected");
        }
    }
}

// The order index after a class name or after item, as in "inherited Form1: TForm1 [0]", only
// matters to the framework's own inheritance; it is read and dropped.
void TFormTextReader::SkipOrderIndex() {
    if (!IsSymbol(u'[')) {
        return;
    }
    Advance();
    if (FCurrent.Kind != TTokenKind::Integer) {
        FailHere("integer expected as order index");
    }
    Advance();
    if (!IsSymbol(u']')) {
        FailHere("']' expected");
    }
    Advance();
}

// The current token is the property's name.
TFormProperty TFormTextReader::ParseProperty(int Depth) {
    TFormProperty Property;
    Property.Name = std::move(FCurrent.Text);
    Property.Line = FCurrent.Line;
    const UnicodeString* const Outer = FProperty;
    FProperty = &Property.Name;
    Advance();
    if (!IsSymbol(u'=')) {
        FailHere("'=' expected");
    }
    Advance();
    Property.Value = ParseValue(Depth);
    FProperty = Outer;
    return Property;
}

// Depth is that of the object, list or collection holding the value.
TFormValue TFormTextReader::ParseValue(int Depth) {
    if (!IsValueStart()) {
        FailHere("value expected");
    }
    TFormValue Value;
    Value.Line = FCurrent.Line;
    switch (FCurrent.Kind) {
    case TTokenKind::Integer:
        Value.Kind = TFormValueKind::Integer;
        Value.Integer = FCurrent.Integer;
        Advance();
        break;
    case TTokenKind::Float:
        Value.Kind = TFormValueKind::Float;
        Value.Float = FCurrent.Float;
        Advance();
        break;
    case TTokenKind::String:
        // Long strings come as parts joined by '+', usually one part per line.
        Value.Kind = TFormValueKind::String;
        Value.Text = std::move(FCurrent.Text);
        Advance();
        while (IsSymbol(u'+')) {
            Advance();
            if (FCurrent.Kind != TTokenKind::String) {
                FailHere("string expected after '+'");
            }
            Value.Text += FCurrent.Text;
            Advance();
        }
        break;
    case TTokenKind::Identifier:
        Value.Kind = TFormValueKind::Identifier;
        Value.Text = std::move(FCurrent.Text);
        Advance();
        break;
    case TTokenKind::Symbol:
        if (FCurrent.Symbol == u'[') {
            ParseSet(Value);
        } else if (FCurrent.Symbol == u'(') {
            ParseList(Value, Depth + 1);
        } else if (FCurrent.Symbol == u'{') {
            ParseBinary(Value);
        } else {
            ParseCollection(Value, Depth + 1);
        }
        break;
    case TTokenKind::EndOfText:
    case TTokenKind::Bad:
        break;
    }
    return Value;
}

void TFormTextReader::ParseSet(TFormValue& Value) {
    Value.Kind = TFormValueKind::Set;
    Advance();
    if (IsSymbol(u']')) {
        Advance();
        return;
    }
    for (;;) {
        if (FCurrent.Kind != TTokenKind::Identifier || IsReserved(FCurrent.Text)) {
            FailHere(Value.SetItems.empty() ? "set element or ']' expected"
                                            : "set element expected");
        }
        Value.SetItems.push_back(std::move(FCurrent.Text));
        Advance();
        if (IsSymbol(u']')) {
            Advance();
            return;
        }
        if (!IsSymbol(u',')) {
            FailHere("',' or ']' expected");
        }
        Advance();
    }
}

void TFormTextReader::ParseList(TFormValue& Value, int Depth) {
    CheckDepth(Depth);
    Value.Kind = TFormValueKind::List;
    Advance();
    while (!IsSymbol(u')')) {
        if (!IsValueStart()) {
            FailHere("value or ')' expected");
        }
        Value.Items.push_back(ParseValue(Depth));
    }
    Advance();
}

// Hex digits are no tokens of their own (0A would read as a malformed number), so the digits
// between the braces are read straight from the text. The current token is '{', and the lexer
// stands just after it.
void TFormTextReader::ParseBinary(TFormValue& Value) {
    Value.Kind = TFormValueKind::Binary;
    for (;;) {
        SkipBlanks();
        if (FPos >= FText.size()) {
            Fail(FLine, "'}' expected");
        }
        const char16_t C = FText[FPos];
        if (C == u'}') {
            break;
        }
        if (HexDigitValue(C) < 0) {
            Fail(FLine, "hex digit or '}' expected, found " + DescribeChar(C));
        }
        Value.Text.push_back(C);
        ++FPos;
    }
    if (Value.Text.size() % 2 != 0) {
        Fail(FLine, "odd number of hex digits");
    }
    ++FPos;
    Advance();
}

void TFormTextReader::ParseCollection(TFormValue& Value, int Depth) {
    CheckDepth(Depth);
    Value.Kind = TFormValueKind::Collection;
    Advance();
    while (!IsSymbol(u'>')) {
        if (FCurrent.Kind != TTokenKind::Identifier || !SameKeyword(FCurrent.Text, u"item")) {
            FailHere("'item' or '>' expected");
        }
        Advance();
        SkipOrderIndex();
        std::vector<TFormProperty>& Item = Value.CollectionItems.emplace_back();
        while (!IsKeywordHere(u"end")) {
            if (FCurrent.Kind != TTokenKind::Identifier ||
                (IsReserved(FCurrent.Text) && NextSignificantChar() != u'=')) {
                FailHere("property or 'end' expected");
            }
            Item.push_back(ParseProperty(Depth));
        }
        Advance();
    }
    Advance();
}

} // namespace

TFormObject ParseFormText(std::u16string_view Text) {
    return TFormTextReader(Text).Parse();
}

} // namespace System::Classes
