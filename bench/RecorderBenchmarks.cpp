// The recorder writing virtual discs, each against its floor in the same run: the same tree made
// into an image by genisoimage (plus one fsync), by xorriso's mkisofs emulation, and the same bytes
// copied into one file with one fsync; entries given one by one against xorriso mapping the same
// entries, and against the same files given as their one folder; a verify against xorriso checking
// the same checksums and comparing the same files. Also its peak memory, in file size and in
// number of files. The audio CD and DVD-Video are in RecorderMediaBenchmarks.cpp.
#include "RecorderBenchSupport.hpp"
#include "RecorderTrees.hpp"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace RecorderBench;

void RecorderLargeTree(benchmark::State& State) {
    RunRecorder(State, {LargeTree()});
}

void GenisoimageLargeTree(benchmark::State& State) {
    const fs::path& Tree = LargeTree();
    const fs::path Out = WorkFolder() / "genisoimage.iso";
    for (auto _ : State) {
        if (Run({"genisoimage", "-quiet", "-R", "-J", "-o", Out.string(), Tree.string()}).Exit !=
            0) {
            State.SkipWithError("genisoimage failed");
            return;
        }
        Fsync(Out);
    }
}

// xorriso's mkisofs emulation recording the same checksums as the recorder (of every file and of
// the session), plus one fsync: the cost of the same work done by the libraries' own program.
void XorrisoMd5LargeTree(benchmark::State& State) {
    const fs::path& Tree = LargeTree();
    const fs::path Out = WorkFolder() / "xorriso-md5.iso";
    for (auto _ : State) {
        fs::remove(Out);
        if (Run({"xorriso", "-as", "mkisofs", "-quiet", "-R", "-J", "--md5", "-o", Out.string(),
                 Tree.string()})
                .Exit != 0) {
            State.SkipWithError("xorriso failed");
            return;
        }
        Fsync(Out);
    }
}

// The floor: the same bytes into one file, one fsync.
void CatLargeTree(benchmark::State& State) {
    const std::vector<fs::path> Entries = LargeEntries();
    for (auto _ : State) {
        CopyIntoOneFile(State, Entries, WorkFolder() / "cat.bin");
    }
}

// The 100 files of the large tree given as 100 entries, as a front end passes a selection.
void RecorderLargeEntries(benchmark::State& State) {
    RunRecorder(State, LargeEntries());
}

// The same, read back and checked (--verify).
void RecorderLargeVerify(benchmark::State& State) {
    std::vector<std::string> Argv = RecorderArgv(LargeEntries());
    Argv.insert(Argv.end() - static_cast<std::ptrdiff_t>(LargeEntries().size()) - 1, "--verify");
    RunRecorderArgv(State, Argv);
}

// xorriso checking what the recorder's verify checks on the same kind of image: the recorded
// checksums of every file (-check_md5_r), then every file against its source (-compare_l).
void XorrisoCheckLargeTree(benchmark::State& State) {
    const fs::path& Tree = LargeTree();
    const fs::path Image = WorkFolder() / "xorriso-check.iso";
    if (!fs::exists(Image) && Run({"xorriso", "-as", "mkisofs", "-quiet", "-R", "-J", "--md5", "-o",
                                   Image.string(), Tree.string()})
                                      .Exit != 0) {
        State.SkipWithError("xorriso failed");
        return;
    }
    std::vector<std::string> Argv{
        "xorriso", "-md5", "on", "-indev",     "stdio:" + Image.string(), "-check_md5_r",
        "SORRY",   "/",    "--", "-compare_l", Tree.string() + "/",       "/"};
    for (const fs::path& Entry : LargeEntries()) {
        Argv.push_back(Entry.string());
    }
    Argv.emplace_back("--");
    for (auto _ : State) {
        if (Run(Argv).Exit != 0) {
            State.SkipWithError("xorriso failed");
            return;
        }
    }
}

// Range 0 small files, each given as an entry of its own on the command line.
void RecorderEntries(benchmark::State& State) {
    const int Count = static_cast<int>(State.range(0));
    const InFolder Here(EntryFolder(Count));
    std::vector<fs::path> Entries;
    for (int I = 0; I < Count; ++I) {
        Entries.emplace_back(std::to_string(I));
    }
    RunRecorder(State, Entries);
}

