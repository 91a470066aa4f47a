#include "Recorder.hpp"

#include "Commands.hpp"
#include "Queries.hpp"
#include "RecorderFailure.hpp"
#include "Request.hpp"
#include "Writers.hpp"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace Recorder {

namespace {

// A host may start the recorder with a standard stream closed. The descriptors the libraries open
// next (libburn's drive among them) would then take its number, and a step that puts a pipe on
// standard input (DVD-Video streamed into the drive) would replace the drive with it: each
// closed one is opened on /dev/null first.
void OpenStandardStreams() {
    for (int Fd = 0; Fd <= 2; ++Fd) {
        // NOLINTNEXTLINE(android-cloexec-open): a standard stream, as a started program has it
        if (::fcntl(Fd, F_GETFD) < 0 && ::open("/dev/null", O_RDWR) != Fd) {
            return; // not the lowest free number: the next ones are open
        }
    }
}

volatile std::sig_atomic_t StopRequested = 0;

extern "C" void RequestStop(int /*Signal*/) {
    StopRequested = 1;
}

int Report(ExitCode Code, const std::string& Message) {
    (void)std::fprintf(stderr, "recorder: %s\n", Message.c_str());
    (void)std::fflush(stderr);
    return static_cast<int>(Code);
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

int RunWriter(Writer Write, const Request& Ask, const Medium& Disc) {
    Progress Lines(stdout);
    try {
        Write(WriteContext{Ask, Disc, Disc.Where(), Disc.ScratchDisc(), Lines});
    } catch (const RecorderFailure& Failure) {
        return Report(Failure.Code(), Failure.what());
    } catch (const std::exception& Failure) {
        return Report(ExitCode::Write, Disc.Describe() + ": " + Failure.what());
    }
    return 0;
}

// Runs the writer in a child process and waits for it; a stop request ends the child at once.
// A virtual disc that may be continued is kept as it was before, and put back if the writer
// fails, whatever the way: a session that failed to be written, or whose data did not verify, is
// not left as the disc's newest.
int RunInWorker(const WriterEntry& Entry, const Request& Ask, Medium& Disc) {
    const Target& Where = Disc.Where();
    if (Entry.MayAppend) {
        Disc.KeepForAppend();
    }
    struct sigaction Stop {};
    Stop.sa_handler = &RequestStop;
    sigemptyset(&Stop.sa_mask);
    struct sigaction OldInterrupt {};
    struct sigaction OldTerminate {};
    struct sigaction OldHangUp {};
    sigaction(SIGINT, &Stop, &OldInterrupt);
    sigaction(SIGTERM, &Stop, &OldTerminate);
    // A host that loses its terminal (or dies, and its waiter with it) stops the run the same way.
    sigaction(SIGHUP, &Stop, &OldHangUp);
    (void)std::fflush(nullptr);
    // The programs the worker runs become this process's children if the worker is stopped.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t Parent = ::getpid();
    const pid_t Worker = ::fork();
    if (Worker < 0) {
        return Report(ExitCode::Write,
                      std::string("cannot start the writer: ") + std::strerror(errno));
    }
    if (Worker == 0) {
        sigaction(SIGINT, &OldInterrupt, nullptr);
        sigaction(SIGTERM, &OldTerminate, nullptr);
        sigaction(SIGHUP, &OldHangUp, nullptr);
        // The worker must not outlive a recorder that was killed.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // A file grown past the size limit is then a write error with its reason, not a signal.
        (void)std::signal(SIGXFSZ, SIG_IGN);
        if (::getppid() != Parent) {
            ::_exit(static_cast<int>(ExitCode::Write));
        }
        const int Code = RunWriter(Entry.Write, Ask, Disc);
        (void)std::fflush(nullptr);
        ::_exit(Code);
    }
    int Status = 0;
    bool Killed = false;
    for (;;) {
        if (StopRequested != 0 && !Killed) {
            ::kill(Worker, SIGKILL);
            Killed = true;
        }
        if (::waitpid(Worker, &Status, 0) == Worker) {
            break;
        }
        if (errno != EINTR) {
            return Report(ExitCode::Write, "lost the writer process");
        }
    }
    const bool Succeeded = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    if (!Succeeded) {
        CollectOrphans();
        Disc.ClearScratch();
        if (!Disc.PutBack()) {
            (void)Report(ExitCode::Write, Where.Describe() + ": could not put back the disc as "
                                                             "it was before the failed session");
        }
    }
    if (StopRequested != 0) {
        return Report(ExitCode::Write, Where.Describe() + ": stopped by a signal" +
                                           (Succeeded ? " after the write was complete" : ""));
    }
    if (WIFSIGNALED(Status)) {
        return Report(ExitCode::Write, Where.Describe() + ": the writer ended by signal " +
                                           std::to_string(WTERMSIG(Status)));
    }
    const int Code = WEXITSTATUS(Status);
    if (Code == 0 || (Code >= static_cast<int>(ExitCode::CommandLine) &&
                      Code <= static_cast<int>(ExitCode::Verify))) {
        return Code;
    }
    // Only a library that ended the process on its own gets here.
    return Report(ExitCode::Write,
                  Where.Describe() + ": the writer ended with exit code " + std::to_string(Code));
}

// A question: what the disc holds, or what a burn would take of it. Answered in this process:
// nothing is written, so there is nothing to stop or put back.
int RunQuery(const Request& Ask, bool Estimate) {
    try {
        return Estimate ? AnswerEstimate(Ask) : AnswerDiscInfo(Ask);
    } catch (const RecorderFailure& Failure) {
        return Report(Failure.Code(), Failure.what());
    } catch (const std::exception& Failure) {
        return Report(ExitCode::Write, std::string("cannot answer: ") + Failure.what());
    }
}

} // namespace

int RunRecorder(std::span<const std::string> Arguments) {
    OpenStandardStreams();
    const bool Estimate = !Arguments.empty() && Arguments.front() == ToolGrammar::EstimateSwitch;
    const ToolGrammar::Recognition Recognised = ToolGrammar::Recognize(
        ToolGrammar::KnownCommands(), Estimate ? Arguments.subspan(1) : Arguments);
    if (!Recognised.Accepted) {
        return Report(ExitCode::CommandLine, Recognised.Text);
    }
    const Request Ask = RequestOf(Recognised);
    if (Estimate && !ToolGrammar::IsBurnCommand(Ask.Kind)) {
        return Report(ExitCode::CommandLine,
                      std::string(ToolGrammar::EstimateSwitch) + " goes before a burn command");
    }
    if (Estimate || Ask.Kind == ToolGrammar::CommandKind::DiscInfo) {
        return RunQuery(Ask, Estimate);
    }
    const WriterEntry* Entry = WriterFor(Ask);
    if (Entry == nullptr) {
        return Report(ExitCode::CommandLine, "this command is not one the recorder writes");
    }
    try {
        Medium Disc(ResolveTarget(Ask.DriveLetter));
        return RunInWorker(*Entry, Ask, Disc);
    } catch (const RecorderFailure& Failure) {
        return Report(Failure.Code(), Failure.what());
    }
}

} // namespace Recorder
