// Jobs on a recording host: what a job copies at its start, a cancel that comes before the tool,
// the result handed to OnFinished once and to every waiter, the entries it left out, and how its
// result codes and the tool's failure keys become errors; and the progress it works out.
#include "JobErrors.hpp"
#include "JobProgressTracker.hpp"
#include "ReadyBurner.hpp"
#include "TestFiles.hpp"
#include "ToolOutput.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Queltburner::TBurnError;
using Queltburner::TJobPhase;
using Queltburner::TJobResult;
using QueltTest::ReadyBurner;
using System::UnicodeString;

// Holds the job's thread at its first host call until the test opens it.
struct Gate {
    std::mutex Mutex;
    std::condition_variable Opened;
    bool Open = false;

    void Hold(QueltTest::RecordingHost& Host) {
        Host.BeforeAnswer = [this](const QueltTest::HostCall&) {
            std::unique_lock Lock(Mutex);
            Opened.wait(Lock, [this] { return Open; });
        };
    }
    void Release() {
        {
            const std::lock_guard Lock(Mutex);
            Open = true;
        }
        Opened.notify_all();
    }
};

TEST(Jobs, ErrorsAreOfTheQueltburnerCategory) {
    static_assert(std::is_error_code_enum_v<TBurnError>);
    const std::error_code Busy = TBurnError::DriveBusy;
    EXPECT_STREQ(Busy.category().name(), "queltburner");
    EXPECT_EQ(&Busy.category(), &Queltburner::BurnCategory());
    EXPECT_TRUE(Busy == TBurnError::DriveBusy);
    std::set<std::string> Messages;
    for (int Value = 1; Value <= static_cast<int>(TBurnError::ToolFailed); ++Value) {
        Messages.insert(Queltburner::make_error_code(static_cast<TBurnError>(Value)).message());
    }
    EXPECT_EQ(Messages.size(), static_cast<std::size_t>(TBurnError::ToolFailed));
    EXPECT_FALSE(Messages.contains("unknown error"));
    EXPECT_EQ(Queltburner::BurnCategory().message(21), "unknown error");
}

TEST(Jobs, ResultsBecomeErrors) {
    struct Row {
        int Result;
        bool ToolNotFound;
        std::string Key;
        bool IsRecorder;
        std::optional<TBurnError> Expected;
    };
    const Row Rows[] = {
        {0, false, "", true, std::nullopt},
        {-1, true, "", true, TBurnError::ToolNotFound},
        {-1, false, "", true, TBurnError::ToolFailed},
        {-1, false, "drive_busy", true, TBurnError::DriveBusy},
        {-1, false, "drive_busy", false, TBurnError::ToolFailed},
        {-2, false, "", true, TBurnError::NotAnOpticalDrive},
        {-3, false, "", true, TBurnError::ImageNotFound},
        {-4, false, "stopped", true, TBurnError::Cancelled},
        {-5, false, "", true, TBurnError::TimedOut},
        {-6, false, "", true, TBurnError::NotAvailable},
        {4, false, "closed", true, TBurnError::DiscClosed},
        {4, false, "no_such_session", true, TBurnError::NoSuchSession},
        {4, false, "closed", false, TBurnError::ToolFailed},
        {4, false, "a_key_of_tomorrow", true, TBurnError::ToolFailed},
        {3, false, "drive_busy", true, TBurnError::DriveBusy},
        {5, false, "", true, TBurnError::DoesNotFit},
        {7, false, "stopped", true, TBurnError::WriteFailed},
        {8, false, "", true, TBurnError::VerifyFailed},
        {1, false, "", false, TBurnError::ToolFailed},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(std::to_string(R.Result) + " " + R.Key);
        Queltburner::ToolFacts Facts;
        Facts.ToolNotFound = R.ToolNotFound;
        Facts.FailureKey = R.Key;
        Facts.LastErrorLine = u"drive E (disc.iso): the tool's own words";
        TJobResult Result;
        Result.Result = R.Result;
        Queltburner::ExplainResult(Result, Facts, R.IsRecorder, u"");
        if (!R.Expected) {
            EXPECT_FALSE(Result.Error);
            EXPECT_TRUE(Result.Reason.empty());
            continue;
        }
        EXPECT_EQ(Result.Error, *R.Expected);
        // A tool's failure is told in its own words; the component's checks in the component's.
        EXPECT_EQ(Result.Reason == Facts.LastErrorLine, R.Result > 0);
    }
}

