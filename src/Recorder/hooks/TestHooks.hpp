// The moments of a write at which the tests act on a running recorder: a program run before the
// data is written (to change a source or stop the run there), and a byte flipped in the written
// image (to make a verify fail). Two units define these: TestHooks.cpp, which reads
// QUELT_RECORDER_TEST_BEFORE_WRITE and QUELT_RECORDER_TEST_CORRUPT and is linked only into the
// recorder the tests build, and ReleaseHooks.cpp, where both do nothing, linked into the recorder
// that is installed: that one never runs a program its environment names.
#pragma once

#include <string>

namespace Recorder::TestHooks {

// Once the disc is laid out, before its data is written; in a full erase of a virtual disc, once
// its first MiB is overwritten.
void BeforeWrite();

// Once the image is written and before it is verified.
void CorruptWritten(const std::string& Image);

} // namespace Recorder::TestHooks
