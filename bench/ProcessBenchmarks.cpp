// Waiting runs of the stand-in tool through the real POSIX host, each against its floor: the
// same tool started with the same argv by a bare posix_spawn and waitpid, after the same file
// tests done by a bare stat loop. What the component adds on top is its own work only.
#include "AllocationCounter.hpp"
#include "BenchData.hpp"
#include "PosixHostServices.hpp"
#include "QueltBurner.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <numeric>
#include <random>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace QueltBench {

namespace {

class RawArgv {
public:
    explicit RawArgv(std::vector<std::string> Items) : FItems(std::move(Items)) {
        for (std::string& Item : FItems) {
            FPointers.push_back(Item.data());
        }
        FPointers.push_back(nullptr);
    }
    char* const* Pointers() const noexcept { return FPointers.data(); }
    std::size_t Count() const noexcept { return FItems.size(); }

private:
    std::vector<std::string> FItems;
    std::vector<char*> FPointers;
};

// The least a caller can do to run the tool (Argv's first item) and learn its exit code.
int SpawnAndWait(const RawArgv& Argv) {
    pid_t Pid = 0;
    if (posix_spawn(&Pid, Argv.Pointers()[0], nullptr, nullptr, Argv.Pointers(), environ) != 0) {
        return -1;
    }
    int Status = 0;
    if (waitpid(Pid, &Status, 0) != Pid || !WIFEXITED(Status)) {
        return -1;
    }
    return WEXITSTATUS(Status);
}

BenchTool ToolOf(const benchmark::State& State, std::size_t Index) {
    return State.range(Index) == 0 ? BenchTool::Standin : BenchTool::NoOp;
}

// The argv must be the one the host would hand the tool, or the floor measures other work.
bool StartsWithTool(const std::vector<std::string>& Argv) {
    return !Argv.empty() && Argv.front() == StandinPath();
}

void EjectWaitedLibrary(benchmark::State& State) {
    Queltburner::TQueltBurner Burner(nullptr,
                                     std::make_shared<Queltburner::Posix::PosixHostServices>());
    PrepareBurner(Burner, 0, ToolOf(State, 0));
    for (auto _ : State) {
        if (Burner.Eject(u'E') != 0) {
            State.SkipWithError("Eject did not return 0");
            break;
        }
    }
}

void EjectWaitedFloor(benchmark::State& State) {
    if (!StartsWithTool(ArgvOf(EjectCommandLine()))) {
        State.SkipWithError("the composed argv does not start with the tool");
        return;
    }
    const RawArgv Argv(ArgvWithTool(EjectCommandLine(), ToolOf(State, 0)));
    for (auto _ : State) {
        if (SpawnAndWait(Argv) != 0) {
            State.SkipWithError("the tool did not exit with 0");
            break;
        }
    }
}

void BurnDataPosixLibrary(benchmark::State& State) {
    const auto Count = static_cast<std::size_t>(State.range(0));
    Queltburner::TQueltBurner Burner(nullptr,
                                     std::make_shared<Queltburner::Posix::PosixHostServices>());
    PrepareBurner(Burner, Count, ToolOf(State, 1));
    for (auto _ : State) {
        if (Burner.BurnData(u'E') != 0) {
            State.SkipWithError("BurnData did not return 0");
            break;
        }
    }
    State.counters["argv_items"] = static_cast<double>(ArgvOf(DataCommandLine(Count)).size());
}

void BurnDataPosixFloor(benchmark::State& State) {
    const auto Count = static_cast<std::size_t>(State.range(0));
    if (!StartsWithTool(ArgvOf(DataCommandLine(Count)))) {
        State.SkipWithError("the composed argv does not start with the tool");
        return;
    }
    const RawArgv Argv(ArgvWithTool(DataCommandLine(Count), ToolOf(State, 1)));
    const std::vector<std::string>& Paths = EntryPaths();
    for (auto _ : State) {
        std::size_t Existing = 0;
        for (std::size_t Index = 0; Index < Count; ++Index) {
            struct stat Info {};
            if (stat(Paths[Index].c_str(), &Info) == 0) {
                ++Existing;
            }
        }
        benchmark::DoNotOptimize(Existing);
        if (SpawnAndWait(Argv) != 0) {
            State.SkipWithError("the tool did not exit with 0");
            break;
        }
    }
    State.counters["argv_items"] = static_cast<double>(Argv.Count());
}

// The waiting Eject against its floor and its peers in interleaved rounds: each round runs every
// way once, in an order shuffled anew, so that a change in the machine's load (which moves a run of
// a small tool by more than the differences measured) hits them all alike. The counters are each
// way's median time in microseconds.
void EjectPeersInRounds(benchmark::State& State) {
    const std::vector<std::string> Argv = ArgvWithTool(EjectCommandLine(), ToolOf(State, 0));
    if (!StartsWithTool(ArgvOf(EjectCommandLine()))) {
        State.SkipWithError("the composed argv does not start with the tool");
        return;
    }
    const RawArgv Floor(Argv);
    Queltburner::TQueltBurner Burner(nullptr,
                                     std::make_shared<Queltburner::Posix::PosixHostServices>());
    PrepareBurner(Burner, 0, ToolOf(State, 0));
    std::vector<std::pair<std::string, PeerRun>> Ways{
        {"floor_us", [&Floor] { return SpawnAndWait(Floor) == 0; }},
        {"library_us", [&Burner] { return Burner.Eject(u'E') == 0; }}};
    if (QProcessPeer() != nullptr) {
        Ways.emplace_back("qprocess_us", QProcessPeer()(Argv));
    }
    std::vector<std::vector<double>> Times(Ways.size());
    std::vector<std::size_t> Order(Ways.size());
    std::iota(Order.begin(), Order.end(), 0);
    std::minstd_rand Shuffle(7);
    using Clock = std::chrono::steady_clock;
    for (auto _ : State) {
        std::shuffle(Order.begin(), Order.end(), Shuffle);
        for (const std::size_t Way : Order) {
            const Clock::time_point Start = Clock::now();
            if (!Ways[Way].second()) {
                State.SkipWithError((Ways[Way].first + ": the tool did not exit with 0").c_str());
                return;
            }
            Times[Way].push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - Start).count());
        }
    }
    for (std::size_t Way = 0; Way < Ways.size(); ++Way) {
        std::vector<double>& Taken = Times[Way];
        const auto Middle = Taken.begin() + static_cast<std::ptrdiff_t>(Taken.size() / 2);
        std::nth_element(Taken.begin(), Middle, Taken.end());
        State.counters[Ways[Way].first] = Taken.empty() ? 0.0 : *Middle;
    }
}

