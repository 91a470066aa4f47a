// A job's progress from the tool's progress lines: the phase's own share, an overall figure that
// weighs the phases the job expects and never goes back, the rate of the phase's bytes, and the
// time the phase still needs at that rate.
#pragma once

#include "QueltBurnerJobs.hpp"

#include <chrono>
#include <cstdint>
#include <vector>

namespace Queltburner {

class JobProgressTracker {
public:
    using Clock = std::chrono::steady_clock;

    // Expected: the phases the job's tool will go through, in any order; a phase it shows
    // besides them counts from then on.
    JobProgressTracker(std::vector<TJobPhase> Expected, Clock::time_point Start);

    // A progress line: Percent of Phase, with its bytes when the tool gave them (Total 0: none).
    const TJobProgress& Update(TJobPhase Phase, double Percent, std::uint64_t Done,
                               std::uint64_t Total, Clock::time_point Now);
    // The job's end: Finished, at 100.
    const TJobProgress& Finish(Clock::time_point Now);
    const TJobProgress& Latest() const noexcept { return FLatest; }

private:
    void EnterPhase(TJobPhase Phase, Clock::time_point Now);
    double OverallOf(double Percent) const noexcept;
    void Measure(double Percent, std::uint64_t Done, Clock::time_point Now);

    std::vector<TJobPhase> FExpected;
    std::vector<TJobPhase> FEnded; // phases left behind, whose whole share is done
    Clock::time_point FStart;
    Clock::time_point FPhaseStart;
    std::uint64_t FPhaseFirstBytes = 0;
    bool FPhaseHasBytes = false;
    TJobProgress FLatest;
};

} // namespace Queltburner
