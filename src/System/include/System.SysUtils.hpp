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

// The value of a hexadecimal digit, or -1 for any other character.
constexpr int HexDigitValue(char16_t C) noexcept {
    if (C >= u'0' && C <= u'9') {
        return C - u'0';
    }
    if (C >= u'a' && C <= u'f') {
        return C - u'a' + 10;
    }
    if (C >= u'A' && C <= u'F') {
        return C - u'A' + 10;
    }
    return -1;
}

// Whether any of the four UTF-16 units packed in FourUnits (a 64-bit word read from text) is
// Value: the zero-lane test, exact. Long texts are scanned a word at a time with it.
constexpr bool AnyUnitIs(std::uint64_t FourUnits, char16_t Value) noexcept {
    constexpr std::uint64_t Ones = 0x0001000100010001ULL;
    constexpr std::uint64_t Highs = 0x8000800080008000ULL;
    const std::uint64_t Lanes = FourUnits ^ (Ones * Value);
    return ((Lanes - Ones) & ~Lanes & Highs) != 0;
}

// The lower-case form of an ASCII letter; every other character as it is. Identifiers, keywords
// and file endings compare this way, whatever the user's locale.
constexpr char16_t LowerAscii(char16_t C) noexcept {
    return C >= u'A' && C <= u'Z' ? static_cast<char16_t>(C - u'A' + u'a') : C;
}

constexpr bool IsHighSurrogate(char32_t C) noexcept {
    return C >= 0xD800 && C <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t C) noexcept {
    return C >= 0xDC00 && C <= 0xDFFF;
}

// Removes leading and trailing characters whose code is 32 or less; inner text stays as it is.
UnicodeString Trim(const UnicodeString& S);

// S without leading and trailing blanks (spaces and tabs only): the trimming of hand-written
// configuration text, where a line break or another control character is not a blank.
template <typename Char>
constexpr std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> S) noexcept {
    const auto IsBlank = [](Char C) { return C == Char(' ') || C == Char('\t'); };
    while (!S.empty() && IsBlank(S.front())) {
        S.remove_prefix(1);
    }
    while (!S.empty() && IsBlank(S.back())) {
        S.remove_suffix(1);
    }
    return S;
}

// Decimal text without leading zeros or plus sign; a minus sign for negative values.
UnicodeString IntToStr(std::int64_t Value);

// Strict conversions: an unpaired surrogate (UTF-16) or an ill-formed sequence (UTF-8) gives
// no result rather than a silently altered text.
std::optional<std::string> TryUTF8Encode(std::u16string_view S);
// Appends S to Out as UTF-8 and returns true; on an unpaired surrogate leaves Out as it was and
// returns false. For callers that reuse one buffer instead of making a string a call.
bool TryAppendUTF8(std::string& Out, std::u16string_view S);
// The same, and also false for text holding a NUL (which would end a C string there).
bool TryAppendUTF8WithoutNul(std::string& Out, std::u16string_view S);
std::optional<UnicodeString> TryUTF8ToString(std::string_view S);

// Lenient conversions for display: ill-formed input becomes U+FFFD.
std::string UTF8Encode(std::u16string_view S);
UnicodeString UTF8ToString(std::string_view S);

// File names, losslessly: a POSIX name is any byte string, and the text it becomes gives back
// exactly those bytes. Well-formed UTF-8 becomes its characters; each byte that is not part of
// well-formed UTF-8 becomes the lone low surrogate U+DC80 to U+DCFF (U+DC00 plus the byte), and
// back. A lone surrogate outside that range (which no byte string gives) becomes U+FFFD's bytes,
// and escapes that together form well-formed UTF-8 come back as its character.
UnicodeString FileNameToString(std::string_view Native);
std::string StringToFileName(std::u16string_view Text);
// StringToFileName appended to Out, strictly, for a path handed to the system: false (Out as it
// was) for a NUL and for text that FileNameToString gives for no bytes (a lone surrogate outside
// the escapes, escapes that together are well-formed UTF-8), which would name another file.
bool TryAppendFileNameWithoutNul(std::string& Out, std::u16string_view Text);

// The text of a file as Windows tools write it: UTF-16LE after its byte-order mark, otherwise
// UTF-8 with or without its mark (8-bit text on POSIX). Lenient, so that a damaged file still
// yields the lines that are intact: a torn last byte, unpaired surrogates and ill-formed UTF-8
// become U+FFFD. The mark itself is not part of the text.
UnicodeString DecodeTextFile(std::string_view Bytes);
// UTF-16LE bytes without a mark, as leniently.
UnicodeString DecodeUTF16LE(std::string_view Bytes);

// The start-up and shut-down of this unit; they only count how often the unit was entered.
void initialization();
void Finalization();

} // namespace System::Sysutils

namespace System {
using Sysutils::IntToStr;
using Sysutils::PathDelim;
using Sysutils::Trim;
} // namespace System
