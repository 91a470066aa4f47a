// The hold a run has on its disc (Disc.hpp's implementations each own one), from the run's start
// to its end: the one place that decides what a virtual disc holds, keeps other runs away from
// it, prepares a new disc beside it, puts that disc in place, takes an append back when it fails
// (or when the run before was killed), and erases. A real drive is held here against other runs,
// but acquired by the worker (DriveDisc.hpp), since only the process that writes may open it.
#pragma once

#include "DiscKind.hpp"
#include "DiscLock.hpp"
#include "Progress.hpp"
#include "ScratchFolder.hpp"
#include "Target.hpp"
#include "UndoJournal.hpp"

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Recorder {

// How a run uses its disc: a burn may create a missing virtual disc's file; an erase or eject never
// does; a question holds the disc shared (questions never stop each other) and keeps its scratch
// away from the disc, and one that only looks needs no scratch at all.
enum class MediumUse : std::uint8_t { Write, Keep, Measure, Look };

class Medium {
public:
    // Takes hold of the disc Where names: its lock (a disc held by another run is a target error),
    // then what killed runs left undone is undone and their scratch removed (said in one line);
    // for a virtual disc its kind is read (a file that is no disc is a target error, whatever the
    // command); and a private scratch folder is made.
    Medium(Target Where, MediumUse Use);

    const Target& Where() const noexcept { return FWhere; }
    std::string Describe() const { return FWhere.Describe(); }
    // What the virtual disc held when the run took hold of it (always Blank for a real drive,
    // whose writer asks the drive).
    VirtualDiscKind Kind() const noexcept { return FKind; }
    bool Blank() const noexcept { return FKind == VirtualDiscKind::Blank; }

    // The new disc's data file and its CUE sheet, in the run's private scratch folder.
    std::string ScratchDisc() const { return ScratchPath("disc"); }
    std::string ScratchSheet() const { return ScratchPath("disc.cue"); }
    // The run's scratch folder ("" for a run that has none), which is never part of a disc.
    std::string ScratchFolderPath() const { return FScratch ? FScratch->Path() : std::string(); }
    // Removes what an unfinished write left in the scratch folder, the journal of what the run
    // may have to undo included.
    void ClearScratch() const noexcept;

    // Moves the complete new disc into place, durably: first its CUE sheet to Sheet (a disc of raw
    // sectors), then the data file, which makes the new disc; a disc without a sheet removes the
    // one an earlier disc left. Throws RecorderFailure (write error).
    void PutInPlace(const std::optional<std::string>& Sheet) const;

    // Writes down what an append may change, before anything is written; a disc that cannot be
    // kept is a write error, raised before writing.
    void KeepForAppend() const;
    // Undoes what a run that failed or was stopped left half done: an append taken back, a full
    // erase finished.
    UndoOutcome Undo() const noexcept;

    // Empties the virtual disc (and removes its CUE sheet); Entire overwrites its content with
    // zeros first (no more than a disc's capacity, holes skipped).
    void Erase(bool Entire, Progress& Report) const;

private:
    std::string ScratchPath(std::string_view Name) const;
    std::string JournalPath() const { return ScratchPath("undo"); }
    // The disc held open for writing (a run's hold), or -1.
    int WritableHold() const noexcept;
    void HoldVirtualDisc(MediumUse Use);
    void UndoLeftovers(const std::string& Folder) const;

    Target FWhere;
    std::optional<DiscLock> FLock;
    std::unique_ptr<ScratchFolder> FScratch;
    VirtualDiscKind FKind = VirtualDiscKind::Blank;
    // The file held when the run began, so that no later step works on another one.
    dev_t FDevice = 0;
    ino_t FInode = 0;
    mode_t FNewFileMode = 0644;
};

} // namespace Recorder
