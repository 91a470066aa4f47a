// The least of the host framework's runtime that the component needs: its string and character
// types and the root class. Strings are UTF-16 throughout, as the framework defines them.
#pragma once

#include <string>

namespace System {

using UnicodeString = std::u16string;
using WideChar = char16_t;

// Root of every framework class. Polymorphic so that a Sender can be identified by dynamic_cast.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    TObject(TObject&&) = delete;
    TObject& operator=(TObject&&) = delete;
    virtual ~TObject();
};

} // namespace System
