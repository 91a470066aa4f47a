// The Start operations: each copies the component into a job's own one and runs the blocking
// operation on it, on a thread of its own, then explains the result.
#include "JobState.hpp"
#include "OperationFrame.hpp"
#include "RunControl.hpp"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace Queltburner {

class JobLauncher {
public:
    // Starts Operation on a copy of Burner; Expected: the tool's phases the job will see.
    static std::shared_ptr<TBurnJob> Start(const TQueltBurner& Burner,
                                           std::vector<TJobPhase> Expected,
                                           std::function<int(TQueltBurner&, TJobResult&)> Operation,
                                           TJobEvents Events);

    // The phases a burn by the component's settings goes through.
    static std::vector<TJobPhase> BurnPhases(const TQueltBurner& Burner, bool WritesFileSystem);
};

namespace {

bool AskToolIsRecorder(HostServices& Host, const System::UnicodeString& Tool) noexcept {
    try {
        return Host.ToolIsRecorder(Tool);
    } catch (...) {
        return false;
    }
}

// A question's run that was cancelled or timed out is the job's result, not a failed answer.
int QuestionResult(int Result, const ToolFacts& Facts) {
    if (Result == ResultToolFailed && Facts.QuestionRun &&
        (*Facts.QuestionRun == ResultCancelled || *Facts.QuestionRun == ResultTimedOut)) {
        return *Facts.QuestionRun;
    }
    return Result;
}

} // namespace

TQueltBurner::TQueltBurner(const TQueltBurner& Source, JobCopy /*Tag*/)
    : TComponent(nullptr), NeroCmdLocation(Source.NeroCmdLocation), FHost(Source.FHost),
      FFiles(std::make_unique<System::Classes::TStringList>()), FVolume(Source.FVolume),
      FArtist(Source.FArtist), FTitle(Source.FTitle), FSpeed(Source.FSpeed),
      FDisableEject(Source.FDisableEject), FUnderrunProtection(Source.FUnderrunProtection),
      FDetectNonEmptyDisk(Source.FDetectNonEmptyDisk), FTao(Source.FTao),
      FForceEraseDisk(Source.FForceEraseDisk), FVerify(Source.FVerify),
      FSpeedTest(Source.FSpeedTest), FCloseSession(Source.FCloseSession), FDVD(Source.FDVD),
      FDiskType(Source.FDiskType), FContinueSession(Source.FContinueSession),
      // A job always waits for its tool and shows no message.
      FSynchronous(true), FHideNeroCmd(Source.FHideNeroCmd), FShowMessages(false),
      FTimeout(Source.FTimeout), FRun(std::make_shared<RunControl>(true)),
      FVersion(Source.FVersion) {
    FFiles->Assign(Source.FFiles.get());
}

std::shared_ptr<TBurnJob>
JobLauncher::Start(const TQueltBurner& Burner, std::vector<TJobPhase> Expected,
                   std::function<int(TQueltBurner&, TJobResult&)> Operation, TJobEvents Events) {
    std::unique_ptr<TQueltBurner> Own(new TQueltBurner(Burner, TQueltBurner::JobCopy{}));
    TQueltBurner& Component = *Own;
    auto State = std::make_shared<JobState>(std::move(Own), std::move(Events), std::move(Expected));
    Component.FJob = State.get();
    JobOperation Run = [Operation = std::move(Operation)](TQueltBurner& Job,
                                                          const ToolFacts& Facts) {
        TJobResult Result;
        Result.Result = Job.FRun->CancelKept() ? ResultCancelled
                                               : QuestionResult(Operation(Job, Result), Facts);
        const System::UnicodeString HostReason =
            Result.Disc.Status == QueryStatus::Failed   ? Result.Disc.Reason
            : Result.Size.Status == QueryStatus::Failed ? Result.Size.Reason
                                                        : System::UnicodeString();
        ExplainResult(Result, Facts, AskToolIsRecorder(*Job.FHost, Job.NeroCmdLocation),
                      HostReason);
        return Result;
    };
    try {
        std::thread([State, Run = std::move(Run)] { State->Run(Run); }).detach();
    } catch (const std::system_error& Failure) {
        State->FailToStart(Failure);
    }
    return std::shared_ptr<TBurnJob>(new TBurnJob(std::move(State)));
}

