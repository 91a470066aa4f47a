// Run-time information about published properties: what a design surface or the form writer and
// reader need to walk a component's settings without knowing its class.
#pragma once

#include "System.hpp"

#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace System::Classes {
class TStrings;
}

namespace System::Typinfo {

enum class TTypeKind : std::uint8_t {
    Integer,     // a whole number within [MinValue, MaxValue]
    Enumeration, // an ordinal named by EnumNames
    Boolean,     // False or True
    UString,     // a UTF-16 string
    Strings,     // a TStrings object, stored as Name.Strings
    Method,      // an event, stored as the name of the method bound to it
};

// One published property. The accessors work on an instance of the class that lists it.
struct TPropInfo {
    UnicodeString Name;
    TTypeKind Kind = TTypeKind::Integer;
    UnicodeString TypeName;
    // The declared default: the form writer leaves the property out while it holds this value.
    std::optional<std::int64_t> Default;
    std::int64_t MinValue = 0;
    std::int64_t MaxValue = 0;
    std::vector<UnicodeString> EnumNames;

    // Integer, Enumeration and Boolean (0 or 1).
    std::function<std::int64_t(const TObject&)> GetOrd;
    std::function<void(TObject&, std::int64_t)> SetOrd;
    // UString.
    std::function<UnicodeString(const TObject&)> GetStr;
    std::function<void(TObject&, const UnicodeString&)> SetStr;
    // Strings: the object's own list; setting copies the entries.
    std::function<const Classes::TStrings*(const TObject&)> GetStrings;
    std::function<void(TObject&, const Classes::TStrings&)> SetStrings;
    // Method: whether a handler is assigned, and binding one; false when Handler is of another
    // event type than the property's.
    std::function<bool(const TObject&)> IsAssigned;
    std::function<bool(const std::any& Handler)> AcceptsHandler;
    std::function<bool(TObject&, const std::any& Handler)> SetMethod;
};

using TPropList = std::vector<TPropInfo>;

// The property of that name, compared without regard to ASCII case as the framework does; or null.
const TPropInfo* FindPropInfo(const TPropList& Properties, std::u16string_view Name) noexcept;

// ASCII case-insensitive comparison of identifiers.
bool SameIdentifier(std::u16string_view A, std::u16string_view B) noexcept;

// The start-up and shut-down of this unit; they only count how often the unit was entered.
void initialization();
void Finalization();

} // namespace System::Typinfo
