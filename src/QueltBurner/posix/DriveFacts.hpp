// What the POSIX host knows of a drive without asking the tool: the kernel's own words for the
// device (its vendor and model in sysfs, what it can write in /proc/sys/dev/cdrom/info), and
// whether a run holds it (the flock a run takes).
#pragma once

#include <string>
#include <string_view>

namespace Queltburner::Posix {

// The media the kernel's CD-ROM table says the drive DriveName ("sr0") can write, as "CD-R, CD-RW,
// DVD-R, DVD-RAM"; empty when the table does not list the drive or it writes nothing.
std::string WritableMediaOf(std::string_view CdromInfo, std::string_view DriveName);

} // namespace Queltburner::Posix
