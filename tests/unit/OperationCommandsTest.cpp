// The command line of every operation, through the recording host: the worked examples, each
// option in its place, the settings each command reads and those it never reads.
#include "ReadyBurner.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace {

using Queltburner::TQueltBurner;
using QueltTest::ReadyBurner;
using System::UnicodeString;

enum class Op { Data, Audio, Video, SuperVideo, DVDVideo, Image, Erase, FullErase, Eject };

const UnicodeString Image = u"C:\\img\\disc.iso";

// A ready component holding the entries of the operation's worked example.
struct Operation : ReadyBurner {
    Op Which;

    explicit Operation(Op O) : Which(O) {
        Host->Files.insert(Image);
        Host->Files.insert(u"C:\\data\\extra.txt");
        switch (O) {
        case Op::Audio:
            AddFile(u"C:\\Audio\\track1.wav");
            AddFile(u"C:\\Audio\\track2.wav");
            break;
        case Op::Video:
        case Op::SuperVideo:
            AddFile(u"C:\\Video\\part1.mpg");
            AddFile(u"C:\\Video\\part2.mpg");
            break;
        case Op::DVDVideo:
            AddFolder(u"C:\\Film\\Disc1");
            AddFile(u"C:\\Film\\readme.txt");
            break;
        default:
            AddFile(u"C:\\data\\notes.txt");
            AddFolder(u"C:\\data\\pictures");
            break;
        }
    }

    int Run(char16_t Drive = u'E') {
        switch (Which) {
        case Op::Data:
            return Burner->BurnData(Drive);
        case Op::Audio:
            return Burner->BurnAudio(Drive);
        case Op::Video:
            return Burner->BurnVideo(Drive);
        case Op::SuperVideo:
            return Burner->BurnSuperVideo(Drive);
        case Op::DVDVideo:
            return Burner->BurnDVDVideo(Drive);
        case Op::Image:
            return Burner->BurnImage(Image, Drive);
        case Op::Erase:
            return Burner->Erase(Drive, false);
        case Op::FullErase:
            return Burner->Erase(Drive, true);
        case Op::Eject:
            return Burner->Eject(Drive);
        }
        return 0;
    }

    UnicodeString Options() {
        EXPECT_EQ(Run(), 0);
        return LastOptions();
    }
};

using Setter = std::function<void(TQueltBurner&)>;

struct Row {
    const char* Case;
    Op Which;
    Setter Set;
    UnicodeString Expected;
};

const Setter Defaults = [](TQueltBurner&) {};

