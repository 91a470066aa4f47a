#include "JsonText.hpp"

#include <cstddef>

namespace ToolGrammar {

namespace {

unsigned ByteAt(std::string_view Text, std::size_t Index) {
    return static_cast<unsigned char>(Text[Index]);
}

// Length of the well-formed UTF-8 sequence that starts at the index, or 0 when the byte there
// does not start one. The lead byte decides the length and narrows the range of the second byte;
// that narrowing is what excludes overlong forms, surrogates and values past U+10FFFF.
std::size_t WellFormedSequenceLength(std::string_view Text, std::size_t Index) {
    const unsigned Lead = ByteAt(Text, Index);
    std::size_t Length = 0;
    unsigned SecondLow = 0x80;
    unsigned SecondHigh = 0xBF;
    if (Lead < 0x80) {
        return 1;
    }
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        Length = 2;
    } else if (Lead == 0xE0) {
        Length = 3;
        SecondLow = 0xA0;
    } else if (Lead == 0xED) {
        Length = 3;
        SecondHigh = 0x9F;
    } else if (Lead >= 0xE1 && Lead <= 0xEF) {
        Length = 3;
    } else if (Lead == 0xF0) {
        Length = 4;
        SecondLow = 0x90;
    } else if (Lead == 0xF4) {
        Length = 4;
        SecondHigh = 0x8F;
    } else if (Lead >= 0xF1 && Lead <= 0xF3) {
        Length = 4;
    } else {
        return 0;
    }
    if (Text.size() - Index < Length) {
        return 0;
    }
    for (std::size_t K = 1; K < Length; ++K) {
        const unsigned Byte = ByteAt(Text, Index + K);
        const unsigned Low = K == 1 ? SecondLow : 0x80U;
        const unsigned High = K == 1 ? SecondHigh : 0xBFU;
        if (Byte < Low || Byte > High) {
            return 0;
        }
    }
    return Length;
}

void AppendByteEscape(std::string& Out, unsigned Byte) {
    constexpr std::string_view Digits = "0123456789abcdef";
    Out += "\\u00";
    Out += Digits[(Byte >> 4U) & 0xFU];
    Out += Digits[Byte & 0xFU];
}

} // namespace

void AppendJsonString(std::string& Out, std::string_view Text) {
    Out += '"';
    std::size_t Index = 0;
    while (Index < Text.size()) {
        const unsigned Byte = ByteAt(Text, Index);
        if (Byte == '"' || Byte == '\\') {
            Out += '\\';
            Out += Text[Index];
            ++Index;
            continue;
        }
        const bool Control = Byte < 0x20 || Byte == 0x7F;
        const std::size_t Length = Control ? 0 : WellFormedSequenceLength(Text, Index);
        if (Length == 0) {
            AppendByteEscape(Out, Byte);
            ++Index;
        } else {
            Out.append(Text.substr(Index, Length));
            Index += Length;
        }
    }
    Out += '"';
}

} // namespace ToolGrammar
