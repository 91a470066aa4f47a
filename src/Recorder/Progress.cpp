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
    const std::lock_guard Lock(FMutex);
    BeginLocked(Phase);
}

void Progress::Enter(const char* Phase) {
    const std::lock_guard Lock(FMutex);
    if (FPhase != Phase) {
        BeginLocked(Phase);
    }
}

void Progress::BeginLocked(const char* Phase) {
    if (!FPhase.empty()) {
        Print(100.0);
    }
    FPhase = Phase;
    FPercent = 0.0;
    Print(0.0);
    FWake.notify_all();
}

void Progress::Update(double Percent) {
    const std::lock_guard Lock(FMutex);
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
    (void)std::fprintf(FOut, "progress %s %.1f\n", FPhase.c_str(), Percent);
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
