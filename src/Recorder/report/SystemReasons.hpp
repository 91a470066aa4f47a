// What an error from the system or the standard library means, in the words the recorder's
// failures use: a resource that ran out is named as such, whichever step found it.
#pragma once

#include <exception>
#include <string>

namespace Recorder {

// What an error means when a resource ran out ("out of memory", "too many open files", "too many
// processes or threads"), else its own text.
std::string ReasonOf(int Error);
std::string ReasonOf(const std::exception& Failure);

} // namespace Recorder
