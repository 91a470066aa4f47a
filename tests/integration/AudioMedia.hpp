// The audio the recorder's tests write and read back: tones written with libsndfile in each format
// the recorder decodes, long silent WAV files that take no room, and a reader of the CUE sheet and
// raw sectors of an audio CD's virtual disc.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace RecorderTest {

namespace fs = std::filesystem;
using Samples = std::vector<short>;

// Frames (Channels interleaved) of two sines at Frequency and at 2.37 times it under a slow
// swell, sampled at Rate: no period repeats within a track, so a misplaced sample shows.
Samples Tone(std::uint64_t Frames, int Channels, int Rate, double Frequency);

// Writes Sound with libsndfile in Format (SF_FORMAT_WAV | SF_FORMAT_PCM_16, ...). Compressed
// formats are given the samples as floats: libsndfile 1.2.0's MP3 encoder garbles 16-bit input.
void WriteSound(const fs::path& Path, const Samples& Sound, int Channels, int Rate, int Format);

// A 44.1 kHz stereo 16-bit WAV file of Frames frames of silence whose data is a hole in the file.
void MakeSilentWav(const fs::path& Path, std::uint64_t Frames);

struct CueTrack {
    int Number = 0;
    std::string Mode;         // "AUDIO"
    std::int64_t Index0 = -1; // sector of INDEX 00, or -1
    std::uint64_t Start = 0;  // sector of INDEX 01
};

struct CueDisc {
    std::string Performer;
    std::string Title;
    std::string File;
    std::string FileType;
    std::vector<CueTrack> Tracks;
};

// Reads a CUE sheet as a player would: quoted values, "mm:ss:ff" positions.
CueDisc ReadCue(const fs::path& Sheet);

// Count stereo frames of a raw audio CD image from sector First on, little-endian.
Samples ReadSectors(const fs::path& Bin, std::uint64_t First, std::uint64_t Frames);

// The signal-to-noise ratio in dB of Actual against Expected (same length).
double SignalToNoise(const Samples& Expected, const Samples& Actual);

// Samples of Mono heard on both channels.
Samples BothChannels(const Samples& Mono);

// The whole content of a sound file decoded to 16-bit samples.
Samples ReadSound(const fs::path& Path, int& Channels, int& Rate);

// Audio frames (a sample of each channel) in a CD sector, and the sectors of the pause before the
// first track.
constexpr std::uint64_t FramesPerSector = 588;
constexpr std::uint64_t Pause = 150;

// Whole sectors of a track of Frames frames: padded, and at least four seconds.
std::uint64_t SectorsOf(std::uint64_t Frames);

// The recorder's arguments for an audio CD of Tracks, Options before them.
std::vector<std::string> AudioCommand(const std::vector<std::string>& Options,
                                      const std::vector<std::string>& Tracks);

// The CUE sheet beside a virtual disc's BIN file.
fs::path SheetOf(const fs::path& Bin);

} // namespace RecorderTest
