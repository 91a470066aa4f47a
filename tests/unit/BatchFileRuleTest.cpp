// Which tools run through the command interpreter, and which command lines are kept from it.
#include "BatchFileRule.hpp"

#include <gtest/gtest.h>

namespace {

using Queltburner::IsBatchFile;
using Queltburner::IsSafeForCommandInterpreter;

TEST(BatchFileRule, RecognisesBatchFilesAsWindowsDoes) {
    const std::pair<std::u16string_view, bool> Rows[] = {
        {u"C:\\Tools\\run.bat", true},
        {u"C:\\Tools\\RUN.CMD", true},
        {u"C:\\Tools\\run.Bat. . ", true},
        {u"C:\\Tools\\run.cmd...", true},
        {u"C:\\Tools\\NeroCmd.exe", false},
        {u"C:\\Tools\\run.bat.exe", false},
        {u"C:\\Tools\\run.bat\\NeroCmd.exe", false},
        {u"C:\\Tools\\runbat", false},
        {u"bat", false},
        {u"", false},
    };
    for (const auto& [Path, Batch] : Rows) {
        EXPECT_EQ(IsBatchFile(Path), Batch) << testing::PrintToString(std::u16string(Path));
    }
}

TEST(BatchFileRule, RefusesWhatTheInterpreterWouldReadItsOwnWay) {
    const std::pair<std::u16string_view, bool> Rows[] = {
        {u"C:\\t.bat --write --drivename \"E\" --iso \"NEW\" \"C:\\a b\\c.txt\" ", true},
        {u"\"C:\\50% off\\t.bat\" --eject --drivename \"E\"", true}, // the program is no value
        {u"C:\\t.bat --title \"100%\" ", false},
        {u"C:\\t.bat --title \"%PATH%\" ", false},
        {u"C:\\t.bat --title \"Hi!\" ", false},
        {u"C:\\t.bat --title \"say \\\"x\\\"\" ", false},
        {u"C:\\t.bat --title \"a\rb\" ", false},
        {u"C:\\t.bat --title \"a\nb\" ", false},
    };
    for (const auto& [Line, Safe] : Rows) {
        EXPECT_EQ(IsSafeForCommandInterpreter(Line), Safe)
            << testing::PrintToString(std::u16string(Line));
    }
}

} // namespace
