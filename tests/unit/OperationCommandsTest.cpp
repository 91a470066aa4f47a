// The command line of every operation, through the recording host: the worked examples, each
// option in its place, the settings each command reads and those it never reads.
#include "OperationCommandsSupport.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace {

using namespace OperationCommandsTest;

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

} // namespace
