// A host that records every call with its arguments, answers as it is told, and keeps count of the
// handles it has handed out, so that tests can see exactly what the component asked for and in
// which order, and that nothing is left open.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace QueltTest {

using System::UnicodeString;

struct HostCall {
    std::string Name;
    std::vector<UnicodeString> Args;
};

struct StartRequest {
    UnicodeString Application;
    UnicodeString CommandLine;
    int ShowState = -1;
    Queltburner::LaunchMode Mode = Queltburner::LaunchMode::Waited;
};

class RecordingHost final : public Queltburner::HostServices {
public:
    // --- What the host answers -------------------------------------------------------------
    std::map<char16_t, std::uint32_t> DriveTypes; // by the root's first character; default 1
    std::set<UnicodeString> Files;
    std::set<UnicodeString> Directories;
    bool StartFails = false;
    std::uint32_t WaitResult = Queltburner::WaitEnded;
    std::optional<std::uint32_t> ExitCode = 0;
    Queltburner::RegistryValue Registry; // the one value every registry read returns
    // Runs after a call is recorded and before it answers; a test throws from it to inject faults.
    std::function<void(const HostCall&)> BeforeAnswer;

    // The questions around a burn: unset, the interface's defaults (not available).
    std::map<char16_t, UnicodeString> DriveTargets;
    std::optional<Queltburner::DiscReport> Disc;
    std::optional<Queltburner::SizeReport> Size;

    // --- What the host saw -----------------------------------------------------------------
    std::vector<HostCall> Calls;
    std::vector<UnicodeString> Messages;
    std::vector<StartRequest> Starts;
    int UnknownReleases = 0; // releases of a handle that was not open (double release)

    // Makes Letter an optical drive and Tool an existing file.
    void MakeReady(char16_t Letter, const UnicodeString& Tool);
    std::vector<std::string> CallNames() const;
    std::size_t OpenHandles() const { return FOpen.size(); }
    const StartRequest& LastStart() const;

    // --- Watching, which the host offers only when Watches is set ---------------------------
    struct WaitStep {
        std::string Output;
        std::string Error;
        Queltburner::WaitEvent Event = Queltburner::WaitEvent::Output;
        bool ToolEnds = false; // the tool ends with this step, its end told by the next wait
    };
    bool Watches = false;
    // Each wait answers with the next step. With none left the tool runs on: a wait returns at
    // its deadline, when interrupted, or once the tool was asked to end (Ended), or after 10 s
    // (Failed, so that a faulty run cannot hang a test).
    std::deque<WaitStep> Script;
    bool IgnoresEndRequest = false; // the tool outlives EndProcess without Force
    std::vector<bool> EndRequests;  // the Force of each EndProcess (false once it has ended)
    std::atomic<int> Interrupts{0};
    std::vector<bool> CaptureRequests; // the CaptureOutput of each watched start

    std::uint32_t DriveType(const UnicodeString& RootPath) override;
    bool FileExists(const UnicodeString& Path) override;
    bool DirectoryExists(const UnicodeString& Path) override;
    std::optional<Queltburner::StartedProcess> StartProcess(const UnicodeString& Application,
                                                            const UnicodeString& CommandLine,
                                                            int ShowState,
                                                            Queltburner::LaunchMode Mode) override;
    std::uint32_t WaitForProcess(Queltburner::HostHandle Process) override;
    std::optional<std::uint32_t> ProcessExitCode(Queltburner::HostHandle Process) override;
    bool ReleaseHandle(Queltburner::HostHandle Handle) override;
    void ShowErrorMessage(const UnicodeString& Text) override;
    Queltburner::RegistryValue ReadUserString(const UnicodeString& Key,
                                              const UnicodeString& Name) override;
    bool CanWatchProcesses() override { return Watches; }
    std::optional<Queltburner::StartedProcess> StartWatchedProcess(const UnicodeString& Application,
                                                                   const UnicodeString& CommandLine,
                                                                   int ShowState,
                                                                   bool CaptureOutput) override;
    Queltburner::WaitEvent WaitForProcessEvent(Queltburner::HostHandle Process,
                                               Queltburner::WaitDeadline Deadline,
                                               Queltburner::CapturedOutput& Output) override;
    void InterruptWait(Queltburner::HostHandle Process) override;
    bool EndProcess(Queltburner::HostHandle Process, bool Force) override;
    // Recorded as "DriveTarget", "DescribeDisc" (tool, drive) and "MeasureBurn" (tool, command).
    UnicodeString DriveTarget(System::WideChar Drive) override;
    Queltburner::DiscReport DescribeDisc(const UnicodeString& Tool,
                                         System::WideChar Drive) override;
    Queltburner::SizeReport MeasureBurn(const UnicodeString& Tool,
                                        const UnicodeString& BurnCommandLine) override;

private:
    void Record(std::string Name, std::vector<UnicodeString> Args);

    std::set<Queltburner::HostHandle> FOpen;
    std::mutex FWaitMutex;
    std::condition_variable FWake;
    bool FInterrupted = false;
    bool FToolEnded = false;
    Queltburner::HostHandle FNext = 1000;
};

} // namespace QueltTest
