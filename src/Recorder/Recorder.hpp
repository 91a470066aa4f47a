// The recorder: the project's own burning tool for Linux. It accepts exactly the command lines the
// component composes and writes data discs, images (CUE sheets among them), audio CDs, Video CDs,
// Super Video CDs and DVD-Video, erases and ejects, on virtual discs (image files) and real
// drives, and answers the questions a front end asks (what a disc holds, what a burn would take).
#pragma once

#include <span>
#include <string>

namespace Recorder {

// Runs one command line (the arguments after the program name) and returns the exit code. The
// writing is done by a worker process, so that SIGINT and SIGTERM stop it at once (exit 7) while
// this process removes what the interrupted write left beside the disc.
int RunRecorder(std::span<const std::string> Arguments);

// Whether the allocator can give memory at all. An address-space limit below what it reserves
// for its first block leaves it none, and then the run fails at once (RefuseForMemory), before
// anything else would need memory.
bool MemoryCanBeHad() noexcept;
// Says that the run is out of memory, with the write failure's exit code and case, and returns
// that exit code; allocates nothing.
int RefuseForMemory() noexcept;

} // namespace Recorder
