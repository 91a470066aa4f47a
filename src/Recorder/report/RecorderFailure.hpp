// How a recorder run ends when it does not succeed: the exit code that says what kind of thing
// failed, the case for programs (FailureKeys.hpp), and the one line for standard error that names
// the thing and the reason.
#pragma once

#include "FailureKeys.hpp"

#include <stdexcept>
#include <string>

namespace Recorder {

// The exit codes and the case each stands for when a throw site names none are the ones the
// component reads (src/ToolContract/ToolExits.hpp).
using ToolContract::DefaultKindOf;
using ToolContract::ExitCode;

class RecorderFailure : public std::runtime_error {
public:
    RecorderFailure(ExitCode Code, const std::string& Message)
        : RecorderFailure(Code, DefaultKindOf(Code), Message) {}
    RecorderFailure(ExitCode Code, FailureKind Kind, const std::string& Message)
        : std::runtime_error(Message), FCode(Code), FKind(Kind) {}

    ExitCode Code() const noexcept { return FCode; }
    FailureKind Kind() const noexcept { return FKind; }

private:
    ExitCode FCode;
    FailureKind FKind;
};

} // namespace Recorder
