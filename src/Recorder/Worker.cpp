#include "Worker.hpp"

#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>

namespace Recorder {

namespace {

volatile std::sig_atomic_t StopRequested = 0;

// The case of the first failure reported with each exit code, its FailureKind plus one (zero:
// none). A run may report more than one failure (a worker's, then that the disc could not be put
// back): the case named is the one of the failure its exit code comes from.
struct FailureCases {
    std::array<std::atomic<std::uint8_t>, 10> FirstKind{};
};
static_assert(std::atomic<std::uint8_t>::is_always_lock_free, "shared between processes");

FailureCases* Cases() {
    static FailureCases Own;
    static FailureCases* const Shared = [] {
        void* Page = ::mmap(nullptr, sizeof(FailureCases), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        // Without the shared page a worker's case is lost, and its exit code's own is named.
        return Page == MAP_FAILED ? &Own : new (Page) FailureCases;
    }();
    return Shared;
}

void KeepCase(ExitCode Code, FailureKind Kind) {
    const auto Index = static_cast<std::size_t>(Code);
    if (Index < Cases()->FirstKind.size()) {
        std::uint8_t None = 0;
        (void)Cases()->FirstKind.at(Index).compare_exchange_strong(
            None, static_cast<std::uint8_t>(static_cast<std::uint8_t>(Kind) + 1U));
    }
}

extern "C" void RequestStop(int /*Signal*/) {
    StopRequested = 1;
}

// Collects the authoring programs the worker ran, which were ended with it (they are this
// process's children once the worker is gone), so that none still writes a scratch file when
// it is removed. Bounded, should one not end.
void CollectOrphans() {
    constexpr int Tries = 500;
    for (int Try = 0; Try < Tries; ++Try) {
        const pid_t Ended = ::waitpid(-1, nullptr, WNOHANG);
        if (Ended < 0 && errno != EINTR) {
            return; // no child left
        }
        if (Ended == 0) {
            ::usleep(10000);
        }
    }
}

// The worker's wait status; a stop request kills it. -1 when it was lost.
int WaitForWorker(pid_t Worker) {
    int Status = 0;
    bool Killed = false;
    for (;;) {
        if (StopRequested != 0 && !Killed) {
            ::kill(Worker, SIGKILL);
            Killed = true;
        }
        if (::waitpid(Worker, &Status, 0) == Worker) {
            return Status;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

int ExitCodeOf(const Target& Where, int Status, bool Succeeded) {
    if (StopRequested != 0) {
        return ReportFailure(ExitCode::Write, FailureKind::Stopped,
                             Where.Describe() + ": stopped by a signal" +
                                 (Succeeded ? " after the write was complete" : ""));
    }
    if (Status < 0) {
        return ReportFailure(ExitCode::Write, Where.Describe() + ": lost the writer process");
    }
    if (WIFSIGNALED(Status)) {
        return ReportFailure(ExitCode::Write, Where.Describe() + ": the writer ended by signal " +
                                                  std::to_string(WTERMSIG(Status)));
    }
    const int Code = WEXITSTATUS(Status);
    if (Code == 0 || (Code >= static_cast<int>(ExitCode::CommandLine) &&
                      Code <= static_cast<int>(ExitCode::NotAvailable))) {
        return Code;
    }
    // Only a library that ended the process on its own gets here.
    return ReportFailure(ExitCode::Write, Where.Describe() + ": the writer ended with exit code " +
                                              std::to_string(Code));
}

// What the recorder says of a worker that did not succeed, once it undid what was left half done.
void SayUndone(const Target& Where, UndoOutcome Undone) {
    if (Undone == UndoOutcome::Failed) {
        (void)ReportFailure(ExitCode::Write, Where.Describe() +
                                                 ": could not put back the disc as it was before "
                                                 "the failed session: " +
                                                 std::strerror(errno));
    } else if (Undone == UndoOutcome::Emptied) {
        (void)std::printf("%s: the full erase was stopped before its end; it was finished, and "
                          "the disc is blank\n",
                          Where.Describe().c_str());
        (void)std::fflush(stdout);
    }
}

constexpr std::array<int, 3> StopSignalNumbers{SIGINT, SIGTERM, SIGHUP};

} // namespace

StopSignals::StopSignals() {
    struct sigaction Stop {};
    Stop.sa_handler = &RequestStop;
    sigemptyset(&Stop.sa_mask);
    for (std::size_t Index = 0; Index < StopSignalNumbers.size(); ++Index) {
        sigaction(StopSignalNumbers[Index], &Stop, &FOld[Index]);
    }
}

void StopSignals::RestoreInChild() const {
    for (std::size_t Index = 0; Index < StopSignalNumbers.size(); ++Index) {
        sigaction(StopSignalNumbers[Index], &FOld[Index], nullptr);
    }
}

namespace {

// The worker's Work, of which nothing may unwind further: the frames above it are the recorder's,
// copied into the worker, and their objects (the disc, its lock, its scratch) are the recorder's
// to end. What escapes (memory that ran out while a failure was being said) is a write failure,
// said in one line: its reason, or a fixed one when even that finds no memory.
int WorkInWorker(const std::function<int()>& Work) noexcept {
    try {
        return Work();
    } catch (const std::exception& Failure) {
        try {
            (void)std::fprintf(stderr, "recorder: %s\n", ReasonOf(Failure).c_str());
        } catch (const std::bad_alloc&) {
            (void)std::fputs("recorder: out of memory\n", stderr);
        }
    } catch (...) {
        (void)std::fputs("recorder: the writer failed\n", stderr);
    }
    (void)std::fflush(stderr);
    return static_cast<int>(ExitCode::Write);
}

} // namespace

int ReportFailure(ExitCode Code, const std::string& Message) {
    return ReportFailure(Code, DefaultKindOf(Code), Message);
}

int ReportFailure(ExitCode Code, FailureKind Kind, const std::string& Message) {
    KeepCase(Code, Kind);
    (void)std::fprintf(stderr, "recorder: %s\n", Message.c_str());
    (void)std::fflush(stderr);
    return static_cast<int>(Code);
}

int ReportFailure(const RecorderFailure& Failure) {
    return ReportFailure(Failure.Code(), Failure.Kind(), Failure.what());
}

void ShareFailureCases() {
    (void)Cases();
}

void SayFailureCase(int Code) {
    if (Code <= 0 || Code > static_cast<int>(ExitCode::NotAvailable)) {
        return;
    }
    const auto Exit = static_cast<ExitCode>(Code);
    const std::uint8_t Kept = Cases()->FirstKind.at(static_cast<std::size_t>(Code)).load();
    const FailureKind Kind = Kept == 0 ? DefaultKindOf(Exit) : static_cast<FailureKind>(Kept - 1U);
    const std::string_view Key = FailureKeyOf(Kind);
    // A reader that went away must not turn the run's exit code into SIGPIPE's.
    struct sigaction Ignore {};
    Ignore.sa_handler = SIG_IGN;
    struct sigaction Old {};
    const bool Ignored = ::sigaction(SIGPIPE, &Ignore, &Old) == 0;
    (void)std::fprintf(stdout, "%.*s%.*s\n", static_cast<int>(FailureLinePrefix.size()),
                       FailureLinePrefix.data(), static_cast<int>(Key.size()), Key.data());
    (void)std::fflush(stdout);
    std::clearerr(stdout);
    if (Ignored) {
        ::sigaction(SIGPIPE, &Old, nullptr);
    }
}

int RunInWorker(const std::function<int()>& Work, Disc& Onto, bool MayAppend,
                const StopSignals& Stop) {
    if (MayAppend) {
        Onto.KeepForAppend();
    }
    if (StopRequested != 0) {
        Onto.ClearScratch();
        return ExitCodeOf(Onto.Where(), 0, false); // stopped before anything was written
    }
    (void)std::fflush(nullptr);
    // The programs the worker runs become this process's children if the worker is stopped.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t Parent = ::getpid();
    const pid_t Worker = ::fork();
    if (Worker < 0) {
        return ReportFailure(ExitCode::Write,
                             Onto.Describe() + ": cannot start the writer: " + ReasonOf(errno));
    }
    if (Worker == 0) {
        Stop.RestoreInChild();
        // The worker must not outlive a recorder that was killed.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != Parent) {
            ::_exit(static_cast<int>(ExitCode::Write));
        }
        const int Code = WorkInWorker(Work);
        (void)std::fflush(nullptr);
        ::_exit(Code);
    }
    const int Status = WaitForWorker(Worker);
    const bool Succeeded = Status >= 0 && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    if (!Succeeded) {
        CollectOrphans();
        SayUndone(Onto.Where(), Onto.Undo());
    }
    Onto.ClearScratch();
    return ExitCodeOf(Onto.Where(), Status, Succeeded);
}

} // namespace Recorder
