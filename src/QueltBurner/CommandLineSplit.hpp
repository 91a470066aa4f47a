// Splits a command line into arguments by the Microsoft C runtime's rules, the way a Windows
// program started with that command line sees its argv. The POSIX host uses it to turn the
// composed command line into the argv of the started tool, so that a tool sees the same arguments
// on both platforms.
#pragma once

#include "System.hpp"

#include <functional>
#include <string_view>
#include <vector>

namespace Queltburner {

// The first item follows the program-name rule: it runs to the first blank or tab outside double
// quotes, and double quotes only toggle quoting (no escapes). Every later item follows the
// argument rules: 2n backslashes before a double quote give n backslashes and the quote toggles
// quoting; 2n+1 give n backslashes and a literal quote; two double quotes inside quoting give a
// literal quote; other backslashes are literal.
std::vector<System::UnicodeString> SplitCommandLine(std::u16string_view Line);

// The same items, each handed to Visit in order (the program first) without a string of its own:
// Item is valid during the call only.
void VisitCommandLineItems(std::u16string_view Line,
                           const std::function<void(std::u16string_view Item)>& Visit);

} // namespace Queltburner
