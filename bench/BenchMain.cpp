// The benchmark program: fixes the environment the stand-in and the POSIX host read, creates the
// entry files, runs the benchmarks and removes the files again.
#include "BenchData.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    // Drive E is an optical drive for the POSIX host; the stand-in logs nothing, waits for
    // nothing and exits 0, so that each run costs what a start and an exit cost. The registry
    // file is one that does not exist, so no user's settings take part.
    setenv("QUELT_DRIVES", "E=/tmp/x", 1);
    setenv("QUELT_REGISTRY", "/nonexistent/queltbench/user.reg", 1);
    unsetenv("NEROCMD_LOG");
    unsetenv("NEROCMD_DELAY_MS");
    unsetenv("NEROCMD_EXIT");

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    int Status = 0;
    try {
        QueltBench::CreateEntryFiles();
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "quelt_bench: %s\n", Error.what());
        Status = 1;
    }
    QueltBench::RemoveEntryFiles();
    benchmark::Shutdown();
    return Status;
}
