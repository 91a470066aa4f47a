// The questions around a burn through the whole chain a user runs: queltburn and the component on
// the POSIX host, asking the recorder as a real process about virtual discs of every kind; and
// the estimate against what the burn that follows really writes.
#include "AudioMedia.hpp"
#include "RealWorld.hpp"
#include "RecorderSupport.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;
using QueltTest::Cli;
using QueltTest::RealWorld;
using QueltTest::ScopedEnv;
using Strings = std::vector<std::string>;

std::string MissingReaders() {
    return RecorderTest::MissingPrograms({"xorriso", "genisoimage"});
}

// A second of a tone as a WAV file.
fs::path ToneFile(const fs::path& Folder) {
    const fs::path Wav = Folder / "tone.wav";
    RecorderTest::WriteSound(Wav, RecorderTest::Tone(44100, 2, 44100, 440.0), 2, 44100,
                             SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    return Wav;
}

std::uintmax_t SizeOrZero(const fs::path& Path) {
    std::error_code Error;
    const std::uintmax_t Size = fs::file_size(Path, Error);
    return Error ? 0 : Size;
}

// One virtual disc of each kind, each on a letter of its own, written by the recorder itself
// (genisoimage for the DVD-Video's ISO 9660 and UDF).
struct DiscShelf : RealWorld {
    fs::path Blank = Dir.Write("blank.iso", "");
    fs::path Missing = Dir.Path() / "missing.iso";
    fs::path Data = Dir.Path() / "data.iso";
    fs::path Closed = Dir.Path() / "movie.iso";
    fs::path Notes = Dir.Write("notes.txt", "not a disc, a letter");
    fs::path Audio = Dir.Path() / "audio.bin";
    ScopedEnv Map{"QUELT_DRIVES", "B=" + Blank.string() + ";C=" + Missing.string() +
                                      ";D=" + Data.string() + ";E=" + Closed.string() +
                                      ";F=" + Notes.string() + ";G=" + Audio.string()};

    DiscShelf() {
        const fs::path File = Dir.Write("in/a.txt", std::string(5000, 'a'));
        EXPECT_EQ(RecorderTest::RunRecorder(RecorderTest::DataDisc("FIRST", {}, {File.string()}),
                                            RecorderTest::RecorderEnvironment(Data))
                      .ExitCode,
                  0);
        const fs::path Movie = Dir.MakeDir("dvd/VIDEO_TS");
        Dir.Write("dvd/VIDEO_TS/VIDEO_TS.IFO", "ifo");
        EXPECT_EQ(RecorderTest::RunReader({"genisoimage", "-quiet", "-udf", "-V", "MOVIE", "-o",
                                           Closed.string(), (Dir.Path() / "dvd").string()})
                      .ExitCode,
                  0);
        EXPECT_EQ(
            RecorderTest::RunRecorder({"--write", "--drivename", "E", "--real", "--recursive",
                                       "--speed", "0", "--audio", ToneFile(Dir.Path()).string()},
                                      RecorderTest::RecorderEnvironment(Audio))
                .ExitCode,
            0);
    }
};

// drives, then info --json, for each kind of virtual disc.
TEST(RecorderQueries, DrivesAndInfoTellEachKindOfDisc) {
    if (const std::string Missing = MissingReaders(); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    DiscShelf Shelf;
    struct Row {
        char Letter;
        fs::path Target;
        std::string DrivesState; // what "drives" says after the target
        std::string Json;        // what "info --json" holds
    };
    const Row Rows[] = {
        {'B', Shelf.Blank, "blank virtual disc, 703.1 MiB free", R"("state":"blank","sessions":0)"},
        // A missing file is a blank disc: a burn makes it.
        {'C', Shelf.Missing, "blank virtual disc, 703.1 MiB free",
         R"("state":"blank","sessions":0)"},
        {'D', Shelf.Data, "appendable virtual CD, 1 session, 70",
         R"("state":"appendable","sessions":1,"label":"FIRST")"},
        {'E', Shelf.Closed, "closed virtual DVD, 1 session",
         R"("state":"closed","sessions":1,"label":"MOVIE","used_bytes")"},
        {'F', Shelf.Notes, "not a disc", R"("state":"not a disc")"},
        {'G', Shelf.Audio, "closed virtual CD, 1 session", R"("state":"closed","sessions":1)"},
    };
    const Strings Tool{"--tool", RecorderTest::RecorderPath};
    const auto Drives = QueltTest::RunProgram({Cli, "drives", Tool[0], Tool[1]});
    EXPECT_EQ(Drives.ExitCode, 0) << Drives.Err;
    // The same drives for programs: one array, exact bytes, the kind as a word.
    const auto Json = QueltTest::RunProgram({Cli, "drives", "--json", Tool[0], Tool[1]});
    EXPECT_EQ(Json.ExitCode, 0) << Json.Err;
    EXPECT_EQ(Json.Out.front(), '[') << Json.Out;
    EXPECT_EQ(Json.Out.find('\n'), Json.Out.size() - 1) << Json.Out;
    EXPECT_NE(Json.Out.find(R"("busy":false,"result":0,"medium":"virtual disc","kind":"virtual",)"
                            R"("state":"blank","sessions":0,"label":"","used_bytes":0,)"
                            R"("free_bytes":737280000,"free_bytes_cd":737280000,)"
                            R"("free_bytes_dvd":4700372992})"),
              std::string::npos)
        << Json.Out;
    for (const Row& Case : Rows) {
        SCOPED_TRACE(std::string(1, Case.Letter));
        const std::string Line =
            std::string(1, Case.Letter) + "  " + Case.Target.string() + "  " + Case.DrivesState;
        EXPECT_NE(Drives.Out.find(Line), std::string::npos) << Drives.Out;
        const auto Info = QueltTest::RunProgram(
            {Cli, "info", std::string(1, Case.Letter), "--json", Tool[0], Tool[1]});
        EXPECT_EQ(Info.ExitCode, 0) << Info.Out << Info.Err;
        EXPECT_NE(Info.Out.find(Case.Json), std::string::npos) << Info.Out;
        EXPECT_EQ(Info.Out.find('\n'), Info.Out.size() - 1) << "one object: " << Info.Out;
    }
    // Asking changed nothing: the missing disc is still missing, the letter still a letter.
    EXPECT_FALSE(fs::exists(Shelf.Missing));
    EXPECT_EQ(QueltTest::ReadFile(Shelf.Notes), "not a disc, a letter");
    const auto People = QueltTest::RunProgram({Cli, "info", "D", Tool[0], Tool[1]});
    EXPECT_NE(People.Out.find("state: appendable\nsessions: 1\nlabel: FIRST\n"), std::string::npos)
        << People.Out;
    const auto Unmapped =
        QueltTest::RunProgram({Cli, "drives", Tool[0], Tool[1]}, Strings{"QUELT_DRIVES="});
    EXPECT_EQ(Unmapped.ExitCode, 0) << Unmapped.Err;
    EXPECT_NE(Unmapped.Out.find("no optical drive: map a letter"), std::string::npos)
        << Unmapped.Out;
    // A disc another run holds is in use, and the holder is named: never a state read half way
    // through that run's write. flock(1) holds it as a run does.
    QueltTest::WatchedProgram Holder({"flock", "-x", Shelf.Data.string(), "sleep", "30"},
                                     std::nullopt);
    const std::string InUse =
        "in use by another run (process " + std::to_string(Holder.Pid()) + ")";
    std::string Said;
    for (int Try = 0; Try < 100 && Said.find(InUse) == std::string::npos; ++Try) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Said = QueltTest::RunProgram({Cli, "info", "D", Tool[0], Tool[1]}).Out;
    }
    EXPECT_NE(Said.find(InUse), std::string::npos) << Said;
    const auto HeldDrives = QueltTest::RunProgram({Cli, "drives", Tool[0], Tool[1]});
    EXPECT_NE(HeldDrives.Out.find("D  " + Shelf.Data.string() + "  in use ("), std::string::npos)
        << HeldDrives.Out;
    EXPECT_NE(HeldDrives.Out.find(InUse), std::string::npos) << HeldDrives.Out;
    const auto HeldJson = QueltTest::RunProgram({Cli, "drives", "--json", Tool[0], Tool[1]});
    EXPECT_NE(HeldJson.Out.find(R"("drive":"D","target":")" + Shelf.Data.string() +
                                R"(","vendor":"","model":"","media":"any","busy":true,"result":)"),
              std::string::npos)
        << HeldJson.Out;
    Holder.Signal(SIGTERM);
    const auto NoDrive = QueltTest::RunProgram({Cli, "info", "Q", Tool[0], Tool[1]});
    EXPECT_EQ(NoDrive.ExitCode, 1);
    EXPECT_NE(NoDrive.Out.find("result: -2 ("), std::string::npos) << NoDrive.Out;
}

