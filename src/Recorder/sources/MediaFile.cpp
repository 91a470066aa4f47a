#include "MediaFile.hpp"

#include "RecorderFailure.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace Recorder {

namespace {

[[noreturn]] void Refuse(std::string_view What, const std::string& Path, const std::string& Why) {
    throw RecorderFailure(ExitCode::Source, std::string(What) + " " + Path + ": " + Why);
}

std::string KindOf(mode_t Mode) {
    if (S_ISFIFO(Mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(Mode) || S_ISBLK(Mode)) {
        return "a device";
    }
    if (S_ISSOCK(Mode)) {
        return "a socket";
    }
    return "not a regular file";
}

std::string NotRegular(mode_t Mode) {
    return "is " + KindOf(Mode) + ", not a regular file; only regular files are read as media";
}

// Clears O_NONBLOCK again: a regular file's reads wait for the disk as usual.
bool ReadsBlock(int Fd) {
    const int Flags = ::fcntl(Fd, F_GETFL);
    return Flags >= 0 && ::fcntl(Fd, F_SETFL, Flags & ~O_NONBLOCK) == 0;
}

struct FolderCloser {
    void operator()(DIR* Folder) const { (void)::closedir(Folder); }
};

} // namespace

FileDescriptor OpenMediaFile(const std::string& Path, std::string_view What) {
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0) {
        Refuse(What, Path, std::strerror(errno));
    }
    std::string Problem;
    struct stat Info {};
    const bool Known = ::fstat(Fd, &Info) == 0;
    if (Known && !S_ISREG(Info.st_mode)) {
        Problem = NotRegular(Info.st_mode);
    } else if (!Known || !ReadsBlock(Fd)) {
        Problem = std::strerror(errno);
    }
    if (!Problem.empty()) {
        ::close(Fd);
        Refuse(What, Path, Problem);
    }
    return FileDescriptor(Fd);
}

void RequireRegularFilesIn(const std::string& Folder, std::string_view What) {
    const std::unique_ptr<DIR, FolderCloser> Listing(::opendir(Folder.c_str()));
    if (!Listing) {
        Refuse(What, Folder, std::strerror(errno));
    }
    while (const dirent* Entry = ::readdir(Listing.get())) {
        const std::string Name = Entry->d_name;
        struct stat Info {};
        std::string Path = Folder;
        Path += '/';
        Path += Name;
        if (Name == "." || Name == ".." || ::stat(Path.c_str(), &Info) != 0 ||
            S_ISREG(Info.st_mode) || S_ISDIR(Info.st_mode)) {
            continue;
        }
        Refuse(What, Path, NotRegular(Info.st_mode));
    }
}

} // namespace Recorder
