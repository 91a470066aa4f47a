// How the command-line host shows a waiting run: on a terminal, a progress bar (phase, percent,
// bar, elapsed time) with the tool's lines printed above it; elsewhere, with --progress, a plain
// line per progress step. Either way the tool's own lines still reach the host's output and error.
#pragma once

#include "QueltBurner.hpp"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

namespace Queltburn {

enum class ProgressStyle : std::uint8_t { None, Bar, Lines };

class ProgressDisplay {
public:
    ProgressDisplay(ProgressStyle Style, std::ostream& Out, std::ostream& Err);

    // Sets the component's progress and output events, unless the style is None (the tool then
    // writes to the host's streams itself).
    void Attach(Queltburner::TQueltBurner& Burner);
    // Ends the bar's line, so that what follows starts on a line of its own.
    void Finish();

    // The bar's line for a phase and percent after Elapsed, without the carriage return.
    static std::string BarLine(const std::string& Phase, double Percent,
                               std::chrono::seconds Elapsed);

private:
    void ShowProgress(const std::string& Phase, double Percent);
    void ShowLine(const std::string& Line, bool IsError);
    void ReleaseHeldLine();
    void Print(const std::string& Line, std::ostream& Stream);
    std::chrono::seconds Elapsed() const;

    ProgressStyle FStyle;
    std::ostream& FOut;
    std::ostream& FErr;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    std::string FBar; // the bar as last drawn; empty before the first progress line
    std::optional<std::string> FHeldLine; // the tool's last output line, not yet printed
};

} // namespace Queltburn
