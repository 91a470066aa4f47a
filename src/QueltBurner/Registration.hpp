// The class record of TQueltBurner, as the class and palette registries keep it.
#pragma once

#include "System.Classes.hpp"

namespace Queltburner {

System::Classes::TComponentClass QueltBurnerClass();

} // namespace Queltburner
