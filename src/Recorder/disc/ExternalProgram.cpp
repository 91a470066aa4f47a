#include "ExternalProgram.hpp"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace Recorder {

namespace {

// The program's file on PATH, found before the fork (the child may only make system calls).
std::string Resolve(const std::string& Name) {
    if (Name.find('/') != std::string::npos) {
        return Name;
    }
    const char* Path = std::getenv("PATH");
    std::istringstream Folders(Path != nullptr ? Path : "/usr/bin:/bin");
    for (std::string Folder; std::getline(Folders, Folder, ':');) {
        if (Folder.empty()) {
            continue;
        }
        std::string Candidate = Folder;
        Candidate += "/";
        Candidate += Name;
        if (::access(Candidate.c_str(), X_OK) == 0) {
            return Candidate;
        }
    }
    return {};
}

// Splits what arrives on a stream into lines; a last line without its end is handed on at the end.
class LineSplitter {
public:
    template <typename Sink>
    void Add(std::string_view Bytes, Sink&& Take) {
        FPending.append(Bytes);
        std::size_t Start = 0;
        for (std::size_t End = FPending.find_first_of("\r\n"); End != std::string::npos;
             End = FPending.find_first_of("\r\n", Start)) {
            if (End > Start) {
                Take(std::string_view(FPending).substr(Start, End - Start));
            }
            Start = End + 1;
        }
        FPending.erase(0, Start);
    }
    template <typename Sink>
    void Finish(Sink&& Take) {
        if (!FPending.empty()) {
            Take(std::string_view(FPending));
        }
        FPending.clear();
    }

private:
    std::string FPending;
};

// In the child, before exec: every descriptor above standard error closes at the exec, whether
// or not it was opened close-on-exec. The libraries open what they need without that flag (libburn
// the drive itself), and a program holding the drive open keeps the next step from opening it.
// Only system calls: the kernel marks the whole range at once; an older kernel gets each
// descriptor up to the limit read before the fork.
void CloseOnExecAbove2(int DescriptorLimit) {
    if (::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
        return;
    }
    for (int Fd = 3; Fd < DescriptorLimit; ++Fd) {
        (void)::fcntl(Fd, F_SETFD, FD_CLOEXEC);
    }
}

int DescriptorLimit() {
    rlimit Limit{};
    if (::getrlimit(RLIMIT_NOFILE, &Limit) != 0 || Limit.rlim_cur == RLIM_INFINITY ||
        Limit.rlim_cur > static_cast<rlim_t>(1) << 20U) {
        return 1 << 20;
    }
    return static_cast<int>(Limit.rlim_cur);
}

void CloseIfOpen(int& Fd) {
    if (Fd >= 0) {
        ::close(Fd);
        Fd = -1;
    }
}

// The descriptors a program is started with: /dev/null for its standard input, the pipes of its
// output (unless it writes to a descriptor of the caller's) and of its errors, and the one its
// exec's failure comes back through.
struct ProgramPipes {
    int Null = -1;
    std::array<int, 2> Out{-1, -1};
    std::array<int, 2> Err{-1, -1};
    std::array<int, 2> Exec{-1, -1};

    bool Open(bool OwnOutput) {
        Null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        return Null >= 0 && (!OwnOutput || ::pipe2(Out.data(), O_CLOEXEC) == 0) &&
               ::pipe2(Err.data(), O_CLOEXEC) == 0 && ::pipe2(Exec.data(), O_CLOEXEC) == 0;
    }
    // The ends the child took, closed in the parent once it is started.
    void CloseChildEnds() {
        for (int* Fd : {&Null, &Out[1], &Err[1], &Exec[1]}) {
            CloseIfOpen(*Fd);
        }
    }
    void CloseAll() {
        CloseChildEnds();
        for (int* Fd : {&Out[0], &Err[0], &Exec[0]}) {
            CloseIfOpen(*Fd);
        }
    }
};

// In the child: its standard streams set, every other descriptor closed at the exec, the program
// run; an exec that fails says why through the exec pipe. Only system calls: the worker may have
// other threads.
[[noreturn]] void StartInChild(pid_t Parent, const ProgramPipes& Pipes, int Output,
                               int DescriptorLimit, const std::string& File, char* const* Argv) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != Parent || ::dup2(Pipes.Null, 0) < 0 || ::dup2(Output, 1) < 0 ||
        ::dup2(Pipes.Err[1], 2) < 0) {
        ::_exit(127);
    }
    CloseOnExecAbove2(DescriptorLimit);
    ::execve(File.c_str(), Argv, environ);
    const int Error = errno;
    (void)!::write(Pipes.Exec[1], &Error, sizeof Error);
    ::_exit(127);
}

} // namespace

