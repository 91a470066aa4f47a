// How the command-line host shows a waiting run: on a terminal, a progress bar (phase, percent,
// bar, elapsed time, and while writing or verifying the rate and the time left) with the tool's
// lines printed above it; elsewhere, with --progress, a plain line per progress step, and without
// it none. The tool's own lines reach the host's output and error either way; the job keeps its
// progress lines to itself and reports them as progress.
#pragma once

#include "QueltBurner.hpp"

#include <chrono>
#include <ostream>
#include <string>

namespace Queltburn {

enum class ProgressStyle : std::uint8_t { None, Bar, Lines };

class ProgressDisplay {
public:
    ProgressDisplay(ProgressStyle Style, std::ostream& Out, std::ostream& Err);

    // Sets a job's progress and output events to the display's. They come on the job's thread,
    // while the thread that started it only waits for it.
    void Attach(Queltburner::TJobEvents& Events);
    // Prints the tool's last line and takes the bar off the screen, so that what follows is not
    // printed under a bar that no longer moves.
    void Finish();
    // The tool's last line on its standard error that is not blank; empty while there was none.
    const std::string& LastErrorLine() const noexcept { return FLastErrorLine; }

    // The bar's line for a phase and percent after Elapsed, without the carriage return; Estimate
    // (RateAndTimeLeft) is appended.
    static std::string BarLine(const std::string& Phase, double Percent,
                               std::chrono::seconds Elapsed, const std::string& Estimate = {});
    // "  2.5 MiB/s  ETA 00:40": the phase's rate in bytes per second where the tool counts its
    // bytes, and the phase's time left where it can be told; each left out while unknown.
    static std::string RateAndTimeLeft(const Queltburner::TJobProgress& Progress);

private:
    void ShowProgress(const Queltburner::TJobProgress& Progress);
    void ShowLine(const std::string& Line, bool IsError);
    void Print(const std::string& Line, std::ostream& Stream);

    ProgressStyle FStyle;
    std::ostream& FOut;
    std::ostream& FErr;
    std::string FBar; // the bar as last drawn; empty before the first progress line
    std::string FLastErrorLine;
};

} // namespace Queltburn
