// What the recorder's benchmarks share: their work folder and its files, running a program (the
// recorder or a floor) and keeping its peak memory, and the floors' one copy with one fsync.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace RecorderBench {

namespace fs = std::filesystem;

// The run's own folder under the temporary folder, removed by main at the end; or the folder
// QUELT_BENCH_WORK names, kept with its trees for the next run (scripts/bench-peers.sh).
const fs::path& WorkFolder();
bool WorkFolderIsKept();
void WriteRandomFile(const fs::path& Path, std::size_t Bytes, std::mt19937_64& Random);
// A file of Bytes in the work folder, made once: random up to 50 MB, sparse beyond.
fs::path OneFile(const std::string& Name, std::uintmax_t Bytes);

struct Outcome {
    int Exit = -1;
    long PeakKilobytes = 0;
};
// Runs Argv (its first item a program found on the PATH, or a path) and waits for it.
Outcome Run(const std::vector<std::string>& Argv);
void Fsync(const fs::path& File);

// The recorder's data-disc command line onto drive E for Entries.
std::vector<std::string> RecorderArgv(const std::vector<fs::path>& Entries);
// The virtual disc drive E names.
fs::path Disc();
// Runs the recorder with Argv onto a new disc each time, and keeps its peak memory.
// BeforeEach, when given, runs untimed before each run (after the disc is removed).
void RunRecorderArgv(benchmark::State& State, const std::vector<std::string>& Argv,
                     const std::function<void()>& BeforeEach = {});
void RunRecorder(benchmark::State& State, const std::vector<fs::path>& Entries);

// The floors' copy: the files' bytes, in order, into Out, then one fsync.
void CopyIntoOneFile(benchmark::State& State, const std::vector<fs::path>& Files,
                     const fs::path& Out);

} // namespace RecorderBench
