// The framework's text form files ("object Name: TClass ... end" blocks) as a plain syntax tree:
// a reader from text to tree and a writer from tree to the text the framework itself writes.
// Nothing here knows components or property types; mapping the tree onto components is left to
// the layer above.
#pragma once

#include "System.hpp"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace System::Classes {

enum class TFormValueKind : std::uint8_t {
    Integer,
    Float,
    String,
    Identifier,
    Set,
    List,
    Binary,
    Collection
};

struct TFormProperty;

// One property value. Only the members that belong to Kind carry anything; the reader leaves the
// others at their defaults, and the writer ignores them.
struct TFormValue {
    TFormValueKind Kind = TFormValueKind::Integer;
    std::int64_t Integer = 0;
    double Float = 0;
    // String: the decoded text. Identifier: the name as written, dots included (True, dtAudio,
    // Font.Style, a method name). Binary: the hex digits as written, without blanks or line ends.
    UnicodeString Text;
    // Set: [a, b].
    std::vector<UnicodeString> SetItems;
    // List: ( item item ... ); any kind of value, lists included.
    std::vector<TFormValue> Items;
    // Collection: < item Prop = value ... end ... >; one property list per item.
    std::vector<std::vector<TFormProperty>> CollectionItems;
    // The 1-based line where the value starts in the text it was read from; 0 when built in code.
    int Line = 0;

    bool operator==(const TFormValue&) const = default;
};

struct TFormProperty {
    UnicodeString Name; // may be dotted: Files.Strings
    TFormValue Value;
    int Line = 0;

    bool operator==(const TFormProperty&) const = default;
};

struct TFormObject {
    // object, inherited or inline, lower case whatever the case in the text.
    UnicodeString Kind = u"object";
    // Empty for a block written without a name ("object TClass").
    UnicodeString Name;
    UnicodeString ClassName;
    std::vector<TFormProperty> Properties; // in text order
    std::vector<TFormObject> Children;     // the nested blocks, in text order
    int Line = 0;

    bool operator==(const TFormObject&) const = default;
};

// Malformed form text. what() reads "line 7: Speed: integer expected": the line, the property
// being read if any, and what was wrong.
class EFormTextError : public std::runtime_error {
public:
    EFormTextError(int ALine, const std::string& AMessage);

    int Line() const noexcept { return FLine; }

private:
    int FLine;
};

// Reads exactly one top-level block; only blanks and line ends may follow it. A leading U+FEFF
// is skipped. Throws EFormTextError for anything else, nesting deeper than 64 levels (objects,
// lists and collections together) included.
TFormObject ParseFormText(std::u16string_view Text);

// The text the framework writes for the tree: CRLF after every line, two blanks of indent per
// level. Throws std::invalid_argument for a Float value that is not finite, which has no text.
UnicodeString WriteFormText(const TFormObject& Object);

} // namespace System::Classes
