// The inside of a job, shared by its handles and its thread: the job's own component, its events,
// what the tool said, its progress and, once known, its result.
#pragma once

#include "JobContext.hpp"
#include "JobErrors.hpp"
#include "JobProgressTracker.hpp"
#include "ToolOutput.hpp"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Queltburner {

// What a job's thread does with the job's own component: runs one operation, and returns its
// result with Error and Reason explained from Facts.
using JobOperation = std::function<TJobResult(TQueltBurner& Component, const ToolFacts& Facts)>;

class JobState final : public JobContext {
public:
    JobState(std::unique_ptr<TQueltBurner> Component, TJobEvents Events,
             std::vector<TJobPhase> Expected);
    ~JobState() override;
    JobState(const JobState&) = delete;
    JobState& operator=(const JobState&) = delete;
    JobState(JobState&&) = delete;
    JobState& operator=(JobState&&) = delete;

    // The job's thread: runs Operation, then finishes the job. Never throws.
    void Run(const JobOperation& Operation) noexcept;
    // Finishes a job whose thread could not be started, on the caller's thread.
    void FailToStart(const std::exception& Failure) noexcept;

    void Cancel() noexcept;
    bool Finished() const noexcept;
    const TJobResult& Wait();
    bool WaitFor(std::chrono::milliseconds Limit);
    TJobProgress Progress() const;

    void ToolLine(std::string_view Line, bool IsError, bool Whole) override;
    void EntryLeftOut(const System::UnicodeString& Entry) override;
    void ToolNotFound() override;
    void BeginAnswer() override;
    ToolRunOutcome EndAnswer(int Result) override;

private:
    void ProgressLineCame(const ProgressLine& Line);
    void Finish(TJobResult Result) noexcept;
    bool OnJobThread() const;

    const TJobEvents FEvents;

    mutable std::mutex FMutex;
    // The job's own component, until its operation has ended; a cancel reaches it under FMutex.
    std::unique_ptr<TQueltBurner> FComponent;
    std::condition_variable FEnded;
    JobProgressTracker FTracker;
    TJobResult FResult;
    bool FResultKnown = false;
    bool FFinished = false;
    std::thread::id FThread;

    // Only the job's thread touches these.
    ToolFacts FFacts;
    bool FKeepAnswer = false;
    std::string FAnswerOutput;
    std::string FAnswerError;
};

} // namespace Queltburner
