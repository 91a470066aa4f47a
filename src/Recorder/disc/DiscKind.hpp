// What a virtual disc's file holds, read from the file itself: nothing (blank), a disc that
// sessions can be appended to, a closed disc, the raw sectors of a CD with its CUE sheet, or
// something that is no disc at all, which no run may overwrite, erase or empty.
#pragma once

#include <cstdint>
#include <string>

namespace Recorder {

enum class VirtualDiscKind : std::uint8_t {
    // Missing or empty: what an erase leaves.
    Blank,
    // An ISO 9660 session of the kind data discs write, which a new session may continue.
    Appendable,
    // ISO 9660 with a UDF bridge, or UDF alone (DVD-Video): the disc was closed when written.
    Closed,
    // The raw 2,352-byte sectors of a CD (audio, Video CD, a BIN/CUE image), named by the CUE
    // sheet beside the file.
    RawSectors,
    // Anything else: a document mapped by mistake, a truncated image, a FIFO, a link.
    NotADisc,
};

// The kind of the virtual disc at Path (which is not followed if it is a link). Never blocks: a
// FIFO or a device at Path is no disc.
VirtualDiscKind KindOfVirtualDisc(const std::string& Path);

// The kind of an image file's content alone (no CUE sheet is looked for): Appendable or Closed
// for an ISO 9660 or UDF image whose recorded size the file holds, NotADisc otherwise (an empty
// file included).
VirtualDiscKind KindOfImage(int Fd);

// "blank", "a data disc", ... for messages.
const char* DescribeKind(VirtualDiscKind Kind);

} // namespace Recorder
