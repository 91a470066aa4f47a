// The recorder writing virtual discs, each against its floor in the same run: the same tree made
// into an image by genisoimage (plus one fsync), by xorriso's mkisofs emulation, and the same bytes
// copied into one file with one fsync; entries given one by one against xorriso mapping the same
// entries, and against the same files given as their one folder; a verify against xorriso checking
// the same checksums and comparing the same files; an audio CD of ten WAV tracks against the same
// bytes copied into one file with one fsync; DVD-Video against genisoimage alone. Also its peak
// memory, in file size and in number of files.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

extern char** environ; // NOLINT(readability-redundant-declaration): not declared by every libc

namespace {

namespace fs = std::filesystem;

const fs::path& WorkFolder() {
    static const fs::path Folder = [] {
        fs::path Made = fs::temp_directory_path() /
                        (std::string("quelt-recorder-bench-") + std::to_string(::getpid()));
        fs::create_directories(Made);
        return Made;
    }();
    return Folder;
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

// 100 files of 5 MB (incompressible), made once.
const fs::path& LargeTree() {
    static const fs::path Tree = [] {
        fs::path Made = WorkFolder() / "large";
        fs::create_directories(Made);
        std::mt19937_64 Random(42);
        for (int I = 0; I < 100; ++I) {
            WriteRandomFile(Made / (std::string("file") + std::to_string(I) + ".bin"), 5'000'000,
                            Random);
        }
        return Made;
    }();
    return Tree;
}

// Count small files of 100 bytes, in folders of 1,000, made once per count.
fs::path SmallTree(int Count) {
    fs::path Made = WorkFolder() / (std::string("small") + std::to_string(Count));
    if (fs::exists(Made)) {
        return Made;
    }
    const std::string Content(100, 'x');
    for (int I = 0; I < Count; ++I) {
        const fs::path Folder = Made / (std::string("d") + std::to_string(I / 1000));
        if (I % 1000 == 0) {
            fs::create_directories(Folder);
        }
        std::ofstream(Folder / (std::string("f") + std::to_string(I) + ".txt")) << Content;
    }
    return Made;
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

struct Outcome {
    int Exit = -1;
    long PeakKilobytes = 0;
};

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
void RunRecorderArgv(benchmark::State& State, const std::vector<std::string>& Argv) {
    long Peak = 0;
    for (auto _ : State) {
        State.PauseTiming();
        fs::remove(Disc());
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

std::vector<fs::path> LargeEntries() {
    std::vector<fs::path> Entries;
    for (const auto& Item : fs::directory_iterator(LargeTree())) {
        Entries.push_back(Item.path());
    }
    return Entries;
}

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

// Count small files in one folder, named by number, made once per count.
fs::path EntryFolder(int Count) {
    fs::path Made = WorkFolder() / (std::string("entries") + std::to_string(Count));
    if (!fs::exists(Made)) {
        fs::create_directories(Made);
        for (int I = 0; I < Count; ++I) {
            std::ofstream(Made / std::to_string(I)) << "entry " << I;
        }
    }
    return Made;
}

// Runs in Folder, so that 100,000 entries fit the kernel's argument limit as short names.
class InFolder {
public:
    explicit InFolder(const fs::path& Folder) : FBack(fs::current_path()) {
        fs::current_path(Folder);
    }
    ~InFolder() { fs::current_path(FBack); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;
    InFolder(InFolder&&) = delete;
    InFolder& operator=(InFolder&&) = delete;

private:
    fs::path FBack;
};

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

void PutLittleEndian(std::string& Out, std::uint32_t Value, int Bytes) {
    for (int I = 0; I < Bytes; ++I) {
        Out += static_cast<char>((Value >> (8 * I)) & 0xFFU);
    }
}

// Ten WAV tracks of 30 seconds, 44.1 kHz stereo 16-bit, of noise (no silence to skip), made once.
const std::vector<fs::path>& AudioTracks() {
    static const std::vector<fs::path> Tracks = [] {
        std::vector<fs::path> Made;
        std::mt19937_64 Random(3);
        const std::uint32_t DataBytes = 30U * 44100U * 4U;
        for (int I = 0; I < 10; ++I) {
            const fs::path Track = WorkFolder() / ("track" + std::to_string(I) + ".wav");
            std::string Head = "RIFF";
            PutLittleEndian(Head, 36 + DataBytes, 4);
            Head += "WAVEfmt ";
            PutLittleEndian(Head, 16, 4);
            PutLittleEndian(Head, 1, 2);
            PutLittleEndian(Head, 2, 2);
            PutLittleEndian(Head, 44100, 4);
            PutLittleEndian(Head, 44100 * 4, 4);
            PutLittleEndian(Head, 4, 2);
            PutLittleEndian(Head, 16, 2);
            Head += "data";
            PutLittleEndian(Head, DataBytes, 4);
            WriteRandomFile(Track, DataBytes, Random);
            std::string Body;
            {
                std::ifstream In(Track, std::ios::binary);
                Body.assign(std::istreambuf_iterator<char>(In), {});
            }
            std::ofstream(Track, std::ios::binary | std::ios::trunc) << Head << Body;
            Made.push_back(Track);
        }
        return Made;
    }();
    return Tracks;
}

// The audio CD onto its own virtual disc (a BIN and its CUE sheet), new each time.
void RecorderAudioCd(benchmark::State& State) {
    const std::vector<fs::path>& Tracks = AudioTracks();
    const fs::path Bin = WorkFolder() / "audio.bin";
    std::vector<std::string> Argv{QUELT_RECORDER_PATH, "--write", "--drivename", "A",      "--real",
                                  "--recursive",       "--speed", "4",           "--audio"};
    for (const fs::path& Track : Tracks) {
        Argv.push_back(Track.string());
    }
    const std::string Drives = std::getenv("QUELT_DRIVES");
    setenv("QUELT_DRIVES", ("A=" + Bin.string() + ";" + Drives).c_str(), 1);
    for (auto _ : State) {
        State.PauseTiming();
        fs::remove(Bin);
        fs::remove(WorkFolder() / "audio.cue");
        State.ResumeTiming();
        if (Run(Argv).Exit != 0) {
            State.SkipWithError("the recorder failed");
            break;
        }
    }
    setenv("QUELT_DRIVES", Drives.c_str(), 1);
}

// The floor: the tracks' bytes into one file, one fsync.
void CatAudioTracks(benchmark::State& State) {
    const std::vector<fs::path>& Tracks = AudioTracks();
    for (auto _ : State) {
        CopyIntoOneFile(State, Tracks, WorkFolder() / "audio-cat.bin");
    }
}

BENCHMARK(RecorderAudioCd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(CatAudioTracks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A DVD's root of about 300 MB (VIDEO_TS with one title set), made once by dvdauthor from the
// tests' short MPEG-2 stream repeated: a valid input for genisoimage, which checks the title
// sets' structures against their files.
const fs::path& DvdRoot() {
    static const fs::path Root = [] {
        const fs::path Stream = WorkFolder() / "long.mpg";
        {
            std::ifstream In(QUELT_RECORDER_MEDIA "/dvd.mpg", std::ios::binary);
            const std::string Piece((std::istreambuf_iterator<char>(In)),
                                    std::istreambuf_iterator<char>());
            if (Piece.empty()) {
                throw std::runtime_error("no DVD stream in " QUELT_RECORDER_MEDIA);
            }
            std::ofstream Out(Stream, std::ios::binary);
            for (std::size_t Made = 0; Made < 300'000'000; Made += Piece.size()) {
                Out.write(Piece.data(), static_cast<std::streamsize>(Piece.size()));
            }
        }
        fs::path Made = WorkFolder() / "dvd";
        ::setenv("VIDEO_FORMAT", "NTSC", 1);
        if (Run({"dvdauthor", "-o", Made.string(), "-t", Stream.string()}).Exit != 0 ||
            Run({"dvdauthor", "-o", Made.string(), "-T"}).Exit != 0) {
            throw std::runtime_error("dvdauthor failed");
        }
        fs::create_directories(Made / "AUDIO_TS");
        fs::remove(Stream);
        return Made;
    }();
    return Root;
}

void RecorderDvdVideo(benchmark::State& State) {
    std::vector<std::string> Argv{QUELT_RECORDER_PATH,
                                  "--write",
                                  "--drivename",
                                  "E",
                                  "--real",
                                  "--recursive",
                                  "--speed",
                                  "4",
                                  "--iso",
                                  "BENCH",
                                  "--dvd",
                                  "--create_iso_fs",
                                  "--create_udf_fs",
                                  "--iso-no-joliet",
                                  "--dvdvideo_realloc",
                                  (DvdRoot() / "VIDEO_TS").string(),
                                  (DvdRoot() / "AUDIO_TS").string()};
    for (auto _ : State) {
        State.PauseTiming();
        fs::remove(Disc());
        State.ResumeTiming();
        if (Run(Argv).Exit != 0) {
            State.SkipWithError("the recorder failed");
            return;
        }
    }
}

// The floor: genisoimage alone writing the same image, plus one fsync.
void GenisoimageDvdVideo(benchmark::State& State) {
    const fs::path Out = WorkFolder() / "genisoimage-dvd.iso";
    for (auto _ : State) {
        State.PauseTiming();
        fs::remove(Out);
        State.ResumeTiming();
        if (Run({"genisoimage", "-quiet", "-dvd-video", "-udf", "-V", "BENCH", "-o", Out.string(),
                 DvdRoot().string()})
                .Exit != 0) {
            State.SkipWithError("genisoimage failed");
            return;
        }
        Fsync(Out);
    }
}

BENCHMARK(RecorderDvdVideo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(GenisoimageDvdVideo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
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
    fs::remove_all(WorkFolder(), Ignored);
    benchmark::Shutdown();
    return Status;
}
