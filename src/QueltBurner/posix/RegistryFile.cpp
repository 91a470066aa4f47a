#include "RegistryFile.hpp"

#include "System.SysUtils.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace Queltburner::Posix {

namespace {

using System::UnicodeString;
using Text = std::u16string_view;
using System::Sysutils::HexDigitValue;
using System::Sysutils::TrimBlanks;

constexpr Text UserRoot = u"HKEY_CURRENT_USER";
// The registry's type numbers of the two plain string types, as hex(N): writes them.
constexpr std::uint32_t RegSz = 1;
constexpr std::uint32_t RegExpandSz = 2;

// Windows compares key and value names by upper-casing each UTF-16 unit on its own. This covers
// the letters key names are realistically written in (ASCII, Latin-1, Greek, Cyrillic); other
// characters compare exactly.
char16_t UpperCase(char16_t C) {
    const bool ShiftsBy32 = (C >= u'a' && C <= u'z') || (C >= 0xE0 && C <= 0xFE && C != 0xF7) ||
                            (C >= 0x3B1 && C <= 0x3CB && C != 0x3C2) || (C >= 0x430 && C <= 0x44F);
    if (ShiftsBy32) {
        return static_cast<char16_t>(C - 0x20);
    }
    if (C >= 0x450 && C <= 0x45F) {
        return static_cast<char16_t>(C - 0x50);
    }
    if (C == 0x3C2) {
        return 0x3A3; // final sigma
    }
    if (C == 0xFF) {
        return 0x178;
    }
    return C;
}

bool SameText(Text A, Text B) {
    return std::equal(A.begin(), A.end(), B.begin(), B.end(),
                      [](char16_t X, char16_t Y) { return UpperCase(X) == UpperCase(Y); });
}

bool StartsWithText(Text S, Text Prefix) {
    return S.size() >= Prefix.size() && SameText(S.substr(0, Prefix.size()), Prefix);
}

// True when Key is Target itself or one of its ancestors, so that deleting Key deletes Target.
bool IsSameOrAncestor(Text Key, Text Target) {
    return StartsWithText(Target, Key) &&
           (Target.size() == Key.size() || Target[Key.size()] == u'\\');
}

// Hands out the lines of the text without their line ends (LF or CRLF).
class LineReader {
public:
    explicit LineReader(Text Content) : FRest(Content) {}

