#include "JobProgressTracker.hpp"

#include <algorithm>

namespace Queltburner {

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

// The share of the work each phase stands for, in a job that goes through it: writing dominates,
// a verify reads back as much as was written, preparing and closing are short.
double WeightOf(TJobPhase Phase) noexcept {
    switch (Phase) {
    case TJobPhase::Preparing:
        return 10;
    case TJobPhase::Erasing:
        return 20;
    case TJobPhase::Writing:
        return 60;
    case TJobPhase::Closing:
        return 5;
    case TJobPhase::Verifying:
        return 45;
    default:
        return 0;
    }
}

bool Holds(const std::vector<TJobPhase>& Phases, TJobPhase Phase) {
    return std::find(Phases.begin(), Phases.end(), Phase) != Phases.end();
}

// A rate is only told once it stands on this much of the phase.
constexpr milliseconds ShortestRateSpan{250};

} // namespace

JobProgressTracker::JobProgressTracker(std::vector<TJobPhase> Expected, Clock::time_point Start)
    : FExpected(std::move(Expected)), FStart(Start), FPhaseStart(Start) {}

void JobProgressTracker::EnterPhase(TJobPhase Phase, Clock::time_point Now) {
    if (FLatest.Phase != TJobPhase::Starting && !Holds(FEnded, FLatest.Phase)) {
        FEnded.push_back(FLatest.Phase);
    }
    if (!Holds(FExpected, Phase)) {
        FExpected.push_back(Phase);
    }
    FLatest.Phase = Phase;
    FLatest.Percent = 0;
    FLatest.BytesDone = 0;
    FLatest.BytesTotal = 0;
    FLatest.BytesPerSecond = 0;
    FLatest.Remaining = milliseconds{-1};
    FPhaseStart = Now;
    FPhaseHasBytes = false;
}

double JobProgressTracker::OverallOf(double Percent) const noexcept {
    double Total = 0;
    double Done = 0;
    for (const TJobPhase Phase : FExpected) {
        Total += WeightOf(Phase);
        if (Holds(FEnded, Phase) && Phase != FLatest.Phase) {
            Done += WeightOf(Phase);
        }
    }
    Done += WeightOf(FLatest.Phase) * Percent / 100;
    return Total <= 0 ? 0 : std::min(100.0, 100 * Done / Total);
}

void JobProgressTracker::Measure(double Percent, std::uint64_t Done, Clock::time_point Now) {
    const auto Span = duration_cast<milliseconds>(Now - FPhaseStart);
    FLatest.BytesPerSecond = 0;
    if (FPhaseHasBytes && Done > FPhaseFirstBytes && Span >= ShortestRateSpan) {
        FLatest.BytesPerSecond = static_cast<double>(Done - FPhaseFirstBytes) * 1000.0 /
                                 static_cast<double>(Span.count());
    }
    if (Percent >= 100) {
        FLatest.Remaining = milliseconds{0};
    } else if (FLatest.BytesPerSecond > 0 && FLatest.BytesTotal > 0) {
        const auto Left = static_cast<double>(FLatest.BytesTotal - Done);
        FLatest.Remaining =
            milliseconds{static_cast<std::int64_t>(Left * 1000.0 / FLatest.BytesPerSecond)};
    } else if (Percent > 0 && Span >= ShortestRateSpan) {
        FLatest.Remaining = milliseconds{static_cast<std::int64_t>(
            static_cast<double>(Span.count()) * (100 - Percent) / Percent)};
    } else {
        FLatest.Remaining = milliseconds{-1};
    }
}

const TJobProgress& JobProgressTracker::Update(TJobPhase Phase, double Percent, std::uint64_t Done,
                                               std::uint64_t Total, Clock::time_point Now) {
    if (Phase != FLatest.Phase) {
        EnterPhase(Phase, Now);
    }
    FLatest.Percent = std::clamp(Percent, FLatest.Percent, 100.0);
    if (Total > 0) {
        if (!FPhaseHasBytes) {
            FPhaseHasBytes = true;
            FPhaseFirstBytes = Done;
            FPhaseStart = Now;
        }
        FLatest.BytesDone = std::max(FLatest.BytesDone, std::min(Done, Total));
        FLatest.BytesTotal = Total;
    }
    Measure(FLatest.Percent, FLatest.BytesDone, Now);
    FLatest.Overall = std::max(FLatest.Overall, OverallOf(FLatest.Percent));
    FLatest.Elapsed = duration_cast<milliseconds>(Now - FStart);
    return FLatest;
}

const TJobProgress& JobProgressTracker::Finish(Clock::time_point Now) {
    FLatest.Phase = TJobPhase::Finished;
    FLatest.Percent = 100;
    FLatest.Overall = 100;
    FLatest.BytesPerSecond = 0;
    FLatest.Remaining = milliseconds{0};
    FLatest.Elapsed = duration_cast<milliseconds>(Now - FStart);
    return FLatest;
}

} // namespace Queltburner
