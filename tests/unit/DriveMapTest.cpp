// Drive letters on POSIX: the QUELT_DRIVES map, and /dev/srN when there is none.
#include "DriveMap.hpp"

#include <gtest/gtest.h>

namespace {

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

} // namespace
