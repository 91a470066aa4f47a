// libisofs computes the MD5 of every file it writes, and of the whole session, on its one writing
// thread, through its public iso_md5_* functions; libisoburn checks a disc through the same
// functions. The recorder defines those functions itself (ChecksumWorkers.cpp): every digest is
// still computed by libisofs's own code, found behind the recorder's definitions, but a checksum
// that takes more than a little data hands it over, in order, to worker threads on the other
// cores. The writing thread then only copies, and every disc carries exactly the checksums it
// carried before.
#pragma once

#include <cstdint>

namespace Recorder {

// Finds libisofs's own checksum functions behind the recorder's, once a process. Throws
// RecorderFailure (write error) when they cannot be found: no checksum could be computed at all.
void RequireLibraryChecksums();

// Whether libisofs's calls reach the recorder's definitions in this program (they do when the
// program exports them; otherwise every checksum is libisofs's alone, on the calling thread).
bool ChecksumsReachWorkers();

// The threads that take checksums over in this process: none on a single processor, where handing
// data over would only add copies.
unsigned ChecksumWorkerCount();

// How many chunks of data the workers have taken over in this process so far.
std::uint64_t ChecksumChunksHandedOver();

} // namespace Recorder
