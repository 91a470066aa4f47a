#include "Medium.hpp"

#include "CueSheet.hpp"
#include "DiscGeometry.hpp"
#include "FileDescriptor.hpp"
#include "RawDisc.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Recorder {

namespace {

[[noreturn]] void WriteFailed(const Target& Where, const std::string& What) {
    throw RecorderFailure(ExitCode::Write,
                          Where.Describe() + ": " + What + ": " + std::strerror(errno));
}

std::string TemporaryFolder() {
    const char* Temporary = std::getenv("TMPDIR");
    return Temporary != nullptr && *Temporary == '/' ? Temporary : "/tmp";
}

void SyncFolderOf(const std::string& Path) {
    const FileDescriptor Folder(::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Folder.Get() >= 0) {
        (void)::fsync(Folder.Get());
    }
}

// The mode a file replacing Path gets: that file's own, or what a new file gets under the umask.
mode_t ModeReplacing(const std::string& Path, mode_t NewFileMode) {
    struct stat Info {};
    return ::lstat(Path.c_str(), &Info) == 0 && S_ISREG(Info.st_mode) ? Info.st_mode & 07777
                                                                      : NewFileMode;
}

// Overwrites the data of a file with zeros up to Limit bytes, skipping its holes.
void OverwriteData(const Target& Where, int Fd, off_t Size, Progress& Report) {
    static const std::array<char, 1 << 20> Zeros{};
    off_t At = ::lseek(Fd, 0, SEEK_DATA);
    while (At >= 0 && At < Size) {
        off_t HoleAt = ::lseek(Fd, At, SEEK_HOLE);
        HoleAt = HoleAt < 0 ? Size : std::min(HoleAt, Size);
        while (At < HoleAt) {
            const auto Chunk = static_cast<std::size_t>(
                std::min<off_t>(static_cast<off_t>(Zeros.size()), HoleAt - At));
            const ssize_t Written = ::pwrite(Fd, Zeros.data(), Chunk, At);
            if (Written <= 0) {
                WriteFailed(Where, "cannot overwrite the disc");
            }
            At += Written;
            Report.Update(100.0 * static_cast<double>(At) / static_cast<double>(Size));
        }
        At = ::lseek(Fd, HoleAt, SEEK_DATA);
    }
    if (::fsync(Fd) != 0) {
        WriteFailed(Where, "cannot overwrite the disc");
    }
}

} // namespace

Medium::Medium(Target Where) : FWhere(std::move(Where)) {
    // What a file created by this user gets, for a disc that did not exist before.
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    FNewFileMode = 0666 & ~Mask;
    if (FWhere.RealDrive) {
        FScratch = std::make_unique<ScratchFolder>(TemporaryFolder(), BareNameOf(FWhere.Path),
                                                   FWhere.Describe());
        return;
    }
    const std::string Folder = FolderOf(FWhere.Path);
    const std::string Name = BareNameOf(FWhere.Path);
    FLock = std::make_unique<DiscLock>(FWhere.Path, FWhere.Describe());
    RemoveStaleScratch(Folder, Name);
    FKind = KindOfVirtualDisc(FWhere.Path);
    if (FKind == VirtualDiscKind::NotADisc) {
        throw RecorderFailure(ExitCode::Target,
                              FWhere.Describe() +
                                  ": the file is not a disc (no ISO 9660 or UDF image, no CD "
                                  "image with its CUE sheet); it is left as it is: map the drive "
                                  "to another file");
    }
    struct stat Info {};
    if (::lstat(FWhere.Path.c_str(), &Info) == 0) {
        FDevice = Info.st_dev;
        FInode = Info.st_ino;
    }
    FScratch = std::make_unique<ScratchFolder>(Folder, Name, FWhere.Describe());
}

void Medium::PutInPlace(const std::optional<std::string>& Sheet) const {
    const std::string Data = ScratchDisc();
    if (Sheet) {
        const std::string SheetScratch = ScratchSheet();
        if (::chmod(SheetScratch.c_str(), ModeReplacing(*Sheet, FNewFileMode)) != 0 ||
            std::rename(SheetScratch.c_str(), Sheet->c_str()) != 0) {
            WriteFailed(FWhere, "cannot put the CUE sheet " + *Sheet + " in place");
        }
    }
    if (::chmod(Data.c_str(), ModeReplacing(FWhere.Path, FNewFileMode)) != 0 ||
        std::rename(Data.c_str(), FWhere.Path.c_str()) != 0) {
        WriteFailed(FWhere, "cannot put the new disc in place");
    }
    // A disc without a sheet replaces one that had it (an audio CD erased by the write): the old
    // sheet would name the new file as raw sectors.
    if (!Sheet) {
        RemoveSheetOf(FWhere);
    }
    // The folder's entries are what a crash right after the moves would otherwise lose.
    SyncFolderOf(FWhere.Path);
}

void Medium::KeepForAppend() {
    if (FWhere.RealDrive || FKind != VirtualDiscKind::Appendable) {
        return;
    }
    FBefore = DiscSnapshot::Take(FWhere.Path);
    if (!FBefore) {
        throw RecorderFailure(ExitCode::Write, FWhere.Describe() +
                                                   ": cannot keep the disc's last session to "
                                                   "put it back should the new one fail; nothing "
                                                   "was written");
    }
}

bool Medium::PutBack() const {
    return !FBefore || FBefore->Restore();
}

void Medium::Erase(bool Entire, Progress& Report) const {
    if (FKind != VirtualDiscKind::Blank) {
        const FileDescriptor File(
            ::open(FWhere.Path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat Info {};
        if (File.Get() < 0 || ::fstat(File.Get(), &Info) != 0) {
            WriteFailed(FWhere, "cannot open the disc");
        }
        if (Info.st_dev != FDevice || Info.st_ino != FInode || !S_ISREG(Info.st_mode)) {
            throw RecorderFailure(ExitCode::Target, FWhere.Describe() +
                                                        ": the file was replaced while the run "
                                                        "held it; nothing was erased");
        }
        if (Entire) {
            const auto Limit = static_cast<off_t>(LargestDiscBytes);
            OverwriteData(FWhere, File.Get(), std::min(Info.st_size, Limit), Report);
        }
        // The data file first: a sheet naming an empty file is no disc, so a run stopped between
        // the two leaves a blank disc.
        if (::ftruncate(File.Get(), 0) != 0 || ::fsync(File.Get()) != 0) {
            WriteFailed(FWhere, "cannot erase the disc");
        }
    }
    RemoveSheetOf(FWhere);
}

} // namespace Recorder
