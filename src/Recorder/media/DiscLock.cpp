#include "DiscLock.hpp"

#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Recorder {

namespace {

std::string LockPathOf(const std::string& DiscPath) {
    const std::size_t Slash = DiscPath.find_last_of('/');
    const std::string Folder = Slash == std::string::npos ? "" : DiscPath.substr(0, Slash + 1);
    const std::string Name = Slash == std::string::npos ? DiscPath : DiscPath.substr(Slash + 1);
    return Folder + "." + Name + ".lock";
}

} // namespace

DiscLock::DiscLock(const std::string& DiscPath, const std::string& Subject)
    : FPath(LockPathOf(DiscPath)) {
    const auto Fail = [&](const std::string& Reason) {
        throw RecorderFailure(ExitCode::Target, Subject + ": " + Reason);
    };
    // The run that held the lock removes its file when it ends; a run that opened that file just
    // before finds it gone once it holds the lock, and tries again with the new one.
    constexpr int Tries = 20;
    for (int Try = 0; Try < Tries; ++Try) {
        FFd = ::open(FPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (FFd < 0) {
            Fail("cannot use the lock file " + FPath + ": " + std::strerror(errno));
        }
        struct stat Held {};
        if (::fstat(FFd, &Held) != 0 || !S_ISREG(Held.st_mode) || Held.st_uid != ::geteuid()) {
            ::close(FFd);
            FFd = -1;
            Fail("the lock file " + FPath +
                 " is not this user's own; remove it if no run is "
                 "writing the disc");
        }
        if (::flock(FFd, LOCK_EX | LOCK_NB) != 0) {
            const int Error = errno;
            ::close(FFd);
            FFd = -1;
            if (Error == EWOULDBLOCK) {
                Fail("the disc is in use by another run; try again when it has ended");
            }
            Fail("cannot lock " + FPath + ": " + std::strerror(Error));
        }
        struct stat Now {};
        if (::lstat(FPath.c_str(), &Now) == 0 && Now.st_dev == Held.st_dev &&
            Now.st_ino == Held.st_ino) {
            return;
        }
        ::close(FFd);
        FFd = -1;
    }
    Fail("cannot lock " + FPath + ": it keeps being replaced");
}

DiscLock::~DiscLock() {
    if (FFd >= 0) {
        // Removed while still held, so that no run takes a lock on a file that is gone.
        (void)::unlink(FPath.c_str());
        ::close(FFd);
    }
}

} // namespace Recorder
