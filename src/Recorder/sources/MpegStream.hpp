// What kind of MPEG stream a file holds, read from its first pack header: Video CDs take MPEG-1
// system streams and Super Video CDs MPEG-2 program streams. The authoring program only warns
// about the other kind, so the recorder checks each entry itself before anything is written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Recorder {

enum class MpegKind : std::uint8_t {
    Mpeg1System,  // pack header 0x000001BA, then the bits 0010
    Mpeg2Program, // pack header 0x000001BA, then the bits 01
    Other,        // no pack header at the start, or one of neither form
};

// The kind of a stream that starts with Head (at least its first five bytes).
MpegKind MpegKindOf(std::span<const unsigned char> Head);

// The kind of the stream in the file; throws RecorderFailure (source error) naming the file when
// it cannot be read or is not a regular file.
MpegKind MpegKindOfFile(const std::string& Path);

// "an MPEG-1 system stream", "an MPEG-2 program stream", "not an MPEG stream", for messages.
const char* Describe(MpegKind Kind);

} // namespace Recorder
