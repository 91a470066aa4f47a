// The disc in a drive as Windows' own burning service, IMAPI2, sees it, and a drive's volume name.
#pragma once

#include "QueltBurnerHostServices.hpp"

namespace Queltburner::Win32 {

// The volume name of the drive's root folder; empty when it has none or none can be read (no
// disc, no such drive, not a drive letter).
System::UnicodeString VolumeName(System::WideChar Drive);

// The disc in the drive. Not available where IMAPI2 is missing (Wine has none) or COM cannot
// start on the calling thread; the thread's COM state is as it was afterwards.
DiscReport DescribeDiscThroughImapi(System::WideChar Drive);

} // namespace Queltburner::Win32
