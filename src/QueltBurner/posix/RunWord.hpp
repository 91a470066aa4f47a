// The word a waiting run sleeps on, the same for both ways of starting a tool: Running while the
// tool may run, Woken while an Interrupt has come that no AwaitEnd has taken yet, and 0 once the
// run has ended. The waiter's word is cleared by the kernel at the waiter's end; the plain way's
// never is, so its AwaitEnd also looks at the tool itself between short sleeps.
#pragma once

#include "ToolRun.hpp"

#include <chrono>
#include <optional>

namespace Queltburner::Posix::RunWord {

constexpr int Running = -1;
constexpr int Woken = -2;

// What AwaitEnd returns without sleeping: an Interrupt taken (the word is Running again), or the
// end; no value while the tool runs.
std::optional<ToolWake> Look(int& Word) noexcept;

// Sleeps on the word while it is Running, until Deadline and for at most Slice when one is given;
// false, without sleeping, once Deadline has passed.
bool Sleep(int& Word, const RunDeadline& Deadline,
           std::optional<std::chrono::steady_clock::duration> Slice) noexcept;

// Wakes the sleep on a Running word, or the next one: it returns Interrupted.
void Interrupt(int& Word) noexcept;

} // namespace Queltburner::Posix::RunWord
