// The files a run owns besides what it writes: the virtual disc's own file and the run's scratch
// folder (its journal inside). A folder entry that holds them (a user burning the folder the disc
// lies in, or the temporary folder) must not record them on the disc they belong to: they change
// while the session is written, and they are no content of the user's.
#pragma once

#include "Disc.hpp"
#include "Sources.hpp"

#include <string>
#include <vector>

namespace Recorder {

// The run's own files that exist now.
std::vector<OwnFile> OwnFilesOf(const Disc& Onto);

// Where Own would stand in the session's tree through the folder entries among Sources ("/photos/
// .disc.iso.recording-1-abc"). An entry that is itself one of them is taken out of Sources, which
// the caller sees by Sources growing shorter.
std::vector<std::string> OwnFilesInTree(std::vector<Source>& Sources,
                                        const std::vector<OwnFile>& Own);

} // namespace Recorder
