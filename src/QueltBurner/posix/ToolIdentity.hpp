// Telling the project's recorder from any other tool without running it: the recorder carries a
// section of its own (RecorderSection), which the host looks for in the program's ELF section
// table. Nothing of the file but its headers and section names is read.
#pragma once

#include <string>
#include <string_view>

namespace Queltburner::Posix {

// The name of the section that marks the recorder (tools/recorder defines it). Not an inline
// variable: that would be a unique symbol, which keeps a package that holds it from ever being
// unloaded.
constexpr std::string_view RecorderSection = ".quelt_recorder";

// True when Path is an ELF program of this machine's word size with a section named Name; false
// for anything else, including a file that cannot be read.
bool HasElfSection(const std::string& Path, std::string_view Name);

} // namespace Queltburner::Posix
