// Watched runs through the real POSIX host: a run whose output is captured against the same run
// with the tool writing to the inherited streams, and 100 MB of a tool's output read through the
// output event against the same bytes read from a pipe by a bare reader (cat's speed into a pipe).
#include "BenchData.hpp"
#include "PosixHostServices.hpp"
#include "QueltBurner.hpp"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace QueltBench {

namespace {

constexpr std::size_t OutputBytes = 100'000'000;

// A tool that writes OutputBytes (NUL bytes, no line ends: the output event gets 64 KiB pieces).
const std::string& ChattyTool() {
    static const std::string Path = [] {
        const std::filesystem::path Made =
            std::filesystem::temp_directory_path() /
            ("quelt-bench-chatty-" + std::to_string(::getpid()) + ".sh");
        std::ofstream(Made) << "#!/bin/sh\nexec head -c " << OutputBytes << " /dev/zero\n";
        std::filesystem::permissions(Made, std::filesystem::perms::owner_all);
        return Made.string();
    }();
    return Path;
}

// Range 0: the output is captured (the output event is set) or not.
void EjectCaptured(benchmark::State& State) {
    Queltburner::TQueltBurner Burner(nullptr,
                                     std::make_shared<Queltburner::Posix::PosixHostServices>());
    PrepareBurner(Burner, 0, BenchTool::Standin);
    std::size_t Lines = 0;
    if (State.range(0) != 0) {
        Burner.SetOnOutput(
            [&Lines](System::TObject*, const System::UnicodeString&, bool) { ++Lines; });
    }
    // The stand-in's line goes to /dev/null when it is not captured, as a pipe's reader would
    // take it.
    const int Saved = ::dup(STDOUT_FILENO);
    const int Null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(Null, STDOUT_FILENO);
    for (auto _ : State) {
        if (Burner.Eject(u'E') != 0) {
            State.SkipWithError("Eject did not return 0");
            break;
        }
    }
    ::dup2(Saved, STDOUT_FILENO);
    ::close(Saved);
    ::close(Null);
    benchmark::DoNotOptimize(Lines);
}

void OutputThroughTheEvent(benchmark::State& State) {
    Queltburner::TQueltBurner Burner(nullptr,
                                     std::make_shared<Queltburner::Posix::PosixHostServices>());
    PrepareBurner(Burner, 0, BenchTool::Standin);
    Burner.NeroCmdLocation = System::UnicodeString(ChattyTool().begin(), ChattyTool().end());
    std::size_t Characters = 0;
    Burner.SetOnOutput([&Characters](System::TObject*, const System::UnicodeString& Line, bool) {
        Characters += Line.size();
    });
    for (auto _ : State) {
        Characters = 0;
        if (Burner.Eject(u'E') != 0 || Characters != OutputBytes) {
            State.SkipWithError("the output did not arrive whole");
            break;
        }
    }
}

// The floor: the same tool's output read from a pipe in 64 KiB reads, nothing done with it.
void OutputThroughAPipe(benchmark::State& State) {
    std::string Program = ChattyTool();
    char* Argv[] = {Program.data(), nullptr};
    std::vector<char> Buffer(65536);
    for (auto _ : State) {
        int Pipe[2];
        if (::pipe2(Pipe, O_CLOEXEC) != 0) {
            State.SkipWithError("pipe2 failed");
            break;
        }
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
        pid_t Pid = 0;
        const int Spawned = posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv, environ);
        posix_spawn_file_actions_destroy(&Actions);
        ::close(Pipe[1]);
        std::size_t Total = 0;
        for (ssize_t Got = 0; (Got = ::read(Pipe[0], Buffer.data(), Buffer.size())) > 0;) {
            Total += static_cast<std::size_t>(Got);
        }
        ::close(Pipe[0]);
        int Status = 0;
        if (Spawned != 0 || ::waitpid(Pid, &Status, 0) != Pid || Total != OutputBytes) {
            State.SkipWithError("the pipe did not carry the output whole");
            break;
        }
    }
}

BENCHMARK(EjectCaptured)
    ->Arg(0)
    ->Arg(1)
    ->MinTime(2.0)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(OutputThroughTheEvent)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(OutputThroughAPipe)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

} // namespace QueltBench
