// Host services for Windows: each call is the Win32 function its name says.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <map>
#include <memory>
#include <mutex>

namespace Queltburner::Win32 {

class Win32HostServices final : public HostServices {
public:
    std::uint32_t DriveType(const System::UnicodeString& RootPath) override;
    bool FileExists(const System::UnicodeString& Path) override;
    bool DirectoryExists(const System::UnicodeString& Path) override;
    std::optional<StartedProcess> StartProcess(const System::UnicodeString& Application,
                                               const System::UnicodeString& CommandLine,
                                               int ShowState, LaunchMode Mode) override;
    std::uint32_t WaitForProcess(HostHandle Process) override;
    std::optional<std::uint32_t> ProcessExitCode(HostHandle Process) override;
    bool ReleaseHandle(HostHandle Handle) override;
    void ShowErrorMessage(const System::UnicodeString& Text) override;
    RegistryValue ReadUserString(const System::UnicodeString& Key,
                                 const System::UnicodeString& Name) override;
    bool CanWatchProcesses() override { return true; }
    std::optional<StartedProcess> StartWatchedProcess(const System::UnicodeString& Application,
                                                      const System::UnicodeString& CommandLine,
                                                      int ShowState, bool CaptureOutput) override;
    WaitEvent WaitForProcessEvent(HostHandle Process, WaitDeadline Deadline,
                                  CapturedOutput& Output) override;
    void InterruptWait(HostHandle Process) override;
    bool EndProcess(HostHandle Process, bool Force) override;
    // The drive's volume name.
    System::UnicodeString DriveTarget(System::WideChar Drive) override;
    // Through IMAPI2, whatever the tool: the vendor's tool has no query of its own. MeasureBurn
    // keeps the default (not available) for the same reason.
    DiscReport DescribeDisc(const System::UnicodeString& Tool, System::WideChar Drive) override;

private:
    std::shared_ptr<class ToolWatch> WatchOf(HostHandle Process) const;

    mutable std::mutex FMutex;
    std::map<HostHandle, std::shared_ptr<class ToolWatch>> FWatches;
};

} // namespace Queltburner::Win32
