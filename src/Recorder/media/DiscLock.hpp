// One run at a time per virtual disc: a lock file beside the disc (".NAME.lock"), held with
// flock for the run's whole length and removed when the run ends. The lock is not on the disc's
// own file, since a run that writes a new disc moves another file into its place.
#pragma once

#include <string>

namespace Recorder {

class DiscLock {
public:
    // Takes the lock of the disc at DiscPath, or throws RecorderFailure (target error) naming
    // Subject when another run holds it or the lock file cannot be used.
    DiscLock(const std::string& DiscPath, const std::string& Subject);
    ~DiscLock();
    DiscLock(const DiscLock&) = delete;
    DiscLock& operator=(const DiscLock&) = delete;
    DiscLock(DiscLock&&) = delete;
    DiscLock& operator=(DiscLock&&) = delete;

private:
    std::string FPath;
    int FFd = -1;
};

} // namespace Recorder
