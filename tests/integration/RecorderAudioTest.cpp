// Audio CDs written by the recorder as a real process onto virtual discs, read back by the tests'
// own reader of CUE sheets and raw sectors and by bchunk: every track's samples where the sheet
// says, the capacity of 80 minutes, the failures that write nothing, erase, a signal while
// writing, and the component's BurnAudio through the recorder.
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

constexpr std::uint64_t FramesPerSector = 588;
constexpr std::uint64_t Pause = 150;

// Whole sectors of a track of Frames frames: padded, and at least four seconds.
std::uint64_t SectorsOf(std::uint64_t Frames) {
    return std::max<std::uint64_t>((Frames + FramesPerSector - 1) / FramesPerSector, 300);
}

Strings AudioCommand(const Strings& Options, const Strings& Tracks) {
    Strings Arguments{"--write", "--drivename", "E", "--real"};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), {"--recursive", "--speed", "4", "--audio"});
    Arguments.insert(Arguments.end(), Tracks.begin(), Tracks.end());
    return Arguments;
}

fs::path SheetOf(const fs::path& Bin) {
    return fs::path(Bin).replace_extension(".cue");
}

// The tracks of the round trip: what each entry should sound like on the disc.
struct Expected {
    const char* Entry;
    Samples Sound;   // 44.1 kHz stereo
    double LeastSnr; // 0: sample for sample
};

