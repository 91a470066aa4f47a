// How the command-line host shows a waiting run: on a terminal, a progress bar (phase, percent,
// bar, elapsed time, and while writing or verifying the rate and the time left) with the tool's
// lines printed above it; elsewhere, with --progress, a plain line per progress step, and without
// it none. The tool's own lines reach the host's output and error either way; its progress lines
// only as the style shows them.
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

    // Sets the component's progress and output events, so that the tool's lines come through the
    // display (and its progress lines are shown in the display's style, or not at all).
    void Attach(Queltburner::TQueltBurner& Burner);
    // Prints the tool's last line and takes the bar off the screen, so that what follows is not
    // printed under a bar that no longer moves.
    void Finish();
    // The tool's last line on its standard error that is not blank; empty while there was none.
    const std::string& LastErrorLine() const noexcept { return FLastErrorLine; }

    // The bar's line for a phase and percent after Elapsed, without the carriage return; Estimate
    // (RateAndTimeLeft) is appended.
    static std::string BarLine(const std::string& Phase, double Percent,
                               std::chrono::seconds Elapsed, const std::string& Estimate = {});
    // "  2.5%/s  ETA 00:40": the rate of a phase that went from FromPercent to Percent in InPhase,
    // and the time left at that rate; empty before a quarter of a second has passed or while the
    // percent has not moved, when a rate would say nothing.
    static std::string RateAndTimeLeft(double FromPercent, double Percent,
                                       std::chrono::duration<double> InPhase);

private:
    void ShowProgress(const std::string& Phase, double Percent);
    std::string Estimate(const std::string& Phase, double Percent);
    void ShowLine(const std::string& Line, bool IsError);
    void ReleaseHeldLine();
    void Print(const std::string& Line, std::ostream& Stream);
    std::chrono::seconds Elapsed() const;

    ProgressStyle FStyle;
    std::ostream& FOut;
    std::ostream& FErr;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    // The phase shown last, when its first progress line came and the percent it came with.
    std::string FPhase;
    std::chrono::steady_clock::time_point FPhaseStart;
    double FPhaseStartPercent = 0;
    std::string FBar; // the bar as last drawn; empty before the first progress line
    std::optional<std::string> FHeldLine; // a line in the form of a progress line, not yet printed
    std::string FLastErrorLine;
};

} // namespace Queltburn
