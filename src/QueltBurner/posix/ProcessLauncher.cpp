#include "ProcessLauncher.hpp"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace Queltburner::Posix {

namespace {

std::vector<char*> ArgvPointers(const std::vector<std::string>& Argv) {
    std::vector<char*> Pointers;
    Pointers.reserve(Argv.size() + 1);
    for (const std::string& Item : Argv) {
        Pointers.push_back(const_cast<char*>(Item.c_str()));
    }
    Pointers.push_back(nullptr);
    return Pointers;
}

// Spawn attributes: the tool starts with no signal blocked and every signal at its default, as
// a freshly created Windows process would, whatever the host application has set for itself.
class SpawnAttributes {
public:
    SpawnAttributes() {
        Ok = posix_spawnattr_init(&Attributes) == 0;
        if (!Ok) {
            return;
        }
        sigset_t Empty;
        sigset_t All;
        sigemptyset(&Empty);
        sigfillset(&All);
        Ok = posix_spawnattr_setsigmask(&Attributes, &Empty) == 0 &&
             posix_spawnattr_setsigdefault(&Attributes, &All) == 0 &&
             posix_spawnattr_setflags(&Attributes,
                                      POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    SpawnAttributes(SpawnAttributes&&) = delete;
    SpawnAttributes& operator=(SpawnAttributes&&) = delete;
    ~SpawnAttributes() { posix_spawnattr_destroy(&Attributes); }

    posix_spawnattr_t Attributes{};
    bool Ok = false;
};

// Descriptors other than the standard three are the host's own; the tool gets none of them.
class SpawnFileActions {
public:
    SpawnFileActions() {
        Ok = posix_spawn_file_actions_init(&Actions) == 0 &&
             posix_spawn_file_actions_addclosefrom_np(&Actions, 3) == 0;
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    SpawnFileActions(SpawnFileActions&&) = delete;
    SpawnFileActions& operator=(SpawnFileActions&&) = delete;
    ~SpawnFileActions() { posix_spawn_file_actions_destroy(&Actions); }

    posix_spawn_file_actions_t Actions{};
    bool Ok = false;
};

} // namespace

std::optional<pid_t> SpawnChild(const std::string& Program, const std::vector<std::string>& Argv) {
    const SpawnAttributes Attributes;
    const SpawnFileActions FileActions;
    if (!Attributes.Ok || !FileActions.Ok) {
        return std::nullopt;
    }
    std::vector<char*> Pointers = ArgvPointers(Argv);
    pid_t Pid = 0;
    // posix_spawn (not posix_spawnp): the program is exactly the path given. glibc reports a
    // failed exec through the return value, so an unexecutable tool never looks like a run.
    if (posix_spawn(&Pid, Program.c_str(), &FileActions.Actions, &Attributes.Attributes,
                    Pointers.data(), environ) != 0) {
        return std::nullopt;
    }
    return Pid;
}

bool SpawnDetached(const std::string& Program, const std::vector<std::string>& Argv) {
    // An intermediate child spawns the tool and exits at once; the tool is then adopted by init
    // (or the nearest subreaper), which reaps it. A pipe closed on exec carries the spawn error
    // back, so a tool that cannot be executed is still reported as a failed start.
    int Report[2];
    if (pipe2(Report, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<char*> Pointers = ArgvPointers(Argv);
    const SpawnAttributes Attributes;
    const SpawnFileActions FileActions;
    if (!Attributes.Ok || !FileActions.Ok) {
        close(Report[0]);
        close(Report[1]);
        return false;
    }
    const pid_t Intermediate = fork();
    if (Intermediate < 0) {
        close(Report[0]);
        close(Report[1]);
        return false;
    }
    if (Intermediate == 0) {
        // Only async-signal-safe calls from here on: the parent may have other threads.
        close(Report[0]);
        pid_t Tool = 0;
        const int Error = posix_spawn(&Tool, Program.c_str(), &FileActions.Actions,
                                      &Attributes.Attributes, Pointers.data(), environ);
        if (Error != 0) {
            (void)!write(Report[1], &Error, sizeof Error);
        }
        _exit(0);
    }
    close(Report[1]);
    int Error = 0;
    ssize_t Got = 0;
    do {
        Got = read(Report[0], &Error, sizeof Error);
    } while (Got < 0 && errno == EINTR);
    close(Report[0]);
    const std::optional<int> IntermediateStatus = WaitForChild(Intermediate);
    const bool IntermediateOk = IntermediateStatus && WIFEXITED(*IntermediateStatus) &&
                                WEXITSTATUS(*IntermediateStatus) == 0;
    return Got == 0 && IntermediateOk;
}

std::optional<int> WaitForChild(pid_t Pid) {
    int Status = 0;
    pid_t Result = 0;
    do {
        Result = waitpid(Pid, &Status, 0);
    } while (Result < 0 && errno == EINTR);
    if (Result != Pid) {
        return std::nullopt;
    }
    return Status;
}

bool ReapIfEnded(pid_t Pid) {
    int Status = 0;
    return waitpid(Pid, &Status, WNOHANG) == Pid;
}

std::uint32_t ExitCodeOfStatus(int Status) {
    if (WIFSIGNALED(Status)) {
        return 128U + static_cast<std::uint32_t>(WTERMSIG(Status));
    }
    return static_cast<std::uint32_t>(WEXITSTATUS(Status));
}

} // namespace Queltburner::Posix
