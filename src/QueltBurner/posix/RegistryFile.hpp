// Reads values out of a registry-export (.reg) file. POSIX has no registry, so the POSIX host
// keeps the user's settings in such a file: the same text a Windows user exports with regedit,
// or writes by hand, then configures the component on both platforms.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <string_view>

namespace Queltburner::Posix {

// Looks up the value Name under HKEY_CURRENT_USER\Key in the text of a registry-export file, as
// the registry would hold it after importing the file into an empty hive. Key is given without
// the root; an empty Name is the key's default value. Malformed input never makes it throw: bad
// lines are skipped, and a file without the export header holds nothing.
RegistryValue FindUserValue(std::string_view FileBytes, std::u16string_view Key,
                            std::u16string_view Name);

} // namespace Queltburner::Posix
