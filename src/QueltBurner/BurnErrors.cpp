// The error category of jobs, and how a job's result code and the tool's own account of a failure
// become one TBurnError and one line of reason.
#include "JobErrors.hpp"

#include "System.SysUtils.hpp"

#include <array>
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

// The recorder's failure keys, as docs/recorder.md lists them.
constexpr std::array<std::pair<std::string_view, TBurnError>, 17> FailureKeys{{
    {"command_line", TBurnError::ToolFailed},
    {"not_a_drive", TBurnError::NotAnOpticalDrive},
    {"drive_busy", TBurnError::DriveBusy},
    {"not_a_disc", TBurnError::NotADisc},
    {"no_disc", TBurnError::NoDisc},
    {"not_blank", TBurnError::DiscNotBlank},
    {"closed", TBurnError::DiscClosed},
    {"not_rewritable", TBurnError::NotRewritable},
    {"no_such_session", TBurnError::NoSuchSession},
    {"does_not_fit", TBurnError::DoesNotFit},
    {"source_unreadable", TBurnError::SourceUnreadable},
    {"source_changed", TBurnError::SourceChanged},
    {"nothing_to_write", TBurnError::NothingToWrite},
    {"write_failed", TBurnError::WriteFailed},
    {"stopped", TBurnError::WriteFailed},
    {"verify_failed", TBurnError::VerifyFailed},
    {"not_available", TBurnError::NotAvailable},
}};

// A recorder's exit code alone, from a recorder that gave no key: the case its code covers first.
TBurnError ErrorOfRecorderExit(int ExitCode) {
    switch (ExitCode) {
    case RecorderTarget:
        return TBurnError::NotAnOpticalDrive;
    case RecorderMedium:
        return TBurnError::DiscNotBlank;
    case RecorderDoesNotFit:
        return TBurnError::DoesNotFit;
    case RecorderSource:
        return TBurnError::SourceUnreadable;
    case RecorderWrite:
        return TBurnError::WriteFailed;
    case RecorderVerify:
        return TBurnError::VerifyFailed;
    case RecorderNotAvailable:
        return TBurnError::NotAvailable;
    default:
        return TBurnError::ToolFailed;
    }
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
    constexpr std::string_view Head = "failure ";
    if (!Line.starts_with(Head)) {
        return std::nullopt;
    }
    const std::string_view Key = Line.substr(Head.size());
    if (Key.empty() ||
        Key.find_first_not_of("abcdefghijklmnopqrstuvwxyz_") != std::string_view::npos) {
        return std::nullopt;
    }
    return Key;
}

TBurnError ErrorOfFailureKey(std::string_view Key) {
    for (const auto& [Name, Error] : FailureKeys) {
        if (Name == Key) {
            return Error;
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