    bool Next(Text& Line) {
        if (FRest.empty()) {
            return false;
        }
        const std::size_t End = FRest.find(u'\n');
        Line = FRest.substr(0, End);
        FRest.remove_prefix(End == Text::npos ? FRest.size() : End + 1);
        if (!Line.empty() && Line.back() == u'\r') {
            Line.remove_suffix(1);
        }
        return true;
    }

private:
    Text FRest;
};

// The first non-empty line names the format. regedit refuses a file without it, so such a file
// holds nothing.
bool ReadHeader(LineReader& Lines) {
    Text Line;
    while (Lines.Next(Line)) {
        Line = TrimBlanks(Line);
        if (!Line.empty()) {
            return Line == u"Windows Registry Editor Version 5.00" || Line == u"REGEDIT4";
        }
    }
    return false;
}

// Reads the quoted text at the start of S, in which \\ stands for a backslash and \" for a double
// quote, and moves S past the closing quote. Any other backslash is kept as it is, which reads a
// hand-written "C:\Tools" the way its writer meant. No value when the quote is not closed.
std::optional<UnicodeString> ReadQuoted(Text& S) {
    if (S.empty() || S.front() != u'"') {
        return std::nullopt;
    }
    UnicodeString Result;
    for (std::size_t I = 1; I < S.size(); ++I) {
        if (S[I] == u'"') {
            S.remove_prefix(I + 1);
            return Result;
        }
        if (S[I] == u'\\' && I + 1 < S.size() && (S[I + 1] == u'\\' || S[I + 1] == u'"')) {
            ++I;
        }
        Result.push_back(S[I]);
    }
    return std::nullopt;
}

// One to eight hex digits, as dword: data and the type number of hex(N): are written.
std::optional<std::uint32_t> ReadHexNumber(Text S) {
    if (S.empty() || S.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t Value = 0;
    for (const char16_t C : S) {
        const int Digit = HexDigitValue(C);
        if (Digit < 0) {
            return std::nullopt;
        }
        Value = Value * 16 + static_cast<std::uint32_t>(Digit);
    }
    return Value;
}

// Comma-separated bytes of one or two hex digits each ("43,00,3a"). A trailing comma is allowed:
// joining continuation lines leaves one when the last line is cut off after it.
std::optional<std::string> ReadHexBytes(Text S) {
    std::string Bytes;
    if (TrimBlanks(S).empty()) {
        return Bytes;
    }
    for (;;) {
        const std::size_t Comma = S.find(u',');
        const Text Item = TrimBlanks(S.substr(0, Comma));
        if (Item.empty() && Comma == Text::npos && !Bytes.empty()) {
            return Bytes;
        }
        if (Item.size() > 2) {
            return std::nullopt;
        }
        const std::optional<std::uint32_t> Byte = ReadHexNumber(Item);
        if (!Byte) {
            return std::nullopt;
        }
        Bytes.push_back(static_cast<char>(*Byte));
        if (Comma == Text::npos) {
            return Bytes;
        }
        S.remove_prefix(Comma + 1);
    }
}

// regedit wraps long hex data: a line that ends in a backslash continues on the next, indented
// line. Only a line that starts with a hex digit is taken as a continuation, so that data cut off
// by a damaged file does not swallow the entry after it.
UnicodeString JoinContinuations(Text Data, LineReader& Lines) {
    UnicodeString Joined(Data);
    if (!StartsWithText(Data, u"hex")) {
        return Joined;
    }
    while (!Joined.empty() && Joined.back() == u'\\') {
        LineReader Ahead = Lines;
        Text Next;
        if (!Ahead.Next(Next)) {
            break;
        }
        Next = TrimBlanks(Next);
        if (Next.empty() || HexDigitValue(Next.front()) < 0) {
            break;
        }
        Joined.pop_back();
        Joined.append(Next);
        Lines = Ahead;
    }
    return Joined;
}

// What the data of a value line assigns: a value of some kind, or Missing for a deletion
// ("Name"=-). No value when the data is malformed, so that the line changes nothing.
std::optional<RegistryValue> ReadData(Text Data) {
    if (Data == u"-") {
        return RegistryValue{};
    }
    if (!Data.empty() && Data.front() == u'"') {
        std::optional<UnicodeString> Quoted = ReadQuoted(Data);
        if (!Quoted || !TrimBlanks(Data).empty()) {
            return std::nullopt;
        }
        return RegistryValue{RegistryValueKind::Text, std::move(*Quoted)};
    }
    if (StartsWithText(Data, u"dword:")) {
        if (!ReadHexNumber(Data.substr(6))) {
            return std::nullopt;
        }
        return RegistryValue{RegistryValueKind::OtherType, {}};
    }
    std::uint32_t Type = 3; // plain hex: is binary data
    if (StartsWithText(Data, u"hex:")) {
        Data.remove_prefix(4);
    } else if (StartsWithText(Data, u"hex(")) {
        const std::size_t Close = Data.find(u"):", 4);
        const std::optional<std::uint32_t> Number =
            Close == Text::npos ? std::nullopt : ReadHexNumber(Data.substr(4, Close - 4));
        if (!Number) {
            return std::nullopt;
        }
        Type = *Number;
        Data.remove_prefix(Close + 2);
    } else {
        return std::nullopt;
    }
    std::optional<std::string> Bytes = ReadHexBytes(Data);
    if (!Bytes) {
        return std::nullopt;
    }
    if (Type != RegSz && Type != RegExpandSz) {
        return RegistryValue{RegistryValueKind::OtherType, {}};
    }
    // The stored string includes its NUL terminator; environment references stay unexpanded, as
    // RegQueryValueEx returns them.
    if (Bytes->size() % 2 != 0 && Bytes->back() == '\0') {
        Bytes->pop_back();
    }
    UnicodeString Value = System::Sysutils::DecodeUTF16LE(*Bytes);
    while (!Value.empty() && Value.back() == u'\0') {
        Value.pop_back();
    }
    return RegistryValue{RegistryValueKind::Text, std::move(Value)};
}

// The file's text: UTF-16LE after its mark (as regedit exports it), leniently; otherwise 8-bit text
// as POSIX keeps it (a UTF-8 mark dropped), read as a file name is, so that a path holding any
// bytes, such as the tool's, names its file exactly (see FileNameToString).
UnicodeString DecodeRegistryText(std::string_view Bytes) {
    if (Bytes.starts_with("\xFF\xFE")) {
        return System::Sysutils::DecodeUTF16LE(Bytes.substr(2));
    }
    if (Bytes.starts_with("\xEF\xBB\xBF")) {
        Bytes.remove_prefix(3);
    }
    return System::Sysutils::FileNameToString(Bytes);
}

struct ValueLine {
    UnicodeString Name; // empty for the default value, written @
    Text Data;          // everything after the equals sign
};

std::optional<ValueLine> ReadValueLine(Text Line) {
    ValueLine Result;
    if (!Line.empty() && Line.front() == u'@') {
        Line.remove_prefix(1);
    } else {
        std::optional<UnicodeString> Name = ReadQuoted(Line);
        if (!Name) {
            return std::nullopt;
        }
        Result.Name = std::move(*Name);
    }
    Line = TrimBlanks(Line);
    if (Line.empty() || Line.front() != u'=') {
        return std::nullopt;
    }
    Result.Data = TrimBlanks(Line.substr(1));
    return Result;
}

} // namespace

RegistryValue FindUserValue(std::string_view FileBytes, std::u16string_view Key,
                            std::u16string_view Name) {
    const UnicodeString Content = DecodeRegistryText(FileBytes);
    LineReader Lines(Content);
    if (!ReadHeader(Lines)) {
        return {};
    }
    UnicodeString Target(UserRoot);
    if (!Key.empty()) {
        Target += u'\\';
        Target += Key;
    }

    // One pass is enough for one value: after the import it holds what the last line touching it
    // left there, be that an assignment, a deletion of the value, or a deletion of its key or of
    // an ancestor of the key.
    RegistryValue Result;
    bool InTarget = false;
    Text Line;
    while (Lines.Next(Line)) {
        Line = TrimBlanks(Line);
        if (Line.empty() || Line.front() == u';') {
            continue;
        }
        if (Line.front() == u'[') {
            // Values after a deletion or a broken section line belong to no key.
            InTarget = false;
            if (Line.back() != u']') {
                continue;
            }
            const Text Path = Line.substr(1, Line.size() - 2);
            if (!Path.empty() && Path.front() == u'-') {
                if (IsSameOrAncestor(Path.substr(1), Target)) {
                    Result = {};
                }
            } else {
                InTarget = SameText(Path, Target);
            }
            continue;
        }
        const std::optional<ValueLine> Value = ReadValueLine(Line);
        if (!Value) {
            continue;
        }
        // The continuation lines of other values start with a hex digit, so they are skipped as
        // malformed lines without being joined.
        if (!InTarget || !SameText(Value->Name, Name)) {
            continue;
        }
        if (std::optional<RegistryValue> Assigned =
                ReadData(JoinContinuations(Value->Data, Lines))) {
            Result = std::move(*Assigned);
        }
    }
    return Result;
}

} // namespace Queltburner::Posix
