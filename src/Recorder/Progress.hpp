// The progress lines the component and the command-line host read: "progress PHASE PERCENT", at
// each phase's start and end and every half second in between, whether or not the work reported
// anything new (a phase that waits on a slow step still shows that it runs), never going back.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace Recorder {

class Progress {
public:
    explicit Progress(std::FILE* Out);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    Progress(Progress&&) = delete;
    Progress& operator=(Progress&&) = delete;

    // Starts a phase (preparing, erasing, writing, closing, verifying) at 0.0, after ending the
    // one still running.
    void Begin(const char* Phase);
    // Begin, unless Phase is the one running already.
    void Enter(const char* Phase);
    // A percentage of the current phase; a lower one than already reached is not shown. Printed
    // when the last line is half a second old. Safe from any thread.
    void Update(double Percent);
    // Ends the current phase at 100.0.
    void End();
    // A plain line for a person.
    void Say(const std::string& Line);

private:
    void Print(double Percent);
    void BeginLocked(const char* Phase);
    void Tick();

    std::FILE* FOut;
    std::mutex FMutex;
    std::condition_variable FWake;
    std::string FPhase;
    double FPercent = 0.0;
    bool FStopping = false;
    std::chrono::steady_clock::time_point FLast{};
    std::thread FTicker;
};

} // namespace Recorder
