// What a front end shows, through the component on the POSIX host and the real recorder: letters
// the application maps itself, a drive a run holds, and one free space whichever question asks.
#include "AudioMedia.hpp"
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using QueltTest::PathText;
using QueltTest::RealWorld;
namespace fs = std::filesystem;

// A world whose tool is the recorder; the letters it maps are taken back when it goes.
struct MappingWorld : RealWorld {
    MappingWorld() { Burner->NeroCmdLocation = PathText(RecorderTest::RecorderPath); }
    MappingWorld(const MappingWorld&) = delete;
    MappingWorld& operator=(const MappingWorld&) = delete;
    MappingWorld(MappingWorld&&) = delete;
    MappingWorld& operator=(MappingWorld&&) = delete;
    ~MappingWorld() {
        for (char16_t Letter = u'A'; Letter <= u'Z'; ++Letter) {
            Queltburner::UnmapDrive(Letter);
        }
    }
    std::optional<Queltburner::TOpticalDrive> Drive(char16_t Letter) {
        for (const Queltburner::TOpticalDrive& Each : Burner->OpticalDrives()) {
            if (Each.Letter == Letter) {
                return Each;
            }
        }
        return std::nullopt;
    }
    void Select(const fs::path& Entry) {
        Burner->Files()->Clear();
        Burner->Files()->Add(PathText(Entry));
    }
};

// A mapped letter counts before QUELT_DRIVES, for the host and for the recorder it starts, until
// it is taken back; a target the variable could not carry is refused.
TEST(FrontEndValues, MappedLettersReachTheHostAndTheRecorder) {
    MappingWorld W;
    const fs::path Own = W.Dir.Path() / "own disc.iso";
    Queltburner::MapDrive(u'e', PathText(Own));
    Queltburner::MapDrive(u'K', PathText(W.Dir.Path() / "k.iso"));
    ASSERT_EQ(W.Drive(u'E')->Target, PathText(Own));
    EXPECT_EQ(W.Drive(u'E')->Media, u"any");
    EXPECT_EQ(W.Drive(u'E')->Vendor, u"");
    ASSERT_TRUE(W.Drive(u'K'));
    W.Select(W.Dir.Write("a.txt", "a"));
    ASSERT_EQ(W.Burner->BurnData(u'E'), 0);
    EXPECT_TRUE(fs::exists(Own));
    EXPECT_FALSE(fs::exists(W.Dir.Path() / "disc.iso")) << "QUELT_DRIVES's E was not the one";
    Queltburner::UnmapDrive(u'E');
    Queltburner::UnmapDrive(u'K');
    EXPECT_EQ(W.Drive(u'E')->Target, PathText(W.Dir.Path() / "disc.iso"));
    EXPECT_FALSE(W.Drive(u'K'));
    const std::pair<char16_t, std::u16string> Refused[] = {
        {u'1', u"/x.iso"},
        {u'\u00e9', u"/x.iso"},
        {u'E', u""},
        {u'E', u"/a;b.iso"},
        {u'E', u" /x.iso"},
        {u'E', u"/x.iso\t"},
        {u'E', std::u16string(u"/a\0b", 4)},
        {u'[', u"/x.iso"},
        {u'E', u"/\xd800.iso"},
    };
    for (const auto& [Letter, Target] : Refused) {
        EXPECT_THROW(Queltburner::MapDrive(Letter, Target), std::invalid_argument)
            << QueltTest::Utf8(Target);
    }
    EXPECT_THROW(Queltburner::UnmapDrive(u'5'), std::invalid_argument);
}

// Threads that map and take back letters while another asks for the drives: every target read is
// one that was mapped (a letter taken back between the two looks at it has none left).
TEST(FrontEndValues, MappingIsSafeFromAnyThread) {
    MappingWorld W;
    const System::UnicodeString Target = PathText(W.Dir.Path() / "p.iso");
    std::atomic<bool> Stop = false;
    std::vector<std::thread> Mappers;
    for (char16_t Letter : {u'P', u'Q'}) {
        Mappers.emplace_back([&, Letter] {
            while (!Stop) {
                Queltburner::MapDrive(Letter, Target);
                Queltburner::UnmapDrive(Letter);
            }
        });
    }
    int Torn = 0;
    for (int Round = 0; Round < 200; ++Round) {
        for (const Queltburner::TOpticalDrive& Drive : W.Burner->OpticalDrives()) {
            const bool Ours = Drive.Letter == u'P' || Drive.Letter == u'Q';
            Torn += Ours && !Drive.Target.empty() && Drive.Target != Target ? 1 : 0;
        }
    }
    Stop = true;
    for (std::thread& Mapper : Mappers) {
        Mapper.join();
    }
    EXPECT_EQ(Torn, 0);
}

