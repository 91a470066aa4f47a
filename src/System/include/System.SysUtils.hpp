// Text helpers of the framework's SysUtils unit, and the conversions between the framework's
// UTF-16 strings and the UTF-8 text of POSIX interfaces.
#pragma once

#include "System.Platform.hpp"
#include "System.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace System::Sysutils {

// Removes leading and trailing characters whose code is 32 or less; inner text stays as it is.
UnicodeString Trim(const UnicodeString& S);

// Decimal text without leading zeros or plus sign; a minus sign for negative values.
UnicodeString IntToStr(std::int64_t Value);

// Strict conversions: an unpaired surrogate (UTF-16) or an ill-formed sequence (UTF-8) gives
// no result rather than a silently altered text.
std::optional<std::string> TryUTF8Encode(std::u16string_view S);
std::optional<UnicodeString> TryUTF8ToString(std::string_view S);

// Lenient conversions for display: ill-formed input becomes U+FFFD.
std::string UTF8Encode(std::u16string_view S);
UnicodeString UTF8ToString(std::string_view S);

} // namespace System::Sysutils

namespace System {
using Sysutils::IntToStr;
using Sysutils::PathDelim;
using Sysutils::Trim;
} // namespace System
