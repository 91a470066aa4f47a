// CD-TEXT's characters: ISO 8859-1, one byte each.
#pragma once

#include <string>

namespace Recorder {

// UTF-8 as CD-TEXT's ISO 8859-1 carries it; a character it lacks becomes '?'.
std::string Latin1(const std::string& Text, bool& Changed);

} // namespace Recorder
