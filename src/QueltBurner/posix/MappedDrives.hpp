// The drive letters this process mapped (MapDrive), combined with QUELT_DRIVES: what every drive
// lookup of the host and every tool it starts sees.
#pragma once

#include <optional>
#include <string>

namespace Queltburner::Posix {

struct DriveMapNow {
    // The combined map when the process mapped letters, else nothing (QUELT_DRIVES stands).
    std::optional<std::string> Combined;
    // The map to read letters in: the combined one, else QUELT_DRIVES (nullptr when unset: each
    // /dev/srN is a drive).
    const char* Text() const;
};

DriveMapNow CurrentDriveMap();

// True when a node (a device, or any file) exists at Path.
bool DeviceNodeExists(const std::string& Path);

} // namespace Queltburner::Posix