std::vector<TJobPhase> JobLauncher::BurnPhases(const TQueltBurner& Burner, bool WritesFileSystem) {
    std::vector<TJobPhase> Phases{TJobPhase::Preparing, TJobPhase::Writing, TJobPhase::Closing};
    if (Burner.ForceEraseDisk()) {
        Phases.push_back(TJobPhase::Erasing);
    }
    if (WritesFileSystem && Burner.Verify()) {
        Phases.push_back(TJobPhase::Verifying);
    }
    return Phases;
}

std::shared_ptr<TBurnJob> TQueltBurner::StartBurn(System::WideChar Drive, TJobEvents Events) {
    const bool FileSystem = FDiskType == dtData || FDiskType > dtSuperVideo;
    return JobLauncher::Start(
        *this, JobLauncher::BurnPhases(*this, FileSystem),
        [Drive](TQueltBurner& Job, TJobResult&) { return Job.Burn(Drive); }, std::move(Events));
}

// The published signature takes the name by value; an operation of the component, as the blocking
// ones are, though it changes nothing of it.
// NOLINTNEXTLINE(performance-unnecessary-value-param,readability-make-member-function-const)
std::shared_ptr<TBurnJob> TQueltBurner::StartBurnImage(System::UnicodeString FileName,
                                                       System::WideChar Drive, TJobEvents Events) {
    return JobLauncher::Start(
        *this, JobLauncher::BurnPhases(*this, false),
        [FileName = std::move(FileName), Drive](TQueltBurner& Job, TJobResult&) {
            return Job.BurnImage(FileName, Drive);
        },
        std::move(Events));
}

// An operation of the component, as the blocking ones are, though it changes nothing of it.
// NOLINTNEXTLINE(readability-make-member-function-const)
std::shared_ptr<TBurnJob> TQueltBurner::StartErase(System::WideChar Drive, bool FullErase,
                                                   TJobEvents Events) {
    return JobLauncher::Start(
        *this, {TJobPhase::Erasing},
        [Drive, FullErase](TQueltBurner& Job, TJobResult&) { return Job.Erase(Drive, FullErase); },
        std::move(Events));
}

// An operation of the component, as the blocking ones are, though it changes nothing of it.
// NOLINTNEXTLINE(readability-make-member-function-const)
std::shared_ptr<TBurnJob> TQueltBurner::StartEject(System::WideChar Drive, TJobEvents Events) {
    return JobLauncher::Start(
        *this, {}, [Drive](TQueltBurner& Job, TJobResult&) { return Job.Eject(Drive); },
        std::move(Events));
}

// An operation of the component, as the blocking ones are, though it changes nothing of it.
// NOLINTNEXTLINE(readability-make-member-function-const)
std::shared_ptr<TBurnJob> TQueltBurner::StartDescribeDisc(System::WideChar Drive,
                                                          TJobEvents Events) {
    return JobLauncher::Start(
        *this, {TJobPhase::Preparing},
        [Drive](TQueltBurner& Job, TJobResult& Result) {
            return Job.DescribeDisc(Drive, Result.Disc);
        },
        std::move(Events));
}

// An operation of the component, as the blocking ones are, though it changes nothing of it.
// NOLINTNEXTLINE(readability-make-member-function-const)
std::shared_ptr<TBurnJob> TQueltBurner::StartMeasureBurn(System::WideChar Drive,
                                                         TJobEvents Events) {
    return JobLauncher::Start(
        *this, {TJobPhase::Preparing},
        [Drive](TQueltBurner& Job, TJobResult& Result) {
            return Job.MeasureBurn(Drive, Result.Size);
        },
        std::move(Events));
}

} // namespace Queltburner
