#include "Medium.hpp"

#include "CueSheet.hpp"
#include "DiscGeometry.hpp"
#include "FileDescriptor.hpp"
#include "RawDisc.hpp"
#include "RecorderFailure.hpp"
#include "TestHooks.hpp"

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
    Report.Expect(static_cast<std::uint64_t>(std::max<off_t>(Size, 0)));
    bool Begun = false;
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
            Report.Update(static_cast<std::uint64_t>(At), static_cast<std::uint64_t>(Size));
            if (!Begun) {
                Begun = true;
                TestHooks::BeforeWrite(); // the tests stop an erase half way here
            }
        }
        At = ::lseek(Fd, HoleAt, SEEK_DATA);
    }
    if (::fsync(Fd) != 0) {
        WriteFailed(Where, "cannot overwrite the disc");
    }
}

} // namespace

Medium::Medium(Target Where, MediumUse Use) : FWhere(std::move(Where)) {
    // What a file created by this user gets, for a disc that did not exist before.
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    FNewFileMode = 0666 & ~Mask;
    const HoldMode Mode =
        Use == MediumUse::Write || Use == MediumUse::Keep ? HoldMode::Run : HoldMode::Question;
    if (FWhere.RealDrive) {
        FLock.emplace(DiscLock::OfDrive(FWhere.Path, Mode, FWhere.Describe()));
    } else {
        HoldVirtualDisc(Use);
    }
    // A question's scratch (a new disc laid out, never written) stays away from the disc, which it
    // must leave as it found it; a real drive has no folder of its own.
    const bool Beside = !FWhere.RealDrive && Mode == HoldMode::Run;
    const std::string Folder = Beside ? FolderOf(FWhere.Path) : TemporaryFolder();
    if (!Beside) {
        UndoLeftovers(Folder); // a killed question's scratch
    }
    if (Use != MediumUse::Look) {
        FScratch =
            std::make_unique<ScratchFolder>(Folder, BareNameOf(FWhere.Path), FWhere.Describe());
    }
}

void Medium::HoldVirtualDisc(MediumUse Use) {
    const HoldMode Mode =
        Use == MediumUse::Write || Use == MediumUse::Keep ? HoldMode::Run : HoldMode::Question;
    FLock.emplace(
        DiscLock::OfVirtualDisc(FWhere.Path, Mode, Use == MediumUse::Write, FWhere.Describe()));
    // A question holds the disc shared: it undoes a killed run's half-written session only when
    // it is alone with the disc for that moment.
    if (Mode == HoldMode::Run || FLock->TryExclusive()) {
        UndoLeftovers(FolderOf(FWhere.Path));
        if (Mode == HoldMode::Question) {
            FLock->BackToShared();
        }
    }
    FKind = KindOfVirtualDisc(FWhere.Path);
    if (FKind == VirtualDiscKind::NotADisc && Use != MediumUse::Look) {
        throw RecorderFailure(ExitCode::Target, FailureKind::NotADisc,
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
}

// What runs killed on this disc left: their journals applied, their scratch removed, and one
// line saying so.
void Medium::UndoLeftovers(const std::string& Folder) const {
    std::string Undone;
    std::string Processes;
    for (const StaleScratch& Left : StaleScratchOf(Folder, BareNameOf(FWhere.Path))) {
        switch (Recorder::Undo(Left.Path + "/undo", FWhere.Path, WritableHold())) {
        case UndoOutcome::PutBack:
            Undone = "put the disc back as it was before ";
            break;
        case UndoOutcome::Emptied:
            Undone = "finished the full erase (the disc is blank) of ";
            break;
        case UndoOutcome::Failed:
            throw RecorderFailure(
                ExitCode::Write,
                FWhere.Describe() + ": cannot put back what a killed run (process " +
                    std::to_string(Left.Pid) + ") changed: " + std::strerror(errno) +
                    "; its journal stays in " + Left.Path);
        case UndoOutcome::NoJournal:
        case UndoOutcome::NotThisDisc:
            break;
        }
        RemoveTree(Left.Path);
        Processes += (Processes.empty() ? "" : ", ") + std::to_string(Left.Pid);
    }
    if (!Processes.empty()) {
        const std::string Line = FWhere.Describe() + ": " +
                                 (Undone.empty() ? "removed what " : Undone) +
                                 "a run that was killed (process " + Processes + ")" +
                                 (Undone.empty() ? " left" : ", and removed what it left") + "\n";
        (void)std::fputs(Line.c_str(), stdout);
        (void)std::fflush(stdout);
    }
}

int Medium::WritableHold() const noexcept {
    return FLock && FLock->Held() && (::fcntl(FLock->Fd(), F_GETFL) & O_ACCMODE) == O_RDWR
               ? FLock->Fd()
               : -1;
}

std::string Medium::ScratchPath(std::string_view Name) const {
    if (!FScratch) {
        throw RecorderFailure(ExitCode::Write, FWhere.Describe() + ": no scratch folder");
    }
    return FScratch->PathOf(Name);
}

void Medium::ClearScratch() const noexcept {
    if (FScratch) {
        FScratch->Empty();
    }
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
    // Held from before the move to the end of the writer, as the file it replaces was: a run
    // that opens the disc now finds it in use, and one that opened the old file finds it replaced.
    // NOLINTNEXTLINE(android-cloexec-open): O_CLOEXEC is there; the descriptor lives on purpose
    const int Replacement = ::open(Data.c_str(), O_RDONLY | O_CLOEXEC);
    if (Replacement < 0 || !LockReplacement(Replacement) ||
        ::chmod(Data.c_str(), ModeReplacing(FWhere.Path, FNewFileMode)) != 0 ||
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

void Medium::KeepForAppend() const {
    if (!FWhere.RealDrive && FKind == VirtualDiscKind::Appendable && FLock && FLock->Held()) {
        Recorder::KeepForAppend(FLock->Fd(), JournalPath(), FWhere.Describe());
    }
}

UndoOutcome Medium::Undo() const noexcept {
    if (FWhere.RealDrive || !FScratch) {
        return UndoOutcome::NoJournal;
    }
    try {
        return Recorder::Undo(JournalPath(), FWhere.Path, WritableHold());
    } catch (...) {
        return UndoOutcome::Failed;
    }
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
            // Written down first: a full erase stopped half way is finished, by this run or the
            // next, since a disc half overwritten with zeros is no disc an erase would accept.
            Recorder::KeepForErase(File.Get(), JournalPath(), FWhere.Describe());
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
