// The disc a run owns: an erase comes before anything of the old disc is loaded, one run at a time
// per disc, scratch files no other user can redirect, erase that touches only discs, a file that
// is no disc never overwritten, a target link followed once, stale scratch of killed runs
// removed, and the checks in their order.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::TempDir;

// The names at the root of the last session of a disc, as xorriso reads them.
Strings RootNames(const TempDir& Dir, const fs::path& Disc) {
    const fs::path Out = Dir.Path() / "read";
    fs::remove_all(Out);
    const auto Read = ExtractWithXorriso(Disc, Out);
    EXPECT_EQ(Read.ExitCode, 0) << Read.Err;
    Strings Names;
    for (const fs::directory_entry& Entry : fs::recursive_directory_iterator(Out)) {
        Names.push_back(fs::relative(Entry.path(), Out).string());
    }
    std::sort(Names.begin(), Names.end());
    return Names;
}

fs::path WriteDisc(const TempDir& Dir, const std::string& Name, const fs::path& Entry) {
    const fs::path Disc = Dir.Path() / Name;
    const auto Run = RunRecorder(DataDisc("OLD", {}, {Entry.string()}), RecorderEnvironment(Disc));
    EXPECT_EQ(Run.ExitCode, 0) << Run.Err;
    return Disc;
}

