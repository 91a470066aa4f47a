// What the operation command tests share: a ready component holding the entries of each
// operation's worked example, and the rows that set it up.
#pragma once

#include "ReadyBurner.hpp"
#include "System.SysUtils.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace OperationCommandsTest {

using Queltburner::TQueltBurner;
using QueltTest::ReadyBurner;
using System::UnicodeString;

enum class Op { Data, Audio, Video, SuperVideo, DVDVideo, Image, Erase, FullErase, Eject };

inline const UnicodeString Image = u"C:\\img\\disc.iso";

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

} // namespace OperationCommandsTest
