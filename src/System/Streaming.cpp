#include "System.Classes.Streaming.hpp"

#include "System.Classes.FormText.hpp"
#include "System.SysUtils.hpp"

#include <limits>
#include <memory>

namespace System::Classes {

namespace {

using Typinfo::SameIdentifier;
using Typinfo::TPropInfo;
using Typinfo::TTypeKind;

constexpr std::u16string_view StringsSuffix = u".Strings";

[[noreturn]] void Fail(int Line, std::u16string_view Property, const std::string& What) {
    throw EFormTextError(Line, Sysutils::UTF8Encode(Property) + ": " + What);
}

TFormValue Identifier(UnicodeString Name) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Identifier;
    Value.Text = std::move(Name);
    return Value;
}

TFormValue Integer(std::int64_t Number) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Integer;
    Value.Integer = Number;
    return Value;
}

TFormValue String(UnicodeString Text) {
    TFormValue Value;
    Value.Kind = TFormValueKind::String;
    Value.Text = std::move(Text);
    return Value;
}

// The stored form of an ordinal: True/False, an enumeration's name, or the number.
TFormValue OrdinalValue(const TPropInfo& Info, std::int64_t Ordinal) {
    if ((Info.Kind == TTypeKind::Boolean || Info.Kind == TTypeKind::Enumeration) && Ordinal >= 0 &&
        static_cast<std::size_t>(Ordinal) < Info.EnumNames.size()) {
        return Identifier(Info.EnumNames[static_cast<std::size_t>(Ordinal)]);
    }
    return Integer(Ordinal);
}

std::optional<TFormValue> StoredValue(const TComponent& Component, const TPropInfo& Info) {
    switch (Info.Kind) {
    case TTypeKind::Integer:
    case TTypeKind::Enumeration:
    case TTypeKind::Boolean: {
        const std::int64_t Ordinal = Info.GetOrd(Component);
        if (Info.Default && *Info.Default == Ordinal) {
            return std::nullopt;
        }
        return OrdinalValue(Info, Ordinal);
    }
    case TTypeKind::UString: {
        UnicodeString Text = Info.GetStr(Component);
        return Text.empty() ? std::nullopt : std::optional(String(std::move(Text)));
    }
    case TTypeKind::Strings: {
        const TStrings* List = Info.GetStrings(Component);
        if (List == nullptr || List->Count() == 0) {
            return std::nullopt;
        }
        TFormValue Value;
        Value.Kind = TFormValueKind::List;
        Value.Items.reserve(static_cast<std::size_t>(List->Count()));
        for (int I = 0; I < List->Count(); ++I) {
            Value.Items.push_back(String(List->Strings(I)));
        }
        return Value;
    }
    case TTypeKind::Method: {
        UnicodeString Method = Component.MethodName(Info.Name);
        if (!Info.IsAssigned(Component) || Method.empty()) {
            return std::nullopt;
        }
        return Identifier(std::move(Method));
    }
    }
    return std::nullopt;
}

// The readers of one kind of property each check the value against the property's type and
// return the change it makes, so that nothing is applied before every property of the block has
// been checked.
using TPropertyChange = std::function<void(TComponent&)>;

TPropertyChange ReadInteger(const TPropInfo& Info, const TFormValue& Value, int Line) {
    if (Value.Kind != TFormValueKind::Integer) {
        Fail(Line, Info.Name, "a whole number is expected");
    }
    if (Value.Integer < Info.MinValue || Value.Integer > Info.MaxValue) {
        Fail(Line, Info.Name,
             std::to_string(Value.Integer) + " is out of range " + std::to_string(Info.MinValue) +
                 ".." + std::to_string(Info.MaxValue));
    }
    return [&Info, N = Value.Integer](TComponent& C) { Info.SetOrd(C, N); };
}

