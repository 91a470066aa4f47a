// An audio CD's tracks checked before anything is written, the fit, and the CD-TEXT as the run
// gives it; the disc writes them (a virtual disc its sectors and sheet, a drive through libburn).
#pragma once

#include "AudioDecoder.hpp"
#include "Writers.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Recorder {

constexpr std::size_t MostTracks = 99;

// Every entry decoded once, in order (a path given twice is two tracks). Progress: the first
// Share percent of the preparing phase.
std::vector<AudioTrack> CheckTracks(const WriteContext& Context, double Share);

// The sectors of all tracks, without the pause.
std::uint64_t TrackSectors(const std::vector<AudioTrack>& Tracks);

// Throws RecorderFailure (does not fit) for more tracks than a CD numbers, or more than Capacity
// sectors (Needed counts what the target stores: with the pause on a virtual disc).
void CheckFit(const WriteContext& Context, std::size_t Tracks, std::uint64_t Needed,
              std::uint64_t Capacity);

// The disc's CD-TEXT as a CUE sheet carries it, the run saying what had to be replaced.
struct DiscText {
    std::optional<std::string> Performer;
    std::optional<std::string> Title;
};
DiscText CueDiscText(const WriteContext& Context);

// "mm:ss" of a count of sectors, for messages.
std::string PlayingTime(std::uint64_t Sectors);

} // namespace Recorder