// Worked examples and each option in its place.
TEST(OperationCommands, ComposeExactlyAsTheToolExpects) {
    const Row Rows[] = {
        {"audio example", Op::Audio, Defaults,
         u" --write --drivename \"E\" --real --recursive --speed 4 --audio "
         u"\"C:\\Audio\\track1.wav\" \"C:\\Audio\\track2.wav\" "},
        {"audio example 2", Op::Audio,
         [](TQueltBurner& B) {
             B.SetTao(true);
             B.SetDisableEject(true);
             B.SetArtist(u"  The Players ");
             B.SetTitle(u"Live");
         },
         u" --write --drivename \"E\" --real --tao --artist \"The Players\" --title \"Live\" "
         u"--recursive --speed 4 --disable_eject --audio \"C:\\Audio\\track1.wav\" "
         u"\"C:\\Audio\\track2.wav\" "},
        {"audio title only", Op::Audio, [](TQueltBurner& B) { B.SetTitle(u" Live"); },
         u" --write --drivename \"E\" --real --title \"Live\" --recursive --speed 4 --audio "
         u"\"C:\\Audio\\track1.wav\" \"C:\\Audio\\track2.wav\" "},
        {"audio speed 0, blank artist", Op::Audio,
         [](TQueltBurner& B) {
             B.SetSpeed(0);
             B.SetArtist(u"  ");
         },
         u" --write --drivename \"E\" --real --recursive --speed 0 --audio "
         u"\"C:\\Audio\\track1.wav\" \"C:\\Audio\\track2.wav\" "},
        {"video example", Op::Video, Defaults,
         u" --write --drivename \"E\" --real --videocd --recursive --speed 4 "
         u"\"C:\\Video\\part1.mpg\" \"C:\\Video\\part2.mpg\" "},
        {"super video example", Op::SuperVideo, Defaults,
         u" --write --drivename \"E\" --real --svideocd --recursive --speed 4 "
         u"\"C:\\Video\\part1.mpg\" \"C:\\Video\\part2.mpg\" "},
        {"video all switches", Op::Video,
         [](TQueltBurner& B) {
             B.SetTao(true);
             B.SetDisableEject(true);
             B.SetSpeedTest(true);
             B.SetCloseSession(true);
             B.SetForceEraseDisk(true);
             B.SetSpeed(8);
         },
         u" --write --drivename \"E\" --real --tao --disable_eject --videocd --recursive --speed 8 "
         u"--speedtest --close_session \"C:\\Video\\part1.mpg\" \"C:\\Video\\part2.mpg\" "
         u"--force_erase_disk "},
        {"super video disable eject", Op::SuperVideo,
         [](TQueltBurner& B) { B.SetDisableEject(true); },
         u" --write --drivename \"E\" --real --disable_eject --svideocd --recursive --speed 4 "
         u"\"C:\\Video\\part1.mpg\" \"C:\\Video\\part2.mpg\" "},
        {"video no entries, force erase", Op::Video,
         [](TQueltBurner& B) {
             B.Files()->Clear();
             B.SetForceEraseDisk(true);
         },
         u" --write --drivename \"E\" --real --videocd --recursive --speed 4 --force_erase_disk "},
        {"dvd-video example", Op::DVDVideo, Defaults,
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --underrun_prot "
         u"--dvd --create_iso_fs --create_udf_fs --iso-no-joliet --dvdvideo_realloc "
         u"\"C:\\Film\\Disc1\" \"C:\\Film\\readme.txt\" "},
        {"dvd-video all switches", Op::DVDVideo,
         [](TQueltBurner& B) {
             B.SetTao(true);
             B.SetArtist(u"A");
             B.SetTitle(u"T");
             B.SetVolumeLabel(u"");
             B.SetSpeedTest(true);
             B.SetCloseSession(true);
             B.SetDetectNonEmptyDisk(true);
             B.SetDisableEject(true);
             B.SetVerify(true);
             B.SetForceEraseDisk(true);
         },
         u" --write --drivename \"E\" --real --tao --artist \"A\" --title \"T\" --recursive "
         u"--speed 4 --iso \"\" --speedtest --close_session --detect_non_empty_disk "
         u"--underrun_prot --disable_eject --verify --dvd --create_iso_fs --create_udf_fs "
         u"--iso-no-joliet --dvdvideo_realloc \"C:\\Film\\Disc1\" \"C:\\Film\\readme.txt\" "
         u"--force_erase_disk "},
        {"dvd-video no entries", Op::DVDVideo,
         [](TQueltBurner& B) {
             B.Files()->Clear();
             B.SetUnderrunProtection(false);
         },
         u" --write --drivename \"E\" --real --recursive --speed 4 --iso \"NEW\" --dvd "
         u"--create_iso_fs --create_udf_fs --iso-no-joliet --dvdvideo_realloc "},
        {"image example", Op::Image, Defaults,
         u" --write --drivename \"E\" --real --image \"C:\\img\\disc.iso\" --speed 4 "
         u"--underrun_prot "},
        {"image dvd without tao", Op::Image, [](TQueltBurner& B) { B.SetDVD(true); },
         u" --write --drivename \"E\" --real --dvd --image \"C:\\img\\disc.iso\" --speed 4 "
         u"--underrun_prot "},
        {"image all switches", Op::Image,
         [](TQueltBurner& B) {
             B.SetTao(true);
             B.SetDVD(true);
             B.SetSpeed(0);
             B.SetSpeedTest(true);
             B.SetCloseSession(true);
             B.SetDetectNonEmptyDisk(true);
             B.SetDisableEject(true);
             B.SetForceEraseDisk(true);
         },
         u" --write --drivename \"E\" --real --tao --dvd --image \"C:\\img\\disc.iso\" --speed 0 "
         u"--speedtest --close_session --detect_non_empty_disk --underrun_prot --disable_eject "
         u"--force_erase_disk "},
        {"quick erase", Op::Erase, Defaults, u" --erase --drivename \"E\""},
        {"full erase", Op::FullErase, Defaults, u" --erase  --entire --drivename \"E\""},
        {"eject", Op::Eject, Defaults, u" --eject --drivename \"E\""},
    };
    for (const Row& R : Rows) {
        Operation O(R.Which);
        R.Set(*O.Burner);
        EXPECT_EQ(O.Options(), R.Expected) << R.Case;
    }
}