// For the record: the whole run's peak through the real host, where the host also splits the
// command line into an argv and encodes it.
void BurnDataPosixPeakMemory(benchmark::State& State) {
    const auto Count = static_cast<std::size_t>(State.range(0));
    Queltburner::TQueltBurner Burner(nullptr,
                                     std::make_shared<Queltburner::Posix::PosixHostServices>());
    PrepareBurner(Burner, Count);
    MeasurePeakExtraHeap(State, Burner, [Count] { return DataCommandLine(Count).size(); });
}

} // namespace

// Real time: the parent sleeps in waitpid while the tool runs, and that time is the run's cost.
// The second argument (the first for Eject) is the tool: 0 the stand-in, 1 the no-op program.
// A run of a small tool lasts about a millisecond and the machine's scheduling varies it by more
// than the difference measured: each repetition runs for two seconds.
BENCHMARK(EjectWaitedLibrary)
    ->Arg(0)
    ->Arg(1)
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(EjectWaitedFloor)
    ->Arg(0)
    ->Arg(1)
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
// A round takes three runs or more: two seconds a repetition give several hundred rounds.
BENCHMARK(EjectPeersInRounds)->Arg(1)->MinTime(2.0)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BurnDataPosixLibrary)
    ->Args({ExistingFileCount, 0})
    ->Args({ExistingFileCount, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BurnDataPosixFloor)
    ->Args({ExistingFileCount, 0})
    ->Args({ExistingFileCount, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BurnDataPosixPeakMemory)
    ->Arg(ExistingFileCount)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace QueltBench
