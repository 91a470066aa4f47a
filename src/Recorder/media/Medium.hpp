// The disc a run writes, owned by the run from its start to its end: the one place that decides
// what a virtual disc holds, keeps other runs away from it, prepares a new disc beside it, puts
// that disc in place, takes an append back when it fails, and erases. A real drive is acquired
// by the writer itself (see RealDrive.hpp), since only the process that writes may open it.
#pragma once

#include "DiscKind.hpp"
#include "DiscLock.hpp"
#include "DiscSnapshot.hpp"
#include "Progress.hpp"
#include "ScratchFolder.hpp"
#include "Target.hpp"

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

namespace Recorder {

class Medium {
public:
    // Takes hold of the disc Where names. For a virtual disc: its lock (a disc held by another
    // run is a target error), the scratch of killed runs removed, its kind read (a file that is no
    // disc is a target error, whatever the command); for both, a private scratch folder.
    explicit Medium(Target Where);

    const Target& Where() const noexcept { return FWhere; }
    std::string Describe() const { return FWhere.Describe(); }
    bool RealDrive() const noexcept { return FWhere.RealDrive; }
    // What the virtual disc held when the run took hold of it (always Blank for a real drive,
    // whose writer asks the drive).
    VirtualDiscKind Kind() const noexcept { return FKind; }
    bool Blank() const noexcept { return FKind == VirtualDiscKind::Blank; }

    // The new disc's data file and its CUE sheet, in the run's private scratch folder.
    std::string ScratchDisc() const { return FScratch->PathOf("disc"); }
    std::string ScratchSheet() const { return FScratch->PathOf("disc.cue"); }
    // Removes what an unfinished write left in the scratch folder.
    void ClearScratch() const { FScratch->Empty(); }

    // Moves the complete new disc into place, durably: first its CUE sheet to Sheet (a disc of raw
    // sectors), then the data file, which makes the new disc; a disc without a sheet removes the
    // one an earlier disc left. Throws RecorderFailure (write error).
    void PutInPlace(const std::optional<std::string>& Sheet) const;

    // Keeps what an append may change, before anything is written; a disc that cannot be kept
    // is a write error, raised before writing.
    void KeepForAppend();
    // Puts a failed append back; false when that did not succeed.
    bool PutBack() const;

    // Empties the virtual disc (and removes its CUE sheet); Entire overwrites its content with
    // zeros first (no more than a disc's capacity, holes skipped).
    void Erase(bool Entire, Progress& Report) const;

private:
    Target FWhere;
    std::unique_ptr<DiscLock> FLock;
    std::unique_ptr<ScratchFolder> FScratch;
    VirtualDiscKind FKind = VirtualDiscKind::Blank;
    // The file held when the run began, so that no later step works on another one.
    dev_t FDevice = 0;
    ino_t FInode = 0;
    mode_t FNewFileMode = 0644;
    std::optional<DiscSnapshot> FBefore;
};

} // namespace Recorder