// A run's hold makes the drive busy for as long as the run lasts; a question's shared hold does
// not.
TEST(FrontEndValues, ADriveIsBusyWhileARunHoldsIt) {
    MappingWorld W;
    const fs::path Disc = W.Dir.Path() / "disc.iso";
    W.Select(W.Dir.Write("a.txt", "a"));
    ASSERT_EQ(W.Burner->BurnData(u'E'), 0);
    EXPECT_FALSE(W.Drive(u'E')->Busy);
    // Held here as a run (exclusive) and as a question (shared) hold it.
    for (const int Hold : {LOCK_SH, LOCK_EX}) {
        const int Fd = ::open(Disc.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(Fd, 0);
        ASSERT_EQ(::flock(Fd, Hold), 0);
        EXPECT_EQ(W.Drive(u'E')->Busy, Hold == LOCK_EX);
        ::close(Fd);
        EXPECT_FALSE(W.Drive(u'E')->Busy);
    }
    // The recorder's own run, paused just before it writes.
    const fs::path Pause = W.Dir.Write("pause.sh", "#!/bin/sh\nsleep 3\n");
    fs::permissions(Pause, fs::perms::owner_all);
    const QueltTest::ScopedEnv Hook{"QUELT_RECORDER_TEST_BEFORE_WRITE", Pause.string()};
    W.Burner->SetForceEraseDisk(true);
    const auto Job = W.Burner->StartBurn(u'E');
    bool SeenBusy = false;
    while (!Job->Finished() && !SeenBusy) {
        SeenBusy = W.Drive(u'E')->Busy;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(SeenBusy);
    EXPECT_EQ(Job->Wait().Result, 0);
    EXPECT_FALSE(W.Drive(u'E')->Busy);
}

// For the same settings, the disc's free space as DescribeDisc tells it is the one MeasureBurn
// measures against: on a blank virtual disc and on one with a session, as a CD, a DVD and an
// audio CD.
TEST(FrontEndValues, DescribeAndMeasureAgreeOnFreeSpace) {
    MappingWorld W;
    const fs::path Tone = W.Dir.Path() / "tone.wav";
    RecorderTest::MakeSilentWav(Tone, 44100);
    const fs::path Data = W.Dir.Write("a.txt", "a");
    const struct {
        const char* Name;
        bool Written; // a session is on the disc first, and the burn continues it
        Queltburner::TDiskType Kind;
        bool Dvd;
    } Rows[] = {
        {"blank, data", false, Queltburner::dtData, false},
        {"blank, data as DVD", false, Queltburner::dtData, true},
        {"blank, audio", false, Queltburner::dtAudio, false},
        {"written, data", true, Queltburner::dtData, false},
        {"written, data as DVD", true, Queltburner::dtData, true},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        std::error_code Ignored;
        fs::remove(W.Dir.Path() / "disc.iso", Ignored);
        W.Select(Data);
        W.Burner->SetDiskType(Queltburner::dtData);
        W.Burner->SetContinueSession(-1);
        if (Row.Written) {
            ASSERT_EQ(W.Burner->BurnData(u'E'), 0);
            W.Burner->SetContinueSession(0);
        }
        W.Select(Row.Kind == Queltburner::dtAudio ? Tone : Data);
        W.Burner->SetDiskType(Row.Kind);
        W.Burner->SetDVD(Row.Dvd);
        Queltburner::DiscReport Disc;
        Queltburner::SizeReport Size;
        ASSERT_EQ(W.Burner->DescribeDisc(u'E', Disc), 0) << QueltTest::Utf8(Disc.Reason);
        ASSERT_EQ(W.Burner->MeasureBurn(u'E', Size), 0) << QueltTest::Utf8(Size.Reason);
        EXPECT_EQ(Disc.FreeBytes, Size.FreeBytes);
        EXPECT_GT(Disc.FreeBytesAsDVD, Disc.FreeBytesAsCD);
        EXPECT_EQ(Disc.Kind, Queltburner::TMediumKind::Virtual);
    }
}

} // namespace