TPropertyChange ReadEnumeration(const TPropInfo& Info, const TFormValue& Value, int Line) {
    if (Value.Kind != TFormValueKind::Identifier) {
        Fail(Line, Info.Name,
             "one of the " + Sysutils::UTF8Encode(Info.TypeName) + " names is expected");
    }
    for (std::size_t I = 0; I < Info.EnumNames.size(); ++I) {
        if (SameIdentifier(Info.EnumNames[I], Value.Text)) {
            return [&Info, N = static_cast<std::int64_t>(I)](TComponent& C) { Info.SetOrd(C, N); };
        }
    }
    Fail(Line, Info.Name,
         Sysutils::UTF8Encode(Value.Text) + " is not a " + Sysutils::UTF8Encode(Info.TypeName) +
             " value");
}

TPropertyChange ReadStrings(const TPropInfo& Info, const TFormValue& Value, int Line) {
    if (Value.Kind != TFormValueKind::List) {
        Fail(Line, Info.Name, "a list of strings is expected");
    }
    auto List = std::make_shared<TStringList>();
    for (const TFormValue& Item : Value.Items) {
        if (Item.Kind != TFormValueKind::String) {
            Fail(Item.Line, Info.Name, "a list of strings is expected");
        }
        List->Add(Item.Text);
    }
    return [&Info, List](TComponent& C) { Info.SetStrings(C, *List); };
}

TPropertyChange ReadMethod(const TPropInfo& Info, const TFormValue& Value, int Line,
                           const TMethodResolver& Resolver) {
    if (Value.Kind != TFormValueKind::Identifier) {
        Fail(Line, Info.Name, "a method name is expected");
    }
    std::optional<std::any> Handler = Resolver ? Resolver(Value.Text, Info) : std::nullopt;
    if (!Handler) {
        Fail(Line, Info.Name, "no method named " + Sysutils::UTF8Encode(Value.Text));
    }
    if (!Info.AcceptsHandler(*Handler)) {
        Fail(Line, Info.Name,
             "method " + Sysutils::UTF8Encode(Value.Text) + " is not a " +
                 Sysutils::UTF8Encode(Info.TypeName));
    }
    return [&Info, Handler = std::move(*Handler), Method = Value.Text](TComponent& C) {
        Info.SetMethod(C, Handler);
        C.SetMethodName(Info.Name, Method);
    };
}

TPropertyChange ReadValue(const TPropInfo& Info, const TFormProperty& Property,
                          const TMethodResolver& Resolver) {
    const TFormValue& Value = Property.Value;
    const int Line = Property.Line;
    switch (Info.Kind) {
    case TTypeKind::Integer:
        return ReadInteger(Info, Value, Line);
    case TTypeKind::Boolean:
    case TTypeKind::Enumeration:
        return ReadEnumeration(Info, Value, Line);
    case TTypeKind::UString:
        if (Value.Kind != TFormValueKind::String) {
            Fail(Line, Info.Name, "a string is expected");
        }
        return [&Info, Text = Value.Text](TComponent& C) { Info.SetStr(C, Text); };
    case TTypeKind::Strings:
        return ReadStrings(Info, Value, Line);
    case TTypeKind::Method:
        return ReadMethod(Info, Value, Line, Resolver);
    }
    Fail(Line, Info.Name, "cannot be read");
}

std::int32_t DesignPosition(const TFormProperty& Property) {
    if (Property.Value.Kind != TFormValueKind::Integer ||
        Property.Value.Integer < std::numeric_limits<std::int32_t>::min() ||
        Property.Value.Integer > std::numeric_limits<std::int32_t>::max()) {
        Fail(Property.Line, Property.Name, "a whole number is expected");
    }
    return static_cast<std::int32_t>(Property.Value.Integer);
}

