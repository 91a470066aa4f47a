// Jobs as an application runs them: the component on the POSIX host starting the real recorder on
// virtual discs. A cancel right after the start, progress to the end, each failure the recorder
// can tell apart as its own error, questions that end within a second of a cancel or time limit,
// and jobs on two drives at once.
#include "AudioMedia.hpp"
#include "FailureKeys.hpp"
#include "JobErrors.hpp"
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sndfile.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Queltburner::TBurnError;
using Queltburner::TJobPhase;
using Queltburner::TJobResult;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;
namespace fs = std::filesystem;

// A world whose tool is the recorder, drive E the virtual disc disc.iso.
struct RecorderWorld : RealWorld {
    fs::path Disc = Dir.Path() / "disc.iso";
    std::optional<ScopedEnv> Hook;

    RecorderWorld() { Burner->NeroCmdLocation = QueltTest::PathText(RecorderTest::RecorderPath); }
    void Select(const std::vector<fs::path>& Entries) {
        Burner->Files()->Clear();
        for (const fs::path& Entry : Entries) {
            Burner->Files()->Add(QueltTest::PathText(Entry));
        }
    }
    // A program the recorder runs just before it writes.
    void HookBeforeWrite(const std::string& Name, const std::string& Script) {
        const fs::path Program = Dir.Write(Name, "#!/bin/sh\n" + Script + "\n");
        fs::permissions(Program, fs::perms::owner_all);
        Hook.emplace("QUELT_RECORDER_TEST_BEFORE_WRITE", Program.string());
    }
    // A burn of one small file that succeeds.
    void BurnOnce() {
        Select({Dir.Write("first.txt", "first")});
        ASSERT_EQ(Burner->Burn(u'E'), 0);
    }
};

std::string Text(const System::UnicodeString& Value) {
    return QueltTest::Utf8(Value);
}

TEST(JobsOnTheRecorder, ACancelRightAfterTheStartNeverSucceeds) {
    RecorderWorld W;
    W.Select({W.Dir.Write("a.txt", std::string(100000, 'a'))});
    for (int Try = 0; Try < 50; ++Try) {
        const auto Job = W.Burner->StartBurn(u'E');
        Job->Cancel();
        const TJobResult& Result = Job->Wait();
        ASSERT_EQ(Result.Result, Queltburner::ResultCancelled)
            << Try << ": " << Text(Result.Reason);
        ASSERT_EQ(Result.Error, TBurnError::Cancelled);
        ASSERT_FALSE(fs::exists(W.Disc)) << Try;
        ASSERT_EQ(RecorderTest::ScratchFilesBeside(W.Disc), RecorderTest::Strings{}) << Try;
    }
}

TEST(JobsOnTheRecorder, ProgressRisesToTheEndWithBytesAndRates) {
    RecorderWorld W;
    W.Select({W.Dir.Write("big.bin", std::string(std::size_t{24} << 20U, 'b'))});
    W.Burner->SetVerify(true);
    std::vector<Queltburner::TJobProgress> Seen;
    Queltburner::TJobEvents Watching;
    Watching.OnProgress = [&](const Queltburner::TJobProgress& P) { Seen.push_back(P); };
    const auto Job = W.Burner->StartBurn(u'E', Watching);
    const TJobResult& Result = Job->Wait();
    ASSERT_EQ(Result.Result, 0) << Text(Result.Reason);
    ASSERT_FALSE(Seen.empty());
    std::set<TJobPhase> Phases;
    bool WritingBytes = false;
    for (std::size_t I = 1; I < Seen.size(); ++I) {
        EXPECT_GE(Seen[I].Overall, Seen[I - 1].Overall) << I;
        EXPECT_GE(Seen[I].Elapsed, Seen[I - 1].Elapsed) << I;
        Phases.insert(Seen[I].Phase);
        WritingBytes = WritingBytes || (Seen[I].Phase == TJobPhase::Writing &&
                                        Seen[I].BytesTotal >= (std::uint64_t{24} << 20U));
    }
    EXPECT_TRUE(Phases.contains(TJobPhase::Writing));
    EXPECT_TRUE(Phases.contains(TJobPhase::Verifying));
    EXPECT_TRUE(WritingBytes);
    EXPECT_EQ(Seen.back().Phase, TJobPhase::Finished);
    EXPECT_EQ(Seen.back().Overall, 100);
    EXPECT_EQ(Job->Progress().Overall, 100);
}

