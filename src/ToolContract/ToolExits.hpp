// How a recorder run that does not succeed ends, as programs read it: its exit code says what kind
// of thing failed, and its last line on standard output, "failure KEY", names the case itself. An
// exit code covers several cases (exit 4 is no disc as much as a closed one), and a program that
// acts on the case (asks for a blank disc, waits for the drive, leaves a changed file out) needs
// the case. The recorder writes both from these tables and the component reads both with them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ToolContract {

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

// The lowest and highest exit code that says why a run failed; any other code is not the
// recorder's account of a failure.
constexpr ExitCode FirstFailureExit = ExitCode::CommandLine;
constexpr ExitCode LastFailureExit = ExitCode::NotAvailable;

enum class FailureKind : std::uint8_t {
    CommandLine,
    NotADrive,
    DriveBusy,
    NotADisc,
    NoDisc,
    NotBlank,
    Closed,
    NotRewritable,
    NoSuchSession,
    DoesNotFit,
    SourceUnreadable,
    SourceChanged,
    NothingToWrite,
    WriteFailed,
    Stopped,
    VerifyFailed,
    NotAvailable,
};

struct FailureKey {
    FailureKind Kind;
    std::string_view Key;
    // The exit code a run that fails this way ends with; a kind that two exit codes share (a file
    // that is not a disc as the target or as the medium in a drive) has the first here.
    int ExitCode;
};

// The case a failure of this exit code is when nothing names one: for the recorder, a throw site
// that names none; for a program, a recorder that gave no key. A medium error named by no
// particular case is a disc that cannot take this burn as it is (it holds data, raw CD sectors, a
// session whose checksums fail): the remedy is the one for a disc that is not blank.
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

// The tables are plain constexpr, a copy in each translation unit: as inline variables GCC would
// make them unique symbols, and a shared library holding one (the package) could no longer be
// unloaded. The functions that read them have internal linkage too, so each reads its own copy.

// In the order of FailureKind.
constexpr std::array<FailureKey, 17> FailureKeys{{
    {FailureKind::CommandLine, "command_line", 2},
    {FailureKind::NotADrive, "not_a_drive", 3},
    {FailureKind::DriveBusy, "drive_busy", 3},
    {FailureKind::NotADisc, "not_a_disc", 3},
    {FailureKind::NoDisc, "no_disc", 4},
    {FailureKind::NotBlank, "not_blank", 4},
    {FailureKind::Closed, "closed", 4},
    {FailureKind::NotRewritable, "not_rewritable", 4},
    {FailureKind::NoSuchSession, "no_such_session", 4},
    {FailureKind::DoesNotFit, "does_not_fit", 5},
    {FailureKind::SourceUnreadable, "source_unreadable", 6},
    {FailureKind::SourceChanged, "source_changed", 6},
    {FailureKind::NothingToWrite, "nothing_to_write", 6},
    {FailureKind::WriteFailed, "write_failed", 7},
    {FailureKind::Stopped, "stopped", 7},
    {FailureKind::VerifyFailed, "verify_failed", 8},
    {FailureKind::NotAvailable, "not_available", 9},
}};

// The prefix of the line: "failure KEY".
constexpr std::string_view FailureLinePrefix = "failure ";

namespace {

constexpr bool KeysInKindOrder() {
    for (std::size_t Index = 0; Index < FailureKeys.size(); ++Index) {
        if (static_cast<std::size_t>(FailureKeys.at(Index).Kind) != Index) {
            return false;
        }
    }
    return true;
}
static_assert(KeysInKindOrder(), "a failure kind's row is found by its number");

constexpr std::string_view FailureKeyOf(FailureKind Kind) {
    return FailureKeys.at(static_cast<std::size_t>(Kind)).Key;
}

// A failure exit code's own case ends the run with that code, so that a program reading only the
// code and one reading the key agree.
constexpr bool DefaultKindsKeepTheirExit() {
    for (auto Code = static_cast<int>(FirstFailureExit); Code <= static_cast<int>(LastFailureExit);
         ++Code) {
        const FailureKind Kind = DefaultKindOf(static_cast<ExitCode>(Code));
        if (FailureKeys.at(static_cast<std::size_t>(Kind)).ExitCode != Code) {
            return false;
        }
    }
    return true;
}
static_assert(DefaultKindsKeepTheirExit(), "an exit code's default case ends with that code");

} // namespace

} // namespace ToolContract
