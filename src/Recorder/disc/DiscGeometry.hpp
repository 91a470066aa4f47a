// The sizes every writer measures a disc in: the 2,048-byte blocks of a data track, the raw
// 2,352-byte sectors of an audio or Video CD, the pause before a CD's first track, and what a
// virtual disc holds (a CD of 80 minutes, a single-layer DVD).
#pragma once

#include <cstdint>

namespace Recorder {

constexpr std::uint64_t DataBlockBytes = 2048;
constexpr std::uint64_t RawSectorBytes = 2352;
// Sectors a CD plays in a second: CUE times and playing times count in them.
constexpr std::uint64_t SectorsPerSecond = 75;
// The two-second pause before a CD's first track, which every CD has and an image file need not.
constexpr std::uint64_t LeadingPause = 2 * SectorsPerSecond;

// Blocks (data) or sectors (audio, video) a virtual disc holds: 80 minutes of CD, or a DVD.
constexpr std::uint64_t CdBlocks = 360000;
constexpr std::uint64_t CdSectors = CdBlocks;
constexpr std::uint64_t DvdBlocks = 2295104;

// The most bytes any disc a virtual disc stands for holds: what a full erase overwrites at most.
constexpr std::uint64_t LargestDiscBytes = DvdBlocks * DataBlockBytes;

} // namespace Recorder
