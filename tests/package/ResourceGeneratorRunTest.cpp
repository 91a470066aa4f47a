// quelt_resgen run on copies of the descriptions: edited within the formats' limits it follows the
// edits; spoilt one way at a time it must stop with exit status 1 and a message naming the file and
// the fault, and write nothing.
#include "ResourceBytes.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>

namespace {

using namespace QueltPackageTest;
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr const char* DescriptionFiles[] = {"PackageInfo.txt", "PaletteBitmap.txt", "MainIcon.txt"};

Lines ReadLines(const fs::path& File) {
    const Bytes Data = ReadBytes(File);
    Lines Result;
    std::istringstream In(std::string(Data.begin(), Data.end()));
    for (std::string Line; std::getline(In, Line);) {
        Result.push_back(Line);
    }
    return Result;
}

void WriteLines(const fs::path& File, const Lines& Content) {
    std::ofstream Out(File, std::ios::binary | std::ios::trunc);
    for (const std::string& Line : Content) {
        Out << Line << '\n';
    }
}

// The index of the first (or last) line starting with Prefix. A description that no longer has
// such a line fails the test, rather than leaving the edit undone.
std::size_t LineStarting(const Lines& Content, std::string_view Prefix, bool Last = false) {
    std::size_t Found = Content.size();
    for (std::size_t I = 0; I < Content.size(); ++I) {
        if (Content[I].starts_with(Prefix) && (Last || Found == Content.size())) {
            Found = I;
        }
    }
    if (Found == Content.size()) {
        throw std::runtime_error("no line starts with '" + std::string(Prefix) + "'");
    }
    return Found;
}

// A copy of the real descriptions in a fresh temporary folder, and a run of the generator on it.
class Generator : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Remove(); }

    // A fresh folder with a fresh copy, for each row of a table.
    void Reset() {
        Remove();
        std::random_device Random;
        FRoot = fs::temp_directory_path() / ("quelt-resgen-" + std::to_string(Random()));
        fs::create_directories(FRoot / "src");
        for (const char* Name : DescriptionFiles) {
            fs::copy_file(fs::path(QUELT_PACKAGE_RESOURCE_SOURCE_DIR) / Name, Source() / Name);
        }
    }
    void Remove() {
        std::error_code Ignored;
        if (!FRoot.empty()) {
            fs::remove_all(FRoot, Ignored);
        }
    }

    fs::path Source() const { return FRoot / "src"; }
    fs::path Output() const { return FRoot / "out"; }

    // The exit status (-1 for anything but a normal exit); Message receives what it printed.
    int Run(std::string& Message) const {
        const fs::path Log = FRoot / "stderr.txt";
        const std::string Command = "'" QUELT_RESGEN_PATH "' '" + Source().string() + "' '" +
                                    Output().string() + "' 2>'" + Log.string() + "'";
        const int Status = std::system(Command.c_str());
        const Bytes Text = ReadBytes(Log);
        Message.assign(Text.begin(), Text.end());
        return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    }

    fs::path FRoot;
};

TEST_F(Generator, WritesTheSameFilesAsTheBuildFromAnUnchangedCopy) {
    std::string Message;
    ASSERT_EQ(Run(Message), 0) << Message;
    for (const char* Name : {"DESCRIPTION.bin", "PACKAGEINFO.bin", "PACKAGEOPTIONS.bin",
                             "PLATFORMTARGETS.bin", "TQUELTBURNER.bmp", "MAINICON.ico"}) {
        EXPECT_EQ(ReadBytes(Output() / Name), Generated(Name)) << Name;
    }
}

TEST_F(Generator, TakesAStringOf255BytesAfterAOneByteLength) {
    const fs::path Info = Source() / "PackageInfo.txt";
    Lines Content = ReadLines(Info);
    Content[LineStarting(Content, "aliases ")] = "aliases " + std::string(255, 'A');
    WriteLines(Info, Content);
    std::string Message;
    ASSERT_EQ(Run(Message), 0) << Message;
    const Bytes Options = ReadBytes(Output() / "PACKAGEOPTIONS.bin");
    ASSERT_GT(Options.size(), 44U + 1 + 6 + 1);
    EXPECT_EQ(Options[44 + 1 + 6], 255) << "the aliases' length byte";
}

TEST_F(Generator, PadsPackageInfoWithZerosToAMultipleOfFour) {
    // One name length for each remainder, so that every amount of padding is needed once.
    for (const std::string Name : {"Pack", "Pack1", "Pack12", "Pack123"}) {
        SCOPED_TRACE(Name);
        Reset();
        const fs::path Info = Source() / "PackageInfo.txt";
        Lines Content = ReadLines(Info);
        Content[LineStarting(Content, "package ")] = "package " + Name;
        WriteLines(Info, Content);
        std::string Message;
        ASSERT_EQ(Run(Message), 0) << Message;
        const Bytes Data = ReadBytes(Output() / "PACKAGEINFO.bin");
        const std::string Text(Data.begin(), Data.end());
        const std::size_t End = Text.rfind(Name + '\0') + Name.size() + 1;
        ASSERT_LE(End, Data.size());
        EXPECT_EQ(Data.size() % 4, 0U);
        EXPECT_LT(Data.size() - End, 4U);
        EXPECT_EQ(Text.find_first_not_of('\0', End), std::string::npos) << "zeros only";
    }
}

