// The services of --print-command: everything as the platform does it (drive, files, registry,
// messages, questions), except that the tool is not started. The command line the component
// would run is recorded instead, and the stand-in for its process has ended with exit code 0.
#pragma once

#include "ForwardingHost.hpp"

#include <memory>
#include <optional>
#include <set>

namespace Queltburn {

class PrintingHost final : public Queltburner::ForwardingHost {
public:
    explicit PrintingHost(std::shared_ptr<Queltburner::HostServices> Platform);

    // The command line of the last start, if any.
    const std::optional<System::UnicodeString>& CommandLine() const noexcept {
        return FCommandLine;
    }

    std::optional<Queltburner::StartedProcess>
    StartProcess(const System::UnicodeString& Application, const System::UnicodeString& CommandLine,
                 int ShowState, Queltburner::LaunchMode Mode) override;
    std::uint32_t WaitForProcess(Queltburner::HostHandle Process) override;
    std::optional<std::uint32_t> ProcessExitCode(Queltburner::HostHandle Process) override;
    bool ReleaseHandle(Queltburner::HostHandle Handle) override;
    // No run is watched: a watched start would start the tool, which is what this host leaves out.
    bool CanWatchProcesses() override { return false; }

private:
    std::optional<System::UnicodeString> FCommandLine;
    std::set<Queltburner::HostHandle> FFakeHandles;
    Queltburner::HostHandle FNextHandle = 1;
};

} // namespace Queltburn
