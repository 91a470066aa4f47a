// The frame every operation runs in: drive check, tool check, then the composed command line run
// waiting (with events) or not.
#include "OperationFrame.hpp"
#include "CommandLine.hpp"
#include "JobContext.hpp"
#include "ProcessHandles.hpp"
#include "RunControl.hpp"

#include <bit>
#include <cstdint>
#include <utility>

namespace Queltburner {

namespace {

constexpr int DriveCheckFailed = ResultNotOpticalDrive;
constexpr int ToolCheckFailed = ResultToolFailed;
constexpr int RunFailed = ResultToolFailed;

bool IsAsciiLetter(System::WideChar C) noexcept {
    return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z');
}

} // namespace

void OperationFrame::ShowError(const System::UnicodeString& Text) {
    if (FBurner.ShowMessages()) {
        Host().ShowErrorMessage(Text);
    }
}

bool OperationFrame::IsOpticalDrive(System::WideChar Drive) const {
    // Only a letter names a drive; anything else would make a root text that means something else.
    const System::UnicodeString Root{Drive, u':', u'\\'};
    return IsAsciiLetter(Drive) && Host().DriveType(Root) == DriveTypeCdRom;
}

bool OperationFrame::ToolExists() const {
    return Host().FileExists(FBurner.NeroCmdLocation);
}

int OperationFrame::CheckDriveAndTool(System::WideChar Drive) {
    if (!IsOpticalDrive(Drive)) {
        ShowError(System::UnicodeString(u"Invalid drive ") + Drive + u".");
        return DriveCheckFailed;
    }
    if (!ToolExists()) {
        if (FBurner.FJob != nullptr) {
            FBurner.FJob->ToolNotFound();
        }
        ShowError(u"Invalid path to NeroCmd.exe.");
        return ToolCheckFailed;
    }
    return 0;
}

int OperationFrame::Run(System::WideChar Drive, const ComposeCommand& Compose) {
    if (const int Failed = CheckDriveAndTool(Drive); Failed != 0) {
        return Failed;
    }
    return RunCommandLine(Compose(Host()));
}

int OperationFrame::RunCommandLine(const System::UnicodeString& CommandLineText) {
    const int ShowState = TQueltBurner::BoolToIntNeg(FBurner.HideNeroCmd());
    if (!FBurner.Synchronous()) {
        return LaunchWithoutWaiting(CommandLineText, ShowState);
    }
    const int Code = FBurner.ExecuteAndWait(CommandLineText, ShowState);
    // The handler runs from a copy: it may replace the event, or destroy the component.
    if (Code == 0) {
        if (FBurner.OnSuccess()) {
            const System::Classes::TNotifyEvent Handler = FBurner.OnSuccess();
            Handler(&FBurner);
        }
    } else if (FBurner.OnError()) {
        const TErrorEvent Handler = FBurner.OnError();
        Handler(&FBurner, Code);
    }
    return Code;
}

std::optional<StartedProcess>
OperationFrame::StartTool(const System::UnicodeString& CommandLineText, int ShowState,
                          LaunchMode Mode) const {
    // A NUL would cut the command line short on Windows and cannot be passed at all on POSIX.
    if (!CanBeCarried(CommandLineText)) {
        return std::nullopt;
    }
    return Host().StartProcess(FBurner.NeroCmdLocation, CommandLineText, ShowState, Mode);
}

int OperationFrame::ExecuteAndWait(const System::UnicodeString& CommandLineText, int ShowState) {
    // A job cancelled before its tool started never starts it.
    if (FBurner.FRun->CancelKept()) {
        return ResultCancelled;
    }
    if (Host().CanWatchProcesses()) {
        return ExecuteWatched(CommandLineText, ShowState);
    }
    int Result = RunFailed;
    const std::optional<StartedProcess> Started =
        StartTool(CommandLineText, ShowState, LaunchMode::Waited);
    if (!Started) {
        return Result;
    }
    const ProcessHandles Handles(Host(), *Started);
    if (Host().WaitForProcess(Handles.Process()) == WaitEnded) {
        if (const std::optional<std::uint32_t> ExitCode =
                Host().ProcessExitCode(Handles.Process())) {
            Result = std::bit_cast<std::int32_t>(*ExitCode);
        }
    }
    return Result;
}

int OperationFrame::LaunchWithoutWaiting(const System::UnicodeString& CommandLineText,
                                         int ShowState) {
    const std::optional<StartedProcess> Started =
        StartTool(CommandLineText, ShowState, LaunchMode::Detached);
    if (!Started) {
        // Reporting 0 here would tell the host that a tool which never ran was launched.
        return RunFailed;
    }
    const ProcessHandles Handles(Host(), *Started);
    return 0;
}

void OperationFrame::AppendFiles(CommandLine& Line, const TQueltBurner& Burner,
                                 HostServices& Host) {
    JobContext* const Job = Burner.FJob;
    AppendExistingEntries(
        Line, *Burner.Files(), Host,
        Job == nullptr ? EntryLeftOutHandler{}
                       : [Job](const System::UnicodeString& Entry) { Job->EntryLeftOut(Entry); });
}

int TQueltBurner::ExecuteAndWait(const System::UnicodeString& CommandLineText, int ShowState) {
    return OperationFrame(*this).ExecuteAndWait(CommandLineText, ShowState);
}

int TQueltBurner::BoolToInt(bool Value) noexcept {
    return Value ? 1 : 0;
}

int TQueltBurner::BoolToIntNeg(bool Value) noexcept {
    return Value ? 0 : 1;
}

} // namespace Queltburner
