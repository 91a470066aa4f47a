// What the recorder's benchmarks share (RecorderBenchSupport.hpp).
#include "RecorderBenchSupport.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace RecorderBench {

const fs::path& WorkFolder() {
    static const fs::path Folder = [] {
        const char* Kept = std::getenv("QUELT_BENCH_WORK");
        fs::path Made = Kept != nullptr && *Kept != '\0'
                            ? fs::path(Kept)
                            : fs::temp_directory_path() / (std::string("quelt-recorder-bench-") +
                                                           std::to_string(::getpid()));
        fs::create_directories(Made);
        return Made;
    }();
    return Folder;
}

bool WorkFolderIsKept() {
    const char* Kept = std::getenv("QUELT_BENCH_WORK");
    return Kept != nullptr && *Kept != '\0';
}

void WriteRandomFile(const fs::path& Path, std::size_t Bytes, std::mt19937_64& Random) {
    std::vector<std::uint64_t> Block(1 << 17);
    std::ofstream Out(Path, std::ios::binary);
    for (std::size_t Done = 0; Done < Bytes;) {
        for (std::uint64_t& Word : Block) {
            Word = Random();
        }
        const std::size_t Chunk = std::min(Bytes - Done, Block.size() * sizeof(std::uint64_t));
        Out.write(reinterpret_cast<const char*>(Block.data()), static_cast<std::streamsize>(Chunk));
        Done += Chunk;
    }
}

fs::path OneFile(const std::string& Name, std::uintmax_t Bytes) {
    fs::path Made = WorkFolder() / Name;
    if (!fs::exists(Made)) {
        std::mt19937_64 Random(7);
        if (Bytes <= 50'000'000) {
            WriteRandomFile(Made, Bytes, Random);
        } else {
            std::ofstream(Made).close();
            fs::resize_file(Made, Bytes); // sparse: reads as zeros, costs no disk
        }
    }
    return Made;
}

// Runs Argv (its first item a program found on the PATH, or a path) and waits for it.
Outcome Run(const std::vector<std::string>& Argv) {
    std::vector<char*> Pointers;
    std::vector<std::string> Items = Argv;
    for (std::string& Item : Items) {
        Pointers.push_back(Item.data());
    }
    Pointers.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t Pid = 0;
    const int Started =
        posix_spawnp(&Pid, Pointers[0], &Actions, nullptr, Pointers.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Started != 0) {
        throw std::runtime_error(std::string("cannot start ") + Argv[0]);
    }
    int Status = 0;
    struct rusage Usage {};
    if (::wait4(Pid, &Status, 0, &Usage) != Pid) {
        throw std::runtime_error(std::string("lost ") + Argv[0]);
    }
    return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, Usage.ru_maxrss};
}

void Fsync(const fs::path& File) {
    const int Fd = ::open(File.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0 || ::fsync(Fd) != 0) {
        throw std::runtime_error(std::string("cannot fsync ") + File.string());
    }
    ::close(Fd);
}

std::vector<std::string> RecorderArgv(const std::vector<fs::path>& Entries) {
    std::vector<std::string> Argv{
        QUELT_RECORDER_PATH, "--write", "--drivename", "E",     "--real", "--recursive",
        "--speed",           "4",       "--iso",       "BENCH", "--dvd"};
    for (const fs::path& Entry : Entries) {
        Argv.push_back(Entry.string());
    }
    return Argv;
}

fs::path Disc() {
    return WorkFolder() / "disc.iso";
}

// Runs the recorder with Argv onto a new disc each time, and keeps its peak memory.
void RunRecorderArgv(benchmark::State& State, const std::vector<std::string>& Argv,
                     const std::function<void()>& BeforeEach) {
    long Peak = 0;
    for (auto _ : State) {
        State.PauseTiming();
        fs::remove(Disc());
        if (BeforeEach) {
            BeforeEach();
        }
        State.ResumeTiming();
        const Outcome Done = Run(Argv);
        if (Done.Exit != 0) {
            State.SkipWithError("the recorder failed");
            return;
        }
        Peak = std::max(Peak, Done.PeakKilobytes);
    }
    State.counters["peak_rss_kb"] = static_cast<double>(Peak);
}

void RunRecorder(benchmark::State& State, const std::vector<fs::path>& Entries) {
    RunRecorderArgv(State, RecorderArgv(Entries));
}

// The floors' copy: the files' bytes, in order, into Out, then one fsync.
void CopyIntoOneFile(benchmark::State& State, const std::vector<fs::path>& Files,
                     const fs::path& Out) {
    std::vector<char> Buffer(1 << 20);
    const int To = ::open(Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (const fs::path& File : Files) {
        const int From = ::open(File.c_str(), O_RDONLY | O_CLOEXEC);
        for (ssize_t Got = 0; (Got = ::read(From, Buffer.data(), Buffer.size())) > 0;) {
            if (::write(To, Buffer.data(), static_cast<std::size_t>(Got)) != Got) {
                State.SkipWithError("write failed");
            }
        }
        ::close(From);
    }
    ::fsync(To);
    ::close(To);
}

} // namespace RecorderBench
