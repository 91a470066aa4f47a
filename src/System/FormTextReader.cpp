// Reads form text into the syntax tree: a recursive descent over the lexer's tokens whose depth
// is bounded, so that any input, however damaged, ends in a tree or an EFormTextError.
#include "System.Classes.FormText.hpp"

#include "FormTextLexer.hpp"
#include "System.SysUtils.hpp"

#include <optional>
#include <string>
#include <utility>

namespace System::Classes {

EFormTextError::EFormTextError(int ALine, const std::string& AMessage)
    : std::runtime_error("line " + std::to_string(ALine) + ": " + AMessage), FLine(ALine) {}

namespace {

using FormText::IsBlockKeyword;
using FormText::IsReserved;
using FormText::SameKeyword;
using FormText::TFormTextLexer;
using FormText::TToken;
using FormText::TTokenKind;
using Sysutils::LowerAscii;

// Far deeper than any real form; the limit bounds the reader's stack (and the tree's recursive
// destruction) whatever the input.
constexpr int MaxNesting = 64;

UnicodeString LowerAscii(std::u16string_view Text) {
    UnicodeString Result(Text);
    for (char16_t& C : Result) {
        C = LowerAscii(C);
    }
    return Result;
}

class TFormTextReader {
public:
    explicit TFormTextReader(std::u16string_view AText) : FLexer(AText) {}

    TFormObject Parse();

private:
    void Advance() { FCurrent = FLexer.Next(); }
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

    TFormTextLexer FLexer;
    TToken FCurrent;
    const UnicodeString* FProperty = nullptr; // the property whose value is being read
};

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
           FLexer.NextSignificantChar() != u'=';
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

// The current token is '{', and the lexer stands just after it.
void TFormTextReader::ParseBinary(TFormValue& Value) {
    Value.Kind = TFormValueKind::Binary;
    if (std::optional<std::string> Error = FLexer.ReadBinaryDigits(Value.Text)) {
        Fail(FLexer.Line(), *Error);
    }
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
                (IsReserved(FCurrent.Text) && FLexer.NextSignificantChar() != u'=')) {
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
