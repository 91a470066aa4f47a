// What Cancel() reaches from any thread: whether a waiting run is in progress on the component, the
// process it watches, and whether it was asked to end.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <mutex>

namespace Queltburner {

class RunControl {
public:
    // KeepEarlyCancel: a job's control, on which a cancel that comes before the run (or between
    // runs) is kept, so that the run never starts its tool.
    explicit RunControl(bool KeepEarlyCancel = false) noexcept
        : FKeepEarlyCancel(KeepEarlyCancel) {}

    // Asks the run in progress to end; nothing when there is none, unless early cancels are kept.
    void Cancel() noexcept;
    // True when a kept cancel has come: no further run may start its tool.
    bool CancelKept() const noexcept;

    // A waiting run, from before its tool starts until its handles are released. A run started from
    // inside an event handler of another run on the same component stands for it until it ends.
    class Scope {
    public:
        Scope(RunControl& Control, HostServices& Host) noexcept;
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        Scope(Scope&&) = delete;
        Scope& operator=(Scope&&) = delete;

        // The process Cancel() wakes the wait of, from now until the scope ends.
        void Track(HostHandle Process) noexcept;
        bool CancelRequested() const noexcept;

    private:
        RunControl& FControl;
        HostServices* FOuterHost;
        HostHandle FOuterProcess;
        bool FOuterCancelled;
        int FOuterDepth;
    };

private:
    mutable std::mutex FMutex;
    bool FKeepEarlyCancel;
    int FDepth = 0;
    HostServices* FHost = nullptr;
    HostHandle FProcess = 0;
    bool FCancelRequested = false;
};

} // namespace Queltburner
