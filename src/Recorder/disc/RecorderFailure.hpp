// How a recorder run ends when it does not succeed: the exit code that says what kind of thing
// failed, the case for programs (FailureKeys.hpp), and the one line for standard error that names
// the thing and the reason.
#pragma once

#include "FailureKeys.hpp"

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

// The case a failure of this exit code is when its throw site names none. A medium error named by
// no particular case is a disc that cannot take this burn as it is (it holds data, raw CD
// sectors, a session whose checksums fail): the remedy is the one for a disc that is not blank.
constexpr FailureKind DefaultKindOf(ExitCode Code) {
    switch (Code) {
    case ExitCode::CommandLine:
        return FailureKind::CommandLine;
    case ExitCode::Target:
        return FailureKind::NotADrive;
    case ExitCode::Medium:
        return FailureKind::NotBlank;
    case ExitCode::Fit:
        return FailureKind::DoesNotFit;
    case ExitCode::Source:
        return FailureKind::SourceUnreadable;
    case ExitCode::Verify:
        return FailureKind::VerifyFailed;
    case ExitCode::NotAvailable:
        return FailureKind::NotAvailable;
    case ExitCode::Done:
    case ExitCode::Write:
        break;
    }
    return FailureKind::WriteFailed;
}

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
