// The recorder's own words for what the libraries report, and the read test of --speedtest, as
// functions of the recorder's library.
#include "LibraryWords.hpp"
#include "Progress.hpp"
#include "SpeedTest.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;
using Recorder::ExitCode;

TEST(RecorderWords, LibraryTextsBecomeTheRecordersReasons) {
    const struct {
        const char* LibraryText;
        ExitCode Kind;
        const char* Reason; // a part of the reason given
    } Rows[] = {
        {"Unsuitable target media state; Failed to prepare session write run; Cannot "
         "-tell_media_space",
         ExitCode::Medium, "put in a blank or rewritable disc"},
        {"Cannot open busy device '/dev/sr0'", ExitCode::Target, "/dev/sr0: the drive is busy"},
        {"File \"/home/me/a.txt\" can't be opened. Filling with 0s.", ExitCode::Source,
         "/home/me/a.txt: could not be read"},
        {"Read error in file /in/my file.txt. (Directory used where no dir is expected); Filling "
         "with 0",
         ExitCode::Source, "/in/my file.txt: could not be read"},
        {"File does not exist or is not a regular file (possibly a pipe?).", ExitCode::Source,
         "cannot be decoded as WAV, FLAC, Ogg Vorbis or MP3"},
        {"Format not recognised.", ExitCode::Source, "is not a sound file"},
        // The Joliet conversion fails first; the session's failure that follows is no disc's.
        {"Charset conversion error; Failed to prepare session write run", ExitCode::Write,
         "file names could not be converted to UTF-16 for the Joliet tree"},
        // What ran out is said, not the step that failed for it.
        {"Memory allocation error; Failed to prepare session write run", ExitCode::Medium,
         "out of memory"},
        {"Cannot open '/in/a': Too many open files", ExitCode::Source, "too many open files"},
        // Unknown texts get the general reason of their kind, never their own words.
        {"Some libburn internal state 0x42", ExitCode::Write, "the write failed (write error)"},
        {"", ExitCode::Verify, "(verify error)"},
    };
    for (const auto& Row : Rows) {
        const std::string Reason = Recorder::RecorderReason(Row.LibraryText, Row.Kind);
        EXPECT_NE(Reason.find(Row.Reason), std::string::npos) << Row.LibraryText << ": " << Reason;
        for (const char* Raw : {"Unsuitable", "tell_media_space", "pipe", "Filling", "0x42"}) {
            EXPECT_EQ(Reason.find(Raw), std::string::npos) << Row.LibraryText << ": " << Reason;
        }
    }
}

TEST(RecorderSpeedTest, WarnsOnlyBelowTheWriteSpeedAsked) {
    const struct {
        double Read; // kB/s
        std::uint16_t Speed;
        bool Dvd;
        bool Warned;
    } Rows[] = {
        {700.0, 4, false, true},  // 4 x 176.4 = 705.6
        {706.0, 4, false, false}, //
        {5000.0, 4, true, true},  // 4 x 1,385 = 5,540
        {1.0, 0, true, false},    // the drive's fastest: nothing to compare with
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(Recorder::SlowSourceWarning(Row.Read, Row.Speed, Row.Dvd).has_value(), Row.Warned)
            << Row.Read << " kB/s at " << Row.Speed << (Row.Dvd ? "x DVD" : "x CD");
    }
}

// Every file is read once: folders walked, links inside them not followed, a FIFO skipped (never
// opened, which would wait for a writer).
TEST(RecorderSpeedTest, ReadsEveryFileOnceAndSaysHowFast) {
    QueltTest::TempDir Dir;
    const fs::path Outside = Dir.Write("outside.bin", std::string(100000, 'o'));
    Dir.Write("in/a.txt", std::string(1000, 'a'));
    Dir.Write("in/sub/b.txt", std::string(234, 'b'));
    fs::create_symlink(Outside, Dir.Path() / "in/link");
    ASSERT_EQ(::mkfifo((Dir.Path() / "in/fifo").c_str(), 0600), 0);
    const fs::path Single = Dir.Write("single.txt", std::string(10, 's'));
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> Out(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(Out);
    Recorder::Progress Report(Out.get());
    const auto Read = Recorder::ReadSpeedTest(
        {(Dir.Path() / "in").string(), Single.string(), (Dir.Path() / "in/link").string()}, 65535,
        true, Report);
    EXPECT_EQ(Read.Files, 4U);
    EXPECT_EQ(Read.Bytes, 1000U + 234U + 10U + 100000U);
    std::rewind(Out.get());
    std::string Said(4096, '\0');
    Said.resize(std::fread(Said.data(), 1, Said.size(), Out.get()));
    EXPECT_NE(Said.find("4 files, 101244 bytes read"), std::string::npos) << Said;
    EXPECT_NE(Said.find("warning: the sources are read at"), std::string::npos) << Said;
}

} // namespace
