// The entries of a data disc: each file or folder at the disc's root under its own name.
#pragma once

#include <string>
#include <vector>

namespace Recorder {

struct Source {
    std::string Path; // as given
    std::string Name; // its name at the disc's root
};

// Checks every entry before anything is written: it must exist (an entry that is a link is
// followed) and be readable. The same path given twice counts once; two different paths with the
// same name are refused, naming both. Throws RecorderFailure (source error).
std::vector<Source> CheckSources(const std::vector<std::string>& Entries);

} // namespace Recorder
