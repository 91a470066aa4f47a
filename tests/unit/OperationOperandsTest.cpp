// What the operations write of their operands, through the recording host: entries filtered and
// quoted alike, an entry named like a switch, the drive as passed, and the image's name.
#include "OperationCommandsSupport.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace {

using namespace OperationCommandsTest;

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

} // namespace
