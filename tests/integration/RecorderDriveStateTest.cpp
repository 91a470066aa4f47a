// The state of the medium in a real drive, read from the result lines of xorriso's "-toc": which
// discs take a write, which only after an erase, and which take nothing at all.
#include "RealDrive.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(RecorderDriveState, TocLinesGiveTheMediumsState) {
    const struct {
        const char* Case;
        const char* Profile;
        const char* Status;
        bool Present;
        bool Blank;
        bool Writable;
    } Rows[] = {
        {"empty drive", "is not present", "is not present", false, false, false},
        {"blank CD-R", "CD-R", "is blank", true, true, true},
        {"appendable CD-R", "CD-R", "is written , is appendable", true, false, true},
        {"closed CD-R", "CD-R", "is written , is closed", true, false, false},
        {"closed CD-RW: erasable", "CD-RW", "is written , is closed", true, false, true},
        {"closed DVD+RW", "DVD+RW", "is written , is closed", true, false, true},
        {"closed BD-RE", "BD-RE", "is written , is closed", true, false, true},
        {"pressed CD", "CD-ROM", "is written , is closed", true, false, false},
        {"pressed DVD", "DVD-ROM", "is written , is closed", true, false, false},
    };
    for (const auto& Row : Rows) {
        const std::vector<std::string> Toc{
            "Drive current: -outdev '/dev/sr1'",
            std::string("Media current: ") + Row.Profile,
            std::string("Media status : ") + Row.Status,
            "Media summary: 1 session, 182 data blocks, 364k data, 0 free",
        };
        const Recorder::DriveState State = Recorder::DriveStateOf(Toc);
        EXPECT_EQ(State.Present, Row.Present) << Row.Case;
        EXPECT_EQ(State.Blank, Row.Blank) << Row.Case;
        EXPECT_EQ(State.Writable, Row.Writable) << Row.Case;
    }
}

} // namespace
