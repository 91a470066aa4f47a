// The tracks of an audio CD: audio files decoded with libsndfile (WAV, FLAC, Ogg Vorbis, MP3 and
// whatever else it reads) and converted to what a CD holds, 44.1 kHz 16-bit stereo, with
// libsamplerate where the rate differs. A mono file is heard on both channels; a file with more
// than two channels is refused, since which of them make the stereo pair is a choice the recorder
// cannot make for its user.
#pragma once

#include "DiscGeometry.hpp"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace Recorder {

constexpr int CdRate = 44100;
// Stereo frames of 16-bit samples in one sector.
constexpr std::uint64_t FramesPerSector = RawSectorBytes / 4;
// A track lasts at least four seconds on a CD; a shorter one is padded with silence.
constexpr std::uint64_t ShortestTrackSectors = std::uint64_t{4} * 75;

struct AudioTrack {
    std::string Path;
    int Rate = 0;
    int Channels = 0;
    // Frames the file decodes to, at its own rate.
    std::uint64_t SourceFrames = 0;

    // Frames at 44.1 kHz, exactly as many as the conversion produces.
    std::uint64_t Frames() const;
    // Whole sectors the track takes: its frames padded, and at least the shortest track.
    std::uint64_t Sectors() const;
};

// Frames at 44.1 kHz that Frames at Rate become: the nearest whole number.
std::uint64_t ConvertedFrames(std::uint64_t Frames, int Rate);

// Decodes the whole file once, so that a file that cannot be decoded is found before anything is
// written and the track's length is exact (a compressed file's header may only estimate it).
// Throws RecorderFailure (source error) naming the file.
AudioTrack CheckTrack(const std::string& Path);

// Decodes the track again and hands its sectors to Sink as CD audio (interleaved 16-bit samples,
// little-endian, left first), in blocks of whole sectors, the last padded with silence.
// Done (0.0 to 1.0) follows the decoding. Throws RecorderFailure (source error) when the file no
// longer decodes to what CheckTrack found.
void DecodeTrack(const AudioTrack& Track, const std::function<void(std::span<const char>)>& Sink,
                 const std::function<void(double Done)>& Done);

} // namespace Recorder
