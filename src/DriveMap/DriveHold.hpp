// How one run at a time per disc is kept, as both the recorder (which holds a disc) and the POSIX
// host (which tells a front end that a drive is in use) see it: a run holds its disc with an
// exclusive flock, a question with a shared one, taken on what the disc is rather than on the
// name that reached it (a virtual disc's own file; a drive's device folder in sysfs, one for all
// of the drive's device nodes).
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace Queltburner::Posix {

// The kernel's folder (/sys/devices/...) of the drive the device node Node belongs to: one for all
// the nodes of a drive (its sr block device and its sg character device alike); empty when there
// is none.
std::string DeviceFolderOf(const struct stat& Node);

// What a run locks for the disc at Path (a device node or a virtual disc's file): empty when
// there is nothing (yet) to lock.
std::string HeldObjectOf(const std::string& Path);

struct FlockHold {
    pid_t Holder = 0;
    bool Exclusive = false;
};

// The flocks held on the file (device and inode), read from /proc/locks; processes waiting for
// one are left out. Empty when none is held or /proc/locks cannot be read.
std::vector<FlockHold> FlockHoldsOf(dev_t Device, ino_t Inode);

// True when a run of this machine holds the disc at Path now: an exclusive hold whose process is
// still there. A question's shared hold is not a run.
bool HeldByRun(const std::string& Path);

} // namespace Queltburner::Posix