// The estimate is the size the burn that follows takes: a new data disc, a session appended to
// it, and an audio CD. The image file ends where the new session does: a new session starts where
// the disc says it has used (an appended one overwrites the padding after the last), within one
// block.
TEST(RecorderQueries, EstimateIsWhatTheBurnWrites) {
    if (const std::string Missing = MissingReaders(); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    RealWorld W;
    W.Burner->NeroCmdLocation = QueltTest::PathText(RecorderTest::RecorderPath);
    const fs::path Disc = W.Dir.Path() / "disc.iso";
    const fs::path Audio = W.Dir.Path() / "audio.bin";
    ScopedEnv Map{"QUELT_DRIVES", "E=" + Disc.string() + ";G=" + Audio.string()};
    W.Dir.Write("big/a.bin", std::string(300000, 'x'));
    W.Dir.Write("big/sub/b.txt", "b");
    const fs::path More = W.Dir.Write("more.txt", std::string(70000, 'm'));
    struct Row {
        const char* Name;
        Queltburner::TDiskType Kind;
        char16_t Drive;
        fs::path Target;
        Strings Files;
        int ContinueSession;
        std::uint64_t Free; // none when 0
    };
    const Row Rows[] = {
        {"new data disc",
         Queltburner::dtData,
         u'E',
         Disc,
         {(W.Dir.Path() / "big").string()},
         -1,
         737280000},
        {"appended session", Queltburner::dtData, u'E', Disc, {More.string()}, 0, 0},
        {"audio CD",
         Queltburner::dtAudio,
         u'G',
         Audio,
         {ToneFile(W.Dir.Path()).string()},
         -1,
         360000ULL * 2352},
    };
    for (const Row& Case : Rows) {
        SCOPED_TRACE(Case.Name);
        W.Burner->Files()->Clear();
        for (const std::string& File : Case.Files) {
            W.Burner->Files()->Add(QueltTest::PathText(File));
        }
        W.Burner->SetDiskType(Case.Kind);
        W.Burner->SetContinueSession(Case.ContinueSession);
        const std::uintmax_t Before = SizeOrZero(Case.Target);
        Queltburner::DiscReport Disc;
        ASSERT_EQ(W.Burner->DescribeDisc(Case.Drive, Disc), Queltburner::ResultSuccess);
        Queltburner::SizeReport Size;
        ASSERT_EQ(W.Burner->MeasureBurn(Case.Drive, Size), Queltburner::ResultSuccess)
            << System::Sysutils::UTF8Encode(Size.Reason);
        EXPECT_EQ(SizeOrZero(Case.Target), Before) << "the estimate wrote";
        EXPECT_EQ(Size.FreeBytes, Case.Free != 0 ? Case.Free : Disc.FreeBytes);
        ASSERT_EQ(W.Burner->Burn(Case.Drive), 0);
        const std::uintmax_t Expected = Disc.UsedBytes + Size.NeededBytes;
        const std::uintmax_t After = SizeOrZero(Case.Target);
        EXPECT_LE(Expected > After ? Expected - After : After - Expected, 2048U)
            << "used " << Disc.UsedBytes << " + estimate " << Size.NeededBytes << ", file "
            << After;
    }
}

// queltburn --estimate: fits (exit 0), does not fit (exit 1), a kind the recorder cannot measure
// (exit 1, not available); nothing is written in any case.
TEST(RecorderQueries, EstimateExitStatuses) {
    if (const std::string Missing = MissingReaders(); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    QueltTest::TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const fs::path Small = Dir.Write("small.txt", "small");
    const fs::path Huge = Dir.Path() / "huge.bin";
    RecorderTest::MakeSparseFile(Huge, 800ULL << 20U, "huge");
    const fs::path Movie = Dir.Write("movie.mpg", "not really");
    struct Row {
        Strings Arguments;
        int ExitCode;
        std::string Says;
    };
    const Row Rows[] = {
        {{"data", "E", Small.string()}, 0, "needs 448.0 KiB of 703.1 MiB free: fits\n"},
        {{"burn", "E", Huge.string(), "--type", "data"},
         1,
         "of 703.1 MiB free: does not fit (needs 9"},
        {{"video", "E", Movie.string()}, 1, "result: -6 (the host cannot answer this question)"},
    };
    for (const Row& Case : Rows) {
        SCOPED_TRACE(Case.Arguments[0]);
        Strings Argv{Cli};
        Argv.insert(Argv.end(), Case.Arguments.begin(), Case.Arguments.end());
        Argv.insert(Argv.end(), {"--estimate", "--tool", RecorderTest::RecorderPath});
        const auto Outcome = QueltTest::RunProgram(Argv, RecorderTest::RecorderEnvironment(Disc));
        EXPECT_EQ(Outcome.ExitCode, Case.ExitCode) << Outcome.Out << Outcome.Err;
        EXPECT_NE(Outcome.Out.find(Case.Says), std::string::npos) << Outcome.Out;
        EXPECT_FALSE(fs::exists(Disc));
    }
    const auto Both =
        QueltTest::RunProgram({Cli, "data", "E", Small.string(), "--estimate", "--print-command"});
    EXPECT_EQ(Both.ExitCode, 2);
    EXPECT_NE(Both.Err.find("leave out --print-command"), std::string::npos) << Both.Err;
}

} // namespace
