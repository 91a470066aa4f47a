#include "FormTextSupport.hpp"

#include <utility>

namespace System::Classes {

// Failures show trees as form text rather than as bytes.
void PrintTo(const TFormObject& Object, std::ostream* Out) {
    *Out << "\n" << Sysutils::UTF8Encode(WriteFormText(Object));
}

void PrintTo(const TFormValue& Value, std::ostream* Out) {
    TFormObject Holder;
    Holder.ClassName = u"THolder";
    Holder.Properties.push_back({u"Value", Value, 0});
    PrintTo(Holder, Out);
    *Out << "(read from line " << Value.Line << ")";
}

} // namespace System::Classes

namespace FormTextTest {

TFormValue IntValue(std::int64_t Integer) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Integer;
    Value.Integer = Integer;
    return Value;
}

TFormValue FloatValue(double Float) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Float;
    Value.Float = Float;
    return Value;
}

TFormValue TextValue(TFormValueKind Kind, UnicodeString Text) {
    TFormValue Value;
    Value.Kind = Kind;
    Value.Text = std::move(Text);
    return Value;
}

TFormValue StringValue(UnicodeString Text) {
    return TextValue(TFormValueKind::String, std::move(Text));
}

TFormValue IdentValue(UnicodeString Name) {
    return TextValue(TFormValueKind::Identifier, std::move(Name));
}

TFormValue BinaryValue(UnicodeString Digits) {
    return TextValue(TFormValueKind::Binary, std::move(Digits));
}

TFormValue SetValue(std::vector<UnicodeString> Items) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Set;
    Value.SetItems = std::move(Items);
    return Value;
}

TFormValue ListValue(std::vector<TFormValue> Items) {
    TFormValue Value;
    Value.Kind = TFormValueKind::List;
    Value.Items = std::move(Items);
    return Value;
}

TFormValue CollectionValue(std::vector<std::vector<TFormProperty>> Items) {
    TFormValue Value;
    Value.Kind = TFormValueKind::Collection;
    Value.CollectionItems = std::move(Items);
    return Value;
}

TFormProperty Prop(UnicodeString Name, TFormValue Value) {
    return {std::move(Name), std::move(Value), 0};
}

TFormObject Block(UnicodeString Name, UnicodeString ClassName,
                  std::vector<TFormProperty> Properties, std::vector<TFormObject> Children) {
    TFormObject Object;
    Object.Name = std::move(Name);
    Object.ClassName = std::move(ClassName);
    Object.Properties = std::move(Properties);
    Object.Children = std::move(Children);
    return Object;
}

void ClearLines(TFormProperty& Property) {
    Property.Line = 0;
    ClearLines(Property.Value);
}

void ClearLines(TFormValue& Value) {
    Value.Line = 0;
    for (TFormValue& Item : Value.Items) {
        ClearLines(Item);
    }
    for (std::vector<TFormProperty>& Item : Value.CollectionItems) {
        for (TFormProperty& Property : Item) {
            ClearLines(Property);
        }
    }
}

void ClearLines(TFormObject& Object) {
    Object.Line = 0;
    for (TFormProperty& Property : Object.Properties) {
        ClearLines(Property);
    }
    for (TFormObject& Child : Object.Children) {
        ClearLines(Child);
    }
}

UnicodeString Repeat(std::u16string_view Part, std::size_t Count) {
    UnicodeString Result;
    for (std::size_t I = 0; I < Count; ++I) {
        Result += Part;
    }
    return Result;
}

} // namespace FormTextTest
