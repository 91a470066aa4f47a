#include "ProcessLauncher.hpp"

#include "Immortal.hpp"
#include "ToolWaiter.hpp"

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string_view>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace Queltburner::Posix {

namespace {

// The waiters of launches in an application that adopts orphans, until their tools have ended
// and they are released. Made once and never destroyed: waiters still running when the
// application ends see the end of their lifeline and end by themselves.
class KeptLaunches {
public:
    void Keep(std::list<std::unique_ptr<ToolWaiter>>& Entry) noexcept {
        const std::lock_guard Lock(FMutex);
        FWaiters.splice(FWaiters.end(), Entry);
        FCount.store(FWaiters.size(), std::memory_order_relaxed);
    }

    void ReleaseEnded() noexcept {
        if (FCount.load(std::memory_order_relaxed) == 0) {
            return;
        }
        std::list<std::unique_ptr<ToolWaiter>> Ended;
        {
            const std::lock_guard Lock(FMutex);
            for (auto It = FWaiters.begin(); It != FWaiters.end();) {
                const auto Next = std::next(It);
                if ((*It)->ToolEnded()) {
                    Ended.splice(Ended.end(), FWaiters, It);
                }
                It = Next;
            }
            FCount.store(FWaiters.size(), std::memory_order_relaxed);
        }
        // Each destructor releases its waiter, which then ends at once, and collects it.
        Ended.clear();
    }

    std::size_t Count() const noexcept { return FCount.load(std::memory_order_relaxed); }

private:
    std::mutex FMutex;
    std::list<std::unique_ptr<ToolWaiter>> FWaiters;
    std::atomic<std::size_t> FCount{0};
};

} // namespace

ToolStart::ToolStart(const std::string& Program, const NativeArgv& Argv,
                     const std::optional<std::string>& DriveMap)
    : FProgram(Program) {
    FPointers.reserve(Argv.Starts.size() + 1);
    for (const std::size_t Start : Argv.Starts) {
        FPointers.push_back(const_cast<char*>(Argv.Bytes.data() + Start));
    }
    FPointers.push_back(nullptr);
    if (!DriveMap) {
        return;
    }
    constexpr std::string_view Name = "QUELT_DRIVES=";
    for (char** Variable = environ; *Variable != nullptr; ++Variable) {
        if (!std::string_view(*Variable).starts_with(Name)) {
            FVariables.emplace_back(*Variable);
        }
    }
    FVariables.push_back(std::string(Name).append(*DriveMap));
    for (std::string& Variable : FVariables) {
        FEnvironment.push_back(Variable.data());
    }
    FEnvironment.push_back(nullptr);
}

SpawnRequest ToolStart::Request() const noexcept {
    SpawnRequest Request;
    Request.Program = FProgram.c_str();
    Request.Argv = FPointers.data();
    Request.Environment = FEnvironment.empty() ? nullptr : FEnvironment.data();
    return Request;
}

bool LaunchDetachedThroughWaiter(const SpawnRequest& Request) {
    if (!AdoptsOrphans()) {
        // The waiter ends as soon as the tool has started; its destructor collects it.
        ToolWaiter Waiter(WaiterEnd::AtStart);
        return Waiter.Start(Request);
    }
    std::list<std::unique_ptr<ToolWaiter>> Entry;
    Entry.push_back(std::make_unique<ToolWaiter>(WaiterEnd::AfterRelease));
    if (!Entry.front()->Start(Request)) {
        return false;
    }
    Immortal<KeptLaunches>().Keep(Entry);
    return true;
}

void ReleaseEndedLaunches() noexcept {
    Immortal<KeptLaunches>().ReleaseEnded();
}

std::size_t KeptLaunchCount() noexcept {
    return Immortal<KeptLaunches>().Count();
}

bool AdoptsOrphans() noexcept {
    int Subreaper = 0;
    return getpid() == 1 || (prctl(PR_GET_CHILD_SUBREAPER, &Subreaper) == 0 && Subreaper != 0);
}

std::uint32_t ExitCodeOfStatus(int Status) {
    if (WIFSIGNALED(Status)) {
        return 128U + static_cast<std::uint32_t>(WTERMSIG(Status));
    }
    return static_cast<std::uint32_t>(WEXITSTATUS(Status));
}

} // namespace Queltburner::Posix
