#include "Target.hpp"

#include "DriveMap.hpp"
#include "RecorderFailure.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Recorder {

namespace {

[[noreturn]] void Fail(const Target& T, const std::string& Reason) {
    throw RecorderFailure(ExitCode::Target, T.Describe() + ": " + Reason);
}

} // namespace

std::string Target::Describe() const {
    std::string Text = "drive ";
    Text += Letter < 0x80 ? static_cast<char>(Letter) : '?';
    const std::string& Shown = Mapped.empty() ? Path : Mapped;
    if (!Shown.empty()) {
        Text += " (" + Shown + ")";
    }
    return Text;
}

std::string RealPathOf(const std::string& Path) {
    char* Resolved = ::realpath(Path.c_str(), nullptr);
    if (Resolved == nullptr) {
        return {};
    }
    std::string Real = Resolved;
    std::free(Resolved); // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
    return Real;
}

std::string FolderOf(const std::string& Path) {
    const std::size_t Slash = Path.find_last_of('/');
    if (Slash == std::string::npos) {
        return ".";
    }
    return Slash == 0 ? "/" : Path.substr(0, Slash);
}

Target ResolveTarget(char16_t Letter) {
    Target T;
    T.Letter = Letter;
    const auto Mapped = Queltburner::Posix::DriveTargetOf(
        Letter, std::getenv("QUELT_DRIVES"), [](const std::string& Device) {
            struct stat Info {};
            return ::stat(Device.c_str(), &Info) == 0;
        });
    if (!Mapped) {
        Fail(T, "no such drive (not mapped by QUELT_DRIVES, and no /dev/srN for it)");
    }
    T.Mapped = *Mapped;
    T.Path = *Mapped;
    struct stat Link {};
    if (::lstat(T.Path.c_str(), &Link) == 0 && S_ISLNK(Link.st_mode)) {
        // Followed once, here: a link swapped in later is never followed by a later step.
        T.Path = RealPathOf(T.Path);
        if (T.Path.empty()) {
            Fail(T, "is a link to nothing");
        }
    }
    struct stat Info {};
    if (::stat(T.Path.c_str(), &Info) == 0) {
        T.Exists = true;
        if (S_ISBLK(Info.st_mode) || S_ISCHR(Info.st_mode)) {
            T.RealDrive = true;
            if (::access(T.Path.c_str(), R_OK | W_OK) != 0) {
                Fail(T, "no permission to use the device");
            }
            return T;
        }
        if (S_ISDIR(Info.st_mode)) {
            Fail(T, "is a folder, not a device or an image file");
        }
        if (!S_ISREG(Info.st_mode)) {
            Fail(T, "is neither a device nor an image file");
        }
        if (::access(T.Path.c_str(), R_OK | W_OK) != 0) {
            Fail(T, "no permission to read and write the image file");
        }
    } else if (T.Path.starts_with("/dev/")) {
        // A missing device is not an image file to create among the system's devices.
        Fail(T, "no such device");
    }
    const std::string Folder = FolderOf(T.Path);
    struct stat FolderInfo {};
    if (::stat(Folder.c_str(), &FolderInfo) != 0 || !S_ISDIR(FolderInfo.st_mode)) {
        Fail(T, "the folder " + Folder + " does not exist");
    }
    // New sessions are written beside the image and moved into place when complete.
    if (::access(Folder.c_str(), W_OK | X_OK) != 0) {
        Fail(T, "no permission to write in the folder " + Folder);
    }
    return T;
}

void WriteFailed(const Target& Where, const std::string& What) {
    throw RecorderFailure(ExitCode::Write,
                          Where.Describe() + ": " + What + ": " + std::strerror(errno));
}

} // namespace Recorder
