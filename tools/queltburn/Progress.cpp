#include "Progress.hpp"

#include "System.SysUtils.hpp"

#include <cmath>
#include <cstdio>

namespace Queltburn {

namespace {

constexpr int BarWidth = 30;
// Back to the start of the line and clear it.
constexpr const char* ClearLine = "\r\x1b[K";
// The shortest part of a phase a rate is worked out from: progress lines that come together say
// nothing about the speed.
constexpr std::chrono::duration<double> ShortestRateSpan{0.25};

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
bool IsTimedPhase(const std::string& Phase) {
    return Phase == "writing" || Phase == "verifying";
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

std::string ProgressDisplay::RateAndTimeLeft(double FromPercent, double Percent,
                                             std::chrono::duration<double> InPhase) {
    if (InPhase < ShortestRateSpan || Percent <= FromPercent) {
        return {};
    }
    const double PerSecond = (Percent - FromPercent) / InPhase.count();
    const double Left = Percent >= 100 ? 0 : std::ceil((100 - Percent) / PerSecond);
    char Text[64];
    (void)std::snprintf(Text, sizeof Text, "  %.1f%%/s  ETA ", PerSecond);
    return Text + Clock(std::chrono::seconds(static_cast<long long>(Left)));
}

void ProgressDisplay::Attach(Queltburner::TQueltBurner& Burner) {
    Burner.SetOnProgress(
        [this](System::TObject*, const System::UnicodeString& Phase, double Percent) {
            ShowProgress(System::Sysutils::UTF8Encode(Phase), Percent);
        });
    Burner.SetOnOutput([this](System::TObject*, const System::UnicodeString& Line, bool IsError) {
        ShowLine(System::Sysutils::UTF8Encode(Line), IsError);
    });
}

std::chrono::seconds ProgressDisplay::Elapsed() const {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                            FStart);
}

std::string ProgressDisplay::Estimate(const std::string& Phase, double Percent) {
    const auto Now = std::chrono::steady_clock::now();
    if (Phase != FPhase) {
        FPhase = Phase;
        FPhaseStart = Now;
        FPhaseStartPercent = Percent;
    }
    return IsTimedPhase(Phase) ? RateAndTimeLeft(FPhaseStartPercent, Percent, Now - FPhaseStart)
                               : std::string();
}

void ProgressDisplay::ShowProgress(const std::string& Phase, double Percent) {
    // The component hands a progress line to the output event first: it is shown as progress
    // (or, without a style, not at all), not as a line as well.
    FHeldLine.reset();
    if (FStyle == ProgressStyle::None) {
        return;
    }
    const std::string Rate = Estimate(Phase, Percent);
    if (FStyle == ProgressStyle::Lines) {
        FOut << "progress: " << Phase << " " << Percentage(Percent) << " " << Clock(Elapsed())
             << Rate << "\n"
             << std::flush;
        return;
    }
    FBar = BarLine(Phase, Percent, Elapsed(), Rate);
    FOut << ClearLine << FBar << std::flush;
}

void ProgressDisplay::ShowLine(const std::string& Line, bool IsError) {
    ReleaseHeldLine();
    if (IsError && Line.find_first_not_of(" \t\r") != std::string::npos) {
        FLastErrorLine = Line;
    }
    if (!IsError && Line.starts_with("progress ")) {
        FHeldLine = Line; // until the progress event says whether it was a progress line
    } else {
        // At once: the tool may say something and then work on for a long time.
        Print(Line, IsError ? FErr : FOut);
    }
}

void ProgressDisplay::ReleaseHeldLine() {
    if (FHeldLine) {
        const std::string Line = std::move(*FHeldLine);
        FHeldLine.reset();
        Print(Line, FOut);
    }
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
    ReleaseHeldLine();
    if (FStyle == ProgressStyle::Bar && !FBar.empty()) {
        FOut << ClearLine << std::flush;
        FBar.clear();
    }
}

} // namespace Queltburn
