// Creating the tool's process on Windows: the checks every start shares, and, for a run whose
// streams are captured, the pipes' ends as the only handles it inherits.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <windows.h>

#include <optional>

namespace Queltburner::Win32 {

// The tool's standard streams when they are captured: the pipes' write ends for its output and
// error, and the application's input, each inheritable, and the only handles the tool inherits.
struct CapturedStreams {
    HANDLE Input = nullptr;
    HANDLE Output = nullptr;
    HANDLE Error = nullptr;

    CapturedStreams() = default;
    CapturedStreams(const CapturedStreams&) = delete;
    CapturedStreams& operator=(const CapturedStreams&) = delete;
    CapturedStreams(CapturedStreams&&) = delete;
    CapturedStreams& operator=(CapturedStreams&&) = delete;
    // The tool has its own copies once it started; ours go either way.
    ~CapturedStreams();
};

// The application's input as an inheritable copy, or nullptr when it has none.
HANDLE InheritableInput();

// CreateProcessW with the checks every start shares; Streams, when given, become the tool's
// standard handles and the only ones it inherits.
std::optional<StartedProcess> CreateTool(const System::UnicodeString& Application,
                                         const System::UnicodeString& CommandLine, int ShowState,
                                         const CapturedStreams* Streams);

} // namespace Queltburner::Win32
