// Audio CDs written by the recorder as a real process onto virtual discs, read back by the tests'
// own reader of CUE sheets and raw sectors and by bchunk: every track's samples where the sheet
// says, the capacity of 80 minutes, texts cut to their fields, and the component's BurnAudio
// through the recorder.
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
