// A virtual disc of raw 2,352-byte sectors (an audio CD): its data file and the CUE sheet beside
// it, which is what makes the sectors a disc. Such a disc holds a session when its data file is not
// empty and the sheet beside it names that file; without the sheet, the sectors are no disc a
// reader can find its tracks in, so the disc counts as blank.
#pragma once

#include "Target.hpp"

#include <optional>
#include <string>

namespace Recorder {

// The CUE sheet beside a data file; none for a file whose own name ends in ".cue".
std::optional<std::string> SheetBeside(const std::string& DataFile);

// Whether the file at Sheet is a CUE sheet whose FILE line names DataFile (by its bare name).
bool SheetNames(const std::string& Sheet, const std::string& DataFile);

// Whether a virtual disc's file holds a disc of raw sectors: not empty, and named by its sheet.
bool HoldsRawSession(const std::string& DataFile);

// Removes the CUE sheet beside a virtual disc when it names the disc's file, as an erase or a new
// disc of another kind must: left behind, it would name sectors that are no longer there. A sheet
// that names another file is not this disc's and stays. Throws RecorderFailure (write error).
void RemoveSheetOf(const Target& Where);

// The scratch file a new CUE sheet is written to beside the disc, given the data file's scratch.
std::string SheetScratchOf(const std::string& Scratch);

} // namespace Recorder