// Runs the recorder as a process whose id is known before it starts, so that Plant can put
// things where that process's scratch files would once have gone. Returns its exit code.
int RunRecorderPlanted(const Strings& Arguments, const Strings& Environment,
                       const std::function<void(long Pid)>& Plant) {
    Strings Argv{RecorderPath};
    Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> ArgvPointers;
    for (std::string& Item : Argv) {
        ArgvPointers.push_back(Item.data());
    }
    ArgvPointers.push_back(nullptr);
    Strings Env = Environment;
    std::vector<char*> EnvPointers;
    for (std::string& Item : Env) {
        EnvPointers.push_back(Item.data());
    }
    EnvPointers.push_back(nullptr);
    int Go[2] = {-1, -1};
    if (::pipe(Go) != 0) {
        return -1;
    }
    const pid_t Child = ::fork();
    if (Child == 0) {
        char Byte = 0;
        ::close(Go[1]);
        if (::read(Go[0], &Byte, 1) == 1) {
            ::execve(ArgvPointers[0], ArgvPointers.data(), EnvPointers.data());
        }
        ::_exit(127);
    }
    ::close(Go[0]);
    Plant(Child);
    const char Byte = 1;
    (void)::write(Go[1], &Byte, 1);
    ::close(Go[1]);
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

// --force_erase_disk comes first: the new disc holds this run's entries and nothing of the old
// one, with --import 0 too (a blank disc has no session to continue).
TEST(RecorderMedium, ForcedEraseKeepsNothingOfTheOldDisc) {
    TempDir Dir;
    const fs::path Secret = Dir.Write("secret.txt", "old");
    const fs::path New = Dir.Write("new.txt", "new");
    for (const Strings& Options : {Strings{}, Strings{"--import", "0"}}) {
        const fs::path Disc = WriteDisc(Dir, "disc.iso", Secret);
        Strings Arguments = DataDisc("NEW", Options, {New.string()});
        Arguments.emplace_back("--force_erase_disk");
        const auto Run = RunRecorder(Arguments, RecorderEnvironment(Disc));
        ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
        EXPECT_EQ(RootNames(Dir, Disc), Strings{"new.txt"}) << Options.size();
        fs::remove(Disc);
    }
}

// Two runs on one disc at once: the second finds the disc held (exit 3) and changes nothing, so
// every run that says it succeeded is on the disc. Repeated, since the runs race.
TEST(RecorderMedium, OneRunAtATimePerDisc) {
    TempDir Dir;
    const fs::path A = Dir.Write("a.txt", std::string(4 << 20, 'a'));
    const fs::path B = Dir.Write("b.txt", std::string(4 << 20, 'b'));
    const fs::path Base = Dir.Write("base.txt", "base");
    constexpr int Tries = 5;
    int Refused = 0;
    for (int Try = 0; Try < Tries; ++Try) {
        // A first session each (blank disc), then two appends.
        for (const bool Append : {false, true}) {
            const fs::path Disc = Dir.Path() / "disc.iso";
            fs::remove(Disc);
            if (Append) {
                WriteDisc(Dir, "disc.iso", Base);
            }
            const Strings Options = Append ? Strings{"--import", "0"} : Strings{};
            Strings First{RecorderPath};
            Strings Second{RecorderPath};
            for (const auto& [Argv, Entry] : {std::pair{&First, A}, std::pair{&Second, B}}) {
                const Strings Arguments = DataDisc("RACE", Options, {Entry.string()});
                Argv->insert(Argv->end(), Arguments.begin(), Arguments.end());
            }
            // The second run reaches an appended disc through a hard link: the disc is the file,
            // whatever name reaches it.
            const fs::path Link = Dir.Path() / "link.iso";
            fs::remove(Link);
            if (Append) {
                fs::create_hard_link(Disc, Link);
            }
            WatchedProgram One(First, RecorderEnvironment(Disc));
            WatchedProgram Two(Second, RecorderEnvironment(Append ? Link : Disc));
            const auto OneDone = One.Finish();
            const auto TwoDone = Two.Finish();
            // The later of two first sessions may also find the disc holding data (4).
            Strings Expected = Append ? Strings{"base.txt"} : Strings{};
            for (const auto& [Done, Name] :
                 {std::pair{&OneDone, "a.txt"}, std::pair{&TwoDone, "b.txt"}}) {
                EXPECT_TRUE(Done->ExitCode == 0 || Done->ExitCode == 3 ||
                            (!Append && Done->ExitCode == 4))
                    << Done->Err;
                if (Done->ExitCode == 0) {
                    Expected.emplace_back(Name);
                }
                if (Done->ExitCode == 3) {
                    ++Refused;
                    EXPECT_NE(Done->Err.find("in use by another run"), std::string::npos)
                        << Done->Err;
                }
            }
            std::sort(Expected.begin(), Expected.end());
            EXPECT_EQ(RootNames(Dir, Disc), Expected) << "try " << Try << (Append ? " append" : "");
            EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
        }
    }
    std::printf("%d of %d runs found the disc held\n", Refused, 4 * Tries);
}

// Another user plants links where the run's scratch files and the authoring programs' outputs
// once went (".NAME.recording-PID"): nothing is written through them, and the disc is a file of
// the run's own.
TEST(RecorderMedium, PlantedLinksAreNeverWrittenThrough) {
    if (const std::string Missing = MissingPrograms({"vcdimager", "genisoimage"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Victim = Dir.Write("victim.txt", "precious");
    const fs::path Entry = Dir.Write("a.txt", "entry");
    const fs::path Stream = fs::path(QUELT_RECORDER_MEDIA) / "vcd.mpg";
    const struct {
        const char* Case;
        Strings Arguments;
    } Rows[] = {
        {"data disc", DataDisc("L", {}, {Entry.string()})},
        {"Video CD",
         {"--write", "--drivename", "E", "--real", "--videocd", "--recursive", "--speed", "4",
          Stream.string()}},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / "disc.bin";
        fs::remove(Disc);
        fs::remove(Dir.Path() / "disc.cue");
        const auto Plant = [&](long Pid) {
            const std::string Scratch = ".disc.bin.recording-" + std::to_string(Pid);
            for (const std::string& Name : {Scratch, Scratch + ".cue", Scratch + ".d"}) {
                fs::create_symlink(Victim, Dir.Path() / Name);
            }
        };
        const int Code = RunRecorderPlanted(Row.Arguments, RecorderEnvironment(Disc), Plant);
        EXPECT_EQ(Code, 0) << Row.Case;
        EXPECT_EQ(ReadFile(Victim), "precious") << Row.Case;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Disc))) << Row.Case;
        for (const std::string& Name : ScratchFilesBeside(Disc)) {
            fs::remove(Name);
        }
    }
}

// Only a disc is erased or written: a document mapped by mistake (directly or through a link) is
// a target error and stays as it was, and a full erase of a disc skips its holes.
TEST(RecorderMedium, WhatIsNoDiscIsNeverErasedOrWritten) {
    TempDir Dir;
    const fs::path Document = Dir.Write("letter.txt", "Dear reader,\n");
    const fs::path Link = Dir.Path() / "link.iso";
    fs::create_symlink(Document, Link);
    const fs::path Entry = Dir.Write("a.txt", "entry");
    const fs::path Sparse = Dir.Path() / "sparse.img";
    MakeSparseFile(Sparse, 10ULL << 30, "not a disc");
    const Strings Erase{"--erase", "--drivename", "E"};
    const Strings EraseAll{"--erase", "--entire", "--drivename", "E"};
    const struct {
        const char* Case;
        fs::path Target;
        Strings Arguments;
    } Rows[] = {
        {"erase a document", Document, Erase},
        {"erase a link to a document", Link, Erase},
        {"erase in full a sparse file", Sparse, EraseAll},
        {"burn onto a document", Document, DataDisc("L", {}, {Entry.string()})},
        {"burn onto a document, forced", Document,
         [&] {
             Strings Arguments = DataDisc("L", {}, {Entry.string()});
             Arguments.emplace_back("--force_erase_disk");
             return Arguments;
         }()},
    };
    for (const auto& Row : Rows) {
        const auto Start = std::chrono::steady_clock::now();
        const auto Run = RunRecorder(Row.Arguments, RecorderEnvironment(Row.Target));
        EXPECT_EQ(Run.ExitCode, 3) << Row.Case << Run.Err;
        EXPECT_NE(Run.Err.find("not a disc"), std::string::npos) << Row.Case << Run.Err;
        EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10)) << Row.Case;
    }
    EXPECT_EQ(ReadFile(Document), "Dear reader,\n");
    EXPECT_EQ(fs::file_size(Sparse), 10ULL << 30);

    // A disc with a long hole after its session: the full erase writes zeros over its data only.
    const fs::path Disc = WriteDisc(Dir, "holey.iso", Entry);
    fs::resize_file(Disc, 10ULL << 30);
    const auto Start = std::chrono::steady_clock::now();
    const auto Erased = RunRecorder(EraseAll, RecorderEnvironment(Disc));
    EXPECT_EQ(Erased.ExitCode, 0) << Erased.Err;
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(10));
    EXPECT_EQ(fs::file_size(Disc), 0U);
}

