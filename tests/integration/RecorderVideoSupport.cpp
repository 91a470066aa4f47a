#include "RecorderVideoSupport.hpp"

#include "RecorderSupport.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace RecorderTest {

int RunIn(const fs::path& Folder, const Strings& Argv, const Strings& Environment) {
    return QueltTest::RunProgram({Argv.at(0), Argv, Environment, Folder}).ExitCode;
}

std::string Media(const std::string& Name) {
    return std::string(QUELT_RECORDER_MEDIA) + "/" + Name;
}

fs::path MakeDvdFolders(const fs::path& Root) {
    const Strings Environment{"PATH=/usr/bin:/bin", "VIDEO_FORMAT=NTSC"};
    for (const Strings& Step :
         {Strings{"/usr/bin/dvdauthor", "-o", Root.string(), "-t", Media("dvd.mpg")},
          Strings{"/usr/bin/dvdauthor", "-o", Root.string(), "-T"}}) {
        const auto Run = QueltTest::RunProgram(Step, Environment);
        if (Run.ExitCode != 0) {
            throw std::runtime_error("dvdauthor failed: " + Run.Err);
        }
    }
    fs::create_directories(Root / "AUDIO_TS");
    return Root;
}

std::vector<fs::path> RipVideoCd(const fs::path& Sheet, const fs::path& Out) {
    fs::create_directories(Out);
    if (RunIn(Out, {"vcdxrip", "--quiet", "--cue-file=" + fs::absolute(Sheet).string()},
              {"PATH=/usr/bin:/bin"}) != 0) {
        std::printf("vcdxrip failed on %s\n", Sheet.c_str());
        return {};
    }
    std::vector<fs::path> Streams;
    for (const fs::directory_entry& Entry : fs::directory_iterator(Out)) {
        if (Entry.path().extension() == ".mpg") {
            Streams.push_back(Entry.path());
        }
    }
    std::sort(Streams.begin(), Streams.end());
    return Streams;
}

std::string RawSectors(std::size_t SectorBytes, std::size_t Count, char Fill) {
    std::string Bytes;
    Bytes.reserve(SectorBytes * Count);
    for (std::size_t Sector = 0; Sector < Count; ++Sector) {
        std::string One = std::to_string(Sector) + ":";
        One.resize(SectorBytes, Fill);
        Bytes += One;
    }
    return Bytes;
}

bool WaitForFile(const fs::path& File, std::chrono::milliseconds Timeout) {
    const auto Until = std::chrono::steady_clock::now() + Timeout;
    while (!fs::exists(File)) {
        if (std::chrono::steady_clock::now() > Until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

Strings VideoCd(const std::string& Format, const Strings& Entries, const Strings& After,
                const Strings& Options) {
    Strings Arguments{"--write", "--drivename", "E",       "--real",
                      Format,    "--recursive", "--speed", "4"};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), Entries.begin(), Entries.end());
    Arguments.insert(Arguments.end(), After.begin(), After.end());
    return Arguments;
}

Strings DvdVideo(const std::string& Label, const Strings& Options, const Strings& Entries,
                 const Strings& After) {
    Strings Arguments{"--write", "--drivename", "E",     "--real", "--recursive",
                      "--speed", "4",           "--iso", Label};
    Arguments.insert(Arguments.end(), Options.begin(), Options.end());
    Arguments.insert(Arguments.end(), {"--dvd", "--create_iso_fs", "--create_udf_fs",
                                       "--iso-no-joliet", "--dvdvideo_realloc"});
    Arguments.insert(Arguments.end(), Entries.begin(), Entries.end());
    Arguments.insert(Arguments.end(), After.begin(), After.end());
    return Arguments;
}

Strings ImageBurn(const fs::path& Image, const Strings& After) {
    Strings Arguments{"--write", "--drivename",  "E",       "--real",
                      "--image", Image.string(), "--speed", "4"};
    Arguments.insert(Arguments.end(), After.begin(), After.end());
    return Arguments;
}

void ExpectNothingWritten(const fs::path& Disc, const std::string& Case) {
    EXPECT_FALSE(fs::exists(Disc)) << Case;
    EXPECT_FALSE(fs::exists(fs::path(Disc).replace_extension(".cue"))) << Case;
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{}) << Case;
}

} // namespace RecorderTest
