// The recorder's audio CD and DVD-Video onto virtual discs, each against its floor in the same run:
// ten WAV tracks against the same bytes copied into one file with one fsync; DVD-Video against
// genisoimage alone.
#include "RecorderBenchSupport.hpp"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace RecorderBench;

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

} // namespace
