// The error category of jobs, and how a job's result code and the tool's own account of a failure
// become one TBurnError and one line of reason.
#include "JobErrors.hpp"

#include "System.SysUtils.hpp"
#include "ToolExits.hpp"

#include <array>
#include <cstddef>
#include <utility>

namespace Queltburner {

namespace {

class BurnErrorCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "queltburner"; }
    std::string message(int Value) const override;
};

std::string BurnErrorCategory::message(int Value) const {
    static constexpr std::array<const char*, 20> Texts{
        "the burning tool (NeroCmd.exe) was not found",
        "the drive is not an optical drive",
        "the image file was not found",
        "the run was cancelled",
        "the run took longer than its time limit",
        "the question cannot be answered for this drive",
        "the drive is in use by another run",
        "the drive holds no disc",
        "the disc is not blank",
        "the disc is closed",
        "the disc is not rewritable",
        "the drive holds something that is not a disc",
        "the disc has no such session",
        "the selection does not fit on the disc",
        "an entry cannot be read",
        "an entry changed while it was written",
        "there is nothing to write",
        "writing failed",
        "what was read back differs from what was written",
        "the burning tool failed",
    };
    if (Value < 1 || static_cast<std::size_t>(Value) > Texts.size()) {
        return "unknown error";
    }
    return Texts[static_cast<std::size_t>(Value) - 1];
}

using ToolContract::ExitCode;
using ToolContract::FailureKind;

// The recorder's exit codes, which the public header names for programs that read a result: the
// same numbers the recorder ends with.
static_assert(RecorderCommandLine == static_cast<int>(ExitCode::CommandLine));
static_assert(RecorderTarget == static_cast<int>(ExitCode::Target));
static_assert(RecorderMedium == static_cast<int>(ExitCode::Medium));
static_assert(RecorderDoesNotFit == static_cast<int>(ExitCode::Fit));
static_assert(RecorderSource == static_cast<int>(ExitCode::Source));
static_assert(RecorderWrite == static_cast<int>(ExitCode::Write));
static_assert(RecorderVerify == static_cast<int>(ExitCode::Verify));
static_assert(RecorderNotAvailable == static_cast<int>(ExitCode::NotAvailable));
static_assert(RecorderCommandLine == static_cast<int>(ToolContract::FirstFailureExit) &&
              RecorderNotAvailable == static_cast<int>(ToolContract::LastFailureExit));

// The error of each of the recorder's failure cases (docs/recorder.md lists their keys), in the
// order of FailureKind. A refused command line is the component's own fault, not the disc's or the
// drive's: only the tool's failure says so.
constexpr std::array<std::pair<FailureKind, TBurnError>, ToolContract::FailureKeys.size()>
    KindErrors{{
        {FailureKind::CommandLine, TBurnError::ToolFailed},
        {FailureKind::NotADrive, TBurnError::NotAnOpticalDrive},
        {FailureKind::DriveBusy, TBurnError::DriveBusy},
        {FailureKind::NotADisc, TBurnError::NotADisc},
        {FailureKind::NoDisc, TBurnError::NoDisc},
        {FailureKind::NotBlank, TBurnError::DiscNotBlank},
        {FailureKind::Closed, TBurnError::DiscClosed},
        {FailureKind::NotRewritable, TBurnError::NotRewritable},
        {FailureKind::NoSuchSession, TBurnError::NoSuchSession},
        {FailureKind::DoesNotFit, TBurnError::DoesNotFit},
        {FailureKind::SourceUnreadable, TBurnError::SourceUnreadable},
        {FailureKind::SourceChanged, TBurnError::SourceChanged},
        {FailureKind::NothingToWrite, TBurnError::NothingToWrite},
        {FailureKind::WriteFailed, TBurnError::WriteFailed},
        {FailureKind::Stopped, TBurnError::WriteFailed},
        {FailureKind::VerifyFailed, TBurnError::VerifyFailed},
        {FailureKind::NotAvailable, TBurnError::NotAvailable},
    }};

constexpr bool ErrorsInKindOrder() {
    for (std::size_t Index = 0; Index < KindErrors.size(); ++Index) {
        if (static_cast<std::size_t>(KindErrors.at(Index).first) != Index) {
            return false;
        }
    }
    return true;
}
static_assert(ErrorsInKindOrder(), "a failure kind's error is found by its number");

