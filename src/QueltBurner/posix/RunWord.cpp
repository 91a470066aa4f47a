#include "RunWord.hpp"

#include <algorithm>
#include <atomic>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Queltburner::Posix::RunWord {

namespace {

std::atomic_ref<int> Shared(int& Word) noexcept {
    return std::atomic_ref<int>(Word);
}

} // namespace

std::optional<ToolWake> Look(int& Word) noexcept {
    for (;;) {
        int Seen = Shared(Word).load(std::memory_order_acquire);
        if (Seen == Woken) {
            if (Shared(Word).compare_exchange_strong(Seen, Running)) {
                return ToolWake::Interrupted;
            }
            continue; // the run ended meanwhile
        }
        if (Seen == 0) {
            return ToolWake::Ended;
        }
        return std::nullopt;
    }
}

bool Sleep(int& Word, const RunDeadline& Deadline,
           std::optional<std::chrono::steady_clock::duration> Slice) noexcept {
    using Clock = std::chrono::steady_clock;
    auto Left = Clock::duration::max();
    if (Deadline) {
        Left = *Deadline - Clock::now();
        if (Left <= Clock::duration::zero()) {
            return false;
        }
    }
    if (Slice && Left > *Slice) {
        Left = *Slice;
    }
    // Ten days at most: a wait without a deadline sleeps again after that.
    const auto Nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::min<Clock::duration>(Left, std::chrono::hours(240)));
    const timespec Relative{static_cast<time_t>(Nanoseconds.count() / 1'000'000'000),
                            static_cast<long>(Nanoseconds.count() % 1'000'000'000)};
    // Returns at once when the word is no longer Running: ended, or interrupted.
    (void)syscall(SYS_futex, &Word, FUTEX_WAIT, Running, &Relative, nullptr, 0);
    return true;
}

void Interrupt(int& Word) noexcept {
    int Expected = Running;
    if (Shared(Word).compare_exchange_strong(Expected, Woken)) {
        (void)syscall(SYS_futex, &Word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
    }
}

} // namespace Queltburner::Posix::RunWord