TEST(RecorderAudio, TracksReadBackAtTheOffsetsTheSheetNames) {
    TempDir Dir;
    const fs::path& D = Dir.Path();
    // Five seconds and 123 frames (not whole sectors); a second (padded to four); four seconds of
    // mono at 22.05 kHz (converted).
    const Samples A = Tone(5 * 44100 + 123, 2, 44100, 440);
    const Samples B = Tone(44100 + 7, 2, 44100, 660);
    const std::uint64_t MonoFrames = 4 * 22050 + 11;
    WriteSound(D / "a.wav", A, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteSound(D / "a.flac", A, 2, 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    WriteSound(D / "a.mp3", A, 2, 44100, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    WriteSound(D / "a.ogg", A, 2, 44100, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    WriteSound(D / "b.wav", B, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    WriteSound(D / "m22.wav", Tone(MonoFrames, 1, 22050, 330), 1, 22050,
               SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const Samples Mono = Tone(4 * 44100 + 5, 1, 44100, 550);
    WriteSound(D / "mono.wav", Mono, 1, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::uint64_t StereoFrames = 4 * 48000 + 3;
    WriteSound(D / "s48.flac", Tone(StereoFrames, 2, 48000, 250), 2, 48000,
               SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    // The converted tracks against the same tones computed at 44.1 kHz, for as many frames as the
    // nearest whole number to their length there.
    const Samples Converted = BothChannels(Tone(MonoFrames * 2, 1, 44100, 330));
    const Samples Converted48 = Tone((StereoFrames * 44100 + 24000) / 48000, 2, 44100, 250);
    // Bounds a little under what was measured: MP3 (libsndfile's LAME defaults) 37.3 dB, Vorbis
    // (its default quality) 41.1 dB, the conversion from 22.05 kHz mono 80.1 dB, from 48 kHz
    // stereo 74.0 dB.
    const Expected Tracks[] = {
        {"a.wav", A, 0},
        {"a.flac", A, 0},
        {"b.wav", B, 0},
        {"a.wav", A, 0},
        {"a.mp3", A, 35.0},
        {"a.ogg", A, 38.0},
        {"m22.wav", Converted, 75.0},
        {"mono.wav", BothChannels(Mono), 0},
        {"s48.flac", Converted48, 70.0},
    };
    Strings Entries;
    for (const Expected& Track : Tracks) {
        Entries.push_back((D / Track.Entry).string());
    }
    const fs::path Bin = D / "disc.bin";
    const std::string Title = "Été – \"Live\"";
    const auto Run = RunRecorder(AudioCommand({"--artist", "The Band", "--title", Title}, Entries),
                                 RecorderEnvironment(Bin));
    ASSERT_EQ(Run.ExitCode, 0) << Run.Out << Run.Err;
    EXPECT_NE(Run.Out.find("title written as \"Été – 'Live'\""), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find("progress writing 100.0"), std::string::npos) << Run.Out;

    const CueDisc Sheet = ReadCue(SheetOf(Bin));
    EXPECT_EQ(Sheet.Performer, "The Band");
    EXPECT_EQ(Sheet.Title, "Été – 'Live'");
    EXPECT_EQ(Sheet.File, "disc.bin");
    EXPECT_EQ(Sheet.FileType, "BINARY");
    ASSERT_EQ(Sheet.Tracks.size(), std::size(Tracks));
    EXPECT_EQ(Sheet.Tracks[0].Index0, 0);
    // The pause is stored: silence before the first track's INDEX 01.
    EXPECT_EQ(ReadSectors(Bin, 0, Pause * FramesPerSector), Samples(Pause * FramesPerSector * 2));
    std::uint64_t Next = Pause;
    for (std::size_t I = 0; I < std::size(Tracks); ++I) {
        const Expected& Want = Tracks[I];
        const CueTrack& Got = Sheet.Tracks[I];
        const std::uint64_t Frames = Want.Sound.size() / 2;
        EXPECT_EQ(Got.Number, static_cast<int>(I + 1));
        EXPECT_EQ(Got.Mode, "AUDIO");
        EXPECT_EQ(Got.Start, Next) << "track " << I + 1;
        const Samples Sound = ReadSectors(Bin, Got.Start, Frames);
        if (Want.LeastSnr == 0) {
            EXPECT_TRUE(Sound == Want.Sound) << "track " << I + 1 << " (" << Want.Entry << ")";
        } else {
            const double Snr = SignalToNoise(Want.Sound, Sound);
            std::printf("track %zu (%s): %.1f dB\n", I + 1, Want.Entry, Snr);
            EXPECT_GE(Snr, Want.LeastSnr) << "track " << I + 1 << " (" << Want.Entry << ")";
        }
        // Silence pads the track to its last sector.
        const Samples Whole = ReadSectors(Bin, Got.Start, SectorsOf(Frames) * FramesPerSector);
        EXPECT_TRUE(std::all_of(Whole.begin() + static_cast<std::ptrdiff_t>(Frames * 2),
                                Whole.end(), [](short S) { return S == 0; }))
            << "track " << I + 1;
        Next = Got.Start + SectorsOf(Frames);
    }
    EXPECT_EQ(fs::file_size(Bin), Next * 2352);
    EXPECT_EQ(ScratchFilesBeside(Bin), Strings{});

    if (const std::string Missing = MissingPrograms({"bchunk"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    // bchunk cuts the image at the sheet's INDEX 01 lines into WAV files.
    fs::create_directory(D / "bchunk");
    const auto Cut = RunReader(
        {"bchunk", "-w", Bin.string(), SheetOf(Bin).string(), (D / "bchunk/track").string()});
    ASSERT_EQ(Cut.ExitCode, 0) << Cut.Out << Cut.Err;
    for (std::size_t I = 0; I < std::size(Tracks); ++I) {
        char Name[32];
        (void)std::snprintf(Name, sizeof Name, "track%02zu.wav", I + 1);
        int Channels = 0;
        int Rate = 0;
        const Samples Sound = ReadSound(D / "bchunk" / Name, Channels, Rate);
        EXPECT_EQ(Channels, 2);
        EXPECT_EQ(Rate, 44100);
        const std::uint64_t Frames = Tracks[I].Sound.size() / 2;
        EXPECT_EQ(Sound.size(), SectorsOf(Frames) * FramesPerSector * 2) << Name;
        if (Tracks[I].LeastSnr == 0) {
            EXPECT_TRUE(Samples(Sound.begin(), Sound.begin() + static_cast<std::ptrdiff_t>(
                                                                   Tracks[I].Sound.size())) ==
                        Tracks[I].Sound)
                << Name;
        }
    }
}

// 80 minutes of disc: the pause and 79:58 of tracks fit; a frame more takes a sector more, and
// neither that nor a second more fits. The silent tracks are holes in their files.
TEST(RecorderAudio, EightyMinutesFitAndNotASectorMore) {
    TempDir Dir;
    const std::uint64_t Fits = (360000 - Pause) * FramesPerSector;
    const struct {
        const char* Case;
        std::uint64_t Frames;
        int Code;
    } Rows[] = {
        {"80:00 with the pause", Fits, 0},
        {"a frame more", Fits + 1, 5},
        {"a second more", Fits + 44100, 5},
    };
    for (const auto& Row : Rows) {
        const fs::path Wav = Dir.Path() / "long.wav";
        MakeSilentWav(Wav, Row.Frames);
        const fs::path Bin = Dir.Path() / (std::string(Row.Case) + ".bin");
        const auto Run = RunRecorder(AudioCommand({}, {Wav.string()}), RecorderEnvironment(Bin));
        EXPECT_EQ(Run.ExitCode, Row.Code) << Row.Case << "\n" << Run.Out << Run.Err;
        if (Row.Code == 0) {
            EXPECT_EQ(fs::file_size(Bin), 360000ULL * 2352) << Row.Case;
            const CueDisc Sheet = ReadCue(SheetOf(Bin));
            ASSERT_EQ(Sheet.Tracks.size(), 1U);
            EXPECT_EQ(Sheet.Tracks[0].Start, Pause);
            fs::remove(Bin);
        } else {
            EXPECT_NE(Run.Err.find("360000"), std::string::npos) << Row.Case << Run.Err;
            EXPECT_FALSE(fs::exists(Bin)) << Row.Case;
            EXPECT_FALSE(fs::exists(SheetOf(Bin))) << Row.Case;
        }
        EXPECT_EQ(ScratchFilesBeside(Bin), Strings{}) << Row.Case;
    }
}

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

// A label, artist or title longer than its field is written as far as it fits, cut at a character
// boundary, and the run says so: ISO 9660's identifiers hold 128 bytes, a CUE sheet's texts 80
// characters.
TEST(RecorderLongTexts, AreCutToTheirFieldsAndSaid) {
    TempDir Dir;
    const fs::path& D = Dir.Path();
    WriteSound(D / "a.wav", Tone(44100, 2, 44100, 440), 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const fs::path File = Dir.Write("f.txt", "f");
    std::string Artist = "a"; // then two bytes a character, so that 128 bytes end inside one
    for (int I = 0; I < 5000; ++I) {
        Artist += "é";
    }
    const std::string Title(10000, 't');
    const Strings Texts{"--artist", Artist, "--title", Title};
    const std::string Dvd = MissingPrograms({"genisoimage", "dvdauthor"}).empty()
                                ? MakeDvdFolders(D / "dvd").string() + "/VIDEO_TS"
                                : "";
    const struct {
        const char* Case;
        Strings Rest; // after the texts
        std::size_t ArtistBytes;
        std::size_t TitleBytes;
    } Rows[] = {
        {"data disc", {"--recursive", "--speed", "4", "--iso", "L", File}, 127, 128},
        {"DVD-Video",
         {"--recursive", "--speed", "4", "--iso", "M", "--dvd", "--create_iso_fs",
          "--create_udf_fs", "--iso-no-joliet", "--dvdvideo_realloc", Dvd},
         127,
         128},
        {"audio CD", {"--recursive", "--speed", "4", "--audio", D / "a.wav"}, 159, 80},
    };
    for (const auto& Row : Rows) {
        if (Row.Rest.back().empty()) {
            continue; // no DVD-Video without its authoring programs
        }
        const fs::path Disc = D / (std::string(Row.Case) + ".bin");
        Strings Arguments{"--write", "--drivename", "E", "--real"};
        Arguments.insert(Arguments.end(), Texts.begin(), Texts.end());
        Arguments.insert(Arguments.end(), Row.Rest.begin(), Row.Rest.end());
        const auto Run = RunRecorder(Arguments, RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 0) << Row.Case << "\n" << Run.Out << Run.Err;
        for (const auto& [Name, Text, Bytes] : {std::tuple{"artist", Artist, Row.ArtistBytes},
                                                std::tuple{"title", Title, Row.TitleBytes}}) {
            const std::string Said =
                std::string(Name) + " cut to \"" + Text.substr(0, Bytes) + "\"";
            const std::size_t At = Run.Out.find(Said);
            EXPECT_NE(At, std::string::npos) << Row.Case << ": " << Name;
            // Said once, however often the writer lays the disc out.
            EXPECT_EQ(Run.Out.find(Said, At + 1), std::string::npos) << Row.Case << ": " << Name;
        }
        EXPECT_TRUE(fs::exists(Disc)) << Row.Case;
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

TEST(RecorderAudio, ComponentBurnsAnAudioCdThroughTheRecorder) {
    TempDir Dir;
    const fs::path Wav = Dir.Path() / "a.wav";
    const Samples Sound = Tone(std::uint64_t{44100} * 4, 2, 44100, 440);
    WriteSound(Wav, Sound, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const fs::path Bin = Dir.Path() / "disc.bin";
    const QueltTest::ScopedEnv Drives{"QUELT_DRIVES", "E=" + Bin.string()};
    const QueltTest::ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "missing.reg").string()};
    Queltburner::TQueltBurner Burner(nullptr);
    Burner.NeroCmdLocation = QueltTest::Utf16(RecorderPath);
    Burner.SetShowMessages(false);
    Burner.SetSynchronous(true);
    Burner.SetArtist(u"Component");
    Burner.SetTitle(u"Through the recorder");
    Strings Events;
    Burner.SetOnSuccess([&Events](System::TObject*) { Events.emplace_back("OnSuccess"); });
    Burner.SetOnError([&Events](System::TObject*, int Code) {
        Events.push_back("OnError(" + std::to_string(Code) + ")");
    });
    Burner.Files()->Add(QueltTest::PathText(Wav));
    Burner.Files()->Add(QueltTest::PathText(Wav));
    EXPECT_EQ(Burner.BurnAudio(u'E'), 0);
    EXPECT_EQ(Events, Strings{"OnSuccess"});
    const CueDisc Sheet = ReadCue(SheetOf(Bin));
    EXPECT_EQ(Sheet.Performer, "Component");
    EXPECT_EQ(Sheet.Title, "Through the recorder");
    ASSERT_EQ(Sheet.Tracks.size(), 2U);
    EXPECT_TRUE(ReadSectors(Bin, Sheet.Tracks[1].Start, Sound.size() / 2) == Sound);
}

} // namespace
