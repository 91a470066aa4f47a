// The recorder as a real process writing every video kind and CD images: a speed test writes the
// disc, a missing authoring program or drive is named, and the component drives the recorder for
// each kind.
#include "RecorderSupport.hpp"
#include "RecorderVideoSupport.hpp"

#include "QueltBurner.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::ReadFile;
using QueltTest::TempDir;

// A simulation runs every check and the preparation (the authoring too) and writes nothing.
// --speedtest is no simulation: the component always asks for a real write, and every kind of disc
// is written with it as without it.
TEST(RecorderVideoDiscs, SpeedTestWritesTheDisc) {
    if (const std::string Missing = MissingPrograms({"vcdimager", "genisoimage", "dvdauthor"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    Dir.Write("image.bin", RawSectors(2352, 10, 'i'));
    const fs::path Sheet = Dir.Write("image.cue", "FILE \"image.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                                  "    INDEX 01 00:00:00\n");
    const fs::path File = Dir.Write("a.txt", "content");
    const struct {
        const char* Case;
        Strings Arguments;
    } Rows[] = {
        {"data disc", DataDisc("T", {"--speedtest"}, {File.string()})},
        {"Super Video CD", VideoCd("--svideocd", {Media("svcd.mpg")}, {}, {"--speedtest"})},
        {"DVD-Video", DvdVideo("M", {"--speedtest"}, {(Root / "VIDEO_TS").string()})},
        {"CD image", ImageBurn(Sheet, {"--speedtest"})},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / (std::string(Row.Case) + ".img");
        const auto Run = RunRecorder(Row.Arguments, RecorderEnvironment(Disc));
        EXPECT_EQ(Run.ExitCode, 0) << Row.Case << Run.Err;
        EXPECT_GT(fs::exists(Disc) ? fs::file_size(Disc) : 0, 0U) << Row.Case << Run.Out;
        EXPECT_NE(Run.Out.find("read test: "), std::string::npos) << Row.Case << Run.Out;
    }
}

// An authoring program that is not installed is a write error that names it, not a fault of the
// sources, and nothing is written.
TEST(RecorderVideoDiscs, MissingAuthoringProgramIsNamed) {
    if (const std::string Missing = MissingPrograms({"dvdauthor"}); !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    const struct {
        Strings Arguments;
        const char* Program;
    } Rows[] = {
        {VideoCd("--videocd", {Media("vcd.mpg")}), "vcdimager"},
        {DvdVideo("M", {}, {(Root / "VIDEO_TS").string()}), "genisoimage"},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / "disc.img";
        const auto Run = RunRecorder(Row.Arguments, {"PATH=" + (Dir.Path() / "nothing").string(),
                                                     "QUELT_DRIVES=E=" + Disc.string()});
        EXPECT_EQ(Run.ExitCode, 7) << Row.Program << Run.Err;
        EXPECT_NE(Run.Err.find(std::string(Row.Program) + " not found"), std::string::npos)
            << Run.Err;
        ExpectNothingWritten(Disc, Row.Program);
    }
}

// Without a drive to write to, a real-drive target fails as a target error with its reason.
TEST(RecorderVideoDrives, NoDriveIsATargetError) {
    TempDir Dir;
    const fs::path Sheet = Dir.Write("image.cue", "FILE \"image.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                                  "    INDEX 01 00:00:00\n");
    Dir.Write("image.bin", RawSectors(2352, 10, 'i'));
    const Strings Commands[] = {
        VideoCd("--videocd", {Media("vcd.mpg")}),
        VideoCd("--svideocd", {Media("svcd.mpg")}),
        DvdVideo("M", {}, {Dir.MakeDir("dvd/VIDEO_TS").string()}),
        ImageBurn(Sheet),
    };
    for (const char* Device : {"/dev/null", "/dev/sr9"}) {
        for (const Strings& Arguments : Commands) {
            const auto Run = RunRecorder(Arguments, RecorderEnvironment(Device));
            EXPECT_EQ(Run.ExitCode, 3) << Device << " " << Arguments[4] << Run.Err;
            EXPECT_NE(Run.Err.find(Device), std::string::npos) << Run.Err;
            EXPECT_NE(
                Run.Err.find(Device == std::string("/dev/null") ? "not a drive" : "no such device"),
                std::string::npos)
                << Run.Err;
        }
    }
}

// The component drives the recorder for each video kind and for a CD image: each returns 0 and
// fires OnSuccess, and the disc is one a reader takes.
TEST(RecorderVideoComponent, EachKindIsWrittenThroughTheComponent) {
    if (const std::string Missing =
            MissingPrograms({"vcdimager", "vcd-info", "genisoimage", "dvdauthor", "isoinfo"});
        !Missing.empty()) {
        GTEST_SKIP() << "programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Root = MakeDvdFolders(Dir.Path() / "dvd");
    Dir.Write("image/cd.bin", RawSectors(2352, 300, 'c'));
    const fs::path Sheet = Dir.Write("image/cd.cue", "FILE \"cd.bin\" BINARY\n"
                                                     "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    using Operation = int (*)(Queltburner::TQueltBurner&, const Strings&, const fs::path&);
    const struct {
        const char* Case;
        const char* DiscName;
        Strings Files;
        Operation Burn;
    } Rows[] = {
        {"BurnVideo",
         "video.bin",
         {Media("vcd.mpg")},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path&) {
             return B.BurnVideo(u'E');
         }},
        {"BurnSuperVideo",
         "svideo.bin",
         {Media("svcd.mpg")},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path&) {
             return B.BurnSuperVideo(u'E');
         }},
        {"BurnDVDVideo",
         "movie.iso",
         {(Root / "VIDEO_TS").string(), (Root / "AUDIO_TS").string()},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path&) {
             return B.BurnDVDVideo(u'E');
         }},
        {"BurnImage",
         "copy.img",
         {},
         [](Queltburner::TQueltBurner& B, const Strings&, const fs::path& Image) {
             return B.BurnImage(QueltTest::PathText(Image), u'E');
         }},
    };
    for (const auto& Row : Rows) {
        const fs::path Disc = Dir.Path() / Row.DiscName;
        const QueltTest::ScopedEnv Drives{"QUELT_DRIVES", "E=" + Disc.string()};
        const QueltTest::ScopedEnv Registry{"QUELT_REGISTRY", (Dir.Path() / "none.reg").string()};
        Queltburner::TQueltBurner Burner(nullptr);
        Burner.NeroCmdLocation = QueltTest::Utf16(RecorderPath);
        Burner.SetShowMessages(false);
        Burner.SetSynchronous(true);
        Burner.SetVolumeLabel(u"COMPONENT");
        Strings Events;
        Burner.SetOnSuccess([&Events](System::TObject*) { Events.emplace_back("OnSuccess"); });
        Burner.SetOnError([&Events](System::TObject*, int Code) {
            Events.push_back("OnError(" + std::to_string(Code) + ")");
        });
        for (const std::string& File : Row.Files) {
            Burner.Files()->Add(QueltTest::Utf16(File));
        }
        EXPECT_EQ(Row.Burn(Burner, Row.Files, Sheet), 0) << Row.Case;
        EXPECT_EQ(Events, Strings{"OnSuccess"}) << Row.Case;
        if (Disc.extension() == ".iso") {
            EXPECT_EQ(VolumeIdOf(Disc), "COMPONENT") << Row.Case;
        } else if (Disc.extension() == ".bin") {
            const auto Info = RunReader(
                {"vcd-info", "--cue-file", fs::path(Disc).replace_extension(".cue").string()});
            EXPECT_EQ(Info.ExitCode, 0) << Row.Case << Info.Out << Info.Err;
            EXPECT_NE(Info.Out.find(Row.Case == std::string("BurnVideo") ? "VCD 2.0" : "SVCD"),
                      std::string::npos)
                << Row.Case << Info.Out;
        } else {
            EXPECT_TRUE(ReadFile(Disc) == ReadFile(Dir.Path() / "image/cd.bin")) << Row.Case;
        }
    }
}

} // namespace
