#include "RawDisc.hpp"

#include "RecorderFailure.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Recorder {

void RemoveSheetOf(const Target& Where) {
    const std::optional<std::string> Sheet = SheetBeside(Where.Path);
    if (Sheet && SheetNames(*Sheet, Where.Path) && ::unlink(Sheet->c_str()) != 0) {
        throw RecorderFailure(ExitCode::Write, Where.Describe() + ": cannot remove the CUE sheet " +
                                                   *Sheet + ": " + std::strerror(errno));
    }
}

} // namespace Recorder
