// What the command-line host needs from the console: whether its output is a terminal, and Ctrl-C
// turned into a call on an ordinary thread (where a component's Cancel() may run), for as long as
// a run lasts. One small file per platform.
#pragma once

#include "System.hpp"

#include <functional>
#include <memory>
#include <string>

namespace Queltburn {

// Opens each standard stream (descriptors 0, 1 and 2) that the host was started without on the null
// device. Called first, before the host opens anything: otherwise the next descriptor it opens (the
// interrupt pipe, the component's pipes) takes such a number, and what the host writes as its
// output lands in it.
void OpenClosedStandardStreams() noexcept;

bool StandardOutputIsTerminal();

// What to do about a letter that names no optical drive, as the platform maps its drives.
std::string NotOpticalDriveAdvice(System::WideChar Drive);

// While one exists, Ctrl-C (on POSIX SIGINT, and SIGTERM and SIGHUP alike; the console's Ctrl-C
// and Ctrl-Break on Windows) calls OnInterrupt on a thread of its own instead of ending the
// program; afterwards, these end the program again. OnInterrupt gets the exit status that a shell
// gives a program ended by that signal (128 + its number: 130 for Ctrl-C, 143 for SIGTERM, 129 for
// SIGHUP; 130 for both of the Windows console's), for the host to exit with once the run is over.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void(int ExitStatus)> OnInterrupt);
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    InterruptWatch(InterruptWatch&&) = delete;
    InterruptWatch& operator=(InterruptWatch&&) = delete;
    ~InterruptWatch();

    struct State;

private:
    std::unique_ptr<State> FState;
};

} // namespace Queltburn
