#include "DiscLock.hpp"

#include "DriveHold.hpp"
#include "RecorderFailure.hpp"
#include "Target.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

namespace Recorder {

namespace {

[[noreturn]] void Fail(const std::string& Subject, const std::string& Reason,
                       FailureKind Kind = FailureKind::NotADrive) {
    throw RecorderFailure(ExitCode::Target, Kind, Subject + ": " + Reason);
}

[[noreturn]] void FailHeld(const std::string& Subject, int Fd) {
    struct stat Info {};
    const pid_t Holder = ::fstat(Fd, &Info) == 0 ? HolderOf(Info.st_dev, Info.st_ino) : 0;
    ::close(Fd);
    Fail(Subject,
         "the disc is in use by another run" +
             (Holder > 0 ? " (process " + std::to_string(Holder) + ")" : std::string()) +
             "; try again when it has ended",
         FailureKind::DriveBusy);
}

// True once Operation takes the lock on Fd from a holder that has ended. The process that took a
// lock may be gone while the processes of its run that share the lock are ending with it (a
// worker whose recorder was killed is killed in turn): their lock goes within moments, and a run
// that came right after must not be told the disc is in use by a run that no longer exists.
bool TakenFromEndedHolder(int Fd, int Operation) {
    constexpr auto Longest = std::chrono::seconds(2);
    const auto GiveUp = std::chrono::steady_clock::now() + Longest;
    while (std::chrono::steady_clock::now() < GiveUp) {
        struct stat Info {};
        const pid_t Holder = ::fstat(Fd, &Info) == 0 ? HolderOf(Info.st_dev, Info.st_ino) : 0;
        if (Holder > 0 && (::kill(Holder, 0) == 0 || errno != ESRCH)) {
            return false; // a run that is still there holds the disc
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::flock(Fd, Operation) == 0) {
            return true;
        }
    }
    return false;
}

// Takes the lock on Fd, or fails naming the holder.
void LockOrFail(int Fd, HoldMode Mode, const std::string& Subject, const std::string& What) {
    const int Operation = (Mode == HoldMode::Run ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (::flock(Fd, Operation) == 0) {
        return;
    }
    const int Error = errno;
    if (Error == EWOULDBLOCK && TakenFromEndedHolder(Fd, Operation)) {
        return;
    }
    if (Error == EWOULDBLOCK) {
        FailHeld(Subject, Fd);
    }
    ::close(Fd);
    Fail(Subject, "cannot lock " + What + ": " + std::strerror(Error));
}

} // namespace

DiscLock DiscLock::OfVirtualDisc(const std::string& Path, HoldMode Mode, bool CreateMissing,
                                 const std::string& Subject) {
    // A run that put a new disc in place has moved another file over the one a run opened just
    // before: that run finds the path naming another file once it holds the lock, and tries again.
    constexpr int Tries = 20;
    for (int Try = 0; Try < Tries; ++Try) {
        bool Created = false;
        // A run's hold can also write: a failed append is put back through it, which then needs
        // no descriptor of its own when they have run out.
        const int Access = Mode == HoldMode::Run ? O_RDWR : O_RDONLY;
        int Fd = ::open(Path.c_str(), Access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (Fd < 0 && errno == ENOENT && CreateMissing) {
            // NOLINTNEXTLINE(hicpp-signed-bitwise): open's flags
            Fd = ::open(Path.c_str(), Access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            Created = Fd >= 0;
            if (Fd < 0 && errno == EEXIST) {
                continue;
            }
        }
        if (Fd < 0) {
            if (errno == ENOENT) {
                return {-1, Path, false};
            }
            Fail(Subject, "cannot open the disc to hold it: " + std::string(std::strerror(errno)));
        }
        LockOrFail(Fd, Mode, Subject, Path);
        struct stat Held {};
        struct stat Now {};
        if (::fstat(Fd, &Held) == 0 && ::lstat(Path.c_str(), &Now) == 0 &&
            Now.st_dev == Held.st_dev && Now.st_ino == Held.st_ino) {
            return {Fd, Path, Created};
        }
        ::close(Fd);
    }
    Fail(Subject, "cannot hold the disc: its file keeps being replaced");
}

DiscLock DiscLock::OfDrive(const std::string& Path, HoldMode Mode, const std::string& Subject) {
    struct stat Node {};
    if (::stat(Path.c_str(), &Node) != 0) {
        Fail(Subject, "no such device");
    }
    const std::string Folder = Queltburner::Posix::DeviceFolderOf(Node);
    const std::string& Held = Folder.empty() ? Path : Folder;
    const int Fd = ::open(Held.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (Fd < 0) {
        Fail(Subject, "cannot open " + Held + " to hold the drive: " + std::strerror(errno));
    }
    LockOrFail(Fd, Mode, Subject, Held);
    return {Fd, {}, false};
}

DiscLock::DiscLock(DiscLock&& Other) noexcept
    : FFd(Other.FFd), FPath(std::move(Other.FPath)), FCreated(Other.FCreated) {
    Other.FFd = -1;
    Other.FCreated = false;
}

DiscLock::~DiscLock() {
    if (FFd < 0) {
        return;
    }
    struct stat Held {};
    struct stat Now {};
    // Still this run's own empty file: the disc was missing, and stays so.
    if (FCreated && ::fstat(FFd, &Held) == 0 && Held.st_size == 0 &&
        ::lstat(FPath.c_str(), &Now) == 0 && Now.st_dev == Held.st_dev &&
        Now.st_ino == Held.st_ino) {
        (void)::unlink(FPath.c_str());
    }
    ::close(FFd);
}

bool DiscLock::TryExclusive() const noexcept {
    return FFd >= 0 && ::flock(FFd, LOCK_EX | LOCK_NB) == 0;
}

void DiscLock::BackToShared() const noexcept {
    if (FFd >= 0) {
        (void)::flock(FFd, LOCK_SH | LOCK_NB);
    }
}

bool LockReplacement(int Fd) noexcept {
    return ::flock(Fd, LOCK_EX | LOCK_NB) == 0;
}

pid_t HolderOf(dev_t Device, ino_t Inode) {
    const std::vector<Queltburner::Posix::FlockHold> Holds =
        Queltburner::Posix::FlockHoldsOf(Device, Inode);
    return Holds.empty() ? 0 : Holds.front().Holder;
}

} // namespace Recorder
