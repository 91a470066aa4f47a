// What a virtual disc's file holds, read from the file itself: nothing readable (blank), a disc
// that sessions can be appended to, a closed disc, or the raw sectors of a CD with its CUE sheet.
#pragma once

#include <cstdint>
#include <string>

namespace Recorder {

enum class VirtualDiscKind : std::uint8_t {
    // Missing, empty, or nothing a reader takes for a disc (after an erase, or an interrupted
    // first session).
    Blank,
    // An ISO 9660 session of the kind data discs write, which a new session may continue.
    Appendable,
    // ISO 9660 with a UDF bridge (DVD-Video): the disc was closed when it was written.
    Closed,
    // The raw 2,352-byte sectors of a CD (audio, Video CD, a BIN/CUE image): a CUE sheet lies
    // beside the file, or the file starts with a data sector's sync pattern.
    RawSectors,
};

VirtualDiscKind KindOfVirtualDisc(const std::string& Path);

} // namespace Recorder
