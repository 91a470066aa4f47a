// What the command-line host needs from the console: whether its output is a terminal, and Ctrl-C
// turned into a call on an ordinary thread (where a component's Cancel() may run), for as long as
// a run lasts. One small file per platform.
#pragma once

#include <functional>
#include <memory>

namespace Queltburn {

bool StandardOutputIsTerminal();

// While one exists, Ctrl-C (on POSIX SIGINT, and SIGTERM and SIGHUP alike; the console's Ctrl-C
// and Ctrl-Break on Windows) calls OnInterrupt on a thread of its own instead of ending the
// program; afterwards, these end the program again.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> OnInterrupt);
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
