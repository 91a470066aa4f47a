#include "ChildProcess.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration)

namespace QueltTest {

namespace {

void Check(int Error, const std::string& What) {
    if (Error != 0) {
        throw std::system_error(Error, std::generic_category(), What);
    }
}

// Both ends of a pipe, closed at the latest when it goes out of scope. Close-on-exec, so that
// programs started at the same time never inherit each other's pipes (which would keep a reader
// waiting for an end of file that does not come).
class Pipe {
public:
    Pipe() {
        if (pipe2(FEnds, O_CLOEXEC) != 0) {
            Check(errno, "pipe2");
        }
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    Pipe(Pipe&&) = delete;
    Pipe& operator=(Pipe&&) = delete;
    ~Pipe() {
        Close(FEnds[0]);
        Close(FEnds[1]);
    }

    int WriteEnd() const { return FEnds[1]; }
    void CloseWriteEnd() { Close(FEnds[1]); }
    // The read end, which the caller closes from now on.
    int TakeReadEnd() { return std::exchange(FEnds[0], -1); }

private:
    static void Close(int& End) {
        if (End >= 0) {
            close(End);
            End = -1;
        }
    }

    int FEnds[2] = {-1, -1};
};

class SpawnActions {
public:
    SpawnActions() { Check(posix_spawn_file_actions_init(&FActions), "posix_spawn_file_actions"); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    SpawnActions(SpawnActions&&) = delete;
    SpawnActions& operator=(SpawnActions&&) = delete;
    ~SpawnActions() { posix_spawn_file_actions_destroy(&FActions); }

    void Open(int Fd, const char* Path, int Flags) {
        Check(posix_spawn_file_actions_addopen(&FActions, Fd, Path, Flags, 0),
              "posix_spawn_file_actions_addopen");
    }
    void Dup2(int From, int To) {
        Check(posix_spawn_file_actions_adddup2(&FActions, From, To),
              "posix_spawn_file_actions_adddup2");
    }
    void ChangeFolder(const char* Folder) {
        Check(posix_spawn_file_actions_addchdir_np(&FActions, Folder),
              "posix_spawn_file_actions_addchdir_np");
    }
    const posix_spawn_file_actions_t* Get() const { return &FActions; }

private:
    posix_spawn_file_actions_t FActions{};
};

// A null-terminated array of pointers into Strings, as posix_spawn takes it (it writes nothing).
std::vector<char*> Pointers(const std::vector<std::string>& Strings) {
    std::vector<char*> Result;
    Result.reserve(Strings.size() + 1);
    for (const std::string& Text : Strings) {
        Result.push_back(const_cast<char*>(Text.c_str()));
    }
    Result.push_back(nullptr);
    return Result;
}

} // namespace

WatchedProgram::WatchedProgram(const ProgramStart& Start) {
    Pipe OutPipe;
    Pipe ErrPipe;
    pid_t Pid = 0;
    {
        SpawnActions Actions;
        Actions.Open(0, "/dev/null", O_RDONLY);
        Actions.Dup2(OutPipe.WriteEnd(), 1);
        Actions.Dup2(ErrPipe.WriteEnd(), 2);
        if (!Start.Folder.empty()) {
            Actions.ChangeFolder(Start.Folder.c_str());
        }
        const std::vector<char*> ArgvPointers = Pointers(Start.Argv);
        const std::vector<char*> EnvironmentPointers =
            Start.Environment ? Pointers(*Start.Environment) : std::vector<char*>{};
        Check(posix_spawnp(&Pid, Start.Program.c_str(), Actions.Get(), nullptr, ArgvPointers.data(),
                           Start.Environment ? EnvironmentPointers.data() : environ),
              "posix_spawn " + Start.Program);
    }
    FPid = Pid;
    FOutcome.Pid = Pid;
    OutPipe.CloseWriteEnd();
    ErrPipe.CloseWriteEnd();
    FOut = OutPipe.TakeReadEnd();
    FErr = ErrPipe.TakeReadEnd();
}

WatchedProgram::WatchedProgram(const std::vector<std::string>& Argv,
                               const std::optional<std::vector<std::string>>& Environment)
    : WatchedProgram(ProgramStart{Argv.empty() ? std::string() : Argv[0], Argv, Environment, {}}) {}

WatchedProgram::~WatchedProgram() {
    if (!FFinished) {
        Signal(SIGKILL);
        try {
            (void)Finish();
        } catch (const std::system_error&) {
            // Collected as far as it could be; the test has already failed elsewhere.
        }
    }
}

void WatchedProgram::ReadSome(std::chrono::milliseconds Timeout) {
    pollfd Fds[2] = {{FOut, POLLIN, 0}, {FErr, POLLIN, 0}};
    if (poll(Fds, 2, static_cast<int>(Timeout.count())) < 0) {
        if (errno != EINTR) {
            Check(errno, "poll");
        }
        return;
    }
    int* Ends[2] = {&FOut, &FErr};
    std::string* Sinks[2] = {&FOutcome.Out, &FOutcome.Err};
    for (std::size_t I = 0; I < 2; ++I) {
        if (Fds[I].fd < 0 || Fds[I].revents == 0) {
            continue;
        }
        char Buffer[4096];
        const ssize_t Got = read(Fds[I].fd, Buffer, sizeof Buffer);
        if (Got > 0) {
            Sinks[I]->append(Buffer, static_cast<std::size_t>(Got));
        } else if (Got == 0) {
            close(*Ends[I]);
            *Ends[I] = -1; // poll passes over it from now on
        } else if (errno != EINTR) {
            Check(errno, "reading the output of " + std::to_string(FPid));
        }
    }
}

bool WatchedProgram::WaitForLine(std::string_view Head, std::chrono::milliseconds Timeout) {
    const auto Until = std::chrono::steady_clock::now() + Timeout;
    for (;;) {
        std::istringstream Lines(FOutcome.Out);
        for (std::string Line; std::getline(Lines, Line);) {
            if (Line.starts_with(Head) && !Lines.eof()) {
                return true;
            }
        }
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
            Until - std::chrono::steady_clock::now());
        if (FOut < 0 || Left.count() <= 0) {
            return false;
        }
        ReadSome(Left);
    }
}

void WatchedProgram::Signal(int Number) const {
    kill(static_cast<pid_t>(FPid), Number);
}

ProcessOutcome WatchedProgram::Finish() {
    if (FFinished) {
        return FOutcome;
    }
    try {
        while (FOut >= 0 || FErr >= 0) {
            ReadSome(std::chrono::milliseconds(1000));
        }
    } catch (const std::system_error&) {
        // Closed before waiting, so a program still writing after a failed read cannot block
        // forever; the failure is reported once the program is collected.
        Collect();
        throw;
    }
    Collect();
    return FOutcome;
}

void WatchedProgram::Collect() {
    for (int* End : {&FOut, &FErr}) {
        if (*End >= 0) {
            close(*End);
            *End = -1;
        }
    }
    int Status = 0;
    while (waitpid(static_cast<pid_t>(FPid), &Status, 0) < 0) {
        if (errno != EINTR) {
            FFinished = true;
            Check(errno, "waitpid");
        }
    }
    FFinished = true;
    if (WIFEXITED(Status)) {
        FOutcome.ExitCode = WEXITSTATUS(Status);
    } else if (WIFSIGNALED(Status)) {
        FOutcome.Signal = WTERMSIG(Status);
    }
}

ProcessOutcome RunProgram(const ProgramStart& Start) {
    return WatchedProgram(Start).Finish();
}

ProcessOutcome RunProgram(const std::string& Program, const std::vector<std::string>& Argv,
                          const std::optional<std::vector<std::string>>& Environment) {
    return RunProgram(ProgramStart{Program, Argv, Environment, {}});
}

ProcessOutcome RunProgram(const std::vector<std::string>& Argv,
                          const std::optional<std::vector<std::string>>& Environment) {
    if (Argv.empty()) {
        throw std::invalid_argument("RunProgram needs at least the program in Argv");
    }
    return RunProgram(Argv[0], Argv, Environment);
}

bool ProcessExists(long long Pid) {
    // kill() takes 0 and negative ids as whole process groups, which always exist.
    return Pid > 0 && (kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM);
}

namespace {

// The children of this process whose state letter passes Wanted.
std::vector<long> ChildrenWhere(bool (*Wanted)(char State)) {
    namespace fs = std::filesystem;
    std::vector<long> Children;
    const long Self = static_cast<long>(getpid());
    std::error_code Error;
    for (const fs::directory_entry& Entry : fs::directory_iterator("/proc", Error)) {
        const std::string Name = Entry.path().filename().string();
        if (Name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream Stat(Entry.path() / "stat");
        std::string Line;
        if (!std::getline(Stat, Line)) {
            continue; // it ended while the folder was read
        }
        // pid (comm) state ppid ...; comm may hold blanks and parentheses, so read from its end.
        const std::size_t Close = Line.rfind(')');
        if (Close == std::string::npos) {
            continue;
        }
        std::istringstream Rest(Line.substr(Close + 1));
        char State = 0;
        long Parent = 0;
        Rest >> State >> Parent;
        if (Parent == Self && Wanted(State)) {
            Children.push_back(std::stol(Name));
        }
    }
    return Children;
}

} // namespace

std::vector<long> ChildProcesses() {
    return ChildrenWhere([](char) { return true; });
}

std::vector<long> ZombieChildren() {
    return ChildrenWhere([](char State) { return State == 'Z'; });
}

} // namespace QueltTest
