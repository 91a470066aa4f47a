// What the form-text tests share: values and blocks built as code would build them, trees with
// their line numbers cleared for comparison, and failures that show trees as form text.
#pragma once

#include "System.Classes.FormText.hpp"
#include "System.SysUtils.hpp"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace System::Classes {

void PrintTo(const TFormObject& Object, std::ostream* Out);
void PrintTo(const TFormValue& Value, std::ostream* Out);

} // namespace System::Classes

namespace FormTextTest {

using namespace std::string_view_literals;
using System::UnicodeString;
using System::Classes::EFormTextError;
using System::Classes::ParseFormText;
using System::Classes::TFormObject;
using System::Classes::TFormProperty;
using System::Classes::TFormValue;
using System::Classes::TFormValueKind;
using System::Classes::WriteFormText;
using System::Sysutils::UTF8Encode;

TFormValue IntValue(std::int64_t Integer);
TFormValue FloatValue(double Float);
TFormValue TextValue(TFormValueKind Kind, UnicodeString Text);
TFormValue StringValue(UnicodeString Text);
TFormValue IdentValue(UnicodeString Name);
TFormValue BinaryValue(UnicodeString Digits);
TFormValue SetValue(std::vector<UnicodeString> Items);
TFormValue ListValue(std::vector<TFormValue> Items);
TFormValue CollectionValue(std::vector<std::vector<TFormProperty>> Items);
TFormProperty Prop(UnicodeString Name, TFormValue Value);
TFormObject Block(UnicodeString Name, UnicodeString ClassName,
                  std::vector<TFormProperty> Properties = {},
                  std::vector<TFormObject> Children = {});

void ClearLines(TFormProperty& Property);
void ClearLines(TFormValue& Value);
void ClearLines(TFormObject& Object);

// The tree as it would be built in code, for comparing a parsed tree with an expected one.
template <class T>
T WithoutLines(T Tree) {
    ClearLines(Tree);
    return Tree;
}

UnicodeString Repeat(std::u16string_view Part, std::size_t Count);

} // namespace FormTextTest
