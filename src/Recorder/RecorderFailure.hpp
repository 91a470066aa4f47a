// How a recorder run ends when it does not succeed: the exit code that says what kind of thing
// failed, and the one line for standard error that names the thing and the reason.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Recorder {

enum class ExitCode : std::uint8_t {
    Done = 0,
    CommandLine = 2, // not a command line the component composes; nothing done
    Target = 3,      // unmapped letter, no such device, not a drive, a folder, no permission
    Medium = 4,      // not blank, holds data without import or erase, no such session, ...
    Fit = 5,         // does not fit on the medium
    Source = 6,      // an entry cannot be read
    Write = 7,       // a write failed, or a signal stopped the run
    Verify = 8,      // what was read back differs
    // A question the recorder cannot answer for this command (an estimate of a Video CD, ...);
    // nothing done.
    NotAvailable = 9,
};

class RecorderFailure : public std::runtime_error {
public:
    RecorderFailure(ExitCode Code, const std::string& Message)
        : std::runtime_error(Message), FCode(Code) {}

    ExitCode Code() const noexcept { return FCode; }

private:
    ExitCode FCode;
};

} // namespace Recorder
