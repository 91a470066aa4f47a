// libburn starts the thread that writes a disc and, should it fail to start, waits for that
// thread for ever. Before a write is handed to the libraries, the threads a write takes are
// started here first, all at once as the write holds them, so that a limit on processes or
// memory that leaves no room for them ends the run at once with its reason.
#pragma once

#include <string>

namespace Recorder {

// Throws RecorderFailure (write error) naming Subject and what ran out ("out of memory", "too
// many processes or threads") when the threads cannot be started.
void RequireWritingThreads(const std::string& Subject);

// The processors this process may run on (its affinity, as taskset sets it); at least 1.
unsigned ProcessorsOfThisProcess();

} // namespace Recorder
