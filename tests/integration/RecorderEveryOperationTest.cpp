// Every operation of the command-line host against the recorder on virtual discs, with its result
// and event; and a watched run through the component: the recorder's progress in order, and a
// cancel in the middle of an append that leaves the disc as it was.
#include "AudioMedia.hpp"
#include "RecorderSupport.hpp"
#include "RecorderVideoSupport.hpp"

#include "PosixHostServices.hpp"
#include "QueltBurner.hpp"
#include "System.SysUtils.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::ScopedEnv;
using QueltTest::TempDir;

TEST(RecorderEveryOperation, EachCommandOfTheHostWritesItsDisc) {
    if (const std::string Missing =
            MissingPrograms({"isoinfo", "vcdimager", "genisoimage", "dvdauthor"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Notes = Dir.Write("notes.txt", "notes");
    const fs::path Track = Dir.Path() / "tone.wav";
    WriteSound(Track, Tone(44100, 2, 44100, 440.0), 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const fs::path Dvd = MakeDvdFolders(Dir.Path() / "dvd");
    const fs::path Iso = Dir.Path() / "made.iso";
    ASSERT_EQ(RunIn(Dir.Path(), {"genisoimage", "-quiet", "-o", Iso.string(), Notes.string()}, {}),
              0);
    const fs::path CueBin = Dir.Write("image.bin", RawSectors(2352, 300, 'm'));
    const fs::path Cue = Dir.Write("image.cue", "FILE \"image.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                                "    INDEX 01 00:00:00\n");
    const std::string Erased = Dir.Write("erased.iso", ReadFile(Iso)).string();
    const struct {
        const char* Case;
        Strings Arguments;   // after the command-line host, before --tool
        std::string Disc;    // the virtual disc's file, named in QUELT_DRIVES
        std::string Written; // a file the disc consists of once written
    } Rows[] = {
        {"data", {"data", "E", Notes.string(), "--label", "DATA"}, "data.iso", "data.iso"},
        {"burn", {"burn", "E", Notes.string(), "--type", "data"}, "burn.iso", "burn.iso"},
        {"audio", {"audio", "E", Track.string(), "--title", "Tone"}, "audio.bin", "audio.cue"},
        {"video", {"video", "E", Media("vcd.mpg")}, "video.bin", "video.cue"},
        {"svideo", {"svideo", "E", Media("svcd.mpg")}, "svideo.bin", "svideo.cue"},
        {"dvdvideo",
         {"dvdvideo", "E", (Dvd / "VIDEO_TS").string(), (Dvd / "AUDIO_TS").string()},
         "dvd.iso",
         "dvd.iso"},
        {"image", {"image", "E", Iso.string()}, "copy.iso", "copy.iso"},
        {"image of a CUE sheet", {"image", "E", Cue.string()}, "cd.bin", "cd.cue"},
        {"erase", {"erase", "E", "--full"}, "erased.iso", "erased.iso"},
        {"eject", {"eject", "E"}, "ejected.iso", ""},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / Row.Disc;
        Strings Argv{QUELT_CLI_PATH};
        Argv.insert(Argv.end(), Row.Arguments.begin(), Row.Arguments.end());
        Argv.insert(Argv.end(), {"--tool", RecorderPath});
        const auto Run = QueltTest::RunProgram(
            Argv,
            RecorderEnvironment(Disc, {"QUELT_REGISTRY=" + (Dir.Path() / "none.reg").string()}));
        EXPECT_EQ(Run.ExitCode, 0) << Row.Case << "\n" << Run.Out << Run.Err;
        EXPECT_NE(Run.Out.find("result: 0 (success)\nevent: OnSuccess\n"), std::string::npos)
            << Row.Case << "\n"
            << Run.Out;
        if (!std::string(Row.Written).empty()) {
            EXPECT_TRUE(fs::exists(Dir.Path() / Row.Written)) << Row.Case;
        }
    }
    EXPECT_EQ(VolumeIdOf(Dir.Path() / "data.iso"), "DATA");
    EXPECT_TRUE(ReadFile(Dir.Path() / "copy.iso") == ReadFile(Iso));
    EXPECT_TRUE(ReadFile(Dir.Path() / "cd.bin") == ReadFile(CueBin));
    EXPECT_EQ(fs::file_size(Erased), 0U);
    EXPECT_FALSE(fs::exists(Dir.Path() / "ejected.iso"));
}

// The component on the POSIX host, the recorder as its tool, watched.
struct WatchedRecorder {
    TempDir Dir;
    fs::path Disc = Dir.Path() / "disc.iso";
    ScopedEnv Drives{"QUELT_DRIVES", "E=" + Disc.string()};
    ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "missing.reg").string()};
    Queltburner::TQueltBurner Burner{nullptr,
                                     std::make_shared<Queltburner::Posix::PosixHostServices>()};
    Strings Events;
    Strings Progress;
    Strings Lines;

    WatchedRecorder() {
        Burner.NeroCmdLocation = QueltTest::Utf16(RecorderPath);
        Burner.SetShowMessages(false);
        Burner.SetSynchronous(true);
        Burner.SetOnSuccess([this](System::TObject*) { Events.emplace_back("OnSuccess"); });
        Burner.SetOnError([this](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
        Burner.SetOnOutput(
            [this](System::TObject*, const System::UnicodeString& Line, bool IsError) {
                Lines.push_back((IsError ? "err:" : "out:") + QueltTest::Utf8(Line));
            });
    }
};

TEST(RecorderWatched, ProgressArrivesInOrderAndEndsAtTheEndOfEachPhase) {
    WatchedRecorder W;
    std::vector<std::pair<std::string, double>> Seen;
    W.Burner.SetOnProgress(
        [&Seen](System::TObject*, const System::UnicodeString& Phase, double Percent) {
            Seen.emplace_back(QueltTest::Utf8(Phase), Percent);
        });
    MakeSparseFile(W.Dir.Path() / "big.bin", 100ULL * 1000 * 1000, "big");
    W.Burner.Files()->Add(QueltTest::PathText(W.Dir.Path() / "big.bin"));
    W.Burner.SetVerify(true);
    EXPECT_EQ(W.Burner.BurnData(u'E'), 0);
    EXPECT_EQ(W.Events, Strings{"OnSuccess"});
    ASSERT_FALSE(Seen.empty());
    // Phases come in order, each from 0.0 up to 100.0, percentages never going back; the session
    // is closed (and synced) in a phase of its own after the writing.
    const Strings Order{"preparing", "writing", "closing", "verifying"};
    std::size_t Phase = 0;
    double Last = -1;
    for (const auto& [Name, Percent] : Seen) {
        if (Name != Order[Phase]) {
            ASSERT_EQ(Last, 100.0) << Name << " began before " << Order[Phase] << " ended";
            ++Phase;
            ASSERT_LT(Phase, Order.size());
            ASSERT_EQ(Name, Order[Phase]);
            Last = -1;
        }
        EXPECT_GE(Percent, Last) << Name;
        Last = Percent;
    }
    EXPECT_EQ(Phase, Order.size() - 1);
    EXPECT_EQ(Last, 100.0);
    ASSERT_FALSE(W.Lines.empty());
    EXPECT_EQ(W.Lines.back().rfind("out:wrote 1 entry to drive E", 0), 0U) << W.Lines.back();
}

// A phase that waits on a slow step (here a hook that sleeps for two seconds at the start of the
// writing) still shows every half second that it runs.
TEST(RecorderProgress, ASilentStepStillReportsEveryHalfSecond) {
    TempDir Dir;
    Dir.Write("in/a.txt", "a");
    const fs::path Hook = Dir.Write("hook.sh", "#!/bin/sh\nsleep 2\n");
    fs::permissions(Hook, fs::perms::owner_all);
    const auto Run =
        RunRecorder(DataDisc("SLOW", {}, {(Dir.Path() / "in/a.txt").string()}),
                    RecorderEnvironment(Dir.Path() / "disc.iso",
                                        {"QUELT_RECORDER_TEST_BEFORE_WRITE=" + Hook.string()}));
    ASSERT_EQ(Run.ExitCode, 0) << Run.Out << Run.Err;
    // The writing's bytes are known from its start: "progress writing 0.0 0 TOTAL".
    std::size_t Waiting = 0;
    for (std::size_t At = 0;
         (At = Run.Out.find("progress writing 0.0 0 ", At)) != std::string::npos; ++At) {
        ++Waiting;
    }
    EXPECT_GE(Waiting, 3U) << Run.Out;
}

// An append ended in its middle, by a cancel or by a handler that throws (which ends the tool at
// once): the disc is as it was before, at the latest once the next question about it was asked.
TEST(RecorderWatched, AppendEndedInTheMiddleLeavesTheDiscAsItWas) {
    if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    for (const bool Throwing : {false, true}) {
        SCOPED_TRACE(Throwing ? "throwing handler" : "cancel");
        WatchedRecorder W;
        W.Dir.Write("first/a.txt", "the first session");
        W.Burner.Files()->Add(QueltTest::PathText(W.Dir.Path() / "first/a.txt"));
        ASSERT_EQ(W.Burner.BurnData(u'E'), 0);
        const std::string Before = ReadFile(W.Disc);

        MakeSparseFile(W.Dir.Path() / "big.bin", 300ULL * 1000 * 1000, "big");
        W.Burner.Files()->Clear();
        W.Burner.Files()->Add(QueltTest::PathText(W.Dir.Path() / "big.bin"));
        W.Burner.SetContinueSession(0);
        bool Asked = false;
        W.Burner.SetOnProgress(
            [&W, &Asked, Throwing](System::TObject*, const System::UnicodeString& Phase, double) {
                if (Phase == u"writing" && !Asked) {
                    Asked = true;
                    if (Throwing) {
                        throw std::runtime_error("the handler failed");
                    }
                    W.Burner.Cancel();
                }
            });
        if (Throwing) {
            EXPECT_THROW((void)W.Burner.BurnData(u'E'), std::runtime_error);
            Queltburner::DiscReport Disc;
            EXPECT_EQ(W.Burner.DescribeDisc(u'E', Disc), 0)
                << System::Sysutils::UTF8Encode(Disc.Reason);
            EXPECT_EQ(Disc.Sessions, 1U);
        } else {
            EXPECT_EQ(W.Burner.BurnData(u'E'), Queltburner::ResultCancelled);
            EXPECT_EQ(W.Events, (Strings{"OnSuccess", "OnError(-4)"}));
        }
        EXPECT_TRUE(Asked);
        EXPECT_TRUE(ReadFile(W.Disc) == Before) << "the disc is not as it was before the append";
        EXPECT_EQ(ScratchFilesBeside(W.Disc), Strings{});
        const auto Read = ExtractWithXorriso(W.Disc, W.Dir.Path() / "back");
        ASSERT_EQ(Read.ExitCode, 0) << Read.Err;
        EXPECT_EQ(TreeDifferences(W.Dir.Path() / "first", W.Dir.Path() / "back"), Strings{});
    }
}

} // namespace
