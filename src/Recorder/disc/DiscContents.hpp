// What a disc holds, read through libisoburn: the table of contents of the medium a session has
// acquired, and the loading of a virtual disc's newest tree. The questions answer from it, and the
// burns that continue a disc load it the same way.
#pragma once

#include "XorrisoSession.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace Recorder {

// What "-toc" says of the medium that Session has acquired.
struct TocSummary {
    std::size_t Sessions = 0;
    std::string Label;                        // the newest session's volume id
    std::optional<std::uint64_t> NextAddress; // where a new session would start
    std::optional<std::uint64_t> DataBlocks;  // blocks the sessions hold
    std::string MediumName;                   // "CD-RW", "DVD+R", ... (real drives)
    std::string Status;                       // the "Media status" line's text
};
TocSummary ReadToc(XorrisoSession& Session);

// Whether the checksum tags a loaded disc records for its head and its tree match them.
enum class RecordedChecksums { Pass, Fail };

// Acquires the virtual disc in Path with Command ("-indev" to read it, "-dev" to continue it) and
// loads its newest tree. libisofs loads no tree at all, and acquires no disc, when the checksum
// tags fail (its descriptors were changed outside a burn, say): such a disc is loaded again
// without checking them, so that its sessions and labels can still be told, and Fail says so;
// the session then checks no tags of anything it loads. None when the disc cannot be loaded
// either way: Session.Problems() says why.
std::optional<RecordedChecksums>
LoadVirtualDisc(XorrisoSession& Session, const std::string& Command, const std::string& Path);

} // namespace Recorder
