// A waiting run of the command-line host: the operation started as a job of the component, its
// progress and the tool's lines shown as the output allows, Ctrl-C turned into the job's cancel,
// and the outcome put in the terms the host prints for every run.
#pragma once

#include "CommandTable.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace Queltburn {

struct RunOutcome {
    int Result = 0;
    std::string Event = "none"; // the component's event, as the blocking operation fires it
    std::string ToolsLastError; // the tool's last line on its standard error that is not blank
    int InterruptStatus = 0;    // 128 plus the signal that cancelled the run; 0 for none
};

// Runs the operation of C to its end. Shows the component's message after a failed check (unless
// the settings say not to), and writes each entry of the burn that was left out, and the tool's
// lines on its standard error, on Err.
RunOutcome RunAsJob(const Command& C, const RunOptions& Run, Queltburner::TQueltBurner& Burner,
                    System::WideChar Drive, const std::vector<System::UnicodeString>& Operands,
                    Queltburner::HostServices& Host, std::ostream& Out, std::ostream& Err);

} // namespace Queltburn
