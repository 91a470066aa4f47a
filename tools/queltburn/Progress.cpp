#include "Progress.hpp"

#include "Queries.hpp"
#include "System.SysUtils.hpp"
#include "ToolProgress.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace Queltburn {

namespace {

constexpr int BarWidth = 30;
// Back to the start of the line and clear it.
constexpr const char* ClearLine = "\r\x1b[K";

std::string Clock(std::chrono::seconds Elapsed) {
    char Text[32];
    const long long Seconds = Elapsed.count();
    (void)std::snprintf(Text, sizeof Text, "%02lld:%02lld", Seconds / 60, Seconds % 60);
    return Text;
}

std::string Percentage(double Percent) {
    char Text[16];
    (void)std::snprintf(Text, sizeof Text, "%5.1f%%", Percent);
    return Text;
}

// The phases whose progress goes at the pace of the medium: a rate and the time left mean
// something there.
bool IsTimedPhase(Queltburner::TJobPhase Phase) {
    return Phase == Queltburner::TJobPhase::Writing || Phase == Queltburner::TJobPhase::Verifying;
}

// The word the tool's progress lines use for a phase; empty for the job's own start and end.
std::string_view PhaseWord(Queltburner::TJobPhase Phase) {
    using Queltburner::TJobPhase;
    // The job's phase of each of the tool's phase words, in their order.
    constexpr std::array<TJobPhase, ToolContract::ProgressPhases.size()> Phases{
        TJobPhase::Preparing, TJobPhase::Erasing, TJobPhase::Writing, TJobPhase::Closing,
        TJobPhase::Verifying};
    const auto* Found = std::find(Phases.begin(), Phases.end(), Phase);
    return Found == Phases.end()
               ? std::string_view()
               : ToolContract::ProgressPhases.at(static_cast<std::size_t>(Found - Phases.begin()));
}

} // namespace

ProgressDisplay::ProgressDisplay(ProgressStyle Style, std::ostream& Out, std::ostream& Err)
    : FStyle(Style), FOut(Out), FErr(Err) {}

std::string ProgressDisplay::BarLine(const std::string& Phase, double Percent,
                                     std::chrono::seconds Elapsed, const std::string& Estimate) {
    const double Clamped = Percent < 0 ? 0 : (Percent > 100 ? 100 : Percent);
    const auto Filled = static_cast<int>(std::lround(Clamped / 100.0 * BarWidth));
    std::string Line = Phase;
    Line.resize(Line.size() < 10 ? 10 : Line.size(), ' ');
    Line += "[" + std::string(static_cast<std::size_t>(Filled), '#') +
            std::string(static_cast<std::size_t>(BarWidth - Filled), '.') + "] ";
    return Line + Percentage(Clamped) + "  " + Clock(Elapsed) + Estimate;
}

std::string ProgressDisplay::RateAndTimeLeft(const Queltburner::TJobProgress& Progress) {
    std::string Text;
    if (Progress.BytesPerSecond > 0) {
        Text += "  " + ReadableBytes(static_cast<std::uint64_t>(Progress.BytesPerSecond)) + "/s";
    }
    // A phase at its end has no time left worth showing.
    if (Progress.Remaining.count() >= 0 && Progress.Percent < 100) {
        const auto Left = std::chrono::ceil<std::chrono::seconds>(Progress.Remaining);
        Text += "  ETA " + Clock(Left);
    }
    return Text;
}

void ProgressDisplay::Attach(Queltburner::TJobEvents& Events) {
    Events.OnProgress = [this](const Queltburner::TJobProgress& Progress) {
        ShowProgress(Progress);
    };
    Events.OnOutput = [this](const System::UnicodeString& Line, bool IsError) {
        ShowLine(System::Sysutils::UTF8Encode(Line), IsError);
    };
}

void ProgressDisplay::ShowProgress(const Queltburner::TJobProgress& Progress) {
    const std::string_view Phase = PhaseWord(Progress.Phase);
    // Before the tool's first progress line and after the end there is no step of the tool to show.
    if (FStyle == ProgressStyle::None || Phase.empty()) {
        return;
    }
    const std::string Rate =
        IsTimedPhase(Progress.Phase) ? RateAndTimeLeft(Progress) : std::string();
    const auto Elapsed = std::chrono::duration_cast<std::chrono::seconds>(Progress.Elapsed);
    if (FStyle == ProgressStyle::Lines) {
        FOut << "progress: " << Phase << " " << Percentage(Progress.Percent) << " "
             << Clock(Elapsed) << Rate << "\n"
             << std::flush;
        return;
    }
    FBar = BarLine(std::string(Phase), Progress.Percent, Elapsed, Rate);
    FOut << ClearLine << FBar << std::flush;
}

void ProgressDisplay::ShowLine(const std::string& Line, bool IsError) {
    if (IsError && Line.find_first_not_of(" \t\r") != std::string::npos) {
        FLastErrorLine = Line;
    }
    // At once: the tool may say something and then work on for a long time.
    Print(Line, IsError ? FErr : FOut);
}

void ProgressDisplay::Print(const std::string& Line, std::ostream& Stream) {
    if (FStyle == ProgressStyle::Bar && !FBar.empty()) {
        FOut << ClearLine << std::flush;
    }
    Stream << Line << "\n" << std::flush;
    if (FStyle == ProgressStyle::Bar && !FBar.empty()) {
        FOut << FBar << std::flush;
    }
}

void ProgressDisplay::Finish() {
    if (FStyle == ProgressStyle::Bar && !FBar.empty()) {
        FOut << ClearLine << std::flush;
        FBar.clear();
    }
}

} // namespace Queltburn
