#include "RecordingHost.hpp"

#include "System.SysUtils.hpp"

#include <stdexcept>

namespace QueltTest {

namespace {

UnicodeString HandleText(Queltburner::HostHandle Handle) {
    return System::Sysutils::IntToStr(static_cast<std::int64_t>(Handle));
}

} // namespace

void RecordingHost::MakeReady(char16_t Letter, const UnicodeString& Tool) {
    DriveTypes[Letter] = Queltburner::DriveTypeCdRom;
    Files.insert(Tool);
}

std::vector<std::string> RecordingHost::CallNames() const {
    std::vector<std::string> Names;
    Names.reserve(Calls.size());
    for (const HostCall& Call : Calls) {
        Names.push_back(Call.Name);
    }
    return Names;
}

const StartRequest& RecordingHost::LastStart() const {
    if (Starts.empty()) {
        throw std::logic_error("no process was started");
    }
    return Starts.back();
}

void RecordingHost::Record(std::string Name, std::vector<UnicodeString> Args) {
    Calls.push_back({std::move(Name), std::move(Args)});
    if (BeforeAnswer) {
        BeforeAnswer(Calls.back());
    }
}

std::uint32_t RecordingHost::DriveType(const UnicodeString& RootPath) {
    Record("DriveType", {RootPath});
    const auto Found = RootPath.empty() ? DriveTypes.end() : DriveTypes.find(RootPath[0]);
    return Found == DriveTypes.end() ? 1U : Found->second;
}

bool RecordingHost::FileExists(const UnicodeString& Path) {
    Record("FileExists", {Path});
    return Files.count(Path) != 0;
}

bool RecordingHost::DirectoryExists(const UnicodeString& Path) {
    Record("DirectoryExists", {Path});
    return Directories.count(Path) != 0;
}

std::optional<Queltburner::StartedProcess>
RecordingHost::StartProcess(const UnicodeString& Application, const UnicodeString& CommandLine,
                            int ShowState, Queltburner::LaunchMode Mode) {
    Record("StartProcess", {Application, CommandLine, System::Sysutils::IntToStr(ShowState),
                            Mode == Queltburner::LaunchMode::Waited ? u"Waited" : u"Detached"});
    Starts.push_back({Application, CommandLine, ShowState, Mode});
    if (StartFails) {
        return std::nullopt;
    }
    Queltburner::StartedProcess Started{FNext, FNext + 1};
    FNext += 2;
    FOpen.insert(Started.Process);
    FOpen.insert(Started.Thread);
    return Started;
}

std::uint32_t RecordingHost::WaitForProcess(Queltburner::HostHandle Process) {
    Record("WaitForProcess", {HandleText(Process)});
    return WaitResult;
}

std::optional<std::uint32_t> RecordingHost::ProcessExitCode(Queltburner::HostHandle Process) {
    Record("ProcessExitCode", {HandleText(Process)});
    return ExitCode;
}

bool RecordingHost::ReleaseHandle(Queltburner::HostHandle Handle) {
    Record("ReleaseHandle", {HandleText(Handle)});
    if (FOpen.erase(Handle) == 0) {
        ++UnknownReleases;
        return false;
    }
    return true;
}

void RecordingHost::ShowErrorMessage(const UnicodeString& Text) {
    Record("ShowErrorMessage", {Text});
    Messages.push_back(Text);
}

Queltburner::RegistryValue RecordingHost::ReadUserString(const UnicodeString& Key,
                                                         const UnicodeString& Name) {
    Record("ReadUserString", {Key, Name});
    return Registry;
}

std::optional<Queltburner::StartedProcess>
RecordingHost::StartWatchedProcess(const UnicodeString& Application,
                                   const UnicodeString& CommandLine, int ShowState,
                                   bool CaptureOutput) {
    CaptureRequests.push_back(CaptureOutput);
    {
        const std::lock_guard Lock(FWaitMutex);
        FToolEnded = false;
        FInterrupted = false;
    }
    auto Started =
        StartProcess(Application, CommandLine, ShowState, Queltburner::LaunchMode::Waited);
    Calls.back().Name = "StartWatchedProcess";
    return Started;
}

Queltburner::WaitEvent RecordingHost::WaitForProcessEvent(Queltburner::HostHandle Process,
                                                          Queltburner::WaitDeadline Deadline,
                                                          Queltburner::CapturedOutput& Output) {
    Record("WaitForProcessEvent", {HandleText(Process)});
    std::unique_lock Lock(FWaitMutex);
    if (FInterrupted) {
        FInterrupted = false;
        return Queltburner::WaitEvent::Interrupted;
    }
    if (FToolEnded) {
        return Queltburner::WaitEvent::Ended;
    }
    if (!Script.empty()) {
        const WaitStep Step = Script.front();
        Script.pop_front();
        Output.Output += Step.Output;
        Output.Error += Step.Error;
        if (Step.Event == Queltburner::WaitEvent::Ended || Step.ToolEnds) {
            FToolEnded = true;
        }
        return Step.Event;
    }
    const auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto Until = Deadline ? std::min(*Deadline, Limit) : Limit;
    FWake.wait_until(Lock, Until, [this] { return FInterrupted || FToolEnded; });
    if (FInterrupted) {
        FInterrupted = false;
        return Queltburner::WaitEvent::Interrupted;
    }
    if (FToolEnded) {
        return Queltburner::WaitEvent::Ended;
    }
    return Deadline && Until == *Deadline ? Queltburner::WaitEvent::Deadline
                                          : Queltburner::WaitEvent::Failed;
}

void RecordingHost::InterruptWait(Queltburner::HostHandle /*Process*/) {
    ++Interrupts;
    const std::lock_guard Lock(FWaitMutex);
    FInterrupted = true;
    FWake.notify_all();
}

bool RecordingHost::EndProcess(Queltburner::HostHandle Process, bool Force) {
    Record("EndProcess", {HandleText(Process), Force ? u"Force" : u"Ask"});
    EndRequests.push_back(Force);
    const std::lock_guard Lock(FWaitMutex);
    if (FToolEnded) {
        return false;
    }
    if (Force || !IgnoresEndRequest) {
        FToolEnded = true;
        FWake.notify_all();
    }
    return true;
}

UnicodeString RecordingHost::DriveTarget(System::WideChar Drive) {
    Record("DriveTarget", {UnicodeString(1, Drive)});
    const auto Found = DriveTargets.find(Drive);
    return Found == DriveTargets.end() ? UnicodeString() : Found->second;
}

Queltburner::DiscReport RecordingHost::DescribeDisc(const UnicodeString& Tool,
                                                    System::WideChar Drive) {
    Record("DescribeDisc", {Tool, UnicodeString(1, Drive)});
    return Disc ? *Disc : HostServices::DescribeDisc(Tool, Drive);
}

Queltburner::SizeReport RecordingHost::MeasureBurn(const UnicodeString& Tool,
                                                   const UnicodeString& BurnCommandLine) {
    Record("MeasureBurn", {Tool, BurnCommandLine});
    return Size ? *Size : HostServices::MeasureBurn(Tool, BurnCommandLine);
}

} // namespace QueltTest
