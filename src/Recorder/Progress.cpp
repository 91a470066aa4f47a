#include "Progress.hpp"

#include <algorithm>

namespace Recorder {

namespace {

constexpr auto Interval = std::chrono::milliseconds(500);

} // namespace

void Progress::Begin(const char* Phase) {
    const std::lock_guard Lock(FMutex);
    FPhase = Phase;
    Print(0.0);
}

void Progress::Update(double Percent) {
    const std::lock_guard Lock(FMutex);
    if (FPhase.empty() || std::chrono::steady_clock::now() - FLast < Interval) {
        return;
    }
    Print(std::clamp(Percent, 0.0, 100.0));
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

} // namespace Recorder
