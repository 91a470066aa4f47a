// One run at a time per disc. The lock is taken on what the disc is, not on the name that reached
// it: a virtual disc's own file (whatever path, hard link or letter opens it), a real drive's
// device in the kernel (so /dev/sr0 and /dev/sg0 of one drive are one drive). Nothing is created
// beside the disc for it, and a killed run's lock is free again at once (flock).
//
// A run holds its disc exclusively; a question holds it shared, so that questions never stop each
// other but never read a disc a run is writing. A run that moves a new disc into place locks the
// new file before it moves it (see LockReplacement), so that a run waiting for the old file never
// takes the new one from under it.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include <string>

namespace Recorder {

enum class HoldMode : std::uint8_t { Run, Question };

class DiscLock {
public:
    // Locks the virtual disc at Path, or throws RecorderFailure (target error) naming Subject
    // when another holds it. A missing file is created empty (a blank disc) when CreateMissing,
    // so there is a file to lock; without it nothing is held (there is nothing to protect).
    static DiscLock OfVirtualDisc(const std::string& Path, HoldMode Mode, bool CreateMissing,
                                  const std::string& Subject);
    // Locks the real drive whose device is at Path.
    static DiscLock OfDrive(const std::string& Path, HoldMode Mode, const std::string& Subject);

    DiscLock(DiscLock&& Other) noexcept;
    DiscLock& operator=(DiscLock&&) = delete;
    DiscLock(const DiscLock&) = delete;
    DiscLock& operator=(const DiscLock&) = delete;
    // Removes a file this lock created and no run wrote to (still empty), then lets go.
    ~DiscLock();

    bool Held() const noexcept { return FFd >= 0; }
    // The held file (a virtual disc), open for reading (and for writing, held for a run); -1 when
    // nothing is held.
    int Fd() const noexcept { return FFd; }
    // Whether this lock created the disc's file (it did not exist when the run began).
    bool CreatedTheFile() const noexcept { return FCreated; }
    // The file a run wrote is the disc now: it is not removed when the lock goes.
    void KeepCreatedFile() noexcept { FCreated = false; }
    // A question turns its shared hold into an exclusive one for a moment (to put back what a
    // killed run left); false when another holds the disc too.
    bool TryExclusive() const noexcept;
    void BackToShared() const noexcept;

private:
    DiscLock(int Fd, std::string Path, bool Created) noexcept
        : FFd(Fd), FPath(std::move(Path)), FCreated(Created) {}
    int FFd = -1;
    std::string FPath;
    bool FCreated = false;
};

// Locks the new disc file Fd exclusively before it is moved over the held one; the caller keeps
// Fd open until the run ends. False when it could not (nothing else can hold a new file).
bool LockReplacement(int Fd) noexcept;

// The process holding an flock on the file (device and inode), read from /proc/locks; 0 when it
// cannot be told.
pid_t HolderOf(dev_t Device, ino_t Inode);

} // namespace Recorder