TEST_F(Generator, RejectsSpoiltDescriptions) {
    const struct {
        const char* File;
        const char* Fault;
        void (*Spoil)(Lines&);
        const char* Expected; // in the message
    } Rows[] = {
        {"PaletteBitmap.txt", "a row one pixel short",
         [](Lines& L) { L[LineStarting(L, "|")].erase(1, 1); },
         "15 pixels; the picture is 16 wide"},
        {"PaletteBitmap.txt", "a row missing",
         [](Lines& L) { L.erase(L.begin() + static_cast<std::ptrdiff_t>(LineStarting(L, "|"))); },
         "PaletteBitmap.txt: 15 rows; the picture is 16 high"},
        {"MainIcon.txt", "a row too many", [](Lines& L) { L.push_back(L[LineStarting(L, "|")]); },
         "more rows than the picture's height of 32"},
        {"PaletteBitmap.txt", "a character not in the legend",
         [](Lines& L) { L[LineStarting(L, "|", true)][3] = 'Z'; },
         "'Z' in column 3 is not in the legend"},
        {"MainIcon.txt", "a 17th colour",
         [](Lines& L) {
             const std::size_t Opaque = static_cast<std::size_t>(
                 std::count_if(L.begin(), L.end(), [](const std::string& Line) {
                     return Line.starts_with("colour ") && !Line.ends_with("transparent");
                 }));
             for (std::size_t I = Opaque; I < 17; ++I) {
                 L.insert(L.begin() + static_cast<std::ptrdiff_t>(LineStarting(L, "colour ")),
                          "colour " + std::string(1, static_cast<char>('0' + I % 10)) + " 123456");
             }
         },
         "colour 17 is one too many: the picture holds 16"},
        {"MainIcon.txt", "a colour not in hexadecimal",
         [](Lines& L) { L[LineStarting(L, "colour k")] = "colour k 00G000"; }, "not a colour"},
        {"PaletteBitmap.txt", "transparency in a bitmap",
         [](Lines& L) { L[LineStarting(L, "colour .")] = "colour . transparent"; },
         "no transparency"},
        {"PackageInfo.txt", "aliases of 256 bytes",
         [](Lines& L) { L[LineStarting(L, "aliases ")] = "aliases " + std::string(256, 'A'); },
         "aliases is 256 bytes long; a one-byte length holds at most 255"},
        {"PackageInfo.txt", "a description of 300 bytes",
         [](Lines& L) {
             L[LineStarting(L, "description ")] = "description " + std::string(300, 'd');
         },
         "description is 300 bytes long"},
        {"PackageInfo.txt", "defines of 256 bytes",
         [](Lines& L) { L[LineStarting(L, "defines ")] = "defines " + std::string(256, ';'); },
         "defines is 256 bytes long"},
        {"PackageInfo.txt", "a producer too big for its two bits",
         [](Lines& L) { L[LineStarting(L, "flag producer")] = "flag producer 4"; },
         "'4' is not a number from 0 to 3"},
        {"PackageInfo.txt", "a flag field missing",
         [](Lines& L) {
             L.erase(L.begin() + static_cast<std::ptrdiff_t>(LineStarting(L, "flag module-type")));
         },
         "flag field 'module-type' is missing"},
        {"PackageInfo.txt", "an unknown unit flag",
         [](Lines& L) { L[LineStarting(L, "unit ")] += " weak"; }, "unknown unit flag 'weak'"},
        {"PackageInfo.txt", "an option byte missing",
         [](Lines& L) {
             L.erase(L.begin() + static_cast<std::ptrdiff_t>(LineStarting(L, "option ", true)));
         },
         "43 option bytes; there must be 44"},
        {"PackageInfo.txt", "an option byte out of order",
         [](Lines& L) { L[LineStarting(L, "option 5 ")].replace(7, 1, "6"); },
         "option byte 6 where byte 5 comes next"},
        {"PackageInfo.txt", "an undocumented option byte",
         [](Lines& L) { L[LineStarting(L, "option 7 ")] = "option 7 long-strings 1"; },
         "option byte 7 has no meaning documented"},
        {"PackageInfo.txt", "text that is not ASCII",
         [](Lines& L) { L[LineStarting(L, "description ")] = "description Quelt\xC3\xA9"; },
         "only printable ASCII"},
    };
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Fault);
        Reset();
        const fs::path File = Source() / Row.File;
        Lines Content = ReadLines(File);
        Row.Spoil(Content);
        WriteLines(File, Content);
        std::string Message;
        EXPECT_EQ(Run(Message), 1);
        EXPECT_NE(Message.find(Row.File), std::string::npos) << Message;
        EXPECT_NE(Message.find(Row.Expected), std::string::npos) << Message;
        EXPECT_FALSE(fs::exists(Output())) << "nothing is written";
    }
}

TEST_F(Generator, NamesADescriptionFileThatIsMissing) {
    fs::remove(Source() / "MainIcon.txt");
    std::string Message;
    EXPECT_EQ(Run(Message), 1);
    EXPECT_NE(Message.find("MainIcon.txt: cannot be read"), std::string::npos) << Message;
}

} // namespace
