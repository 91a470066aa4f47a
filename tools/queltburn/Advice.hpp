// What the command-line host adds to a failed check's message of the component: what to do about
// it, in the terms of this platform and of this command line.
#pragma once

#include "QueltBurner.hpp"

#include <optional>
#include <string>

namespace Queltburn {

// The advice for Result, or none. ToolGiven is the path --tool named, if it did.
std::optional<std::string> AdviceFor(int Result, System::WideChar Drive,
                                     Queltburner::TQueltBurner& Burner,
                                     Queltburner::HostServices& Host,
                                     const std::optional<System::UnicodeString>& ToolGiven);

} // namespace Queltburn