// Each row readies the world and starts one job; the job ends with the row's error.
TEST(JobsOnTheRecorder, EachFailureIsItsOwnError) {
    using Start = std::function<std::shared_ptr<Queltburner::TBurnJob>(RecorderWorld&)>;
    const auto BurnAfter = [](std::function<void(RecorderWorld&)> Ready) {
        return [Ready](RecorderWorld& W) {
            Ready(W);
            return W.Burner->StartBurn(u'E');
        };
    };
    struct Row {
        const char* Name;
        Start Begin;
        TBurnError Expected;
    };
    const Row Rows[] = {
        {"not blank", BurnAfter([](RecorderWorld& W) { W.BurnOnce(); }), TBurnError::DiscNotBlank},
        {"no such session", BurnAfter([](RecorderWorld& W) {
             W.BurnOnce();
             W.Burner->SetContinueSession(7);
         }),
         TBurnError::NoSuchSession},
        {"not a disc", BurnAfter([](RecorderWorld& W) {
             W.Dir.Write("disc.iso", std::string(100000, 't'));
             W.Select({W.Dir.Write("a.txt", "a")});
         }),
         TBurnError::NotADisc},
        {"does not fit", BurnAfter([](RecorderWorld& W) {
             const fs::path Huge = W.Dir.Path() / "huge.bin";
             RecorderTest::MakeSparseFile(Huge, 800ULL << 20U, "huge");
             W.Select({Huge});
         }),
         TBurnError::DoesNotFit},
        {"unreadable audio", BurnAfter([](RecorderWorld& W) {
             W.Burner->SetDiskType(Queltburner::dtAudio);
             W.Select({W.Dir.Write("song.wav", "not a sound")});
         }),
         TBurnError::SourceUnreadable},
        {"verify differs", BurnAfter([](RecorderWorld& W) {
             W.Hook.emplace("QUELT_RECORDER_TEST_CORRUPT", "CORRUPT-THIS");
             W.Burner->SetVerify(true);
             W.Select({W.Dir.Write("marked.txt", "CORRUPT-THIS")});
         }),
         TBurnError::VerifyFailed},
        {"closed", BurnAfter([](RecorderWorld& W) {
             W.Dir.Write("dvd/VIDEO_TS/VIDEO_TS.IFO", "ifo");
             ASSERT_EQ(RecorderTest::RunReader({"genisoimage", "-quiet", "-udf", "-o",
                                                W.Disc.string(), (W.Dir.Path() / "dvd").string()})
                           .ExitCode,
                       0);
             W.Burner->SetContinueSession(0);
             W.Select({W.Dir.Write("a.txt", "a")});
         }),
         TBurnError::DiscClosed},
        {"nothing to write",
         BurnAfter([](RecorderWorld& W) { W.Select({W.Dir.Path() / "typo.txt"}); }),
         TBurnError::NothingToWrite},
        {"changed while written", BurnAfter([](RecorderWorld& W) {
             W.BurnOnce();
             const fs::path Entry = W.Dir.Write("grows.txt", "grows");
             W.HookBeforeWrite("grow.sh", "echo more >> '" + Entry.string() + "'");
             W.Burner->SetContinueSession(0);
             W.Select({Entry});
         }),
         TBurnError::SourceChanged},
        {"stopped by someone else", BurnAfter([](RecorderWorld& W) {
             W.HookBeforeWrite("stop.sh",
                               "read -r _ _ _ R _ < /proc/$PPID/stat\nkill -TERM \"$R\"");
             W.Select({W.Dir.Write("a.txt", "a")});
         }),
         TBurnError::WriteFailed},
        {"a video CD cannot be measured",
         [](RecorderWorld& W) {
             W.Burner->SetDiskType(Queltburner::dtVideo);
             W.Select({W.Dir.Write("a.mpg", "a")});
             return W.Burner->StartMeasureBurn(u'E');
         },
         TBurnError::NotAvailable},
        {"unmapped letter", [](RecorderWorld& W) { return W.Burner->StartEject(u'Q'); },
         TBurnError::NotAnOpticalDrive},
        {"no image",
         [](RecorderWorld& W) {
             return W.Burner->StartBurnImage(QueltTest::PathText(W.Dir.Path() / "no.iso"), u'E');
         },
         TBurnError::ImageNotFound},
        {"no tool",
         BurnAfter([](RecorderWorld& W) { W.Burner->NeroCmdLocation = u"/nowhere/NeroCmd.exe"; }),
         TBurnError::ToolNotFound},
        {"time limit", BurnAfter([](RecorderWorld& W) {
             W.Burner->SetTimeout(1);
             W.Select({W.Dir.Write("a.txt", "a")});
         }),
         TBurnError::TimedOut},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        RecorderWorld W;
        const auto Job = R.Begin(W);
        const TJobResult& Result = Job->Wait();
        EXPECT_EQ(Result.Error, R.Expected)
            << Result.Error.message() << ": " << Text(Result.Reason);
        EXPECT_FALSE(Result.Reason.empty());
        if (R.Expected == TBurnError::NothingToWrite) {
            EXPECT_EQ(Result.SkippedEntries.size(), 1U);
        }
    }
}

