// The questions queltburn asks instead of burning: which drives there are, what the disc in one
// holds, and what a burn would take of it (--estimate).
#pragma once

#include "QueltBurner.hpp"

#include <cstdint>
#include <ostream>
#include <string>

namespace Queltburn {

// "612.3 MiB": bytes in units of 1,024 (KiB, MiB, GiB, TiB), one decimal.
std::string ReadableBytes(std::uint64_t Count);

// One line per optical drive, "LETTER  TARGET  [VENDOR MODEL (writes MEDIA)  ]STATE"; with none,
// how to map one. With Json, one JSON array of the drives as info --json gives each. Exit code 0.
int PrintDrives(Queltburner::TQueltBurner& Burner, bool Json, std::ostream& Out);

// The disc in Drive, one field a line, or one JSON object. Exit code 0 when answered, else 1.
int PrintDiscInfo(Queltburner::TQueltBurner& Burner, System::WideChar Drive, bool Json,
                  std::ostream& Out);

// "needs X of Y free: fits" (exit 0) or "...: does not fit (needs Z more)" (exit 1); a question
// that could not be answered prints the result with its meaning (exit 1).
int PrintEstimate(Queltburner::TQueltBurner& Burner, System::WideChar Drive, std::ostream& Out);

} // namespace Queltburn
