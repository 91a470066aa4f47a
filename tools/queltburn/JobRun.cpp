#include "JobRun.hpp"

#include "Console.hpp"
#include "Progress.hpp"
#include "System.SysUtils.hpp"

#include <memory>
#include <mutex>
#include <optional>

namespace Queltburn {

namespace {

using Queltburner::TBurnError;
using Queltburner::TBurnJob;
using Queltburner::TJobResult;
using System::UnicodeString;

std::shared_ptr<TBurnJob> StartJob(const Command& C, const RunOptions& Run,
                                   Queltburner::TQueltBurner& Burner, System::WideChar Drive,
                                   const std::vector<UnicodeString>& Operands,
                                   Queltburner::TJobEvents Events) {
    if (C.Name == "image") {
        return Burner.StartBurnImage(Operands.front(), Drive, std::move(Events));
    }
    if (C.Name == "erase") {
        return Burner.StartErase(Drive, Run.FullErase, std::move(Events));
    }
    if (C.Name == "eject") {
        return Burner.StartEject(Drive, std::move(Events));
    }
    // Each burning command writes its own kind; burn writes the kind --type chose.
    if (C.BurnKind) {
        Burner.SetDiskType(*C.BurnKind);
    }
    return Burner.StartBurn(Drive, std::move(Events));
}

// A check that failed before any tool ran: the blocking operation fires no event then, and shows
// its message, which a job leaves to its program.
std::optional<UnicodeString> FailedCheckMessage(const TJobResult& Job, System::WideChar Drive) {
    if (Job.Result == Queltburner::ResultNotOpticalDrive) {
        return UnicodeString(u"Invalid drive ") + Drive + u".";
    }
    if (Job.Result == Queltburner::ResultImageNotFound) {
        return UnicodeString(u"Image file not found.\"");
    }
    if (Job.Error == TBurnError::ToolNotFound) {
        return UnicodeString(u"Invalid path to NeroCmd.exe.");
    }
    return std::nullopt;
}

std::string EventOf(const TJobResult& Job, bool CheckFailed) {
    if (CheckFailed) {
        return "none";
    }
    return Job.Result == Queltburner::ResultSuccess ? "OnSuccess"
                                                    : "OnError(" + std::to_string(Job.Result) + ")";
}

} // namespace

RunOutcome RunAsJob(const Command& C, const RunOptions& Run, Queltburner::TQueltBurner& Burner,
                    System::WideChar Drive, const std::vector<UnicodeString>& Operands,
                    Queltburner::HostServices& Host, std::ostream& Out, std::ostream& Err) {
    const ProgressStyle Style = StandardOutputIsTerminal()
                                    ? ProgressStyle::Bar
                                    : (Run.Progress ? ProgressStyle::Lines : ProgressStyle::None);
    ProgressDisplay Display(Style, Out, Err);
    Queltburner::TJobEvents Events;
    Display.Attach(Events);
    // Ctrl-C ends the tool through the job instead of leaving it running without its host. The
    // watch comes first, since the job may start its tool before StartJob returns: a signal that
    // comes before there is a job cancels it as soon as there is one.
    std::mutex Guard;
    std::shared_ptr<TBurnJob> Running;
    int InterruptStatus = 0;
    TJobResult Job;
    {
        const InterruptWatch Interrupts([&](int Status) {
            const std::scoped_lock Lock(Guard);
            InterruptStatus = Status;
            if (Running) {
                Running->Cancel();
            }
        });
        {
            const std::scoped_lock Lock(Guard);
            Running = StartJob(C, Run, Burner, Drive, Operands, std::move(Events));
            if (InterruptStatus != 0) {
                Running->Cancel();
            }
        }
        Job = Running->Wait();
    }
    Display.Finish();
    const std::optional<UnicodeString> Message = FailedCheckMessage(Job, Drive);
    if (Message && Burner.ShowMessages()) {
        Host.ShowErrorMessage(*Message);
    }
    for (const UnicodeString& Entry : Job.SkippedEntries) {
        Err << "left out: " << System::Sysutils::UTF8Encode(Entry) << "\n";
    }
    Err << std::flush;
    return {Job.Result, EventOf(Job, Message.has_value()), Display.LastErrorLine(),
            InterruptStatus};
}

} // namespace Queltburn
