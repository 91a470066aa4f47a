// The lines of a tool's captured streams: split where the tool ends them, turned into text, and the
// progress lines among them recognised.
#pragma once

#include "System.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace Queltburner {

// One captured stream, split into lines as its bytes come in. A line ends at LF (a CR before it
// is dropped too); a line longer than LongestPiece bytes (its line end not counted) is handed over
// in pieces of at most that size, cut between characters. Whole is false for every piece of such a
// line, its last one too.
class OutputLineSplitter {
public:
    static constexpr std::size_t LongestPiece = std::size_t{64} * 1024;
    using LineHandler = std::function<void(std::string_view Line, bool Whole)>;

    // Hands every complete line (and every full piece of a long one) in Bytes to Deliver, in
    // order. What follows the last line end waits for the next bytes.
    void Add(std::string_view Bytes, const LineHandler& Deliver);
    // Hands over the rest: a last line the tool did not end.
    void Finish(const LineHandler& Deliver);

private:
    std::string FPending;
    bool FInsideLongLine = false; // a piece of the line in progress has been handed over
};

struct ProgressLine {
    System::UnicodeString Phase;
    double Percent = 0.0;
    std::uint64_t BytesDone = 0;  // 0 when the line has no bytes
    std::uint64_t BytesTotal = 0; // 0 when the line has no bytes
};

// "progress PHASE PERCENT" with PHASE one of preparing, erasing, writing, closing, verifying and
// PERCENT 0.0 to 100.0 with one decimal, optionally followed by " DONE TOTAL", the bytes of the
// phase done and in all (decimal, DONE not above TOTAL); none for any other line.
std::optional<ProgressLine> ParseProgressLine(std::string_view Line);

} // namespace Queltburner