void ApplyBlock(const TFormObject& Block, TComponent& Component, const TMethodResolver& Resolver) {
    if (!SameIdentifier(Block.ClassName, Component.ClassName())) {
        throw EFormTextError(Block.Line, "the block is a " + Sysutils::UTF8Encode(Block.ClassName) +
                                             ", not a " +
                                             Sysutils::UTF8Encode(Component.ClassName()));
    }
    const Typinfo::TPropList& Properties = Component.PublishedProperties();
    std::vector<TPropertyChange> Changes;
    Changes.reserve(Block.Properties.size() + 1);
    Changes.emplace_back([Name = Block.Name](TComponent& C) { C.SetName(Name); });
    for (const TFormProperty& Property : Block.Properties) {
        if (SameIdentifier(Property.Name, u"Left")) {
            Changes.emplace_back(
                [N = DesignPosition(Property)](TComponent& C) { C.DesignLeft = N; });
            continue;
        }
        if (SameIdentifier(Property.Name, u"Top")) {
            Changes.emplace_back(
                [N = DesignPosition(Property)](TComponent& C) { C.DesignTop = N; });
            continue;
        }
        // A string list is stored under its property's name followed by .Strings.
        std::u16string_view Name = Property.Name;
        const bool ListForm =
            Name.size() > StringsSuffix.size() &&
            SameIdentifier(Name.substr(Name.size() - StringsSuffix.size()), StringsSuffix);
        if (ListForm) {
            Name.remove_suffix(StringsSuffix.size());
        }
        const TPropInfo* Info = Typinfo::FindPropInfo(Properties, Name);
        if (Info == nullptr || ListForm != (Info->Kind == TTypeKind::Strings)) {
            Fail(Property.Line, Property.Name,
                 "no such property in " + Sysutils::UTF8Encode(Component.ClassName()));
        }
        Changes.push_back(ReadValue(*Info, Property, Resolver));
    }
    for (const auto& Change : Changes) {
        Change(Component);
    }
}

const TFormObject* FindBlock(const TFormObject& Object, std::u16string_view Name) {
    if (SameIdentifier(Object.Name, Name)) {
        return &Object;
    }
    for (const TFormObject& Child : Object.Children) {
        if (const TFormObject* Found = FindBlock(Child, Name)) {
            return Found;
        }
    }
    return nullptr;
}

} // namespace

TMethodResolver TMethodTable::Resolver() const {
    return [Methods = FMethods](const UnicodeString& Name,
                                const TPropInfo&) -> std::optional<std::any> {
        const auto Found = Methods.find(Name);
        if (Found == Methods.end()) {
            return std::nullopt;
        }
        return Found->second;
    };
}

UnicodeString WriteComponentText(const TComponent& Component) {
    TFormObject Block;
    Block.Kind = u"object";
    Block.Name = Component.Name();
    Block.ClassName = Component.ClassName();
    for (const TPropInfo& Info : Component.PublishedProperties()) {
        if (std::optional<TFormValue> Value = StoredValue(Component, Info)) {
            const bool ListForm = Info.Kind == TTypeKind::Strings;
            Block.Properties.push_back(
                {ListForm ? Info.Name + UnicodeString(StringsSuffix) : Info.Name, std::move(*Value),
                 0});
        }
    }
    if (Component.DesignLeft) {
        Block.Properties.push_back({u"Left", Integer(*Component.DesignLeft), 0});
    }
    if (Component.DesignTop) {
        Block.Properties.push_back({u"Top", Integer(*Component.DesignTop), 0});
    }
    return WriteFormText(Block);
}

void ReadComponentText(std::u16string_view Text, TComponent& Component,
                       const TMethodResolver& Resolver) {
    ApplyBlock(ParseFormText(Text), Component, Resolver);
}

void ReadComponentFromForm(std::u16string_view FormText, std::u16string_view Name,
                           TComponent& Component, const TMethodResolver& Resolver) {
    const TFormObject Form = ParseFormText(FormText);
    const TFormObject* Block = FindBlock(Form, Name);
    if (Block == nullptr) {
        throw EFormTextError(Form.Line, "no component named " + Sysutils::UTF8Encode(Name));
    }
    ApplyBlock(*Block, Component, Resolver);
}

} // namespace System::Classes
