// POSIX: the signal handler only writes a byte to a pipe (all it may safely do); a thread reading
// the pipe makes the call.
#include "Console.hpp"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace Queltburn {

namespace {

int InterruptPipe = -1;

// Ctrl-C, a polite end (kill, timeout, a service manager) and the loss of the terminal: each
// cancels the run, so that the tool is ended before the host goes rather than left writing on.
constexpr std::array<int, 3> EndingSignals{SIGINT, SIGTERM, SIGHUP};

extern "C" void OnEndingSignal(int /*Signal*/) {
    const int Saved = errno;
    const char Interrupt = 'i';
    (void)!write(InterruptPipe, &Interrupt, 1);
    errno = Saved;
}

} // namespace

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

struct InterruptWatch::State {
    int Pipe[2] = {-1, -1};
    std::array<struct sigaction, EndingSignals.size()> Previous{};
    std::thread Reader;
};

InterruptWatch::InterruptWatch(std::function<void()> OnInterrupt)
    : FState(std::make_unique<State>()) {
    if (pipe2(FState->Pipe, O_CLOEXEC) != 0) {
        return; // Ctrl-C then ends the program, as without a watch
    }
    InterruptPipe = FState->Pipe[1];
    FState->Reader = std::thread([Read = FState->Pipe[0], Call = std::move(OnInterrupt)] {
        for (char Byte = 0; read(Read, &Byte, 1) == 1 && Byte == 'i';) {
            Call();
        }
    });
    struct sigaction Action {};
    Action.sa_handler = &OnEndingSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (std::size_t I = 0; I < EndingSignals.size(); ++I) {
        sigaction(EndingSignals[I], &Action, &FState->Previous[I]);
    }
}

InterruptWatch::~InterruptWatch() {
    if (FState->Pipe[1] < 0) {
        return;
    }
    for (std::size_t I = 0; I < EndingSignals.size(); ++I) {
        sigaction(EndingSignals[I], &FState->Previous[I], nullptr);
    }
    const char Stop = 'q';
    (void)!write(FState->Pipe[1], &Stop, 1);
    FState->Reader.join();
    InterruptPipe = -1;
    close(FState->Pipe[0]);
    close(FState->Pipe[1]);
}

} // namespace Queltburn
