// The progress lines the component and the command-line host read: "progress PHASE PERCENT", at
// each phase's start and end and every half second in between, whether or not the work reported
// anything new (a phase that waits on a slow step still shows that it runs), never going back.
// Where the work counts bytes (writing, verifying, erasing), the line carries them too: "progress
// PHASE PERCENT DONE TOTAL", DONE never going back nor past TOTAL, and equal to it at 100.0.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
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
    // Begin, for a phase whose work is TotalBytes (more than zero): its lines carry the bytes.
    void Begin(const char* Phase, std::uint64_t TotalBytes);
    // The running phase's work is TotalBytes: its lines from here on carry the bytes.
    void Expect(std::uint64_t TotalBytes);
    // Begin, unless Phase is the one running already.
    void Enter(const char* Phase);
    // A percentage of the current phase; a lower one than already reached is not shown. Printed
    // when the last line is half a second old. Safe from any thread.
    void Update(double Percent);
    // Done bytes of the phase's Total (more than zero), the percentage theirs.
    void Update(std::uint64_t Done, std::uint64_t Total);
    // Done bytes of Total with a percentage counted another way (a library's own, which counts
    // what it writes besides the bytes it was given).
    void Update(double Percent, std::uint64_t Done, std::uint64_t Total);
    // Ends the current phase at 100.0.
    void End();
    // A plain line for a person.
    void Say(const std::string& Line);

private:
    void UpdateLocked(double Percent);
    void Print(double Percent);
    void BeginLocked(const char* Phase, std::uint64_t TotalBytes);
    void Tick();

    std::FILE* FOut;
    std::mutex FMutex;
    std::condition_variable FWake;
    std::string FPhase;
    double FPercent = 0.0;
    std::uint64_t FDone = 0;
    std::uint64_t FTotal = 0; // zero: the phase's bytes are not known
    bool FStopping = false;
    std::chrono::steady_clock::time_point FLast{};
    std::thread FTicker;
};

} // namespace Recorder
