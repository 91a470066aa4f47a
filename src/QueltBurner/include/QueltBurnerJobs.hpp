// Jobs: a burn, an erase, an eject or a question started at once and run on a thread of its own,
// watched through its events or its Progress(), cancelled at any moment, and ended with a result
// that says exactly what happened. TQueltBurner's Start... operations return them; the blocking
// operations are unchanged.
#pragma once

#include "QueltBurnerHostServices.hpp"
#include "System.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <system_error>
#include <type_traits>
#include <vector>

namespace Queltburner {

class JobState;
class JobLauncher;

// What a job is doing: Starting until the tool prints its first progress line (the checks, the
// tool's start), then the tool's phases, and Finished once the result is known.
enum class TJobPhase : std::uint8_t {
    Starting,
    Preparing,
    Erasing,
    Writing,
    Closing,
    Verifying,
    Finished
};

struct TJobProgress {
    TJobPhase Phase = TJobPhase::Starting;
    double Percent = 0;                      // of this phase, 0 to 100
    double Overall = 0;                      // of the whole job, 0 to 100, never going back
    std::uint64_t BytesDone = 0;             // of this phase, where the tool says
    std::uint64_t BytesTotal = 0;            // 0 when unknown
    double BytesPerSecond = 0;               // 0 when unknown
    std::chrono::milliseconds Elapsed{0};    // since the job started
    std::chrono::milliseconds Remaining{-1}; // of this phase, from its rate; -1 when unknown
};

// Why a job failed; 0 (an empty std::error_code) means it did not.
enum class TBurnError {
    ToolNotFound = 1,  // no NeroCmd.exe where the registry points
    NotAnOpticalDrive, // the letter names no optical drive, or the tool found no drive behind it
    ImageNotFound,     // StartBurnImage: no such image file
    Cancelled,         // Cancel() ended it
    TimedOut,          // it lasted longer than the component's Timeout
    NotAvailable,      // the host or tool cannot answer this question for this disc
    DriveBusy,         // another run holds the drive
    NoDisc,            // the drive holds no disc
    DiscNotBlank,      // the disc holds data that this burn would need to import or erase
    DiscClosed,        // the disc is closed: nothing can be added
    NotRewritable,     // an erase of a disc that cannot be erased
    NotADisc,          // the drive or file holds something that is not a disc
    NoSuchSession,     // ContinueSession names a session the disc does not have
    DoesNotFit,        // the selection does not fit on the disc
    SourceUnreadable,  // an entry cannot be read or decoded
    SourceChanged,     // an entry changed while it was being written
    NothingToWrite,    // no entry of Files exists
    WriteFailed,       // a write failed (or the tool was stopped by a signal it did not expect)
    VerifyFailed,      // what was read back differs from its source
    ToolFailed,        // the tool could not be run, or failed in a way none of the above names
};

// The category of TBurnError, named "queltburner"; its messages are short lower-case phrases.
const std::error_category& BurnCategory() noexcept;
// Named as the standard library looks it up for std::error_code's converting constructor.
std::error_code make_error_code(TBurnError Error) noexcept; // NOLINT(readability-identifier-naming)

struct TJobResult {
    int Result = 0;               // what the blocking operation returns in the same situation
    std::error_code Error;        // empty on success, else a TBurnError (BurnCategory)
    System::UnicodeString Reason; // one line in the user's words; empty on success
    std::vector<System::UnicodeString> SkippedEntries; // entries of Files left out, in list order
    DiscReport Disc;                                   // filled by StartDescribeDisc
    SizeReport Size;                                   // filled by StartMeasureBurn
};

// A job's events, called on the job's own thread, one at a time. A handler that throws ends the
// job (the tool with it) as ToolFailed; OnFinished's exceptions are dropped.
struct TJobEvents {
    // Each has an initialiser, so that {.OnFinished = ...} leaves the others empty without a
    // warning about missing initialisers.
    std::function<void(const TJobProgress&)> OnProgress{};
    // Every line the tool writes, except its progress lines and its line for programs.
    std::function<void(const System::UnicodeString& Line, bool IsError)> OnOutput{};
    // Exactly once, before any Wait returns.
    std::function<void(const TJobResult&)> OnFinished{};
};

// A job in progress or finished. It runs to its end whether or not anyone keeps the handle, and
// it keeps what it needs of the component that started it, which may go before it.
class TBurnJob {
public:
    ~TBurnJob();
    TBurnJob(const TBurnJob&) = delete;
    TBurnJob& operator=(const TBurnJob&) = delete;
    TBurnJob(TBurnJob&&) = delete;
    TBurnJob& operator=(TBurnJob&&) = delete;

    // Sticky, from any thread (event handlers included), at any time: before the tool starts it
    // never starts (Cancelled); while it runs it is ended as TQueltBurner::Cancel() ends it; after
    // the end nothing changes.
    void Cancel() noexcept;
    // True once the result is known and OnFinished has returned.
    bool Finished() const noexcept;
    // Waits until Finished, from any number of threads. On the job's own thread (inside its
    // events) it does not wait: in OnFinished it returns the result, before that an empty one.
    const TJobResult& Wait();
    // True when the job finished within Limit.
    bool WaitFor(std::chrono::milliseconds Limit);
    // The latest progress.
    TJobProgress Progress() const;

private:
    friend class JobLauncher;
    explicit TBurnJob(std::shared_ptr<JobState> State) noexcept;

    std::shared_ptr<JobState> FState;
};

} // namespace Queltburner

template <>
struct std::is_error_code_enum<Queltburner::TBurnError> : std::true_type {};
