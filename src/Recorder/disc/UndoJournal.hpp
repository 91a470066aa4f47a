// What a run must be able to undo on a virtual disc, written down durably in the run's scratch
// folder before the disc is touched. The recorder undoes a run that failed or was stopped; the
// next run on the disc (or a question about it) undoes one whose recorder was killed, since the
// journal outlives it.
//
// An append may change the disc's first 64 KiB (where the newest session's volume descriptors are
// copied once it is written), everything from where the new session starts (the end of the
// volume, or the last MiB of padding, whichever comes first: bytes a file holds after its volume
// are overwritten too) and the length. A full erase is undone forwards: a disc half overwritten
// with zeros is no disc, so the erase is finished and the disc left blank.
#pragma once

#include <cstdint>
#include <string>

namespace Recorder {

enum class UndoOutcome : std::uint8_t {
    NoJournal,   // nothing was written down (or not completely, so nothing had been touched)
    NotThisDisc, // the journal names another file (the disc was replaced since)
    PutBack,     // the disc is as it was before the append
    Emptied,     // the stopped erase is finished: the disc is blank
    Failed,      // the disc could not be restored (errno says why)
};

// Writes down the parts of the disc file Fd an append may change, into a new file at
// JournalPath. Throws RecorderFailure (write error) naming Subject when it cannot: nothing has
// been written to the disc then.
void KeepForAppend(int DiscFd, const std::string& JournalPath, const std::string& Subject);

// Writes down that the disc file Fd is being erased in full.
void KeepForErase(int DiscFd, const std::string& JournalPath, const std::string& Subject);

// Applies the journal at JournalPath to the disc at DiscPath (through DiscFd, open for writing,
// when it is not -1) if it names that file. Restores only the bytes that differ, so a run stopped
// by a file-size limit is put back within that limit.
UndoOutcome Undo(const std::string& JournalPath, const std::string& DiscPath, int DiscFd) noexcept;

} // namespace Recorder
