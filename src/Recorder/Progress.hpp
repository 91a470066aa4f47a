// The progress lines the component and the command-line host read: "progress PHASE PERCENT", at
// each phase's start and end and at most every half second in between.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace Recorder {

class Progress {
public:
    explicit Progress(std::FILE* Out) : FOut(Out) {}

    // Starts a phase (preparing, erasing, writing, closing, verifying) at 0.0.
    void Begin(const char* Phase);
    // A percentage of the current phase; dropped when the last line is less than half a second
    // old. Safe from the thread that watches the burning library's messages.
    void Update(double Percent);
    // Ends the current phase at 100.0.
    void End();
    // A plain line for a person.
    void Say(const std::string& Line);

private:
    void Print(double Percent);

    std::FILE* FOut;
    std::mutex FMutex;
    std::string FPhase;
    std::chrono::steady_clock::time_point FLast{};
};

} // namespace Recorder
