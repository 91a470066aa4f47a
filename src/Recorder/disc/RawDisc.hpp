// A virtual disc of raw 2,352-byte sectors (an audio CD): its data file and the CUE sheet beside
// it, which is what makes the sectors a disc. Such a disc holds a session when its data file is not
// empty and the sheet beside it names that file (HoldsRawSession); without the sheet, the sectors
// are no disc a reader can find its tracks in, so the disc counts as blank.
#pragma once

#include "CueSheet.hpp"
#include "Target.hpp"

namespace Recorder {

// Removes the CUE sheet beside a virtual disc when it names the disc's file, as an erase or a new
// disc of another kind must: left behind, it would name sectors that are no longer there. A sheet
// that names another file is not this disc's and stays. Throws RecorderFailure (write error).
void RemoveSheetOf(const Target& Where);

} // namespace Recorder
