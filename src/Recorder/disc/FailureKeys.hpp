// The cases a recorder run that fails tells apart for programs: the run's last line on standard
// output is "failure KEY" with one of these keys. An exit code covers several cases (exit 4 is no
// disc as much as a closed one), and a program that acts on the case (asks for a blank disc, waits
// for the drive, leaves a changed file out) needs the case itself. Only data, so that anything
// that reads the recorder's output can include it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace Recorder {

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

// In the order of FailureKind.
inline constexpr std::array<FailureKey, 17> FailureKeys{{
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

// The prefix of the line: "failure KEY".
inline constexpr std::string_view FailureLinePrefix = "failure ";

} // namespace Recorder
