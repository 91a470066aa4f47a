// One writer per kind of work. Each runs after the command line and the target were checked, does
// its own remaining checks (sources, fit, medium) before it writes anything, and either returns
// once everything is written or throws RecorderFailure.
#pragma once

#include "Progress.hpp"
#include "Request.hpp"
#include "Target.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace Recorder {

// Blocks of 2,048 bytes a virtual disc holds: a CD, or a single-layer DVD.
constexpr std::uint64_t CdBlocks = 360000;
constexpr std::uint64_t DvdBlocks = 2295104;

// A new first session (or a whole image) is written to Scratch, a file beside the virtual disc,
// and moved over it only once complete, so that an interrupted first session never leaves a file
// that readers take for a whole disc.
struct WriteContext {
    const Request& Ask;
    const Target& Where;
    std::string Scratch;
    Progress& Report;
};

void WriteDataDisc(const WriteContext& Context);
void WriteVideoCd(const WriteContext& Context); // Video CDs and Super Video CDs
void WriteDvdVideo(const WriteContext& Context);
void BurnImageFile(const WriteContext& Context);
void WriteAudioCd(const WriteContext& Context);
void BurnCueImage(const WriteContext& Context); // a BIN/CUE image given to --image as its .cue
void EraseDisc(const WriteContext& Context);
void EjectDisc(const WriteContext& Context);

// The label as far as the ISO 9660 volume identifier (32 bytes) holds it, cut at a character
// boundary; a cut is said on standard output.
std::string IsoVolumeId(const WriteContext& Context);

// Copies everything From holds to the end of To, calling Copied with each piece's size. A read
// error is a source error naming Source, a write error a write error naming the disc. Returns the
// bytes copied.
std::uint64_t CopyAll(const WriteContext& Context, int From, int To, const std::string& Source,
                      const std::function<void(std::uint64_t Bytes)>& Copied);

// Moves the complete scratch file over the virtual disc's file and makes the move durable.
void PutInPlace(const WriteContext& Context);

// Whether a virtual disc's file holds anything a reader takes for a disc: an ISO 9660 session, or
// the raw sectors of a CD (see DiscKind.hpp).
bool HoldsSession(const std::string& Path);

} // namespace Recorder
