// What the benchmarks share: the stand-in tool's path, the entries (real temporary files for the
// runs through the POSIX host, the same kind of names for composition alone), and the command
// lines and argvs the component composes from them, captured once outside any timing.
#pragma once

#include "System.hpp"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Queltburner {
class TQueltBurner;
}

namespace QueltBench {

// Entries that the POSIX-host benchmarks create as files; composition goes up to MaxEntries.
inline constexpr std::size_t ExistingFileCount = 10'000;
inline constexpr std::size_t MaxEntries = 100'000;

// The tools a run can start: the stand-in (which parses its arguments and logs), or a program
// that does nothing, which leaves the library's own cost as the difference.
enum class BenchTool : std::uint8_t { Standin = 0, NoOp = 1 };

const std::string& StandinPath();
const System::UnicodeString& StandinPathText();
const std::string& ToolPath(BenchTool Tool);

// Entry names: the first ExistingFileCount exist as files (once CreateEntryFiles has run).
const std::vector<System::UnicodeString>& EntryTexts();
const std::vector<std::string>& EntryPaths();

// Creates the entry files in a fresh temporary folder; RemoveEntryFiles deletes them again.
void CreateEntryFiles();
void RemoveEntryFiles() noexcept;

// Sets what every benchmark's component shares: Tool as the tool, waiting runs, no message
// output, and the first Count entries as Files.
void PrepareBurner(Queltburner::TQueltBurner& Burner, std::size_t Count,
                   BenchTool Tool = BenchTool::Standin);

// Runs BurnData in the benchmark's loop and reports the most heap one call added on top of what
// was live before it, against the size in bytes of the command line (LineLength code units, read
// after the runs).
void MeasurePeakExtraHeap(benchmark::State& State, Queltburner::TQueltBurner& Burner,
                          const std::function<std::size_t()>& LineLength);

// A peer's way of starting a tool and waiting for it, made once for an argv (its first item the
// tool): each call of the run it returns starts the tool and is true when it exited with 0.
using PeerRun = std::function<bool()>;
using PeerFactory = PeerRun (*)(const std::vector<std::string>& Argv);
// Qt's QProcess, set when the program is built with Qt 6; null without it.
PeerFactory& QProcessPeer();

// The command line BurnData (Count entries, all existing) or Eject composes for drive E.
System::UnicodeString DataCommandLine(std::size_t Count);
System::UnicodeString EjectCommandLine();

// The argv the POSIX host hands the tool for a command line: split by the C runtime's rules,
// then UTF-8.
std::vector<std::string> ArgvOf(const System::UnicodeString& CommandLine);

// The same argv with Tool as its program, as the host builds it when Tool is NeroCmdLocation.
std::vector<std::string> ArgvWithTool(const System::UnicodeString& CommandLine, BenchTool Tool);

} // namespace QueltBench
