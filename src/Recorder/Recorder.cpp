#include "Recorder.hpp"

#include "Commands.hpp"
#include "Queries.hpp"
#include "RecorderFailure.hpp"
#include "Request.hpp"
#include "Worker.hpp"
#include "Writers.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>

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

// Every run takes a few descriptors (the disc, its journal, the worker's and the libraries'), and
// a step that finds none would fail with a reason about the disc or a source: a limit that leaves
// fewer than these is said first, before anything is done.
constexpr int DescriptorsNeeded = 16;

std::optional<std::string> TooFewDescriptors() {
    std::array<int, DescriptorsNeeded> Taken{};
    int Got = 0;
    for (; Got < DescriptorsNeeded; ++Got) {
        Taken.at(static_cast<std::size_t>(Got)) = ::fcntl(0, F_DUPFD_CLOEXEC, 0);
        if (Taken.at(static_cast<std::size_t>(Got)) < 0) {
            break;
        }
    }
    for (int Index = 0; Index < Got; ++Index) {
        ::close(Taken.at(static_cast<std::size_t>(Index)));
    }
    if (Got == DescriptorsNeeded) {
        return std::nullopt;
    }
    return "too many open files: the recorder needs " + std::to_string(DescriptorsNeeded) +
           " descriptors free and has " + std::to_string(Got) +
           "; raise the limit on open files (ulimit -n) or close some; nothing was done";
}

// An erase or an eject never makes a disc of a missing file; every other command writes one.
MediumUse UseOf(const Request& Ask) {
    return Ask.Kind == ToolGrammar::CommandKind::Erase ||
                   Ask.Kind == ToolGrammar::CommandKind::Eject
               ? MediumUse::Keep
               : MediumUse::Write;
}

// The disc let go when the work in the worker ends, however it ends (see Disc::Release).
class ReleasedAtEnd {
public:
    explicit ReleasedAtEnd(Disc& Onto) : FOnto(Onto) {}
    ~ReleasedAtEnd() { FOnto.Release(); }
    ReleasedAtEnd(const ReleasedAtEnd&) = delete;
    ReleasedAtEnd& operator=(const ReleasedAtEnd&) = delete;
    ReleasedAtEnd(ReleasedAtEnd&&) = delete;
    ReleasedAtEnd& operator=(ReleasedAtEnd&&) = delete;

private:
    Disc& FOnto;
};

int RunWriter(Writer Write, const Request& Ask, Disc& Onto) {
    Progress Lines(stdout);
    try {
        // Let go before a failure is reported, as the writer's own sessions were.
        const ReleasedAtEnd Released(Onto);
        RunWrite(Write, WriteContext{Ask, Onto, Onto.Where(), Onto.ScratchDisc(), Lines});
    } catch (const RecorderFailure& Failure) {
        return ReportFailure(Failure);
    } catch (const std::exception& Failure) {
        return ReportFailure(ExitCode::Write, Onto.Describe() + ": " + ReasonOf(Failure));
    }
    return 0;
}

// A question's answer, and whether it reached standard output: an answer lost is no answer.
int Answered(int Code) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        return ReportFailure(ExitCode::Write,
                             std::string("cannot write the answer to standard output: ") +
                                 std::strerror(errno));
    }
    return Code;
}

template <typename Answer>
int RunQuestion(const Answer& Ask) {
    try {
        return Answered(Ask());
    } catch (const RecorderFailure& Failure) {
        (void)Answered(0); // the answer before a refusal is still an answer
        return ReportFailure(Failure);
    } catch (const std::exception& Failure) {
        return ReportFailure(ExitCode::Write, "cannot answer: " + ReasonOf(Failure));
    }
}

int RunCommand(std::span<const std::string> Arguments) {
    // A file grown past the size limit is then a write error with its reason (and the disc is put
    // back), not a signal that ends the recorder half way.
    (void)std::signal(SIGXFSZ, SIG_IGN);
    if (const auto Problem = TooFewDescriptors()) {
        return ReportFailure(ExitCode::Write, *Problem);
    }
    const bool Estimate = !Arguments.empty() && Arguments.front() == ToolGrammar::EstimateSwitch;
    const ToolGrammar::Recognition Recognised = ToolGrammar::Recognize(
        ToolGrammar::KnownCommands(), Estimate ? Arguments.subspan(1) : Arguments);
    if (!Recognised.Accepted) {
        return ReportFailure(ExitCode::CommandLine, Recognised.Text);
    }
    const Request Ask = RequestOf(Recognised);
    if (Estimate && !ToolGrammar::IsBurnCommand(Ask.Kind)) {
        return ReportFailure(ExitCode::CommandLine, std::string(ToolGrammar::EstimateSwitch) +
                                                        " goes before a burn command");
    }
    // What the disc holds is answered in this process, which holds the disc shared and creates
    // nothing, so a signal that ends it leaves nothing behind.
    if (Ask.Kind == ToolGrammar::CommandKind::DiscInfo) {
        return RunQuestion([&] { return AnswerDiscInfo(Ask); });
    }
    const WriterEntry* Entry = Estimate ? nullptr : WriterFor(Ask);
    if (!Estimate && Entry == nullptr) {
        return ReportFailure(ExitCode::CommandLine, "this command is not one the recorder writes");
    }
    try {
        const StopSignals Stop;
        const std::unique_ptr<Disc> Onto =
            OpenDisc(ResolveTarget(Ask.DriveLetter), Estimate ? MediumUse::Measure : UseOf(Ask));
        if (Estimate) {
            // Its scratch (a session laid out, never written) goes with it, however it ends.
            return RunInWorker(
                [&] {
                    const ReleasedAtEnd Released(*Onto);
                    return RunQuestion([&] { return AnswerEstimate(Ask, *Onto); });
                },
                *Onto, false, Stop);
        }
        return RunInWorker([&] { return RunWriter(Entry->Write, Ask, *Onto); }, *Onto,
                           Entry->MayAppend, Stop);
    } catch (const RecorderFailure& Failure) {
        return ReportFailure(Failure);
    } catch (const std::exception& Failure) {
        return ReportFailure(ExitCode::Write, ReasonOf(Failure));
    }
}

} // namespace

bool MemoryCanBeHad() noexcept {
    // Through operator new, which the compiler may not leave out as it may a malloc and free.
    void* Probe = ::operator new(1, std::nothrow);
    ::operator delete(Probe);
    return Probe != nullptr;
}

int RefuseForMemory() noexcept {
    OpenStandardStreams();
    // Unbuffered: a buffer is memory too, and glibc's output without one repeats a line.
    (void)std::setvbuf(stdout, nullptr, _IONBF, 0);
    (void)std::fputs("recorder: out of memory\n", stderr);
    const int Code = static_cast<int>(ExitCode::Write);
    SayFailureCase(Code);
    return Code;
}

int RunRecorder(std::span<const std::string> Arguments) {
    OpenStandardStreams();
    ShareFailureCases();
    const int Code = RunCommand(Arguments);
    // The one place a run's case is said: after everything else the run printed, the worker's
    // lines included, so it is the last line of standard output.
    SayFailureCase(Code);
    return Code;
}

} // namespace Recorder
