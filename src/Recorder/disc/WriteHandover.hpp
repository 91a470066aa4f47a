// xorriso hands a session's write to libburn (burn_disc_write) and, finding libburn's writing
// thread still starting, sleeps a tenth of a second before it looks at the drive again, and from
// then on only once a report interval. A small session is written in a few milliseconds and would
// wait out that tenth of a second: most of the time of a run of a thousand small files. The
// program defines burn_disc_write itself (exported, so that libisoburn's call reaches it): it hands
// the write to libburn's own, then looks at the drive every millisecond for up to that tenth of a
// second and returns as soon as the write is over. A longer write returns when the tenth of a
// second is over, as it did before, and is watched as before.
#pragma once

#include <chrono>

namespace Recorder {

// How long burn_disc_write waits for a write to end before it returns.
inline constexpr std::chrono::milliseconds WriteHandoverWait{100};

// Whether libburn's own burn_disc_write was found behind the program's. Without it the program's
// burn_disc_write cannot write: RequireLibraryWrite throws RecorderFailure (write error) then,
// and every session checks before it starts.
bool LibraryWriteFound();
void RequireLibraryWrite();

} // namespace Recorder