// The component knows every case the recorder names: none of them is a plain tool failure but
// the command line that no component composes.
TEST(JobsOnTheRecorder, EveryFailureKeyOfTheRecorderHasItsError) {
    for (const Recorder::FailureKey& Key : Recorder::FailureKeys) {
        const TBurnError Error = Queltburner::ErrorOfFailureKey(Key.Key);
        EXPECT_EQ(Error == TBurnError::ToolFailed, Key.Kind == Recorder::FailureKind::CommandLine)
            << Key.Key;
    }
}

// A disc another run holds: the burn and both questions say so, each as DriveBusy.
TEST(JobsOnTheRecorder, ABusyDriveIsBusyForBurnsAndQuestions) {
    RecorderWorld W;
    W.BurnOnce();
    const int Held = ::open(W.Disc.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(Held, 0);
    ASSERT_EQ(::flock(Held, LOCK_EX), 0);
    W.Burner->SetContinueSession(0);
    for (const auto& Job : {W.Burner->StartBurn(u'E'), W.Burner->StartDescribeDisc(u'E'),
                            W.Burner->StartMeasureBurn(u'E')}) {
        const TJobResult& Result = Job->Wait();
        EXPECT_EQ(Result.Error, TBurnError::DriveBusy) << Text(Result.Reason);
        EXPECT_NE(Result.Reason.find(u"in use by another run"), System::UnicodeString::npos);
    }
    ::close(Held);
    const auto Asked = W.Burner->StartDescribeDisc(u'E');
    EXPECT_EQ(Asked->Wait().Disc.State, Queltburner::DiscState::Appendable);
    EXPECT_EQ(Asked->Wait().Disc.Kind, Queltburner::TMediumKind::Virtual);
}

// A measure over 60,000 files ends within a second of its cancel, or of its time limit, and
// leaves nothing beside the disc.
TEST(JobsOnTheRecorder, AMeasureEndsWithinASecondOfACancelOrItsTimeLimit) {
    RecorderWorld W;
    const fs::path Tree = W.Dir.Path() / "tree";
    for (int Folder = 0; Folder < 60; ++Folder) {
        const fs::path Sub = Tree / std::to_string(Folder);
        fs::create_directories(Sub);
        for (int File = 0; File < 1000; ++File) {
            std::ofstream(Sub / std::to_string(File)) << File;
        }
    }
    W.Select({Tree});
    for (const bool ByTimeLimit : {false, true}) {
        SCOPED_TRACE(ByTimeLimit ? "time limit" : "cancel");
        W.Burner->SetTimeout(ByTimeLimit ? 400 : 0);
        const auto Job = W.Burner->StartMeasureBurn(u'E');
        std::this_thread::sleep_for(400ms);
        const auto Asked = std::chrono::steady_clock::now();
        if (!ByTimeLimit) {
            Job->Cancel();
        }
        ASSERT_TRUE(Job->WaitFor(1000ms)) << "still measuring a second later";
        EXPECT_LT(std::chrono::steady_clock::now() - Asked, 1000ms);
        EXPECT_EQ(Job->Wait().Error, ByTimeLimit ? TBurnError::TimedOut : TBurnError::Cancelled);
        EXPECT_EQ(RecorderTest::ScratchFilesBeside(W.Disc), RecorderTest::Strings{});
    }
}

TEST(JobsOnTheRecorder, JobsOnTwoDrivesRunAtOnce) {
    RecorderWorld W;
    const fs::path Other = W.Dir.Path() / "other.iso";
    ScopedEnv Map{"QUELT_DRIVES", "E=" + W.Disc.string() + ";F=" + Other.string()};
    W.Select({W.Dir.Write("a.bin", std::string(std::size_t{4} << 20U, 'a'))});
    const auto First = W.Burner->StartBurn(u'E');
    const auto Second = W.Burner->StartBurn(u'F');
    EXPECT_EQ(First->Wait().Result, 0) << Text(First->Wait().Reason);
    EXPECT_EQ(Second->Wait().Result, 0) << Text(Second->Wait().Reason);
    EXPECT_EQ(RecorderTest::VolumeIdOf(W.Disc), RecorderTest::VolumeIdOf(Other));
}

} // namespace
