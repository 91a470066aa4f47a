// The recorder against its peers on the rest of the same work: genisoimage (no checksums) and a
// plain copy of the same bytes for the small files and the single entries, and the estimate of a
// large selection against the peers' own measurement (-print-size), first with an empty cache and
// then repeated with nothing changed. The rows against xorriso writing the same trees are in
// RecorderBenchmarks.cpp.
#include "RecorderBenchSupport.hpp"
#include "RecorderTrees.hpp"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace RecorderBench;

constexpr int EstimateFiles = 60000;

void RunOrSkip(benchmark::State& State, const std::vector<std::string>& Argv) {
    if (Run(Argv).Exit != 0) {
        State.SkipWithError((Argv[0] + " failed").c_str());
    }
}

// genisoimage writing Entries (as they would be on its command line) plus one fsync.
void Genisoimage(benchmark::State& State, const std::vector<fs::path>& Entries) {
    const fs::path Out = WorkFolder() / "genisoimage-peer.iso";
    std::vector<std::string> Argv{"genisoimage", "-quiet", "-R", "-J", "-o", Out.string()};
    for (const fs::path& Entry : Entries) {
        Argv.push_back(Entry.string());
    }
    for (auto _ : State) {
        RunOrSkip(State, Argv);
        Fsync(Out);
    }
}

std::vector<fs::path> FilesBelow(const fs::path& Folder) {
    std::vector<fs::path> Files;
    for (const auto& Item : fs::recursive_directory_iterator(Folder)) {
        if (Item.is_regular_file()) {
            Files.push_back(Item.path());
        }
    }
    return Files;
}

void GenisoimageSmallFiles(benchmark::State& State) {
    Genisoimage(State, {SmallTree(static_cast<int>(State.range(0)))});
}

void CatSmallFiles(benchmark::State& State) {
    const std::vector<fs::path> Files = FilesBelow(SmallTree(static_cast<int>(State.range(0))));
    for (auto _ : State) {
        CopyIntoOneFile(State, Files, WorkFolder() / "cat-small.bin");
    }
}

// Range 0 entries in one folder given one by one, as RecorderEntries gives them.
std::vector<fs::path> Entries(int Count) {
    std::vector<fs::path> Named;
    for (int I = 0; I < Count; ++I) {
        Named.emplace_back(std::to_string(I));
    }
    return Named;
}

void GenisoimageEntries(benchmark::State& State) {
    const int Count = static_cast<int>(State.range(0));
    const InFolder Here(EntryFolder(Count));
    Genisoimage(State, Entries(Count));
}

void CatEntries(benchmark::State& State) {
    const int Count = static_cast<int>(State.range(0));
    const InFolder Here(EntryFolder(Count));
    for (auto _ : State) {
        CopyIntoOneFile(State, Entries(Count), WorkFolder() / "cat-entries.bin");
    }
}

// Range 0: 0 asks with an empty cache each time (the first estimate), 1 with the answer kept.
void RecorderEstimate(benchmark::State& State) {
    std::vector<std::string> Argv = RecorderArgv({EstimateTree(EstimateFiles)});
    Argv.insert(Argv.begin() + 1, "--estimate");
    const fs::path Cache = WorkFolder() / "cache";
    // A new disc's question: the disc the other benchmarks wrote goes first.
    fs::remove(Disc());
    fs::remove_all(Cache);
    if (State.range(0) == 1) {
        RunOrSkip(State, Argv);
    }
    // The first estimate asks with an empty cache each time; the repeated one keeps the answer.
    RunRecorderArgv(State, Argv, [&State, &Cache] {
        if (State.range(0) == 0) {
            fs::remove_all(Cache);
        }
    });
}

// Range 0: 0 xorriso's mkisofs emulation with the recorder's checksums, 1 genisoimage.
void PeerPrintSize(benchmark::State& State) {
    const std::string Tree = EstimateTree(EstimateFiles).string();
    const std::vector<std::string> Argv =
        State.range(0) == 0
            ? std::vector<std::string>{"xorriso", "-as",   "mkisofs",     "-quiet", "-R",
                                       "-J",      "--md5", "-print-size", Tree}
            : std::vector<std::string>{"genisoimage", "-quiet", "-R", "-J", "-print-size", Tree};
    for (auto _ : State) {
        RunOrSkip(State, Argv);
    }
}

} // namespace

BENCHMARK(GenisoimageSmallFiles)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(CatSmallFiles)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(GenisoimageEntries)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(CatEntries)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RecorderEstimate)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(PeerPrintSize)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