TEST(Jobs, FailureLinesAndProgressLinesWithBytes) {
    EXPECT_EQ(Queltburner::FailureKeyOf("failure drive_busy"), "drive_busy");
    for (const char* Line : {"failure", "failure ", "failure Drive", "failure a b", " failure x"}) {
        EXPECT_FALSE(Queltburner::FailureKeyOf(Line)) << Line;
    }
    const auto Parsed = Queltburner::ParseProgressLine("progress writing 42.5 1000 2000");
    ASSERT_TRUE(Parsed);
    EXPECT_EQ(Parsed->Percent, 42.5);
    EXPECT_EQ(Parsed->BytesDone, 1000U);
    EXPECT_EQ(Parsed->BytesTotal, 2000U);
    for (const char* Line : {"progress writing 42.5 1000", "progress writing 42.5 2001 2000",
                             "progress writing 4.5 1 2 3", "progress writing 42.5 -1 2",
                             "progress writing 42.5 1  2", "progress writing 42.5 1 2 ",
                             "progress writing 42.5 99999999999999999999 99999999999999999999"}) {
        EXPECT_FALSE(Queltburner::ParseProgressLine(Line)) << Line;
    }
}

TEST(Jobs, OverallProgressWeighsThePhasesAndNeverGoesBack) {
    using Clock = Queltburner::JobProgressTracker::Clock;
    const Clock::time_point Start{};
    Queltburner::JobProgressTracker Tracker(
        {TJobPhase::Preparing, TJobPhase::Writing, TJobPhase::Closing}, Start);
    double Overall = 0;
    const auto Step = [&](TJobPhase Phase, double Percent, std::uint64_t Done, std::uint64_t Total,
                          std::chrono::milliseconds At) {
        const Queltburner::TJobProgress& P =
            Tracker.Update(Phase, Percent, Done, Total, Start + At);
        EXPECT_GE(P.Overall, Overall);
        Overall = P.Overall;
        return P;
    };
    Step(TJobPhase::Preparing, 100, 0, 0, 100ms);
    EXPECT_NEAR(Overall, 100.0 * 10 / 75, 0.01);
    Step(TJobPhase::Writing, 0, 0, 1000, 200ms);
    const auto Half = Step(TJobPhase::Writing, 50, 500, 1000, 1200ms);
    EXPECT_DOUBLE_EQ(Half.BytesPerSecond, 500.0);
    EXPECT_EQ(Half.Remaining, 1000ms);
    EXPECT_EQ(Half.Elapsed, 1200ms);
    // A lower percent from the tool is not shown; a phase nobody expected does not pull it back.
    EXPECT_EQ(Step(TJobPhase::Writing, 40, 400, 1000, 1300ms).Percent, 50);
    Step(TJobPhase::Verifying, 1, 0, 0, 1400ms);
    const auto& Done = Tracker.Finish(Start + 2s);
    EXPECT_EQ(Done.Phase, TJobPhase::Finished);
    EXPECT_EQ(Done.Overall, 100);
}

TEST(Jobs, AJobCopiesTheComponentAtItsStartAndOutlivesIt) {
    ReadyBurner R;
    R.AddFile(u"C:\\a.txt");
    R.Burner->Files()->Add(u"C:\\gone.txt");
    R.AddFile(u"C:\\b.txt");
    R.Burner->Files()->Add(u"C:\\typo.txt");
    R.Burner->SetVolumeLabel(u"FIRST");
    Gate Held;
    Held.Hold(*R.Host);
    const auto Job = R.Burner->StartBurn(u'E');
    R.Burner->SetVolumeLabel(u"SECOND");
    R.Burner->Files()->Clear();
    R.Burner.reset();
    Held.Release();
    const TJobResult& Result = Job->Wait();
    EXPECT_EQ(Result.Result, 0);
    EXPECT_FALSE(Result.Error);
    EXPECT_NE(R.LastOptions().find(u"--iso \"FIRST\" "), UnicodeString::npos);
    EXPECT_NE(R.LastOptions().find(u"\"C:\\a.txt\" \"C:\\b.txt\" "), UnicodeString::npos);
    EXPECT_EQ(Result.SkippedEntries,
              (std::vector<UnicodeString>{u"C:\\gone.txt", u"C:\\typo.txt"}));
    // A job shows no message, fires no component event and always waits.
    EXPECT_TRUE(R.Host->Messages.empty());
    EXPECT_TRUE(R.Events.empty());
    EXPECT_EQ(R.Host->LastStart().Mode, Queltburner::LaunchMode::Waited);
    EXPECT_EQ(R.Host->OpenHandles(), 0U);
}