// A target that is a link is followed once, at the start: a failed verify through it puts the
// disc back as it was, and the link stays a link.
TEST(RecorderMedium, TargetLinkIsFollowedOnce) {
    TempDir Dir;
    const fs::path Disc = WriteDisc(Dir, "disc.iso", Dir.Write("a.txt", "first"));
    const std::string Before = ReadFile(Disc);
    const fs::path Link = Dir.Path() / "drive.iso";
    fs::create_symlink(Disc, Link);
    const fs::path Marked = Dir.Write("marked.txt", "CORRUPT-THIS text");
    const auto Run =
        RunRecorder(DataDisc("L", {"--import", "0", "--verify"}, {Marked.string()}),
                    RecorderEnvironment(Link, {"QUELT_RECORDER_TEST_CORRUPT=CORRUPT-THIS"}));
    EXPECT_EQ(Run.ExitCode, 8) << Run.Err;
    EXPECT_TRUE(ReadFile(Disc) == Before);
    EXPECT_TRUE(fs::is_symlink(Link));
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
}

// What a killed run left beside a disc (its scratch folder or the older scratch files) is
// removed by the next run on that disc; a live run's is not.
TEST(RecorderMedium, NextRunRemovesScratchOfKilledRuns) {
    TempDir Dir;
    const pid_t Ended = ::fork();
    if (Ended == 0) {
        ::_exit(0);
    }
    ::waitpid(Ended, nullptr, 0);
    const std::string Dead = ".disc.iso.recording-" + std::to_string(Ended);
    Dir.Write(Dead, std::string(1 << 20, 'x'));
    Dir.Write(Dead + "-AbCdEf/disc", "half a disc");
    const std::string Alive = ".disc.iso.recording-" + std::to_string(::getpid());
    Dir.Write(Alive, "a live run's");
    const fs::path Disc = WriteDisc(Dir, "disc.iso", Dir.Write("a.txt", "a"));
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{(Dir.Path() / Alive).string()});
}

// The checks come in their order (target 3, source 6, fit 5, medium 4), and an image must be one.
TEST(RecorderMedium, ImageChecksComeInTheirOrder) {
    TempDir Dir;
    const fs::path Disc = WriteDisc(Dir, "disc.iso", Dir.Write("a.txt", "a"));
    const std::string Before = ReadFile(Disc);
    const fs::path Text = Dir.Write("six.iso", "sixbyt");
    // A 1 GiB ISO 9660 image: the descriptors of a small disc, and a hole up to its size.
    const fs::path Big = Dir.Path() / "big.iso";
    fs::copy_file(Disc, Big);
    fs::resize_file(Big, 1ULL << 30);
    const auto Image = [](const fs::path& File) {
        return Strings{"--write", "--drivename", "E",       "--real",
                       "--image", File.string(), "--speed", "0"};
    };
    const struct {
        const char* Case;
        fs::path Target;
        Strings Arguments;
        int Code;
    } Rows[] = {
        {"image to a device that is no drive", "/dev/null", Image(Big), 3},
        {"missing image to a device that is no drive", "/dev/null", Image(Dir.Path() / "none.iso"),
         3},
        {"a text file as the image", Disc, Image(Text), 6},
        {"1 GiB onto a CD holding data", Disc, Image(Big), 5},
        {"an image onto a CD holding data", Disc, Image(Disc), 4},
    };
    for (const auto& Row : Rows) {
        const auto Run = RunRecorder(Row.Arguments, RecorderEnvironment(Row.Target));
        EXPECT_EQ(Run.ExitCode, Row.Code) << Row.Case << Run.Err;
    }
    EXPECT_TRUE(ReadFile(Disc) == Before);
    // With nothing in the way, a copy of a small image is written.
    const fs::path Copy = Dir.Path() / "copy.iso";
    EXPECT_EQ(RunRecorder(Image(Disc), RecorderEnvironment(Copy)).ExitCode, 0);
    EXPECT_TRUE(ReadFile(Copy) == Before);
}

// A data disc needs at least one entry.
TEST(RecorderMedium, DataDiscWithNoEntryIsNothingToWrite) {
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const auto Run = RunRecorder(DataDisc("L", {}, {}), RecorderEnvironment(Disc));
    EXPECT_EQ(Run.ExitCode, 6) << Run.Err;
    EXPECT_NE(Run.Err.find("nothing to write"), std::string::npos) << Run.Err;
    EXPECT_FALSE(fs::exists(Disc));
}

} // namespace
