// Host services for Linux and other POSIX systems: drive letters from QUELT_DRIVES, the registry
// from a registry-export file named by QUELT_REGISTRY, processes through posix_spawn with the
// command line split by the Microsoft C runtime's rules, messages on standard error.
#pragma once

#include "QueltBurnerHostServices.hpp"
#include "ToolWaiter.hpp"

#include <map>
#include <memory>
#include <mutex>
#include <sys/types.h>

namespace Queltburner::Posix {

class PosixHostServices final : public HostServices {
public:
    PosixHostServices() = default;

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

    // Handles this host has handed out and not yet released.
    std::size_t OpenHandleCount() const;

    // The largest registry file that is read; a larger one counts as a registry without the value.
    static constexpr std::size_t RegistryFileCap = 4U << 20U;

private:
    // What a handle stands for. A thread handle, and the process handle of a detached launch,
    // stand for nothing that can be waited for (no waiter).
    struct HandleRecord {
        std::shared_ptr<ToolWaiter> Waiter;
        std::optional<int> Status; // the tool's raw wait status once it has been waited for
    };

    mutable std::mutex FMutex;
    std::map<HostHandle, HandleRecord> FHandles;
    HostHandle FNextHandle = 0x100;
};

} // namespace Queltburner::Posix
