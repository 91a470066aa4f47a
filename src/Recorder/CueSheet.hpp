// The CUE sheet beside a virtual disc that holds raw CD sectors (audio CDs, Video CDs, Super Video
// CDs, and BIN/CUE images): where it lies and the text it may carry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Recorder {

// The CUE sheet of a virtual disc's data file: the file name with its last extension replaced by
// ".cue", or ".cue" added when the name has none. A data file that itself ends in ".cue" (in any
// case) would be its own sheet: a target error (RecorderFailure), raised before anything is
// written.
std::string CueSheetPathOf(const std::string& DataFile);

// Whether a file's name ends in ".cue", in any case: a CUE sheet's.
bool IsCueSheetName(std::string_view Path);

// The bare file name the sheet names its data file by (its "FILE" line).
std::string BareNameOf(const std::string& Path);

// Text as a CUE sheet's quoted value carries it: a double quote becomes an apostrophe and a line
// break (CR or LF) a blank. Changed says whether anything was replaced, so that the run can say so.
std::string CueText(std::string_view Text, bool& Changed);

// "mm:ss:ff" of a sector count (75 sectors a second), as INDEX and PREGAP lines give positions.
std::string CueTime(std::uint64_t Sectors);

} // namespace Recorder