// Every setting a command can be given, each set away from its initial value.
const std::map<std::string, Setter>& AllSettings() {
    static const std::map<std::string, Setter> Settings = {
        {"VolumeLabel", [](TQueltBurner& B) { B.SetVolumeLabel(u"LABEL"); }},
        {"Artist", [](TQueltBurner& B) { B.SetArtist(u"Artist"); }},
        {"Title", [](TQueltBurner& B) { B.SetTitle(u"Title"); }},
        {"Speed", [](TQueltBurner& B) { B.SetSpeed(48); }},
        {"DisableEject", [](TQueltBurner& B) { B.SetDisableEject(true); }},
        {"UnderrunProtection", [](TQueltBurner& B) { B.SetUnderrunProtection(false); }},
        {"DetectNonEmptyDisk", [](TQueltBurner& B) { B.SetDetectNonEmptyDisk(true); }},
        {"Tao", [](TQueltBurner& B) { B.SetTao(true); }},
        {"ForceEraseDisk", [](TQueltBurner& B) { B.SetForceEraseDisk(true); }},
        {"Verify", [](TQueltBurner& B) { B.SetVerify(true); }},
        {"SpeedTest", [](TQueltBurner& B) { B.SetSpeedTest(true); }},
        {"CloseSession", [](TQueltBurner& B) { B.SetCloseSession(true); }},
        {"DVD", [](TQueltBurner& B) { B.SetDVD(true); }},
        {"DiskType", [](TQueltBurner& B) { B.SetDiskType(Queltburner::dtSuperVideo); }},
        {"ContinueSession", [](TQueltBurner& B) { B.SetContinueSession(3); }},
        {"Files", [](TQueltBurner& B) { B.Files()->Add(u"C:\\data\\extra.txt"); }},
    };
    return Settings;
}

// Each setting a command reads changes its command line; every other setting changes nothing,
// even all of them at once.
TEST(OperationCommands, ReadExactlyTheirOwnSettings) {
    using Names = std::set<std::string>;
    const std::pair<Op, Names> Reads[] = {
        {Op::Data,
         {"Tao", "Artist", "Title", "Speed", "VolumeLabel", "ContinueSession", "SpeedTest",
          "CloseSession", "DetectNonEmptyDisk", "UnderrunProtection", "DisableEject", "Verify",
          "DVD", "Files", "ForceEraseDisk"}},
        {Op::Audio, {"Tao", "Artist", "Title", "Speed", "DisableEject", "Files"}},
        {Op::Video,
         {"Tao", "DisableEject", "Speed", "SpeedTest", "CloseSession", "Files", "ForceEraseDisk"}},
        {Op::SuperVideo,
         {"Tao", "DisableEject", "Speed", "SpeedTest", "CloseSession", "Files", "ForceEraseDisk"}},
        {Op::DVDVideo,
         {"Tao", "Artist", "Title", "Speed", "VolumeLabel", "SpeedTest", "CloseSession",
          "DetectNonEmptyDisk", "UnderrunProtection", "DisableEject", "Verify", "Files",
          "ForceEraseDisk"}},
        {Op::Image,
         {"Tao", "DVD", "Speed", "SpeedTest", "CloseSession", "DetectNonEmptyDisk",
          "UnderrunProtection", "DisableEject", "ForceEraseDisk"}},
        {Op::Erase, {}},
        {Op::FullErase, {}},
        {Op::Eject, {}},
    };
    for (const auto& [Which, Read] : Reads) {
        const UnicodeString Plain = Operation(Which).Options();
        Operation Unread(Which);
        for (const auto& [Name, Set] : AllSettings()) {
            if (Read.count(Name) != 0) {
                Operation One(Which);
                Set(*One.Burner);
                EXPECT_NE(One.Options(), Plain)
                    << Name << " should change op " << static_cast<int>(Which);
            } else {
                Set(*Unread.Burner);
            }
        }
        EXPECT_EQ(Unread.Options(), Plain)
            << "unread settings changed op " << static_cast<int>(Which);
    }
}

