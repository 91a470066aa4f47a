// The burning and decoding libraries report problems in their own words ("Unsuitable target media
// state", "Failed to prepare session write run", "possibly a pipe?"), written for their own
// programs' users. A user of the recorder gets its own words instead: what failed and what to do,
// with the component's names for the settings. A library's text is only matched here, never
// shown.
#pragma once

#include "RecorderFailure.hpp"

#include <string>
#include <string_view>

namespace Recorder {

// The reason for a problem a library reported as LibraryText, in the recorder's words: the first
// known kind of problem the text names (with the file it names, when it quotes one), else a
// general reason for a failure of kind Kind.
std::string RecorderReason(std::string_view LibraryText, ExitCode Kind);

// The case a failure of kind Kind is, as far as the library's text names one (a drive in use,
// no disc, a closed disc, ...), else the exit code's own.
FailureKind FailureCaseOf(std::string_view LibraryText, ExitCode Kind);

// Whether the library's text says that memory or descriptors ran out: a write error then,
// whatever step failed for it.
bool RanOut(std::string_view LibraryText);

// What a verify says when it cannot read the written disc back at all: never a reason about the
// drive as a writer, which the write before it has just shown it is.
std::string_view NotReadBackReason();

// A setting as the component names it, with the recorder's switch beside it:
// "ForceEraseDisk (--force_erase_disk)".
std::string SettingName(std::string_view Switch);

} // namespace Recorder
