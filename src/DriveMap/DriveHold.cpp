#include "DriveHold.hpp"

#include <sys/sysmacros.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace Queltburner::Posix {

namespace {

std::string RealPath(const std::string& Path) {
    const std::unique_ptr<char, decltype(&std::free)> Resolved(realpath(Path.c_str(), nullptr),
                                                               &std::free);
    return Resolved ? std::string(Resolved.get()) : std::string();
}

bool StillThere(pid_t Process) {
    return ::kill(Process, 0) == 0 || errno != ESRCH;
}

} // namespace

std::string DeviceFolderOf(const struct stat& Node) {
    const std::string Kind = S_ISBLK(Node.st_mode) ? "block" : "char";
    return RealPath("/sys/dev/" + Kind + "/" + std::to_string(major(Node.st_rdev)) + ":" +
                    std::to_string(minor(Node.st_rdev)) + "/device");
}

std::string HeldObjectOf(const std::string& Path) {
    struct stat Node {};
    if (::stat(Path.c_str(), &Node) != 0) {
        return {};
    }
    if (S_ISBLK(Node.st_mode) || S_ISCHR(Node.st_mode)) {
        const std::string Folder = DeviceFolderOf(Node);
        return Folder.empty() ? Path : Folder;
    }
    return Path;
}

std::vector<FlockHold> FlockHoldsOf(dev_t Device, ino_t Inode) {
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter's line starts with "->".
    std::ifstream Locks("/proc/locks");
    std::ostringstream Key;
    Key << std::hex;
    Key.width(2);
    Key.fill('0');
    Key << major(Device) << ':';
    Key.width(2);
    Key << minor(Device) << ':' << std::dec << Inode;
    std::vector<FlockHold> Holds;
    std::string Line;
    while (std::getline(Locks, Line)) {
        std::istringstream Fields(Line);
        std::string Number;
        std::string Type;
        std::string Advice;
        std::string Access;
        std::string File;
        long Pid = 0;
        if (Fields >> Number >> Type >> Advice >> Access >> Pid >> File && Number != "->" &&
            Type == "FLOCK" && File == Key.str() && Pid > 0 && Pid <= INT_MAX) {
            Holds.push_back({static_cast<pid_t>(Pid), Access == "WRITE"});
        }
    }
    return Holds;
}

bool HeldByRun(const std::string& Path) {
    const std::string Held = HeldObjectOf(Path);
    struct stat Node {};
    if (Held.empty() || ::stat(Held.c_str(), &Node) != 0) {
        return false;
    }
    for (const FlockHold& Hold : FlockHoldsOf(Node.st_dev, Node.st_ino)) {
        if (Hold.Exclusive && StillThere(Hold.Holder)) {
            return true;
        }
    }
    return false;
}

} // namespace Queltburner::Posix
