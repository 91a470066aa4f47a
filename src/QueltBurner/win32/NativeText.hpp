// The component's text as Windows takes it: the Win32 host's files share these two rules.
#pragma once

#include "System.hpp"

#include <string>

namespace Queltburner::Win32 {

// UTF-16 both sides: wchar_t is 16 bits on Windows.
inline std::wstring Wide(const System::UnicodeString& Text) {
    return {Text.begin(), Text.end()};
}

// A path Windows can be asked about: a NUL would silently name a shorter path.
inline bool IsAskable(const System::UnicodeString& Path) {
    return !Path.empty() && Path.find(u'\0') == System::UnicodeString::npos;
}

} // namespace Queltburner::Win32
