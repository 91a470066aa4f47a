#include "JolietNames.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace Recorder {

namespace {

bool IsContinuation(unsigned char Byte) {
    return (Byte & 0xC0U) == 0x80U;
}

// The bytes of a sequence that starts with Lead, as iconv reads a lead byte (0 for a byte that
// starts none: a continuation, 0xC0, 0xC1, 0xFE, 0xFF). Forms longer than four bytes are taken
// for leads too, which only makes a name count as cut off more often.
std::size_t AnnouncedLength(unsigned char Lead) {
    if (Lead < 0x80) {
        return 1;
    }
    if (Lead < 0xC2) {
        return 0;
    }
    if (Lead < 0xE0) {
        return 2;
    }
    if (Lead < 0xF0) {
        return 3;
    }
    if (Lead < 0xF8) {
        return 4;
    }
    if (Lead < 0xFC) {
        return 5;
    }
    return Lead < 0xFE ? 6 : 0;
}

// The character of the well-formed sequence at Name[At], advancing At; none when there is none.
std::optional<char32_t> DecodeAt(std::string_view Name, std::size_t& At) {
    const auto Byte = [&Name](std::size_t Index) {
        return static_cast<unsigned char>(Name[Index]);
    };
    const unsigned char Lead = Byte(At);
    const std::size_t Length = AnnouncedLength(Lead);
    if (Length == 0 || Length > 4 || At + Length > Name.size()) {
        return std::nullopt;
    }
    constexpr std::array<unsigned char, 5> LeadBits{0, 0x7F, 0x1F, 0x0F, 0x07};
    constexpr std::array<char32_t, 5> Smallest{0, 0, 0x80, 0x800, 0x10000};
    char32_t Character = Lead & LeadBits.at(Length);
    for (std::size_t K = 1; K < Length; ++K) {
        if (!IsContinuation(Byte(At + K))) {
            return std::nullopt;
        }
        Character = (Character << 6U) | (Byte(At + K) & 0x3FU);
    }
    if (Character < Smallest.at(Length) || Character > 0x10FFFF ||
        (Character >= 0xD800 && Character <= 0xDFFF)) {
        return std::nullopt;
    }
    At += Length;
    return Character;
}

} // namespace

bool IsWellFormedUtf8(std::string_view Name) {
    for (std::size_t At = 0; At < Name.size();) {
        if (!DecodeAt(Name, At)) {
            return false;
        }
    }
    return true;
}

bool EndsCutOff(std::string_view Name) {
    std::size_t Continuations = 0;
    std::size_t At = Name.size();
    while (At > 0 && IsContinuation(static_cast<unsigned char>(Name[At - 1]))) {
        --At;
        ++Continuations;
    }
    if (At == 0) {
        return false;
    }
    const std::size_t Length = AnnouncedLength(static_cast<unsigned char>(Name[At - 1]));
    return Length > 1 && Continuations + 1 < Length;
}

bool HasCharacterBeyondBmp(std::string_view Name) {
    bool Beyond = false;
    for (std::size_t At = 0; At < Name.size();) {
        const std::optional<char32_t> Character = DecodeAt(Name, At);
        if (!Character) {
            return false;
        }
        Beyond = Beyond || *Character > 0xFFFF;
    }
    return Beyond;
}

void JolietNameCounts::Count(std::string_view Name) {
    if (!IsWellFormedUtf8(Name)) {
        ++NotUtf8;
        CutOff += EndsCutOff(Name) ? 1U : 0U;
    } else if (HasCharacterBeyondBmp(Name)) {
        ++BeyondBmp;
    }
}

bool PrintedPathHoldsCutOffName(std::string_view Printed) {
    // xorriso quotes a path as '...' and each apostrophe in it as '"'"': only the outer quotes
    // are taken off, as what the inner ones add is ASCII, which leaves no name cut off.
    if (Printed.size() >= 2 && Printed.front() == '\'' && Printed.back() == '\'') {
        Printed = Printed.substr(1, Printed.size() - 2);
    }
    while (!Printed.empty()) {
        const std::size_t Slash = Printed.find('/');
        const std::string_view Name = Printed.substr(0, Slash);
        if (!IsWellFormedUtf8(Name) && EndsCutOff(Name)) {
            return true;
        }
        Printed.remove_prefix(Slash == std::string_view::npos ? Printed.size() : Slash + 1);
    }
    return false;
}

void SetJolietNames(XorrisoSession& Disc, Progress& Report, const JolietNameCounts& Names,
                    bool Continued) {
    bool Ucs2 = Names.NeedUcs2();
    // The tree taken over may hold such names from earlier sessions: those whose Joliet names
    // differ from their own are asked for, a few among many. A question that fails is taken for
    // yes, which costs only the characters past U+FFFF.
    if (!Ucs2 && Continued) {
        Ucs2 = !Disc.Run({"-find", "/", "-bad_outname", "joliet"});
        for (const std::string& Printed : Disc.Results()) {
            Ucs2 = Ucs2 || PrintedPathHoldsCutOffName(Printed);
        }
    }
    if (Ucs2) {
        Disc.Require({"-compliance", "joliet_utf16_off"}, ExitCode::Write);
    }
    if (const std::uint64_t Replaced = Names.Replaced(Ucs2); Replaced > 0) {
        Report.Say("joliet names replaced: " + std::to_string(Replaced) +
                   (Ucs2 && Names.BeyondBmp > 0 ? " (not UTF-8, or past U+FFFF in UCS-2;"
                                                : " (not UTF-8;") +
                   " Rock Ridge keeps them exactly)");
    }
}

} // namespace Recorder
