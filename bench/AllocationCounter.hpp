// Counts the bytes the bench binary holds on the heap, so that a benchmark can read the peak that
// one call added on top of what was live before it. The global operator new and delete of this
// binary are replaced for that; every allocation in the process, the library's included, goes
// through them.
#pragma once

#include <cstddef>

namespace QueltBench {

// Bytes currently allocated through operator new and not yet deleted.
std::size_t LiveHeapBytes() noexcept;
// The highest LiveHeapBytes() since the last ResetHeapPeak().
std::size_t PeakHeapBytes() noexcept;
// Starts a new peak from what is live now.
void ResetHeapPeak() noexcept;

} // namespace QueltBench
