// The class record of TQueltBurner, as the class and palette registries keep it.
#pragma once

#include "System.Classes.hpp"

namespace Queltburner {

System::Classes::TComponentClass QueltBurnerClass();

// Whether the class registers itself by name when the program starts. The library that the unit
// is linked into defines it: true in the static library, whose programs have no design environment
// to call Register; false in the package, whose unit start-up registers nothing.
extern const bool RegisterClassAtStartUp;

} // namespace Queltburner
