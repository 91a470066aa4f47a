// Drive letters on POSIX: the QUELT_DRIVES map, and /dev/srN when there is none.
#include "DriveMap.hpp"
#include "DriveFacts.hpp"

#include <gtest/gtest.h>

namespace {

using Queltburner::Posix::CombinedDriveMap;
using Queltburner::Posix::DriveMapping;
using Queltburner::Posix::DriveTypeOf;
using Queltburner::Posix::ParseDriveMap;

TEST(DriveMap, ParsesEntriesAndSkipsMalformedOnes) {
    const auto Map =
        ParseDriveMap(" e = /tmp/disc.iso ;F=/dev/sr1;;x;GG=/a;1=/b;H=; =/c;i=/d/with=sign");
    ASSERT_EQ(Map.size(), 3U);
    EXPECT_EQ(Map[0].Letter, 'E');
    EXPECT_EQ(Map[0].Target, "/tmp/disc.iso");
    EXPECT_EQ(Map[1].Letter, 'F');
    EXPECT_EQ(Map[1].Target, "/dev/sr1");
    EXPECT_EQ(Map[2].Letter, 'I');
    EXPECT_EQ(Map[2].Target, "/d/with=sign");
}

TEST(DriveMap, MappedLettersAreOpticalWithoutRegardToCase) {
    const auto NoDevices = [](const std::string&) { return false; };
    const struct {
        std::u16string_view Root;
        const char* Map;
        std::uint32_t Type;
    } Rows[] = {
        {u"E:\\", "E=/x", 5}, {u"e:\\", "E=/x", 5},  {u"E:\\", "e=/x", 5},
        {u"F:\\", "E=/x", 1}, {u"E:\\", "", 1},      {u"E:", "E=/x", 1},
        {u"E:/", "E=/x", 1},  {u"E:\\x", "E=/x", 1}, {u"1:\\", "1=/x", 1},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(DriveTypeOf(Row.Root, Row.Map, NoDevices), Row.Type) << Row.Map;
    }
}

TEST(DriveMap, WithoutAMapEachOpticalDeviceIsALetterFromD) {
    const auto Devices = [](const std::string& Path) {
        return Path == "/dev/sr0" || Path == "/dev/sr2";
    };
    EXPECT_EQ(DriveTypeOf(u"D:\\", nullptr, Devices), 5U);
    EXPECT_EQ(DriveTypeOf(u"E:\\", nullptr, Devices), 1U);
    EXPECT_EQ(DriveTypeOf(u"f:\\", nullptr, Devices), 5U);
    EXPECT_EQ(DriveTypeOf(u"C:\\", nullptr, Devices), 1U);
    EXPECT_EQ(DriveTypeOf(u"A:\\", nullptr, [](const std::string&) { return true; }), 1U);
}

// A letter the process maps counts before the variable's, and hides none of the drives that the
// variable or /dev/srN would give.
TEST(DriveMap, MappedLettersComeFirstAndHideNoDrive) {
    const auto Devices = [](const std::string& Path) { return Path == "/dev/sr1"; };
    const std::vector<DriveMapping> Mapped{{'E', "/my/disc.iso"}, {'F', "/dev/sr0"}};
    const struct {
        std::vector<DriveMapping> Mapped;
        const char* Variable;
        std::optional<std::string> Combined;
    } Rows[] = {
        {{}, "E=/x", std::nullopt},
        {{}, nullptr, std::nullopt},
        {Mapped, "E=/x;G=/y", "E=/my/disc.iso;F=/dev/sr0;E=/x;G=/y"},
        {Mapped, nullptr, "E=/my/disc.iso;F=/dev/sr0;E=/dev/sr1;"},
    };
    for (const auto& Row : Rows) {
        const std::optional<std::string> Combined =
            CombinedDriveMap(Row.Mapped, Row.Variable, Devices);
        EXPECT_EQ(Combined, Row.Combined) << (Row.Variable ? Row.Variable : "(unset)");
        if (Combined) {
            EXPECT_EQ(DriveTypeOf(u"E:\\", Combined->c_str(), Devices), 5U);
            EXPECT_EQ(Queltburner::Posix::DriveTargetOf(u'E', Combined->c_str(), Devices),
                      "/my/disc.iso");
        }
    }
}

// The kernel's CD-ROM table: one column per drive, in the order its first line names them.
TEST(DriveMap, WritableMediaComeFromTheDrivesColumn) {
    constexpr std::string_view Table = "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\n"
                                       "drive name:\t\tsr1\tsr0\n"
                                       "drive speed:\t\t48\t4\n"
                                       "Can write CD-R:\t\t1\t0\n"
                                       "Can write CD-RW:\t\t1\t0\n"
                                       "Can read DVD:\t\t1\t1\n"
                                       "Can write DVD-R:\t\t1\t0\n"
                                       "Can write DVD-RAM:\t\t0\t0\n";
    const std::pair<std::string_view, std::string_view> Rows[] = {
        {"sr1", "CD-R, CD-RW, DVD-R"},
        {"sr0", ""},
        {"sr2", ""},
        {"", ""},
    };
    for (const auto& [Drive, Media] : Rows) {
        EXPECT_EQ(Queltburner::Posix::WritableMediaOf(Table, Drive), Media) << Drive;
    }
    EXPECT_EQ(Queltburner::Posix::WritableMediaOf("", "sr0"), "");
}

} // namespace
