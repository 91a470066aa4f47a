#include "DiscSnapshot.hpp"

#include "FileDescriptor.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

namespace Recorder {

namespace {

constexpr off_t HeadBytes = off_t{64} * 1024;
constexpr off_t TailBytes = off_t{1024} * 1024;

bool ReadFully(int Fd, std::vector<char>& Into, off_t At) {
    std::size_t Done = 0;
    while (Done < Into.size()) {
        const ssize_t Got =
            ::pread(Fd, Into.data() + Done, Into.size() - Done, At + static_cast<off_t>(Done));
        if (Got <= 0) {
            return false;
        }
        Done += static_cast<std::size_t>(Got);
    }
    return true;
}

bool WriteFully(int Fd, const std::vector<char>& From, off_t At) {
    std::size_t Done = 0;
    while (Done < From.size()) {
        const ssize_t Put =
            ::pwrite(Fd, From.data() + Done, From.size() - Done, At + static_cast<off_t>(Done));
        if (Put <= 0) {
            return false;
        }
        Done += static_cast<std::size_t>(Put);
    }
    return true;
}

} // namespace

std::optional<DiscSnapshot> DiscSnapshot::Take(const std::string& Path) {
    const FileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat Info {};
    if (File.Get() < 0 || ::fstat(File.Get(), &Info) != 0 || !S_ISREG(Info.st_mode) ||
        Info.st_size == 0) {
        return std::nullopt;
    }
    DiscSnapshot Kept;
    Kept.FPath = Path;
    Kept.FDevice = Info.st_dev;
    Kept.FInode = Info.st_ino;
    Kept.FSize = Info.st_size;
    Kept.FHead.resize(static_cast<std::size_t>(std::min(HeadBytes, Info.st_size)));
    Kept.FTailAt = std::max(off_t{0}, Info.st_size - TailBytes);
    Kept.FTail.resize(static_cast<std::size_t>(Info.st_size - Kept.FTailAt));
    if (!ReadFully(File.Get(), Kept.FHead, 0) || !ReadFully(File.Get(), Kept.FTail, Kept.FTailAt)) {
        return std::nullopt;
    }
    return Kept;
}

bool DiscSnapshot::Restore() const {
    const FileDescriptor File(::open(FPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat Info {};
    if (File.Get() < 0 || ::fstat(File.Get(), &Info) != 0) {
        return false;
    }
    if (Info.st_dev != FDevice || Info.st_ino != FInode) {
        return true; // another file now: not the one this snapshot was taken of
    }
    return WriteFully(File.Get(), FHead, 0) && WriteFully(File.Get(), FTail, FTailAt) &&
           ::ftruncate(File.Get(), FSize) == 0 && ::fsync(File.Get()) == 0;
}

} // namespace Recorder
