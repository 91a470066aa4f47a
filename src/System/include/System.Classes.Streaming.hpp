// Storing a component's published properties as text form data, and loading them back, by the
// framework's own rules, so that form files written by the framework load here unchanged.
#pragma once

#include "System.Classes.hpp"

#include <any>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

namespace System::Classes {

// Finds the handler that form data names for the event Event; no value when the name is unknown.
// The handler must be of the event's own type (for example a TNotifyEvent for OnSuccess).
using TMethodResolver = std::function<std::optional<std::any>(const UnicodeString& MethodName,
                                                              const Typinfo::TPropInfo& Event)>;

// A resolver over a table of named handlers, as a form class's methods would be.
class TMethodTable {
public:
    template <typename Event>
    void Add(const UnicodeString& Name, Event Handler) {
        FMethods[Name] = std::any(std::move(Handler));
    }
    TMethodResolver Resolver() const;

private:
    std::map<UnicodeString, std::any> FMethods;
};

// The component as a text form block: `object Name: TClass`, one line per stored property in
// declared order (a property holding its declared default, an empty string or list, and an event
// without a method name are not stored), the design position, `end`. Lines end with CR LF.
UnicodeString WriteComponentText(const TComponent& Component);

// Loads one block into Component: its name and every property the block holds; properties the
// block leaves out keep their values. All or nothing: on any error (syntax, unknown property,
// wrong type, value out of range, unknown method) Component is unchanged and EFormTextError says
// the line, the property and what was wrong.
void ReadComponentText(std::u16string_view Text, TComponent& Component,
                       const TMethodResolver& Resolver = {});

// The same for the block named Name anywhere in a whole form file (at any depth).
void ReadComponentFromForm(std::u16string_view FormText, std::u16string_view Name,
                           TComponent& Component, const TMethodResolver& Resolver = {});

} // namespace System::Classes