TEST(OperationCommands, EntriesAreFilteredAndQuotedAlikeInEveryEntryCommand) {
    for (const Op Which : {Op::Data, Op::Audio, Op::Video, Op::SuperVideo, Op::DVDVideo}) {
        Operation O(Which);
        O.Burner->Files()->Clear();
        O.Burner->Files()->Add(u"C:\\absent");
        O.AddFolder(u"C:\\Media\\");
        O.AddFile(u"C:\\Media\\a \"b\".wav");
        O.Burner->Files()->Add(u"C:\\Media\\");
        const UnicodeString Options = O.Options();
        const UnicodeString Entries =
            u"\"C:\\Media\\\\\" \"C:\\Media\\a \\\"b\\\".wav\" \"C:\\Media\\\\\" ";
        EXPECT_NE(Options.find(Entries), UnicodeString::npos) << static_cast<int>(Which);
        EXPECT_EQ(Options.find(u"absent"), UnicodeString::npos);
    }
}

// A file named like a switch stays a file: written as a path in the working folder, tested for
// existence as given.
TEST(OperationCommands, EntryNamedLikeASwitchIsWrittenAsAPath) {
    const UnicodeString Here{u'.', System::Sysutils::PathDelim};
    const struct {
        UnicodeString Entry;
        UnicodeString Written;
    } Entries[] = {
        {u"--force_erase_disk", u"\"" + Here + u"--force_erase_disk\" "},
        {u"-", u"\"" + Here + u"-\" "},
        {u"-x\"y", u"\"" + Here + u"-x\\\"y\" "},
        {u"a-b", u"\"a-b\" "},
    };
    for (const Op Which : {Op::Data, Op::Audio, Op::Video, Op::SuperVideo, Op::DVDVideo}) {
        for (const auto& Row : Entries) {
            Operation O(Which);
            O.Burner->Files()->Clear();
            O.AddFile(Row.Entry);
            const UnicodeString Options = O.Options();
            EXPECT_TRUE(Options.ends_with(Row.Written))
                << static_cast<int>(Which) << " " << System::Sysutils::UTF8Encode(Options);
        }
    }
}

TEST(OperationCommands, DriveIsWrittenAsPassedAndChecksComeFirst) {
    for (const Op Which : {Op::Data, Op::Audio, Op::Video, Op::SuperVideo, Op::DVDVideo, Op::Image,
                           Op::Erase, Op::FullErase, Op::Eject}) {
        Operation Lower(Which);
        Lower.Host->DriveTypes[u'e'] = Queltburner::DriveTypeCdRom;
        ASSERT_EQ(Lower.Run(u'e'), 0);
        EXPECT_NE(Lower.LastOptions().find(u"--drivename \"e\""), UnicodeString::npos);

        Operation BadDriveAndTool(Which);
        BadDriveAndTool.Burner->NeroCmdLocation = u"C:\\none\\NeroCmd.exe";
        EXPECT_EQ(BadDriveAndTool.Run(u'Q'), -2);
        EXPECT_EQ(BadDriveAndTool.Host->Messages, std::vector<UnicodeString>{u"Invalid drive Q."});
        EXPECT_EQ(BadDriveAndTool.Host->CallNames(),
                  (std::vector<std::string>{"DriveType", "ShowErrorMessage"}));

        Operation BadTool(Which);
        BadTool.Burner->NeroCmdLocation = u"C:\\none\\NeroCmd.exe";
        BadTool.Burner->SetShowMessages(false);
        EXPECT_EQ(BadTool.Run(), -1);
        EXPECT_TRUE(BadTool.Host->Messages.empty());
        EXPECT_TRUE(BadTool.Host->Starts.empty());
    }
}

TEST(OperationCommands, EveryOperationRunsThroughTheFrame) {
    for (const Op Which : {Op::Data, Op::Audio, Op::Video, Op::SuperVideo, Op::DVDVideo, Op::Image,
                           Op::Erase, Op::FullErase, Op::Eject}) {
        Operation Async(Which);
        Async.Host->ExitCode = 3;
        EXPECT_EQ(Async.Run(), 0);
        EXPECT_TRUE(Async.Events.empty());
        EXPECT_EQ(Async.Host->LastStart().Mode, Queltburner::LaunchMode::Detached);

        Operation Sync(Which);
        Sync.Burner->SetSynchronous(true);
        Sync.Burner->SetHideNeroCmd(true);
        Sync.Host->ExitCode = 3;
        EXPECT_EQ(Sync.Run(), 3);
        EXPECT_EQ(Sync.Events, std::vector<std::string>{"OnError(3)"});
        EXPECT_EQ(Sync.Host->LastStart().ShowState, 0);
        EXPECT_EQ(Sync.Host->OpenHandles(), 0U);
    }
}

