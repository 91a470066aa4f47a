// POSIX: the signal handler only writes a byte to a pipe (all it may safely do); a thread reading
// the pipe makes the call.
#include "Console.hpp"

#include "System.SysUtils.hpp"

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

// The byte that asks the reader to stop; a signal is written as its number, never 0.
constexpr char StopReading = 0;

extern "C" void OnEndingSignal(int Signal) {
    const int Saved = errno;
    const auto Interrupt = static_cast<char>(Signal);
    (void)!write(InterruptPipe, &Interrupt, 1);
    errno = Saved;
}

} // namespace

void OpenClosedStandardStreams() noexcept {
    for (int Fd = STDIN_FILENO; Fd <= STDERR_FILENO; ++Fd) {
        // Read and write, whatever the stream is used for; not closed on exec, as a standard
        // stream is not. The lower ones are open by now, so it gets Fd unless the open fails.
        // NOLINTNEXTLINE(android-cloexec-open): a standard stream, as a started program has it
        if (fcntl(Fd, F_GETFD) < 0 && open("/dev/null", O_RDWR) != Fd) {
            return;
        }
    }
}

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

std::string NotOpticalDriveAdvice(System::WideChar Drive) {
    const std::string Letter = System::Sysutils::UTF8Encode(System::UnicodeString(1, Drive));
    return "drive " + Letter + " is not an optical drive; map it with QUELT_DRIVES=" + Letter +
           "=/path/disc.iso";
}

struct InterruptWatch::State {
    int Pipe[2] = {-1, -1};
    std::array<struct sigaction, EndingSignals.size()> Previous{};
    std::thread Reader;
};

InterruptWatch::InterruptWatch(std::function<void(int ExitStatus)> OnInterrupt)
    : FState(std::make_unique<State>()) {
    if (pipe2(FState->Pipe, O_CLOEXEC) != 0) {
        return; // Ctrl-C then ends the program, as without a watch
    }
    InterruptPipe = FState->Pipe[1];
    FState->Reader = std::thread([Read = FState->Pipe[0], Call = std::move(OnInterrupt)] {
        constexpr int SignalExitBase = 128;
        for (char Byte = StopReading; read(Read, &Byte, 1) == 1 && Byte != StopReading;) {
            Call(SignalExitBase + Byte);
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
    (void)!write(FState->Pipe[1], &StopReading, 1);
    FState->Reader.join();
    InterruptPipe = -1;
    close(FState->Pipe[0]);
    close(FState->Pipe[1]);
}

} // namespace Queltburn
