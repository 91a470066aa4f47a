// The checksums of files large enough for the recorder to hash them on other threads: outside
// readers find every recorded checksum right and every file the same as its source, and a byte
// changed deep inside the largest one is still a verify error.
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

constexpr std::string_view Marker = "CHECKSUM-MARKER deep inside the largest file";

// Files around the sizes that decide where a checksum is computed (64 KiB on the writing thread,
// then chunks of 256 KiB), random so that no two blocks are alike; the largest carries Marker
// 2.5 MB in.
fs::path MakeLargeFiles(const TempDir& Dir) {
    fs::path Folder = Dir.MakeDir("large");
    std::mt19937 Random(5);
    for (const std::size_t Size : {std::size_t{0}, std::size_t{65536}, std::size_t{65537},
                                   std::size_t{300000}, std::size_t{3000000}}) {
        std::string Bytes(Size, '\0');
        for (char& Byte : Bytes) {
            Byte = static_cast<char>(Random());
        }
        if (Size == 3000000) {
            Bytes.replace(2500000, Marker.size(), Marker);
        }
        std::ofstream(Folder / ("file" + std::to_string(Size) + ".bin"), std::ios::binary) << Bytes;
    }
    return Folder;
}

TEST(RecorderChecksums, LargeFilesCarryTheChecksumsReadersVerify) {
    TempDir Dir;
    const fs::path Disc = Dir.Path() / "disc.iso";
    const fs::path Folder = MakeLargeFiles(Dir);
    const Strings Arguments = DataDisc("SUMS", {"--verify"}, {Folder.string()});

    const auto Written = RunRecorder(Arguments, RecorderEnvironment(Disc));
    ASSERT_EQ(Written.ExitCode, 0) << Written.Err;
    const std::string Image = "stdio:" + Disc.string();
    const auto Files =
        RunReader({"xorriso", "-md5", "on", "-indev", Image, "-check_md5_r", "SORRY", "/", "--"});
    EXPECT_EQ(Files.ExitCode, 0) << Files.Out << Files.Err;
    EXPECT_NE((Files.Out + Files.Err).find("File contents and their MD5 checksums match"),
              std::string::npos)
        << Files.Out << Files.Err;
    const auto Session =
        RunReader({"xorriso", "-md5", "on", "-indev", Image, "-check_md5", "FAILURE", "--"});
    EXPECT_EQ(Session.ExitCode, 0) << Session.Out << Session.Err;
    const auto Compared = RunReader({"xorriso", "-indev", Image, "-compare_l",
                                     Folder.parent_path().string(), "/", Folder.string(), "--"});
    EXPECT_EQ(Compared.ExitCode, 0) << Compared.Out << Compared.Err;
    EXPECT_EQ((Compared.Out + Compared.Err).find("differ"), std::string::npos)
        << Compared.Out << Compared.Err;
    fs::remove(Disc);

    const auto Corrupt = RunRecorder(
        Arguments,
        RecorderEnvironment(Disc, {"QUELT_RECORDER_TEST_CORRUPT=" + std::string(Marker)}));
    EXPECT_EQ(Corrupt.ExitCode, 8) << Corrupt.Err;
    EXPECT_NE(Corrupt.Err.find("file3000000.bin"), std::string::npos) << Corrupt.Err;
    EXPECT_FALSE(fs::exists(Disc));
}

} // namespace
