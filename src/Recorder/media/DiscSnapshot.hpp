// What a session appended to a virtual disc may change, kept so that a failed append can be
// undone: the file's length, its first 64 KiB (where the newest session's volume descriptors are
// copied once the session is written) and its last MiB (the padding after the last session, which
// the next session may start in).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace Recorder {

class DiscSnapshot {
public:
    // None for a file that does not exist or is empty: there is nothing to take back to.
    static std::optional<DiscSnapshot> Take(const std::string& Path);

    // Puts the kept bytes and length back and makes them durable, if the path still names the
    // same file (a new disc moved into place is left alone). False when that failed.
    bool Restore() const;

private:
    std::string FPath;
    dev_t FDevice = 0;
    ino_t FInode = 0;
    off_t FSize = 0;
    std::vector<char> FHead;
    off_t FTailAt = 0;
    std::vector<char> FTail;
};

} // namespace Recorder