TEST(Jobs, ACancelBeforeTheToolStartsIsNeverLost) {
    for (const bool Watches : {false, true}) {
        ReadyBurner R;
        R.Host->Watches = Watches;
        Gate Held;
        Held.Hold(*R.Host);
        std::atomic<int> Finishes{0};
        // As an application writes it: only the event it needs, by name.
        const auto Job = R.Burner->StartErase(
            u'E', false, {.OnFinished = [&](const TJobResult&) { ++Finishes; }});
        Job->Cancel();
        EXPECT_FALSE(Job->Finished());
        Held.Release();
        std::thread Other([&] { EXPECT_EQ(Job->Wait().Result, Queltburner::ResultCancelled); });
        EXPECT_EQ(Job->Wait().Error, TBurnError::Cancelled);
        Other.join();
        EXPECT_TRUE(Job->Finished());
        EXPECT_EQ(Finishes, 1);
        EXPECT_TRUE(R.Host->Starts.empty());
        EXPECT_EQ(Job->Progress().Phase, TJobPhase::Finished);
        // After the end a cancel changes nothing.
        Job->Cancel();
        EXPECT_EQ(Job->Wait().Result, Queltburner::ResultCancelled);
    }
}

TEST(Jobs, EventsComeOnTheJobsThreadAndWaitingInsideOnFinishedReturns) {
    ReadyBurner R;
    R.Host->Watches = true;
    R.Host->Script = {{"progress writing 50.0 5 10\nhello\nfailure closed\n", "oops\n",
                       Queltburner::WaitEvent::Output, true}};
    R.Host->ExitCode = 4;
    std::vector<std::string> Seen;
    std::shared_ptr<Queltburner::TBurnJob> Job;
    std::mutex JobMutex;
    Queltburner::TJobEvents Events;
    Events.OnProgress = [&](const Queltburner::TJobProgress& P) {
        EXPECT_NE(std::this_thread::get_id(), std::thread::id{});
        Seen.push_back("progress " + std::to_string(static_cast<int>(P.Overall)));
    };
    Events.OnOutput = [&](const UnicodeString& Line, bool IsError) {
        Seen.push_back((IsError ? "err " : "out ") + QueltTest::Utf8(Line));
    };
    Events.OnFinished = [&](const TJobResult& Result) {
        const std::lock_guard Lock(JobMutex);
        EXPECT_EQ(&Job->Wait(), &Result);
        EXPECT_TRUE(Job->WaitFor(0ms));
    };
    {
        const std::lock_guard Lock(JobMutex);
        Job = R.Burner->StartBurn(u'E', Events);
    }
    const TJobResult& Result = Job->Wait();
    EXPECT_EQ(Result.Result, 4);
    EXPECT_EQ(Result.Error, TBurnError::ToolFailed) << "the ready tool is not the recorder";
    EXPECT_EQ(Result.Reason, u"oops");
    ASSERT_EQ(Seen.size(), 4U);
    EXPECT_EQ(Seen[1], "out hello");
    EXPECT_EQ(Seen[2], "err oops");
    EXPECT_EQ(Seen[3], "progress 100");
}

TEST(Jobs, AThrowingHandlerEndsTheJobAndItsTool) {
    ReadyBurner R;
    R.Host->Watches = true;
    R.Host->Script = {{"progress writing 1.0\n", ""}};
    Queltburner::TJobEvents Throwing;
    Throwing.OnProgress = [](const Queltburner::TJobProgress& P) {
        if (P.Phase == TJobPhase::Writing) {
            throw std::runtime_error("the window is gone");
        }
    };
    const auto Job = R.Burner->StartBurn(u'E', Throwing);
    const TJobResult& Result = Job->Wait();
    EXPECT_EQ(Result.Error, TBurnError::ToolFailed);
    EXPECT_NE(Result.Reason.find(u"the window is gone"), UnicodeString::npos);
    EXPECT_EQ(R.Host->EndRequests, std::vector<bool>{true});
    EXPECT_EQ(R.Host->OpenHandles(), 0U);
}

TEST(Jobs, ChecksAndQuestionsGiveTheirErrors) {
    ReadyBurner R;
    R.Host->Disc.emplace();
    R.Host->Disc->Status = Queltburner::QueryStatus::Answered;
    R.Host->Disc->Medium = u"virtual CD";
    EXPECT_EQ(R.Burner->StartDescribeDisc(u'E')->Wait().Disc.Medium, u"virtual CD");
    EXPECT_EQ(R.Burner->StartMeasureBurn(u'E')->Wait().Error, TBurnError::NotAvailable);
    EXPECT_EQ(R.Burner->StartEject(u'Q')->Wait().Error, TBurnError::NotAnOpticalDrive);
    EXPECT_EQ(R.Burner->StartBurnImage(u"C:\\none.iso", u'E')->Wait().Error,
              TBurnError::ImageNotFound);
    R.Burner->NeroCmdLocation = u"C:\\elsewhere\\NeroCmd.exe";
    const auto Job = R.Burner->StartBurn(u'E');
    const TJobResult& Missing = Job->Wait();
    EXPECT_EQ(Missing.Result, Queltburner::ResultToolFailed);
    EXPECT_EQ(Missing.Error, TBurnError::ToolNotFound);
}

} // namespace
