// Audio CDs the recorder as a real process does not write, or takes back: failures that write
// nothing, an erase, a data disc over an audio CD, and a signal while writing.
#include "AudioMedia.hpp"
#include "RecorderSupport.hpp"
#include "RecorderVideoSupport.hpp"

#include "QueltBurner.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <thread>
#include <tuple>

namespace {

using namespace RecorderTest;
using namespace std::chrono_literals;
using QueltTest::ReadFile;
using QueltTest::TempDir;

// "{dir}" in Text replaced by the folder.
std::string InDir(std::string Text, const fs::path& Dir) {
    for (std::size_t At = Text.find("{dir}"); At != std::string::npos; At = Text.find("{dir}")) {
        Text.replace(At, 5, Dir.string());
    }
    return Text;
}

TEST(RecorderAudio, FailuresHaveTheirCodeAndWriteNothing) {
    TempDir Dir;
    const fs::path& D = Dir.Path();
    WriteSound(D / "a.wav", Tone(44100, 2, 44100, 440), 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteSound(D / "three.wav", Tone(44100, 3, 44100, 440), 3, 44100,
               SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    Dir.Write("noise.wav", "RIFF and then nothing a decoder understands");
    Dir.Write("noise.mp3", "text, not MPEG audio");
    Dir.Write("other.cue", "FILE \"elsewhere.bin\" BINARY\n  TRACK 01 AUDIO\n");
    const fs::path Written = D / "written.bin";
    ASSERT_EQ(RunRecorder(AudioCommand({}, {(D / "a.wav").string()}), RecorderEnvironment(Written))
                  .ExitCode,
              0);
    ASSERT_EQ(RunRecorder(DataDisc("DATA", {}, {(D / "a.wav").string()}),
                          RecorderEnvironment(D / "data.iso"))
                  .ExitCode,
              0);
    const Strings Kept{"written.bin", "written.cue", "data.iso", "other.cue"};
    std::vector<std::string> Before;
    for (const std::string& Name : Kept) {
        Before.push_back(ReadFile(D / Name));
    }
    const Strings HundredTracks(100, "{dir}/a.wav");
    const struct {
        const char* Case;
        std::string Disc;
        Strings Tracks;
        int Code;
        std::string Message;
    } Rows[] = {
        {"not sound", "{dir}/new.bin", {"{dir}/a.wav", "{dir}/noise.wav"}, 6, "{dir}/noise.wav"},
        {"not MPEG audio",
         "{dir}/new.bin",
         {"{dir}/noise.mp3"},
         6,
         "{dir}/noise.mp3: is not a sound file"},
        {"missing", "{dir}/new.bin", {"{dir}/absent.wav", "{dir}/a.wav"}, 6, "{dir}/absent.wav"},
        {"three channels", "{dir}/new.bin", {"{dir}/three.wav"}, 6, "{dir}/three.wav"},
        {"a hundred tracks", "{dir}/new.bin", HundredTracks, 5, "99"},
        {"audio disc there", "{dir}/written.bin", {"{dir}/a.wav"}, 4, "not blank"},
        {"data disc there", "{dir}/data.iso", {"{dir}/a.wav"}, 4, "not blank"},
        // The sources are checked before the medium, the target before the sources.
        {"audio disc, missing track", "{dir}/written.bin", {"{dir}/absent.wav"}, 6, "absent"},
        {"target ends in .cue", "{dir}/new.cue", {"{dir}/absent.wav"}, 3, "{dir}/new.cue"},
        // Its sheet could not name it: FILE "a"b.bin" reads back as another file.
        {"a quote in the target's name", "{dir}/a\"b.bin", {"{dir}/a.wav"}, 3, "double quote"},
        {"sheet place taken", "{dir}/other.bin", {"{dir}/a.wav"}, 3, "{dir}/other.cue"},
        {"not a drive", "/dev/null", {"{dir}/a.wav"}, 3, "/dev/null"},
        {"no such device", "/dev/sr9", {"{dir}/a.wav"}, 3, "/dev/sr9"},
    };
    for (const auto& Row : Rows) {
        Strings Tracks;
        for (const std::string& Track : Row.Tracks) {
            Tracks.push_back(InDir(Track, D));
        }
        const fs::path Disc = InDir(Row.Disc, D);
        const auto Run = RunRecorder(AudioCommand({"--artist", "A"}, Tracks),
                                     {"PATH=/usr/bin:/bin", "QUELT_DRIVES=E=" + Disc.string()});
        EXPECT_EQ(Run.ExitCode, Row.Code) << Row.Case << "\n" << Run.Out << Run.Err;
        EXPECT_NE(Run.Err.find(InDir(Row.Message, D)), std::string::npos)
            << Row.Case << ": " << Run.Err;
        // One line of the recorder's own: no decoder's notes, no library's wording.
        EXPECT_TRUE(Run.Err.starts_with("recorder: ") && Run.Err.find('\n') == Run.Err.size() - 1)
            << Row.Case << ": " << Run.Err;
        EXPECT_EQ(Run.Err.find("pipe"), std::string::npos) << Row.Case << ": " << Run.Err;
        for (const char* Absent : {"new.bin", "new.cue", "other.bin", "a\"b.bin", "a\"b.cue"}) {
            EXPECT_FALSE(fs::exists(D / Absent)) << Row.Case << ": " << Absent;
        }
        for (std::size_t I = 0; I < Kept.size(); ++I) {
            EXPECT_TRUE(ReadFile(D / Kept[I]) == Before[I]) << Row.Case << ": " << Kept[I];
        }
        for (const char* Beside : {"new.bin", "written.bin", "data.iso"}) {
            EXPECT_EQ(ScratchFilesBeside(D / Beside), Strings{}) << Row.Case;
        }
    }
}

// An erase takes the sheet with the sectors, so the disc is blank and takes a new CD; another
// disc's sheet stays.
TEST(RecorderAudio, EraseRemovesTheSheetAndMakesTheDiscBlank) {
    TempDir Dir;
    const fs::path Wav = Dir.Path() / "a.wav";
    WriteSound(Wav, Tone(44100, 2, 44100, 440), 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const fs::path Bin = Dir.Path() / "disc.bin";
    const Strings Erase{"--erase", "--drivename", "E"};
    ASSERT_EQ(RunRecorder(AudioCommand({}, {Wav.string()}), RecorderEnvironment(Bin)).ExitCode, 0);
    const auto Erased = RunRecorder(Erase, RecorderEnvironment(Bin));
    ASSERT_EQ(Erased.ExitCode, 0) << Erased.Err;
    EXPECT_EQ(fs::file_size(Bin), 0U);
    EXPECT_FALSE(fs::exists(SheetOf(Bin)));
    const auto Again =
        RunRecorder(AudioCommand({}, {Wav.string(), Wav.string()}), RecorderEnvironment(Bin));
    EXPECT_EQ(Again.ExitCode, 0) << Again.Err;
    EXPECT_EQ(ReadCue(SheetOf(Bin)).Tracks.size(), 2U);

    const fs::path Other = Dir.Write("other.cue", "FILE \"elsewhere.bin\" BINARY\n");
    ASSERT_EQ(RunRecorder(Erase, RecorderEnvironment(Dir.Path() / "other.bin")).ExitCode, 0);
    EXPECT_EQ(ReadFile(Other), "FILE \"elsewhere.bin\" BINARY\n");
}

// A data disc onto an audio CD is a new disc over it: refused without an erase (continuing it too),
// and with --force_erase_disk the ISO 9660 image replaces the sectors and the sheet goes.
TEST(RecorderAudio, DataDiscOntoAnAudioCdNeedsAnErase) {
    TempDir Dir;
    const fs::path Wav = Dir.Path() / "a.wav";
    WriteSound(Wav, Tone(44100, 2, 44100, 440), 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const fs::path Bin = Dir.Path() / "disc.bin";
    ASSERT_EQ(RunRecorder(AudioCommand({}, {Wav.string()}), RecorderEnvironment(Bin)).ExitCode, 0);
    const std::string Sectors = ReadFile(Bin);
    const std::string Sheet = ReadFile(SheetOf(Bin));
    const Strings Entry{Wav.string()};
    for (const Strings& Options : {Strings{}, Strings{"--import", "0"}}) {
        const auto Run = RunRecorder(DataDisc("DATA", Options, Entry), RecorderEnvironment(Bin));
        EXPECT_EQ(Run.ExitCode, 4) << Run.Out << Run.Err;
        EXPECT_NE(Run.Err.find("audio CD"), std::string::npos) << Run.Err;
        EXPECT_TRUE(ReadFile(Bin) == Sectors);
        EXPECT_EQ(ReadFile(SheetOf(Bin)), Sheet);
    }
    Strings Erasing = DataDisc("DATA", {}, Entry);
    Erasing.emplace_back("--force_erase_disk");
    const auto Run = RunRecorder(Erasing, RecorderEnvironment(Bin));
    EXPECT_EQ(Run.ExitCode, 0) << Run.Out << Run.Err;
    EXPECT_FALSE(fs::exists(SheetOf(Bin)));
    if (MissingPrograms({"isoinfo"}).empty()) {
        EXPECT_EQ(VolumeIdOf(Bin), "DATA");
    }
}

// SIGTERM while the sectors are written: no disc, no sheet, no scratch file.
TEST(RecorderAudio, TermWhileWritingLeavesNoDisc) {
    TempDir Dir;
    const fs::path Wav = Dir.Path() / "long.wav";
    MakeSilentWav(Wav, 60ULL * 60 * 44100);
    const fs::path Bin = Dir.Path() / "disc.bin";
    Strings Argv{RecorderPath};
    const Strings Arguments = AudioCommand({}, {Wav.string()});
    Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
    WatchedProgram Recorder(Argv, RecorderEnvironment(Bin));
    ASSERT_TRUE(Recorder.WaitForLine("progress writing", 60s));
    // The signal comes once the sectors are being written beside the target.
    const auto Until = std::chrono::steady_clock::now() + 10s;
    while (ScratchFilesBeside(Bin).empty() && std::chrono::steady_clock::now() < Until) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(ScratchFilesBeside(Bin).empty()) << "the write did not begin";
    Recorder.Signal(SIGTERM);
    const auto Outcome = Recorder.Finish();
    EXPECT_EQ(Outcome.ExitCode, 7) << Outcome.Out << Outcome.Err;
    EXPECT_FALSE(fs::exists(Bin));
    EXPECT_FALSE(fs::exists(SheetOf(Bin)));
    EXPECT_EQ(ScratchFilesBeside(Bin), Strings{});
}

} // namespace
