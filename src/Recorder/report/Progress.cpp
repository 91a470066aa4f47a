#include "Progress.hpp"

#include <algorithm>
#include <cstring>

namespace Recorder {

namespace {

constexpr auto Interval = std::chrono::milliseconds(500);

} // namespace

Progress::Progress(std::FILE* Out) : FOut(Out), FTicker([this] { Tick(); }) {}

Progress::~Progress() {
    {
        const std::lock_guard Lock(FMutex);
        FStopping = true;
    }
    FWake.notify_all();
    FTicker.join();
}

void Progress::Begin(const char* Phase) {
    Begin(Phase, 0);
}

void Progress::Begin(const char* Phase, std::uint64_t TotalBytes) {
    const std::lock_guard Lock(FMutex);
    BeginLocked(Phase, TotalBytes);
}

void Progress::Expect(std::uint64_t TotalBytes) {
    const std::lock_guard Lock(FMutex);
    if (!FPhase.empty()) {
        FTotal = std::max(FTotal, TotalBytes);
    }
}

void Progress::Enter(const char* Phase) {
    const std::lock_guard Lock(FMutex);
    if (FPhase != Phase) {
        BeginLocked(Phase, 0);
    }
}

void Progress::BeginLocked(const char* Phase, std::uint64_t TotalBytes) {
    if (!FPhase.empty()) {
        Print(100.0);
    }
    FPhase = Phase;
    FPercent = 0.0;
    FDone = 0;
    FTotal = TotalBytes;
    Print(0.0);
    FWake.notify_all();
}

void Progress::Update(double Percent) {
    const std::lock_guard Lock(FMutex);
    UpdateLocked(Percent);
}

void Progress::Update(std::uint64_t Done, std::uint64_t Total) {
    Update(Total == 0 ? 0.0 : 100.0 * static_cast<double>(Done) / static_cast<double>(Total), Done,
           Total);
}

void Progress::Update(double Percent, std::uint64_t Done, std::uint64_t Total) {
    const std::lock_guard Lock(FMutex);
    if (FPhase.empty() || Total == 0) {
        return;
    }
    // A total that grows (a work that learns its size as it goes) keeps the bytes done; one
    // that shrinks is not taken, so that no line says less done than the one before.
    FTotal = std::max(FTotal, Total);
    FDone = std::min(std::max(FDone, Done), FTotal);
    UpdateLocked(Percent);
}

void Progress::UpdateLocked(double Percent) {
    if (FPhase.empty()) {
        return;
    }
    // 100.0 is the end's alone: a phase is not shown complete before it is.
    FPercent = std::max(FPercent, std::clamp(Percent, 0.0, 99.9));
    if (std::chrono::steady_clock::now() - FLast >= Interval) {
        Print(FPercent);
    }
}

void Progress::End() {
    const std::lock_guard Lock(FMutex);
    if (!FPhase.empty()) {
        Print(100.0);
        FPhase.clear();
    }
}

void Progress::Say(const std::string& Line) {
    const std::lock_guard Lock(FMutex);
    (void)std::fprintf(FOut, "%s\n", Line.c_str());
    (void)std::fflush(FOut);
}

void Progress::Print(double Percent) {
    if (FTotal == 0) {
        (void)std::fprintf(FOut, "progress %s %.1f\n", FPhase.c_str(), Percent);
    } else {
        // The end of a phase is all of it, whatever the last report counted.
        const std::uint64_t Done = Percent >= 100.0 ? FTotal : FDone;
        (void)std::fprintf(FOut, "progress %s %.1f %llu %llu\n", FPhase.c_str(), Percent,
                           static_cast<unsigned long long>(Done),
                           static_cast<unsigned long long>(FTotal));
    }
    (void)std::fflush(FOut);
    FLast = std::chrono::steady_clock::now();
}

// Repeats the running phase's percentage when nothing was printed for half a second.
void Progress::Tick() {
    std::unique_lock Lock(FMutex);
    while (!FStopping) {
        if (FPhase.empty()) {
            FWake.wait(Lock);
            continue;
        }
        const auto Due = FLast + Interval;
        if (FWake.wait_until(Lock, Due) == std::cv_status::timeout && !FPhase.empty() &&
            std::chrono::steady_clock::now() - FLast >= Interval) {
            Print(FPercent);
        }
    }
}

} // namespace Recorder
