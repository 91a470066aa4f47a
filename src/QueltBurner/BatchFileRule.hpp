// Windows runs a .bat or .cmd program through its command interpreter, which reads %, !, double
// quotes and line breaks its own way, whatever quoting the C runtime's rules would apply. A value
// holding any of them could run other commands, so such a command line is not handed over.
#pragma once

#include <string_view>

namespace Queltburner {

// True when Path names a batch file: it ends in .bat or .cmd without regard to case, once the
// trailing dots and blanks that Windows ignores are removed.
bool IsBatchFile(std::u16string_view Path) noexcept;

// True when no argument after the program (split by the C runtime's rules) holds %, !, a double
// quote, a carriage return or a line feed.
bool IsSafeForCommandInterpreter(std::u16string_view CommandLine);

} // namespace Queltburner
