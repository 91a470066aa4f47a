// Windows names its drives itself: a process cannot map a letter for the tool, so mapping is a
// no-op there (documented with the declarations).
#include "QueltBurner.hpp"

namespace Queltburner {

void MapDrive(System::WideChar /*Letter*/, const System::UnicodeString& /*Target*/) {}

void UnmapDrive(System::WideChar /*Letter*/) {}

} // namespace Queltburner
