#include "PrintingHost.hpp"

#include <utility>

namespace Queltburn {

using Queltburner::HostHandle;

PrintingHost::PrintingHost(std::shared_ptr<Queltburner::HostServices> Platform)
    : ForwardingHost(std::move(Platform)) {}

std::optional<Queltburner::StartedProcess>
PrintingHost::StartProcess(const System::UnicodeString& /*Application*/,
                           const System::UnicodeString& CommandLine, int /*ShowState*/,
                           Queltburner::LaunchMode /*Mode*/) {
    FCommandLine = CommandLine;
    const HostHandle Process = FNextHandle++;
    const HostHandle Thread = FNextHandle++;
    FFakeHandles.insert({Process, Thread});
    return Queltburner::StartedProcess{Process, Thread};
}

std::uint32_t PrintingHost::WaitForProcess(HostHandle Process) {
    return FFakeHandles.contains(Process) ? Queltburner::WaitEnded
                                          : Inner().WaitForProcess(Process);
}

std::optional<std::uint32_t> PrintingHost::ProcessExitCode(HostHandle Process) {
    if (FFakeHandles.contains(Process)) {
        return 0U;
    }
    return Inner().ProcessExitCode(Process);
}

bool PrintingHost::ReleaseHandle(HostHandle Handle) {
    if (FFakeHandles.erase(Handle) != 0) {
        return true;
    }
    return Inner().ReleaseHandle(Handle);
}

} // namespace Queltburn