RunningProgram::RunningProgram(ProgramRun Run) : FRun(std::move(Run)) {
    const std::string File = FRun.Argv.empty() ? std::string() : Resolve(FRun.Argv.front());
    if (File.empty()) {
        FOutcome.Ending = "not found on PATH (is its package installed?)";
        FWaited = true;
        return;
    }
    std::vector<char*> Argv;
    for (std::string& Item : FRun.Argv) {
        Argv.push_back(Item.data());
    }
    Argv.push_back(nullptr);
    ProgramPipes Pipes;
    if (!Pipes.Open(FRun.OutputTo < 0)) {
        FOutcome.Ending = std::string("cannot be started: ") + std::strerror(errno);
        Pipes.CloseAll();
        FWaited = true;
        return;
    }
    const int Output = FRun.OutputTo >= 0 ? FRun.OutputTo : Pipes.Out[1];
    const pid_t Parent = ::getpid();
    const int Limit = DescriptorLimit();
    const pid_t Child = ::fork();
    if (Child == 0) {
        StartInChild(Parent, Pipes, Output, Limit, File, Argv.data());
    }
    const int ForkError = errno;
    Pipes.CloseChildEnds();
    if (Child < 0) {
        FOutcome.Ending = std::string("cannot be started: ") + std::strerror(ForkError);
        Pipes.CloseAll();
        FWaited = true;
        return;
    }
    FPid = Child;
    int ExecError = 0;
    if (::read(Pipes.Exec[0], &ExecError, sizeof ExecError) ==
        static_cast<ssize_t>(sizeof ExecError)) {
        FOutcome.Ending = std::string("cannot be started: ") + std::strerror(ExecError);
    }
    CloseIfOpen(Pipes.Exec[0]);
    FReader = std::thread([this, Out = Pipes.Out[0], Err = Pipes.Err[0]] { Read(Out, Err); });
}

RunningProgram::~RunningProgram() {
    (void)Wait();
}

void RunningProgram::Read(int Output, int Error) {
    std::array<pollfd, 2> Streams{pollfd{Output, POLLIN, 0}, pollfd{Error, POLLIN, 0}};
    std::array<LineSplitter, 2> Lines;
    const auto TakeOutput = [this](std::string_view Line) {
        if (FRun.OnOutput) {
            FRun.OnOutput(Line);
        }
    };
    const auto TakeError = [this](std::string_view Line) {
        if (!FRun.OnError || !FRun.OnError(Line)) {
            FOutcome.Reasons.emplace_back(Line);
        }
    };
    std::array<char, 1 << 16> Buffer{};
    while (Streams[0].fd >= 0 || Streams[1].fd >= 0) {
        if (::poll(Streams.data(), Streams.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (std::size_t I = 0; I < Streams.size(); ++I) {
            if (Streams[I].fd < 0 || Streams[I].revents == 0) {
                continue;
            }
            const ssize_t Got = ::read(Streams[I].fd, Buffer.data(), Buffer.size());
            if (Got < 0 && errno == EINTR) {
                continue;
            }
            if (Got <= 0) {
                ::close(Streams[I].fd);
                Streams[I].fd = -1;
                continue;
            }
            const std::string_view Bytes(Buffer.data(), static_cast<std::size_t>(Got));
            if (I == 0) {
                Lines[0].Add(Bytes, TakeOutput);
            } else {
                Lines[1].Add(Bytes, TakeError);
            }
        }
    }
    for (pollfd& Stream : Streams) {
        CloseIfOpen(Stream.fd);
    }
    Lines[0].Finish(TakeOutput);
    Lines[1].Finish(TakeError);
}

const ProgramOutcome& RunningProgram::Wait() {
    if (FWaited) {
        return FOutcome;
    }
    FWaited = true;
    if (FReader.joinable()) {
        FReader.join();
    }
    int Status = 0;
    while (::waitpid(static_cast<pid_t>(FPid), &Status, 0) < 0) {
        if (errno != EINTR) {
            FOutcome.Ending = std::string("lost: ") + std::strerror(errno);
            return FOutcome;
        }
    }
    if (!FOutcome.Ending.empty()) {
        return FOutcome; // it never ran
    }
    FOutcome.Started = true;
    if (WIFEXITED(Status)) {
        FOutcome.Succeeded = WEXITSTATUS(Status) == 0;
        FOutcome.Ending = "exit code " + std::to_string(WEXITSTATUS(Status));
    } else if (WIFSIGNALED(Status)) {
        FOutcome.Signal = WTERMSIG(Status);
        FOutcome.Ending = "signal " + std::to_string(FOutcome.Signal);
    }
    return FOutcome;
}

bool ProgramOutcome::LostItsReader() const {
    if (Signal == SIGPIPE) {
        return true;
    }
    return std::any_of(Reasons.begin(), Reasons.end(), [](const std::string& Reason) {
        return Reason.find("Broken pipe") != std::string::npos;
    });
}

ProgramOutcome RunProgram(const ProgramRun& Run) {
    RunningProgram Program(Run);
    return Program.Wait();
}

std::string DescribeFailure(const ProgramRun& Run, const ProgramOutcome& Outcome) {
    const std::string Name = Run.Argv.empty() ? std::string("(no program)") : Run.Argv.front();
    std::string Text = Name + " ended with " + Outcome.Ending;
    if (Outcome.Ending.starts_with("not found") || Outcome.Ending.starts_with("cannot")) {
        Text = Name + " " + Outcome.Ending;
    }
    std::string Reasons;
    for (const std::string& Reason : Outcome.Reasons) {
        Reasons += (Reasons.empty() ? "" : "; ") + Reason;
    }
    return Reasons.empty() ? Text : Text + ": " + Reasons;
}

} // namespace Recorder
