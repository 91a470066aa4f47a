#include "System.SysUtils.hpp"

#include <cstdint>
#include <cstring>

namespace System::Sysutils {

UnicodeString Trim(const UnicodeString& S) {
    std::size_t First = 0;
    std::size_t Last = S.size();
    while (First < Last && S[First] <= u' ') {
        ++First;
    }
    while (Last > First && S[Last - 1] <= u' ') {
        --Last;
    }
    return S.substr(First, Last - First);
}

UnicodeString IntToStr(std::int64_t Value) {
    // Work on the magnitude as unsigned so that the most negative value has a text too.
    const bool Negative = Value < 0;
    std::uint64_t Magnitude = Negative ? std::uint64_t{0} - static_cast<std::uint64_t>(Value)
                                       : static_cast<std::uint64_t>(Value);
    char16_t Digits[20];
    std::size_t N = 0;
    do {
        Digits[N++] = static_cast<char16_t>(u'0' + Magnitude % 10);
        Magnitude /= 10;
    } while (Magnitude != 0);
    UnicodeString Text;
    Text.reserve(N + 1);
    if (Negative) {
        Text.push_back(u'-');
    }
    while (N > 0) {
        Text.push_back(Digits[--N]);
    }
    return Text;
}

namespace {

constexpr char32_t Replacement = 0xFFFD;
// A byte of a file name that is not part of well-formed UTF-8 stands as this plus the byte.
constexpr char32_t FileNameByteBase = 0xDC00;

void AppendUtf8(std::string& Out, char32_t C) {
    if (C < 0x80) {
        Out.push_back(static_cast<char>(C));
    } else if (C < 0x800) {
        Out.push_back(static_cast<char>(0xC0 | (C >> 6)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    } else if (C < 0x10000) {
        Out.push_back(static_cast<char>(0xE0 | (C >> 12)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    } else {
        Out.push_back(static_cast<char>(0xF0 | (C >> 18)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    }
}

// The leading ASCII units of S written as bytes to Out, four at a time; how many were written.
// With StopAtNul, a NUL ends the run too.
std::size_t CopyAsciiPrefix(std::u16string_view S, char* Out, bool StopAtNul) noexcept {
    constexpr std::uint64_t NotAscii = 0xFF80FF80FF80FF80ULL;
    std::size_t I = 0;
    for (; I + 4 <= S.size(); I += 4) {
        std::uint64_t Units = 0;
        std::memcpy(&Units, S.data() + I, sizeof Units);
        if ((Units & NotAscii) != 0 || (StopAtNul && AnyUnitIs(Units, u'\0'))) {
            break;
        }
        for (std::size_t K = 0; K < 4; ++K) {
            Out[I + K] = static_cast<char>(S[I + K]);
        }
    }
    for (; I < S.size() && S[I] < 0x80 && (!StopAtNul || S[I] != 0); ++I) {
        Out[I] = static_cast<char>(S[I]);
    }
    return I;
}

// Appends S encoded; on an unpaired surrogate either fails (Strict) or writes U+FFFD; on a NUL
// fails when NulRefused. Paths and options are mostly ASCII, which is copied without a decision a
// unit.
bool AppendEncoded(std::string& Out, std::u16string_view S, bool Strict, bool NulRefused = false) {
    const std::size_t At = Out.size();
    Out.resize(At + S.size());
    const std::size_t Ascii = CopyAsciiPrefix(S, Out.data() + At, NulRefused);
    Out.resize(At + Ascii);
    for (std::size_t I = Ascii; I < S.size(); ++I) {
        char32_t C = S[I];
        if (NulRefused && C == 0) {
            return false;
        }
        if (IsHighSurrogate(C) && I + 1 < S.size() && IsLowSurrogate(S[I + 1])) {
            C = 0x10000 + ((C - 0xD800) << 10) + (static_cast<char32_t>(S[I + 1]) - 0xDC00);
            ++I;
        } else if (IsHighSurrogate(C) || IsLowSurrogate(C)) {
            if (Strict) {
                return false;
            }
            C = Replacement;
        }
        AppendUtf8(Out, C);
    }
    return true;
}

std::optional<std::string> Encode(std::u16string_view S, bool Strict) {
    std::string Out;
    Out.reserve(S.size());
    if (!AppendEncoded(Out, S, Strict)) {
        return std::nullopt;
    }
    return Out;
}

// Decodes one well-formed UTF-8 sequence at S[I], advancing I; no value when it is ill-formed
// (overlong forms, surrogates and values past U+10FFFF included).
std::optional<char32_t> DecodeOne(std::string_view S, std::size_t& I) {
    const auto Byte = [&](std::size_t K) { return static_cast<unsigned char>(S[K]); };
    const unsigned char Lead = Byte(I);
    if (Lead < 0x80) {
        ++I;
        return Lead;
    }
    std::size_t Length = 0;
    char32_t C = 0;
    char32_t Minimum = 0;
    if ((Lead & 0xE0) == 0xC0) {
        Length = 2;
        C = Lead & 0x1F;
        Minimum = 0x80;
    } else if ((Lead & 0xF0) == 0xE0) {
        Length = 3;
        C = Lead & 0x0F;
        Minimum = 0x800;
    } else if ((Lead & 0xF8) == 0xF0) {
        Length = 4;
        C = Lead & 0x07;
        Minimum = 0x10000;
    } else {
        ++I;
        return std::nullopt;
    }
    std::size_t K = 1;
    for (; K < Length; ++K) {
        if (I + K >= S.size() || (Byte(I + K) & 0xC0) != 0x80) {
            break;
        }
        C = (C << 6) | (Byte(I + K) & 0x3F);
    }
    I += K;
    if (K < Length || C < Minimum || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF)) {
        return std::nullopt;
    }
    return C;
}

// Where the run of ASCII bytes of S that starts at I ends, eight bytes at a time.
std::size_t AsciiRunEnd(std::string_view S, std::size_t I) noexcept {
    constexpr std::uint64_t NotAscii = 0x8080808080808080ULL;
    for (; I + 8 <= S.size(); I += 8) {
        std::uint64_t Bytes = 0;
        std::memcpy(&Bytes, S.data() + I, sizeof Bytes);
        if ((Bytes & NotAscii) != 0) {
            break;
        }
    }
    while (I < S.size() && static_cast<unsigned char>(S[I]) < 0x80) {
        ++I;
    }
    return I;
}

// Writes C at To as one or two UTF-16 units; how many.
std::size_t PutUtf16(char16_t* To, char32_t C) noexcept {
    if (C < 0x10000) {
        To[0] = static_cast<char16_t>(C);
        return 1;
    }
    C -= 0x10000;
    To[0] = static_cast<char16_t>(0xD800 + (C >> 10));
    To[1] = static_cast<char16_t>(0xDC00 + (C & 0x3FF));
    return 2;
}

std::optional<UnicodeString> Decode(std::string_view S, bool Strict) {
    // No byte gives more than one UTF-16 unit (a four-byte sequence gives two), so the text is
    // written in place and cut to its length at the end; runs of ASCII, most of most text, are
    // widened without decoding.
    UnicodeString Out(S.size(), u'\0');
    char16_t* const To = Out.data();
    std::size_t Length = 0;
    for (std::size_t I = 0; I < S.size();) {
        const std::size_t RunEnd = AsciiRunEnd(S, I);
        const std::size_t Run = RunEnd - I;
        for (std::size_t K = 0; K < Run; ++K) {
            To[Length + K] = static_cast<char16_t>(static_cast<unsigned char>(S[I + K]));
        }
        Length += Run;
        I = RunEnd;
        if (I == S.size()) {
            break;
        }
        const std::optional<char32_t> C = DecodeOne(S, I);
        if (!C && Strict) {
            return std::nullopt;
        }
        Length += PutUtf16(To + Length, C.value_or(Replacement));
    }
    Out.resize(Length);
    return Out;
}

} // namespace

std::optional<std::string> TryUTF8Encode(std::u16string_view S) {
    return Encode(S, true);
}
bool TryAppendUTF8(std::string& Out, std::u16string_view S) {
    const std::size_t Before = Out.size();
    if (!AppendEncoded(Out, S, true)) {
        Out.resize(Before);
        return false;
    }
    return true;
}
bool TryAppendUTF8WithoutNul(std::string& Out, std::u16string_view S) {
    const std::size_t Before = Out.size();
    if (!AppendEncoded(Out, S, true, true)) {
        Out.resize(Before);
        return false;
    }
    return true;
}
std::optional<UnicodeString> TryUTF8ToString(std::string_view S) {
    return Decode(S, true);
}
std::string UTF8Encode(std::u16string_view S) {
    return *Encode(S, false);
}
UnicodeString UTF8ToString(std::string_view S) {
    return *Decode(S, false);
}

UnicodeString FileNameToString(std::string_view Native) {
    UnicodeString Out;
    Out.reserve(Native.size());
    char16_t Units[2];
    for (std::size_t I = 0; I < Native.size();) {
        const std::size_t Start = I;
        if (const std::optional<char32_t> C = DecodeOne(Native, I)) {
            Out.append(Units, PutUtf16(Units, *C));
            continue;
        }
        // Each byte of an ill-formed sequence (all of them 0x80 or above) on its own.
        for (std::size_t K = Start; K < I; ++K) {
            Out.push_back(
                static_cast<char16_t>(FileNameByteBase + static_cast<unsigned char>(Native[K])));
        }
    }
    return Out;
}

std::string StringToFileName(std::u16string_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size(); ++I) {
        char32_t C = Text[I];
        if (C >= FileNameByteBase + 0x80 && C <= FileNameByteBase + 0xFF) {
            Out.push_back(static_cast<char>(C - FileNameByteBase));
            continue;
        }
        if (IsHighSurrogate(C) && I + 1 < Text.size() && IsLowSurrogate(Text[I + 1])) {
            C = 0x10000 + ((C - 0xD800) << 10) + (static_cast<char32_t>(Text[I + 1]) - 0xDC00);
            ++I;
        } else if (IsHighSurrogate(C) || IsLowSurrogate(C)) {
            C = Replacement; // no byte string names it
        }
        AppendUtf8(Out, C);
    }
    return Out;
}

bool TryAppendFileNameWithoutNul(std::string& Out, std::u16string_view Text) {
    // Most names hold no escape: they are the strict UTF-8 of their text.
    if (TryAppendUTF8WithoutNul(Out, Text)) {
        return true;
    }
    if (Text.find(u'\0') != std::u16string_view::npos) {
        return false;
    }
    // Only the text that FileNameToString gives for some bytes names them: a lone surrogate
    // outside the escapes would come back as U+FFFD, escapes that form a character as that.
    const std::size_t Before = Out.size();
    Out += StringToFileName(Text);
    if (FileNameToString(std::string_view(Out).substr(Before)) != Text) {
        Out.resize(Before);
        return false;
    }
    return true;
}

UnicodeString DecodeTextFile(std::string_view Bytes) {
    if (Bytes.starts_with("\xFF\xFE")) {
        return DecodeUTF16LE(Bytes.substr(2));
    }
    if (Bytes.starts_with("\xEF\xBB\xBF")) {
        Bytes.remove_prefix(3);
    }
    return UTF8ToString(Bytes);
}

UnicodeString DecodeUTF16LE(std::string_view Bytes) {
    UnicodeString Units;
    Units.reserve(Bytes.size() / 2 + 1);
    for (std::size_t I = 0; I + 1 < Bytes.size(); I += 2) {
        const auto Low = static_cast<unsigned char>(Bytes[I]);
        const auto High = static_cast<unsigned char>(Bytes[I + 1]);
        Units.push_back(static_cast<char16_t>(Low | (High << 8U)));
    }
    if (Bytes.size() % 2 != 0) {
        Units.push_back(static_cast<char16_t>(Replacement));
    }
    for (std::size_t I = 0; I < Units.size(); ++I) {
        if (IsHighSurrogate(Units[I]) && I + 1 < Units.size() && IsLowSurrogate(Units[I + 1])) {
            ++I;
        } else if (IsHighSurrogate(Units[I]) || IsLowSurrogate(Units[I])) {
            Units[I] = static_cast<char16_t>(Replacement);
        }
    }
    return Units;
}

} // namespace System::Sysutils