TEST(BurnImage, MissingImageIsMinusThreeWithItsMessageAndNoEvent) {
    const UnicodeString Message = u"Image file not found.\"";
    ASSERT_EQ(Message.size(), 22U);
    for (const UnicodeString& Name :
         {UnicodeString(u"C:\\img\\absent.iso"), UnicodeString(), UnicodeString(u"C:\\img")}) {
        for (const bool Show : {true, false}) {
            Operation O(Op::Image);
            O.Host->Directories.insert(u"C:\\img");
            O.Burner->SetSynchronous(true);
            O.Burner->SetShowMessages(Show);
            EXPECT_EQ(O.Burner->BurnImage(Name, u'E'), -3);
            EXPECT_EQ(O.Host->Messages,
                      Show ? std::vector<UnicodeString>{Message} : std::vector<UnicodeString>{});
            EXPECT_TRUE(O.Events.empty());
            EXPECT_TRUE(O.Host->Starts.empty());
        }
    }
    // The drive and tool checks come first and hide the image check.
    Operation BadTool(Op::Image);
    BadTool.Burner->NeroCmdLocation = u"";
    EXPECT_EQ(BadTool.Burner->BurnImage(u"C:\\img\\absent.iso", u'E'), -1);
    EXPECT_EQ(BadTool.Host->Messages, std::vector<UnicodeString>{u"Invalid path to NeroCmd.exe."});
    Operation BadDrive(Op::Image);
    EXPECT_EQ(BadDrive.Burner->BurnImage(u"C:\\img\\absent.iso", u'Q'), -2);
    EXPECT_EQ(BadDrive.Host->Messages, std::vector<UnicodeString>{u"Invalid drive Q."});
}

TEST(BurnImage, NameIsTestedAndWrittenAsPassedAndCarriedExactly) {
    Operation O(Op::Image);
    const UnicodeString Name = u" relative\\say \"hi\"\\";
    O.Host->Files.insert(Name);
    ASSERT_EQ(O.Burner->BurnImage(Name, u'E'), 0);
    EXPECT_EQ(O.Host->Calls.back().Name, "ReleaseHandle");
    EXPECT_EQ(O.LastOptions(), u" --write --drivename \"E\" --real --image \" relative\\say "
                               u"\\\"hi\\\"\\\\\" --speed 4 --underrun_prot ");
}

// Burn is exactly the operation that DiskType names, and never anything else.
TEST(Burn, DispatchesByDiskType) {
    const std::pair<Queltburner::TDiskType, Op> Rows[] = {
        {Queltburner::dtData, Op::Data},
        {Queltburner::dtAudio, Op::Audio},
        {Queltburner::dtVideo, Op::Video},
        {Queltburner::dtSuperVideo, Op::SuperVideo},
        {Queltburner::dtDVDVideo, Op::DVDVideo},
        {static_cast<Queltburner::TDiskType>(5), Op::DVDVideo},
        {static_cast<Queltburner::TDiskType>(255), Op::DVDVideo},
    };
    for (const auto& [Type, Which] : Rows) {
        for (const auto& [Drive, Code] :
             {std::pair{u'E', 0U}, std::pair{u'E', 7U}, std::pair{u'Q', 0U}}) {
            Operation Direct(Which);
            Operation ByType(Which);
            for (Operation* O : {&Direct, &ByType}) {
                O->Burner->SetSynchronous(true);
                O->Burner->SetDiskType(Type);
                O->Host->ExitCode = Code;
            }
            const int Expected = Direct.Run(Drive);
            EXPECT_EQ(ByType.Burner->Burn(Drive), Expected);
            EXPECT_EQ(ByType.Host->CallNames(), Direct.Host->CallNames());
            EXPECT_EQ(ByType.Host->Messages, Direct.Host->Messages);
            EXPECT_EQ(ByType.Events, Direct.Events);
            if (!Direct.Host->Starts.empty()) {
                EXPECT_EQ(ByType.Host->LastStart().CommandLine,
                          Direct.Host->LastStart().CommandLine);
            }
        }
    }
}

} // namespace
