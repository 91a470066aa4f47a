// A job's shared inside: the tool's lines turned into progress, output and facts on the job's
// thread; its result handed to OnFinished, then to every waiter.
#include "JobState.hpp"
#include "ToolOutput.hpp"

#include "System.SysUtils.hpp"
#include "ToolProgress.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace Queltburner {

namespace {

// More of a question's output than any answer takes is not kept.
constexpr std::size_t LongestAnswer = std::size_t{1} << 20;

TJobPhase PhaseNamed(const System::UnicodeString& Name) {
    // The job's phase of each of the tool's phase words, in their order.
    constexpr std::array<TJobPhase, ToolContract::ProgressPhases.size()> Phases{
        TJobPhase::Preparing, TJobPhase::Erasing, TJobPhase::Writing, TJobPhase::Closing,
        TJobPhase::Verifying};
    for (std::size_t Index = 0; Index < Phases.size(); ++Index) {
        const std::string_view Word = ToolContract::ProgressPhases.at(Index);
        if (std::equal(Name.begin(), Name.end(), Word.begin(), Word.end())) {
            return Phases.at(Index);
        }
    }
    return TJobPhase::Preparing;
}

void Keep(std::string& Kept, std::string_view Line) {
    if (Kept.size() + Line.size() < LongestAnswer) {
        Kept.append(Line);
        Kept.push_back('\n');
    }
}

TJobResult FailedJob(const char* What) {
    TJobResult Result;
    Result.Result = ResultToolFailed;
    Result.Error = make_error_code(TBurnError::ToolFailed);
    Result.Reason = u"the job ended early: " + System::Sysutils::UTF8ToString(What);
    return Result;
}

} // namespace

JobState::JobState(std::unique_ptr<TQueltBurner> Component, TJobEvents Events,
                   std::vector<TJobPhase> Expected)
    : FEvents(std::move(Events)), FComponent(std::move(Component)),
      FTracker(std::move(Expected), JobProgressTracker::Clock::now()) {}

JobState::~JobState() = default;

void JobState::Run(const JobOperation& Operation) noexcept {
    {
        const std::lock_guard Lock(FMutex);
        FThread = std::this_thread::get_id();
    }
    TJobResult Result;
    try {
        Result = Operation(*FComponent, FFacts);
    } catch (const std::exception& Failure) {
        Result = FailedJob(Failure.what());
    } catch (...) {
        Result = FailedJob("an event handler threw");
    }
    Result.SkippedEntries = std::move(FFacts.SkippedEntries);
    // The component goes here, on the job's thread, while the application surely still runs:
    // nothing of it may be left to the end of a detached thread that outlives main().
    std::unique_ptr<TQueltBurner> Ended;
    {
        const std::lock_guard Lock(FMutex);
        Ended = std::move(FComponent);
    }
    Ended.reset();
    Finish(std::move(Result));
}

void JobState::FailToStart(const std::exception& Failure) noexcept {
    Finish(FailedJob(Failure.what()));
}

void JobState::Finish(TJobResult Result) noexcept {
    TJobProgress Final;
    {
        const std::lock_guard Lock(FMutex);
        FResult = std::move(Result);
        FResultKnown = true;
        Final = FTracker.Finish(JobProgressTracker::Clock::now());
    }
    // The job is over: what a handler throws now has nothing left to end.
    try {
        if (FEvents.OnProgress) {
            FEvents.OnProgress(Final);
        }
    } catch (...) { // NOLINT(bugprone-empty-catch): documented, dropped
    }
    try {
        if (FEvents.OnFinished) {
            FEvents.OnFinished(FResult);
        }
    } catch (...) { // NOLINT(bugprone-empty-catch): documented, dropped
    }
    {
        const std::lock_guard Lock(FMutex);
        FFinished = true;
    }
    FEnded.notify_all();
}

bool JobState::OnJobThread() const {
    const std::lock_guard Lock(FMutex);
    return FThread == std::this_thread::get_id();
}

void JobState::Cancel() noexcept {
    const std::lock_guard Lock(FMutex);
    if (FComponent) {
        FComponent->Cancel();
    }
}

bool JobState::Finished() const noexcept {
    const std::lock_guard Lock(FMutex);
    return FFinished;
}

const TJobResult& JobState::Wait() {
    // OnFinished runs on the job's thread after the result is known: waiting there would never end.
    if (!OnJobThread()) {
        std::unique_lock Lock(FMutex);
        FEnded.wait(Lock, [this] { return FFinished; });
    }
    return FResult;
}

bool JobState::WaitFor(std::chrono::milliseconds Limit) {
    std::unique_lock Lock(FMutex);
    if (FThread == std::this_thread::get_id()) {
        return FResultKnown;
    }
    return FEnded.wait_for(Lock, Limit, [this] { return FFinished; });
}

TJobProgress JobState::Progress() const {
    const std::lock_guard Lock(FMutex);
    return FTracker.Latest();
}

void JobState::ProgressLineCame(const ProgressLine& Line) {
    TJobProgress Now;
    {
        const std::lock_guard Lock(FMutex);
        Now = FTracker.Update(PhaseNamed(Line.Phase), Line.Percent, Line.BytesDone, Line.BytesTotal,
                              JobProgressTracker::Clock::now());
    }
    if (FEvents.OnProgress) {
        FEvents.OnProgress(Now);
    }
}

void JobState::ToolLine(std::string_view Line, bool IsError, bool Whole) {
    if (!IsError && Whole) {
        if (const std::optional<ProgressLine> Progress = ParseProgressLine(Line)) {
            ProgressLineCame(*Progress);
            return;
        }
        if (const std::optional<std::string_view> Key = FailureKeyOf(Line)) {
            FFacts.FailureKey = *Key;
            return;
        }
    }
    if (FKeepAnswer) {
        Keep(IsError ? FAnswerError : FAnswerOutput, Line);
    }
    const System::UnicodeString Text = System::Sysutils::UTF8ToString(Line);
    if (IsError && !Text.empty()) {
        FFacts.LastErrorLine = Text;
    }
    if (FEvents.OnOutput) {
        FEvents.OnOutput(Text, IsError);
    }
}

void JobState::EntryLeftOut(const System::UnicodeString& Entry) {
    FFacts.SkippedEntries.push_back(Entry);
}

void JobState::ToolNotFound() {
    FFacts.ToolNotFound = true;
}

void JobState::BeginAnswer() {
    FKeepAnswer = true;
    FAnswerOutput.clear();
    FAnswerError.clear();
}

ToolRunOutcome JobState::EndAnswer(int Result) {
    FKeepAnswer = false;
    FFacts.QuestionRun = Result;
    ToolRunOutcome Outcome;
    if (Result >= 0) {
        Outcome.ExitCode = static_cast<std::uint32_t>(Result);
    }
    Outcome.Output = std::move(FAnswerOutput);
    Outcome.Error = std::move(FAnswerError);
    return Outcome;
}

TBurnJob::TBurnJob(std::shared_ptr<JobState> State) noexcept : FState(std::move(State)) {}

TBurnJob::~TBurnJob() = default;

void TBurnJob::Cancel() noexcept {
    FState->Cancel();
}

bool TBurnJob::Finished() const noexcept {
    return FState->Finished();
}

const TJobResult& TBurnJob::Wait() {
    return FState->Wait();
}

bool TBurnJob::WaitFor(std::chrono::milliseconds Limit) {
    return FState->WaitFor(Limit);
}

TJobProgress TBurnJob::Progress() const {
    return FState->Progress();
}

} // namespace Queltburner
