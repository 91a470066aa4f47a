#include "ChildProcess.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration)

namespace QueltTest {

ProcessOutcome RunProgram(const std::vector<std::string>& Argv) {
    int OutPipe[2];
    int ErrPipe[2];
    if (pipe2(OutPipe, O_CLOEXEC) != 0 || pipe2(ErrPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&Actions, OutPipe[1], 1);
    posix_spawn_file_actions_adddup2(&Actions, ErrPipe[1], 2);
    std::vector<char*> Pointers;
    for (const std::string& A : Argv) {
        Pointers.push_back(const_cast<char*>(A.c_str()));
    }
    Pointers.push_back(nullptr);
    pid_t Pid = 0;
    const int Error = posix_spawn(&Pid, Argv[0].c_str(), &Actions, nullptr, Pointers.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    close(OutPipe[1]);
    close(ErrPipe[1]);
    ProcessOutcome Outcome;
    if (Error != 0) {
        close(OutPipe[0]);
        close(ErrPipe[0]);
        ADD_FAILURE() << "cannot start " << Argv[0];
        return Outcome;
    }
    pollfd Fds[2] = {{OutPipe[0], POLLIN, 0}, {ErrPipe[0], POLLIN, 0}};
    std::string* Sinks[2] = {&Outcome.Out, &Outcome.Err};
    int Open = 2;
    while (Open > 0) {
        if (poll(Fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int I = 0; I < 2; ++I) {
            if (Fds[I].fd < 0 || Fds[I].revents == 0) {
                continue;
            }
            char Buffer[4096];
            const ssize_t Got = read(Fds[I].fd, Buffer, sizeof Buffer);
            if (Got > 0) {
                Sinks[I]->append(Buffer, static_cast<std::size_t>(Got));
            } else if (Got == 0 || errno != EINTR) {
                close(Fds[I].fd);
                Fds[I].fd = -1;
                --Open;
            }
        }
    }
    int Status = 0;
    while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
    }
    Outcome.ExitCode = WIFSIGNALED(Status) ? 128 + WTERMSIG(Status) : WEXITSTATUS(Status);
    return Outcome;
}

namespace {

// Reads a JSON string starting at Line[I] (the opening quote); advances I past the closing one.
std::string ReadJsonString(const std::string& Line, std::size_t& I) {
    std::string Text;
    ++I;
    while (I < Line.size() && Line[I] != '"') {
        if (Line[I] != '\\') {
            Text.push_back(Line[I++]);
            continue;
        }
        const char Escape = Line.at(I + 1);
        I += 2;
        switch (Escape) {
        case 'n': Text.push_back('\n'); break;
        case 't': Text.push_back('\t'); break;
        case 'r': Text.push_back('\r'); break;
        case 'b': Text.push_back('\b'); break;
        case 'f': Text.push_back('\f'); break;
        case 'u': {
            const unsigned Code = static_cast<unsigned>(std::stoul(Line.substr(I, 4), nullptr, 16));
            I += 4;
            if (Code < 0x80) {
                Text.push_back(static_cast<char>(Code));
            } else if (Code < 0x800) {
                Text.push_back(static_cast<char>(0xC0 | (Code >> 6)));
                Text.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
            } else {
                Text.push_back(static_cast<char>(0xE0 | (Code >> 12)));
                Text.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
                Text.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
            }
            break;
        }
        default: Text.push_back(Escape); break;
        }
    }
    ++I;
    return Text;
}

} // namespace

std::vector<LoggedRun> ReadStandinLog(const std::string& Path) {
    std::vector<LoggedRun> Runs;
    std::ifstream In(Path);
    std::string Line;
    while (std::getline(In, Line)) {
        LoggedRun Run;
        const std::size_t ArgvAt = Line.find("\"argv\":[");
        if (ArgvAt == std::string::npos) {
            ADD_FAILURE() << "log line without argv: " << Line;
            continue;
        }
        std::size_t I = ArgvAt + 8;
        while (I < Line.size() && Line[I] != ']') {
            if (Line[I] == '"') {
                Run.Argv.push_back(ReadJsonString(Line, I));
            } else {
                ++I;
            }
        }
        const std::size_t PidAt = Line.find("\"pid\":", I);
        if (PidAt != std::string::npos) {
            Run.Pid = std::stoll(Line.substr(PidAt + 6));
        }
        Run.Accepted = Line.find("\"accepted\":true", I) != std::string::npos;
        Runs.push_back(std::move(Run));
    }
    return Runs;
}

bool ProcessExists(long long Pid) {
    return kill(static_cast<pid_t>(Pid), 0) == 0 || errno == EPERM;
}

} // namespace QueltTest
