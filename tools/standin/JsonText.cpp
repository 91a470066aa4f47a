#include "JsonText.hpp"

#include <cstddef>

namespace standin {

namespace {

unsigned ByteAt(std::string_view text, std::size_t index) {
    return static_cast<unsigned char>(text[index]);
}

// Length of the well-formed UTF-8 sequence that starts at the index, or 0 when the byte there
// does not start one. The lead byte decides the length and narrows the range of the second byte;
// that narrowing is what excludes overlong forms, surrogates and values past U+10FFFF.
std::size_t WellFormedSequenceLength(std::string_view text, std::size_t index) {
    const unsigned lead = ByteAt(text, index);
    std::size_t length = 0;
    unsigned secondLow = 0x80;
    unsigned secondHigh = 0xBF;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead == 0xE0) {
        length = 3;
        secondLow = 0xA0;
    } else if (lead == 0xED) {
        length = 3;
        secondHigh = 0x9F;
    } else if (lead >= 0xE1 && lead <= 0xEF) {
        length = 3;
    } else if (lead == 0xF0) {
        length = 4;
        secondLow = 0x90;
    } else if (lead == 0xF4) {
        length = 4;
        secondHigh = 0x8F;
    } else if (lead >= 0xF1 && lead <= 0xF3) {
        length = 4;
    } else {
        return 0;
    }
    if (text.size() - index < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned byte = ByteAt(text, index + k);
        const unsigned low = k == 1 ? secondLow : 0x80U;
        const unsigned high = k == 1 ? secondHigh : 0xBFU;
        if (byte < low || byte > high) {
            return 0;
        }
    }
    return length;
}

void AppendByteEscape(std::string& out, unsigned byte) {
    constexpr std::string_view digits = "0123456789abcdef";
    out += "\\u00";
    out += digits[(byte >> 4U) & 0xFU];
    out += digits[byte & 0xFU];
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    std::size_t index = 0;
    while (index < text.size()) {
        const unsigned byte = ByteAt(text, index);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += text[index];
            ++index;
            continue;
        }
        const bool control = byte < 0x20 || byte == 0x7F;
        const std::size_t length = control ? 0 : WellFormedSequenceLength(text, index);
        if (length == 0) {
            AppendByteEscape(out, byte);
            ++index;
        } else {
            out.append(text.substr(index, length));
            index += length;
        }
    }
    out += '"';
}

std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

} // namespace standin
