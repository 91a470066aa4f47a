// The plain path: the tool started with posix_spawn and collected with waitpid, for runtimes that
// cannot follow the waiter (a process that shares the application's memory without being one of
// its threads): ThreadSanitizer takes its stores for races and its stack for a thread's, and
// valgrind cannot run such a clone at all. Both are found by asking them, through names that are
// there only when they are.
#include "ToolWaiter.hpp"
#include "ToolWaiterBlock.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#define QUELT_UNDER_VALGRIND() (RUNNING_ON_VALGRIND != 0)
#else
#define QUELT_UNDER_VALGRIND() false
#endif

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

// ThreadSanitizer's runtime defines this; anywhere else the weak reference stays null.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" [[gnu::weak]] void __tsan_init();

namespace Queltburner::Posix {

namespace {

bool UnderThreadSanitizer() noexcept {
    return &__tsan_init != nullptr;
}

// Closes Actions and Attributes on every way out.
struct SpawnSettings {
    posix_spawn_file_actions_t Actions{};
    posix_spawnattr_t Attributes{};
    SpawnSettings() noexcept {
        posix_spawn_file_actions_init(&Actions);
        posix_spawnattr_init(&Attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;
    SpawnSettings(SpawnSettings&&) = delete;
    SpawnSettings& operator=(SpawnSettings&&) = delete;
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&Actions);
        posix_spawnattr_destroy(&Attributes);
    }
};

// Starts the tool as through the waiter: every signal at its default and none blocked, the
// captured streams (when given) in place of the standard output and error, nothing else of the
// application's descriptors. Its id, or 0 when it did not start.
pid_t SpawnPlain(const SpawnRequest& Request, int OutputFd, int ErrorFd) noexcept {
    SpawnSettings Settings;
    sigset_t All;
    sigset_t None;
    sigfillset(&All);
    sigemptyset(&None);
    posix_spawnattr_setsigdefault(&Settings.Attributes, &All);
    posix_spawnattr_setsigmask(&Settings.Attributes, &None);
    posix_spawnattr_setflags(&Settings.Attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (OutputFd >= 0 && ErrorFd >= 0) {
        posix_spawn_file_actions_adddup2(&Settings.Actions, OutputFd, 1);
        posix_spawn_file_actions_adddup2(&Settings.Actions, ErrorFd, 2);
    }
    posix_spawn_file_actions_addclosefrom_np(&Settings.Actions, 3);
    pid_t Tool = 0;
    if (posix_spawn(&Tool, Request.Program, &Settings.Actions, &Settings.Attributes, Request.Argv,
                    environ) != 0) {
        return 0;
    }
    return Tool;
}

} // namespace

StartPath StartPathOfThisProcess() noexcept {
    static const StartPath Path =
        UnderThreadSanitizer() || QUELT_UNDER_VALGRIND() ? StartPath::Plain : StartPath::Waiter;
    return Path;
}

bool ToolWaiter::StartPlain(const SpawnRequest& Request) noexcept {
    const pid_t Tool = SpawnPlain(Request, FBlock->OutputFd, FBlock->ErrorFd);
    if (Tool <= 0) {
        return false;
    }
    FWaiter = Tool;
    FBlock->ToolPid = Tool;
    std::atomic_ref<int>(FBlock->ToolCreated).store(1, std::memory_order_release);
    FBlock->WaiterWord = -1;
    FStarted = true;
    return true;
}

bool LaunchDetachedPlain(const SpawnRequest& Request) noexcept {
    // A short-lived middle process starts the tool and ends, so that the tool is orphaned and the
    // system's reaper collects it, never this application.
    const pid_t Middle = fork();
    if (Middle < 0) {
        return false;
    }
    if (Middle == 0) {
        _exit(SpawnPlain(Request, -1, -1) > 0 ? 0 : 127);
    }
    int Status = 0;
    pid_t Collected = -1;
    while ((Collected = waitpid(Middle, &Status, 0)) < 0 && errno == EINTR) {
    }
    // ECHILD: the application's own reaping took the middle process, and with it the answer.
    return Collected < 0 || (WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
}

bool ToolWaiter::PlainToolEnded() const noexcept {
    if (!FStarted || std::atomic_ref<int>(FBlock->ToolEnded).load(std::memory_order_acquire) != 0) {
        return FStarted;
    }
    // Looked at without collecting it: until Wait collects it, its id stays its own.
    siginfo_t Info{};
    const int Looked =
        waitid(P_PID, static_cast<id_t>(FWaiter), &Info, WEXITED | WNOHANG | WNOWAIT);
    // ECHILD: the application's own reaping took it.
    return (Looked == 0 && Info.si_pid == FWaiter) || (Looked < 0 && errno == ECHILD);
}

} // namespace Queltburner::Posix
