#include "RunControl.hpp"

namespace Queltburner {

namespace {

// A host's wake-up that fails leaves the run to notice the request at its next wake-up.
void Interrupt(HostServices& Host, HostHandle Process) noexcept {
    try {
        Host.InterruptWait(Process);
    } catch (...) {
        // Nothing to add: the request stays recorded.
    }
}

} // namespace

void RunControl::Cancel() noexcept {
    const std::lock_guard Lock(FMutex);
    if (FDepth == 0 && !FKeepEarlyCancel) {
        return;
    }
    FCancelRequested = true;
    if (FProcess != 0 && FHost != nullptr) {
        // Under the lock: the scope stops tracking the process before its handle is released.
        Interrupt(*FHost, FProcess);
    }
}

RunControl::Scope::Scope(RunControl& Control, HostServices& Host) noexcept : FControl(Control) {
    const std::lock_guard Lock(Control.FMutex);
    FOuterHost = Control.FHost;
    FOuterProcess = Control.FProcess;
    FOuterCancelled = Control.FCancelRequested;
    FOuterDepth = Control.FDepth;
    Control.FHost = &Host;
    Control.FProcess = 0;
    Control.FCancelRequested = Control.FKeepEarlyCancel && Control.FCancelRequested;
    ++Control.FDepth;
}

RunControl::Scope::~Scope() {
    const std::lock_guard Lock(FControl.FMutex);
    FControl.FHost = FOuterHost;
    FControl.FProcess = FOuterProcess;
    // A cancel during an inner run asked for the outer one too.
    FControl.FCancelRequested = FOuterCancelled || FControl.FCancelRequested;
    FControl.FDepth = FOuterDepth;
    if (FControl.FDepth > 0 && FControl.FCancelRequested && FControl.FProcess != 0 &&
        FControl.FHost != nullptr) {
        Interrupt(*FControl.FHost, FControl.FProcess);
    }
}

void RunControl::Scope::Track(HostHandle Process) noexcept {
    const std::lock_guard Lock(FControl.FMutex);
    FControl.FProcess = Process;
    // A cancel that came while the tool was being started finds its wait at once.
    if (Process != 0 && FControl.FCancelRequested && FControl.FHost != nullptr) {
        Interrupt(*FControl.FHost, Process);
    }
}

bool RunControl::CancelKept() const noexcept {
    const std::lock_guard Lock(FMutex);
    return FKeepEarlyCancel && FCancelRequested;
}

bool RunControl::Scope::CancelRequested() const noexcept {
    const std::lock_guard Lock(FControl.FMutex);
    return FControl.FCancelRequested;
}

} // namespace Queltburner
