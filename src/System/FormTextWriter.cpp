// Writes the syntax tree as the framework's own writer lays it out, so that a form saved here
// differs from one saved by the framework only where the tree does.
#include "System.Classes.FormText.hpp"
#include "System.SysUtils.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace System::Classes {

namespace {

// Strings longer than this are split into lines of this many code units; binary data goes in
// lines of this many hex digits.
constexpr std::size_t UnitsPerLine = 64;

constexpr std::u16string_view LineEnd = u"\r\n";

void AppendIndent(UnicodeString& Out, std::size_t Level) {
    Out.append(2 * Level, u' ');
}

void AppendAscii(UnicodeString& Out, std::string_view Text) {
    for (const char C : Text) {
        Out.push_back(static_cast<char16_t>(static_cast<unsigned char>(C)));
    }
}

void AppendInteger(UnicodeString& Out, std::int64_t Value) {
    char Buffer[24];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    AppendAscii(Out, std::string_view(Buffer, static_cast<std::size_t>(Result.ptr - Buffer)));
}

// The shortest text that reads back as the same double, with an exponent in capitals; a value
// with neither point nor exponent gets ".0", or it would read back as an integer.
void AppendFloat(UnicodeString& Out, double Value, const UnicodeString& PropertyName) {
    if (!std::isfinite(Value)) {
        throw std::invalid_argument(Sysutils::UTF8Encode(PropertyName) +
                                    ": a float that is not finite has no form text");
    }
    char Buffer[64];
    const auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value);
    std::string Text(Buffer, Result.ptr);
    for (char& C : Text) {
        C = C == 'e' ? 'E' : C;
    }
    if (Text.find_first_of(".E") == std::string::npos) {
        Text += ".0";
    }
    AppendAscii(Out, Text);
}

// Printable ASCII other than the quote goes into quoted runs, every other code unit becomes a
// #code; after 64 units on a line, if more follow, the line ends with " +" and the string goes
// on at Level.
void AppendString(UnicodeString& Out, std::u16string_view Text, std::size_t Level) {
    if (Text.empty()) {
        Out += u"''";
        return;
    }
    bool Quoted = false;
    std::size_t OnLine = 0;
    for (const char16_t C : Text) {
        if (OnLine == UnitsPerLine) {
            if (Quoted) {
                Out.push_back(u'\'');
                Quoted = false;
            }
            Out += u" +";
            Out += LineEnd;
            AppendIndent(Out, Level);
            OnLine = 0;
        }
        if (C >= 0x20 && C <= 0x7E && C != u'\'') {
            if (!Quoted) {
                Out.push_back(u'\'');
                Quoted = true;
            }
            Out.push_back(C);
        } else {
            if (Quoted) {
                Out.push_back(u'\'');
                Quoted = false;
            }
            Out.push_back(u'#');
            AppendInteger(Out, C);
        }
        ++OnLine;
    }
    if (Quoted) {
        Out.push_back(u'\'');
    }
}

void AppendProperty(UnicodeString& Out, const TFormProperty& Property, std::size_t Level);

void AppendSet(UnicodeString& Out, const std::vector<UnicodeString>& Items) {
    Out.push_back(u'[');
    for (std::size_t I = 0; I < Items.size(); ++I) {
        if (I > 0) {
            Out += u", ";
        }
        Out += Items[I];
    }
    Out.push_back(u']');
}

// The hex digits go in lines of their own, one level deeper than the property.
void AppendBinary(UnicodeString& Out, std::u16string_view Digits, std::size_t Level) {
    Out.push_back(u'{');
    for (std::size_t Start = 0; Start < Digits.size(); Start += UnitsPerLine) {
        Out += LineEnd;
        AppendIndent(Out, Level + 1);
        Out += Digits.substr(Start, UnitsPerLine);
    }
    Out.push_back(u'}');
}

void AppendCollection(UnicodeString& Out, const std::vector<std::vector<TFormProperty>>& Items,
                      std::size_t Level) {
    Out.push_back(u'<');
    for (const std::vector<TFormProperty>& Item : Items) {
        Out += LineEnd;
        AppendIndent(Out, Level + 1);
        Out += u"item";
        Out += LineEnd;
        for (const TFormProperty& Property : Item) {
            AppendProperty(Out, Property, Level + 2);
        }
        AppendIndent(Out, Level + 1);
        Out += u"end";
    }
    Out.push_back(u'>');
}

// Level is that of the line the value starts on. A property's long string moves to a line of its
// own one level deeper; a list item is on a line of its own already (OwnLine).
void AppendValue(UnicodeString& Out, const TFormValue& Value, std::size_t Level, bool OwnLine,
                 const UnicodeString& PropertyName) {
    switch (Value.Kind) {
    case TFormValueKind::Integer:
        AppendInteger(Out, Value.Integer);
        return;
    case TFormValueKind::Float:
        AppendFloat(Out, Value.Float, PropertyName);
        return;
    case TFormValueKind::String:
        if (!OwnLine && Value.Text.size() > UnitsPerLine) {
            Out += LineEnd;
            AppendIndent(Out, Level + 1);
            AppendString(Out, Value.Text, Level + 1);
        } else {
            AppendString(Out, Value.Text, Level);
        }
        return;
    case TFormValueKind::Identifier:
        Out += Value.Text;
        return;
    case TFormValueKind::Set:
        AppendSet(Out, Value.SetItems);
        return;
    case TFormValueKind::List:
        Out.push_back(u'(');
        for (const TFormValue& Item : Value.Items) {
            Out += LineEnd;
            AppendIndent(Out, Level + 1);
            AppendValue(Out, Item, Level + 1, true, PropertyName);
        }
        Out.push_back(u')');
        return;
    case TFormValueKind::Binary:
        AppendBinary(Out, Value.Text, Level);
        return;
    case TFormValueKind::Collection:
        AppendCollection(Out, Value.CollectionItems, Level);
        return;
    }
    throw std::invalid_argument(Sysutils::UTF8Encode(PropertyName) + ": unknown value kind");
}

void AppendProperty(UnicodeString& Out, const TFormProperty& Property, std::size_t Level) {
    AppendIndent(Out, Level);
    Out += Property.Name;
    Out += u" = ";
    AppendValue(Out, Property.Value, Level, false, Property.Name);
    Out += LineEnd;
}

void AppendObject(UnicodeString& Out, const TFormObject& Object, std::size_t Level) {
    AppendIndent(Out, Level);
    Out += Object.Kind.empty() ? u"object" : Object.Kind;
    Out.push_back(u' ');
    if (!Object.Name.empty()) {
        Out += Object.Name;
        Out += u": ";
    }
    Out += Object.ClassName;
    Out += LineEnd;
    for (const TFormProperty& Property : Object.Properties) {
        AppendProperty(Out, Property, Level + 1);
    }
    for (const TFormObject& Child : Object.Children) {
        AppendObject(Out, Child, Level + 1);
    }
    AppendIndent(Out, Level);
    Out += u"end";
    Out += LineEnd;
}

} // namespace

UnicodeString WriteFormText(const TFormObject& Object) {
    UnicodeString Out;
    AppendObject(Out, Object, 0);
    return Out;
}

} // namespace System::Classes
