// The recorder on a system that lacks a part it relies on: said in its own words before anything
// is written, never blamed on the disc.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

// glibc's folder of character-set converters (gconv modules), where this system keeps it.
fs::path ConverterFolder() {
    for (const char* Folder :
         {"/usr/lib/x86_64-linux-gnu/gconv", "/usr/lib/aarch64-linux-gnu/gconv", "/usr/lib64/gconv",
          "/usr/lib/gconv"}) {
        if (fs::exists(fs::path(Folder) / "gconv-modules")) {
            return Folder;
        }
    }
    return {};
}

// libisofs converts Joliet names to UTF-16 through iconv. In a mount namespace of its own where
// the converters' folder is empty, the recorder says that the names could not be converted, and
// writes nothing; the disc's words ("pressed, closed or holds data") are not its reason.
TEST(RecorderSystem, JolietNamesWithoutConvertersAreSaidAndNothingIsWritten) {
    const fs::path Converters = ConverterFolder();
    if (Converters.empty() || RunReader({"unshare", "-m", "true"}).ExitCode != 0) {
        GTEST_SKIP() << "needs glibc's gconv folder and a mount namespace (unshare -m, as root)";
    }
    TempDir Dir;
    Dir.Write("a.txt", "a");
    Dir.MakeDir("empty");
    const fs::path Disc = Dir.Path() / "disc.iso";
    Strings Argv{"unshare",
                 "-m",
                 "sh",
                 "-c",
                 R"(mount --bind "$1" "$2" && shift 2 && exec "$@")",
                 "sh",
                 (Dir.Path() / "empty").string(),
                 Converters.string(),
                 RecorderPath};
    for (const std::string& Argument : DataDisc("NAMES", {}, {(Dir.Path() / "a.txt").string()})) {
        Argv.push_back(Argument);
    }
    const auto Run = QueltTest::RunProgram(Argv, RecorderEnvironment(Disc));
    EXPECT_EQ(Run.ExitCode, 7) << Run.Out << Run.Err;
    EXPECT_NE(Run.Err.find("could not be converted to UTF-16 for the Joliet tree"),
              std::string::npos)
        << Run.Err;
    EXPECT_EQ(Run.Err.find("pressed"), std::string::npos) << Run.Err;
    EXPECT_EQ(Run.Out.find("progress writing"), std::string::npos) << Run.Out;
    EXPECT_FALSE(fs::exists(Disc));
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
}

} // namespace
