#include "ToolOutput.hpp"

#include "ToolProgress.hpp"

#include <algorithm>
#include <array>

namespace Queltburner {

namespace {

bool IsContinuationByte(char Byte) {
    return (static_cast<unsigned char>(Byte) & 0xC0U) == 0x80U;
}

// Where a piece of at most Limit bytes of Text ends: before a character that would be cut, unless
// no character starts in the last four bytes (then the text is not UTF-8 there anyway).
std::size_t PieceEnd(std::string_view Text, std::size_t Limit) {
    std::size_t End = Limit;
    for (int Back = 0; Back < 3 && End > 0 && IsContinuationByte(Text[End]); ++Back) {
        --End;
    }
    return IsContinuationByte(Text[End]) || End == 0 ? Limit : End;
}

std::string_view WithoutCarriageReturn(std::string_view Line) {
    if (!Line.empty() && Line.back() == '\r') {
        Line.remove_suffix(1);
    }
    return Line;
}

// The text up to the next blank (taken off Line with the blank); all of Line when there is none.
std::string_view NextField(std::string_view& Line) {
    const std::size_t Blank = Line.find(' ');
    const std::string_view Field = Line.substr(0, Blank);
    Line.remove_prefix(Blank == std::string_view::npos ? Line.size() : Blank + 1);
    return Field;
}

// One to three digits, a point, one digit, at most 100.0: the percent in tenths.
std::optional<int> PercentTenths(std::string_view Number) {
    const std::size_t Point = Number.find('.');
    if (Point == std::string_view::npos || Point == 0 || Point > 3 || Number.size() != Point + 2) {
        return std::nullopt;
    }
    int Tenths = 0;
    for (std::size_t I = 0; I < Number.size(); ++I) {
        if (I == Point) {
            continue;
        }
        if (Number[I] < '0' || Number[I] > '9') {
            return std::nullopt;
        }
        Tenths = Tenths * 10 + (Number[I] - '0');
    }
    return Tenths <= 1000 ? std::optional<int>(Tenths) : std::nullopt;
}

// A decimal number of up to 19 digits (no sign): well inside 64 bits.
std::optional<std::uint64_t> Decimal(std::string_view Digits) {
    if (Digits.empty() || Digits.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t Value = 0;
    for (const char Digit : Digits) {
        if (Digit < '0' || Digit > '9') {
            return std::nullopt;
        }
        Value = Value * 10 + static_cast<std::uint64_t>(Digit - '0');
    }
    return Value;
}

} // namespace

void OutputLineSplitter::Add(std::string_view Bytes, const LineHandler& Deliver) {
    FPending.append(Bytes);
    std::size_t Start = 0;
    for (;;) {
        const std::string_view Rest = std::string_view(FPending).substr(Start);
        const std::size_t End = Rest.find('\n');
        // The CR of a CR LF is part of the line end, not of the line: a line of LongestPiece
        // bytes ended by CR LF arrives whole.
        const bool EndsWithinLimit =
            End != std::string_view::npos &&
            (End <= LongestPiece || (End == LongestPiece + 1 && Rest[LongestPiece] == '\r'));
        if (EndsWithinLimit) {
            Deliver(WithoutCarriageReturn(Rest.substr(0, End)), !FInsideLongLine);
            FInsideLongLine = false;
            Start += End + 1;
        } else if (Rest.size() > LongestPiece + 1 ||
                   (Rest.size() == LongestPiece + 1 && Rest[LongestPiece] != '\r')) {
            const std::size_t Piece = PieceEnd(Rest, LongestPiece);
            Deliver(Rest.substr(0, Piece), false);
            FInsideLongLine = true;
            Start += Piece;
        } else {
            break;
        }
    }
    FPending.erase(0, Start);
}

void OutputLineSplitter::Finish(const LineHandler& Deliver) {
    if (!FPending.empty()) {
        const std::string Last = std::move(FPending);
        FPending.clear();
        const bool Whole = !FInsideLongLine;
        FInsideLongLine = false;
        Deliver(WithoutCarriageReturn(Last), Whole);
    }
}

std::optional<ProgressLine> ParseProgressLine(std::string_view Line) {
    if (!Line.starts_with(ToolContract::ProgressLinePrefix)) {
        return std::nullopt;
    }
    Line.remove_prefix(ToolContract::ProgressLinePrefix.size());
    // One blank between fields and none at the end, as the tool prints them.
    if (Line.ends_with(' ') || Line.find("  ") != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view Phase = NextField(Line);
    const std::string_view Number = NextField(Line);
    const std::string_view Done = NextField(Line);
    const std::string_view Total = NextField(Line);
    const bool Known =
        std::find(ToolContract::ProgressPhases.begin(), ToolContract::ProgressPhases.end(),
                  Phase) != ToolContract::ProgressPhases.end();
    const std::optional<int> Tenths = PercentTenths(Number);
    if (!Known || !Tenths || !Line.empty() || Done.empty() != Total.empty()) {
        return std::nullopt;
    }
    ProgressLine Progress{System::UnicodeString(Phase.begin(), Phase.end()), *Tenths / 10.0};
    if (!Done.empty()) {
        const std::optional<std::uint64_t> DoneBytes = Decimal(Done);
        const std::optional<std::uint64_t> TotalBytes = Decimal(Total);
        if (!DoneBytes || !TotalBytes || *DoneBytes > *TotalBytes) {
            return std::nullopt;
        }
        Progress.BytesDone = *DoneBytes;
        Progress.BytesTotal = *TotalBytes;
    }
    return Progress;
}

} // namespace Queltburner
