// The handles of a started process, owned for the length of a run.
#pragma once

#include "QueltBurnerHostServices.hpp"

namespace Queltburner {

// Releases a started process's handles on every way out: the process first, then the thread.
class ProcessHandles {
public:
    ProcessHandles(HostServices& Host, const StartedProcess& Started) noexcept
        : FHost(Host), FStarted(Started) {}
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;
    ProcessHandles(ProcessHandles&&) = delete;
    ProcessHandles& operator=(ProcessHandles&&) = delete;
    ~ProcessHandles() {
        Release(FStarted.Process);
        Release(FStarted.Thread);
    }

    HostHandle Process() const noexcept { return FStarted.Process; }

private:
    void Release(HostHandle Handle) noexcept {
        try {
            (void)FHost.ReleaseHandle(Handle);
        } catch (...) {
            // A handle that cannot be released is as good as released: nothing else can be done,
            // and an exception here would end the program.
        }
    }

    HostServices& FHost;
    StartedProcess FStarted;
};

} // namespace Queltburner