TBurnError ErrorOfKind(FailureKind Kind) {
    return KindErrors.at(static_cast<std::size_t>(Kind)).second;
}

// A recorder's exit code alone, from a recorder that gave no key: the case its code covers first,
// as the recorder itself counts it. A code that is not one of its failures is the tool's failure.
TBurnError ErrorOfRecorderExit(int Exit) {
    if (Exit < static_cast<int>(ToolContract::FirstFailureExit) ||
        Exit > static_cast<int>(ToolContract::LastFailureExit)) {
        return TBurnError::ToolFailed;
    }
    return ErrorOfKind(ToolContract::DefaultKindOf(static_cast<ExitCode>(Exit)));
}

TBurnError ErrorOfTool(int Result, const ToolFacts& Facts, bool ToolIsRecorder) {
    if (!ToolIsRecorder) {
        return TBurnError::ToolFailed;
    }
    return Facts.FailureKey.empty() ? ErrorOfRecorderExit(Result)
                                    : ErrorOfFailureKey(Facts.FailureKey);
}

TBurnError ErrorOf(int Result, const ToolFacts& Facts, bool ToolIsRecorder) {
    switch (Result) {
    case ResultToolFailed:
        if (Facts.ToolNotFound) {
            return TBurnError::ToolNotFound;
        }
        // A question that failed: the tool's key says why, when it gave one.
        return ToolIsRecorder && !Facts.FailureKey.empty() ? ErrorOfFailureKey(Facts.FailureKey)
                                                           : TBurnError::ToolFailed;
    case ResultNotOpticalDrive:
        return TBurnError::NotAnOpticalDrive;
    case ResultImageNotFound:
        return TBurnError::ImageNotFound;
    case ResultCancelled:
        return TBurnError::Cancelled;
    case ResultTimedOut:
        return TBurnError::TimedOut;
    case ResultNotAvailable:
        return TBurnError::NotAvailable;
    default:
        return ErrorOfTool(Result, Facts, ToolIsRecorder);
    }
}

} // namespace

const std::error_category& BurnCategory() noexcept {
    static const BurnErrorCategory Category;
    return Category;
}

std::error_code
make_error_code(TBurnError Error) noexcept { // NOLINT(readability-identifier-naming)
    return {static_cast<int>(Error), BurnCategory()};
}

std::optional<std::string_view> FailureKeyOf(std::string_view Line) {
    if (!Line.starts_with(ToolContract::FailureLinePrefix)) {
        return std::nullopt;
    }
    const std::string_view Key = Line.substr(ToolContract::FailureLinePrefix.size());
    if (Key.empty() ||
        Key.find_first_not_of("abcdefghijklmnopqrstuvwxyz_") != std::string_view::npos) {
        return std::nullopt;
    }
    return Key;
}

TBurnError ErrorOfFailureKey(std::string_view Key) {
    for (const ToolContract::FailureKey& Row : ToolContract::FailureKeys) {
        if (Row.Key == Key) {
            return ErrorOfKind(Row.Kind);
        }
    }
    return TBurnError::ToolFailed;
}

void ExplainResult(TJobResult& Result, const ToolFacts& Facts, bool ToolIsRecorder,
                   const System::UnicodeString& HostReason) {
    if (Result.Result == ResultSuccess) {
        Result.Error.clear();
        Result.Reason.clear();
        return;
    }
    Result.Error = make_error_code(ErrorOf(Result.Result, Facts, ToolIsRecorder));
    const bool Ended = Result.Result == ResultCancelled || Result.Result == ResultTimedOut;
    if (!Ended && !HostReason.empty()) {
        Result.Reason = HostReason;
    } else if (Result.Result > 0 && !Facts.LastErrorLine.empty()) {
        Result.Reason = Facts.LastErrorLine;
    } else if (Facts.ToolNotFound) {
        Result.Reason = u"the burning tool (NeroCmd.exe) was not found";
    } else {
        Result.Reason = ResultText(Result.Result, ToolIsRecorder);
    }
}

} // namespace Queltburner
