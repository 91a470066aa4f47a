// Which way this process starts its tools, and what each way starts them with. The two ways are
// told apart here and nowhere else: a host holds the starter it was given and asks it for runs.
#include "ToolRun.hpp"

#include "Immortal.hpp"
#include "PlainRun.hpp"
#include "ProcessLauncher.hpp"
#include "ToolWaiter.hpp"

#include <memory>

// Valgrind is found by asking it, through a name that is there only when it is.
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#define QUELT_UNDER_VALGRIND() (RUNNING_ON_VALGRIND != 0)
#else
#define QUELT_UNDER_VALGRIND() false
#endif

// ThreadSanitizer's runtime defines this; anywhere else the weak reference stays null.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" [[gnu::weak]] void __tsan_init();

namespace Queltburner::Posix {

namespace {

bool UnderThreadSanitizer() noexcept {
    return &__tsan_init != nullptr;
}

class WaiterStarter final : public ToolStarter {
public:
    std::shared_ptr<ToolRun> NewRun() const override {
        return std::make_shared<ToolWaiter>(WaiterEnd::AfterTool);
    }
    bool LaunchDetached(const SpawnRequest& Request) const override {
        return LaunchDetachedThroughWaiter(Request);
    }
};

class PlainStarter final : public ToolStarter {
public:
    std::shared_ptr<ToolRun> NewRun() const override { return std::make_shared<PlainRun>(); }
    bool LaunchDetached(const SpawnRequest& Request) const override {
        return LaunchDetachedPlain(Request);
    }
};

} // namespace

StartPath StartPathOfThisProcess() noexcept {
    static const StartPath Path =
        UnderThreadSanitizer() || QUELT_UNDER_VALGRIND() ? StartPath::Plain : StartPath::Waiter;
    return Path;
}

const ToolStarter& StarterFor(StartPath Path) noexcept {
    // Never destroyed: a host may still start a tool while the program exits.
    if (Path == StartPath::Plain) {
        return Immortal<PlainStarter>();
    }
    return Immortal<WaiterStarter>();
}

} // namespace Queltburner::Posix