// The same Range 0 small files given as the one folder that holds them: entries one by one should
// cost the recorder no more than the files found in a folder (no wait per entry, nothing that
// grows with the square of their number).
void RecorderEntryFolder(benchmark::State& State) {
    RunRecorder(State, {EntryFolder(static_cast<int>(State.range(0)))});
}

// xorriso mapping the same entries, with the recorder's settings and checksums, in the fastest
// way its commands offer for single entries: one -map each, from the last name to the first (in
// another order libisofs's sorted folders make the mapping grow with the square of the count),
// read from a file (they do not fit on a command line), then one fsync.
void XorrisoEntries(benchmark::State& State) {
    const int Count = static_cast<int>(State.range(0));
    const InFolder Here(EntryFolder(Count));
    const fs::path Image = WorkFolder() / "xorriso-entries.iso";
    const fs::path Commands = WorkFolder() / "xorriso-entries.txt";
    {
        std::vector<std::string> Names;
        for (int I = 0; I < Count; ++I) {
            Names.push_back(std::to_string(I));
        }
        std::sort(Names.rbegin(), Names.rend());
        std::ofstream Out(Commands);
        Out << "-md5 on\n-joliet on\n-rockridge on\n-compliance iso_9660_level=3\n-volid BENCH\n"
            << "-outdev stdio:" << Image.string() << "\n";
        for (const std::string& Name : Names) {
            Out << "-map " << Name << " /" << Name << "\n";
        }
        Out << "-commit\n";
    }
    for (auto _ : State) {
        State.PauseTiming();
        fs::remove(Image);
        State.ResumeTiming();
        if (Run({"xorriso", "-options_from_file", Commands.string()}).Exit != 0) {
            State.SkipWithError("xorriso failed");
            return;
        }
        Fsync(Image);
    }
}

void RecorderSmallFiles(benchmark::State& State) {
    RunRecorder(State, {SmallTree(static_cast<int>(State.range(0)))});
}

// Range 1: with the checksums the recorder records.
void XorrisoMkisofsSmallFiles(benchmark::State& State) {
    const fs::path Tree = SmallTree(static_cast<int>(State.range(0)));
    const fs::path Out = WorkFolder() / "xorriso.iso";
    std::vector<std::string> Argv{"xorriso", "-as", "mkisofs", "-quiet", "-R", "-J"};
    if (State.range(1) != 0) {
        Argv.emplace_back("--md5");
    }
    Argv.insert(Argv.end(), {"-o", Out.string(), Tree.string()});
    long Peak = 0;
    for (auto _ : State) {
        fs::remove(Out);
        const Outcome Done = Run(Argv);
        if (Done.Exit != 0) {
            State.SkipWithError("xorriso failed");
            return;
        }
        Peak = std::max(Peak, Done.PeakKilobytes);
    }
    State.counters["peak_rss_kb"] = static_cast<double>(Peak);
}

// Peak memory against the size of one file: 5 MB, and 4 GiB (sparse; the largest round size a
// single-layer DVD holds, and past the 4 GiB limit of a single ISO 9660 extent).
void RecorderOneFile(benchmark::State& State) {
    const std::uintmax_t Bytes = State.range(0) == 0 ? 5'000'000ULL : 4ULL << 30U;
    RunRecorder(State,
                {OneFile(std::string("one") + std::to_string(State.range(0)) + ".bin", Bytes)});
}

BENCHMARK(RecorderLargeTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(GenisoimageLargeTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(CatLargeTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RecorderSmallFiles)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(XorrisoMd5LargeTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RecorderLargeEntries)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RecorderLargeVerify)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(XorrisoCheckLargeTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(RecorderEntries)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(RecorderEntryFolder)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(XorrisoEntries)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(XorrisoMkisofsSmallFiles)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(RecorderOneFile)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(1);

} // namespace

int main(int argc, char** argv) {
    setenv("QUELT_DRIVES", (std::string("E=") + Disc().string()).c_str(), 1);
    // The estimates' answers are kept in the run's own folder, never in the user's cache.
    setenv("XDG_CACHE_HOME", (WorkFolder() / "cache").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    int Status = 0;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& Error) {
        (void)std::fprintf(stderr, "quelt_recorder_bench: %s\n", Error.what());
        Status = 1;
    }
    std::error_code Ignored;
    if (!WorkFolderIsKept()) {
        fs::remove_all(WorkFolder(), Ignored);
    }
    benchmark::Shutdown();
    return Status;
}
