// Host services for Linux and other POSIX systems: drive letters from QUELT_DRIVES, the registry
// from a registry-export file (QUELT_REGISTRY, the user's, or the one the install put under the
// XDG configuration folders: RegistrySearch.hpp), processes through a waiter process or, under
// ThreadSanitizer and valgrind, with fork and exec (ToolRun.hpp), with the command line split by
// the Microsoft C runtime's rules, messages on standard error.
#pragma once

#include "QueltBurnerHostServices.hpp"
#include "RegistrySearch.hpp"
#include "ToolRun.hpp"
#include "ToolWatch.hpp"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Queltburner::Posix {

class PosixHostServices final : public HostServices {
public:
    // Falls back on the registry file of the install this library belongs to, under the
    // configuration folder it was built for.
    PosixHostServices();
    // Falls back on InstalledRegistryFile instead: for an application that carries the library
    // and ships defaults of its own, and for tests that must not depend on the machine's install.
    explicit PosixHostServices(std::string InstalledRegistryFile);
    // Starts its tools on Path rather than on the one this process's runtime asks for (tests run
    // both).
    explicit PosixHostServices(StartPath Path);
    PosixHostServices(std::string InstalledRegistryFile, StartPath Path);

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
    // Looks for the recorder's mark in the program's section table (ToolIdentity.hpp).
    bool ToolIsRecorder(const System::UnicodeString& Tool) override;
    // The first registry file that exists, the one ReadUserString reads.
    System::UnicodeString RegistryLocation() override;
    // The drive map's target of the letter and what the kernel says of it (DriveFacts.cpp); the
    // disc and the size asked of the tool (DiscQueries.cpp).
    System::UnicodeString DriveTarget(System::WideChar Drive) override;
    TOpticalDrive DescribeDrive(System::WideChar Drive) override;
    DiscReport DescribeDiscWith(const ToolRunner& Runner, const System::UnicodeString& Tool,
                                System::WideChar Drive) override;
    SizeReport MeasureBurnWith(const ToolRunner& Runner, const System::UnicodeString& Tool,
                               const System::UnicodeString& BurnCommandLine) override;
    DiscReport DescribeDisc(const System::UnicodeString& Tool, System::WideChar Drive) override;
    SizeReport MeasureBurn(const System::UnicodeString& Tool,
                           const System::UnicodeString& BurnCommandLine) override;

    // Handles this host has handed out and not yet released.
    std::size_t OpenHandleCount() const;

    // The largest registry file that is read; a larger one counts as a registry without the value.
    static constexpr std::size_t RegistryFileCap = LargestRegistryFile;

private:
    // What a handle stands for. A thread handle, and the process handle of a detached launch,
    // stand for nothing that can be waited for (no run).
    struct HandleRecord {
        std::shared_ptr<ToolRun> Run;
        std::optional<int> Status;        // the tool's raw wait status once it has been waited for
        std::shared_ptr<ToolWatch> Watch; // a captured run's pipes and notices
    };

    // Every start: detached, waited, or watched (CaptureOutput set: whether the streams are
    // captured).
    std::optional<StartedProcess> Start(const System::UnicodeString& Application,
                                        const System::UnicodeString& CommandLine, LaunchMode Mode,
                                        std::optional<bool> CaptureOutput);
    HandleRecord RecordOf(HostHandle Process) const;
    // A question's tool run without a component's: watched here, ended at a generous limit.
    ToolRunner LimitedRunner(const System::UnicodeString& Tool);

    std::string FInstalledRegistryFile;
    const ToolStarter& FStarter;
    mutable std::mutex FMutex;
    std::map<HostHandle, HandleRecord> FHandles;
    HostHandle FNextHandle = 0x100;
};

} // namespace Queltburner::Posix
