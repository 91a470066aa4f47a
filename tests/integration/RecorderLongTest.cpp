// The recorder with files of several GiB: a file larger than 4 GiB (more than one ISO 9660 extent)
// on a DVD, read back whole, and a data set larger than a DVD. Sparse sources cost no disk space,
// but the written image does, and writing it takes a while: these run only when asked for
// (ctest -L long).
#include "RecorderSupport.hpp"

#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

constexpr std::uintmax_t GiB = 1024ULL * 1024 * 1024;

std::string ReadAt(const fs::path& File, std::uintmax_t Offset, std::size_t Size) {
    std::string Text(Size, '\0');
    const int Fd = ::open(File.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t Got = Fd < 0 ? -1 : ::pread(Fd, Text.data(), Size, static_cast<off_t>(Offset));
    if (Fd >= 0) {
        ::close(Fd);
    }
    Text.resize(Got > 0 ? static_cast<std::size_t>(Got) : 0);
    return Text;
}

void WriteAt(const fs::path& File, std::uintmax_t Offset, const std::string& Text) {
    const int Fd = ::open(File.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(Fd, 0);
    EXPECT_EQ(::pwrite(Fd, Text.data(), Text.size(), static_cast<off_t>(Offset)),
              static_cast<ssize_t>(Text.size()));
    ::close(Fd);
}

TEST(RecorderLong, FileLargerThanFourGiBOnADvd) {
    if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << "reader programs missing: " << Missing;
    }
    TempDir Dir;
    const fs::path Big = Dir.Path() / "in/big.bin";
    fs::create_directories(Big.parent_path());
    const std::uintmax_t Size = 4 * GiB + 200ULL * 1024 * 1024;
    MakeSparseFile(Big, Size, "start of the file");
    // Marks on both sides of the 4 GiB boundary, where one extent ends, and at the very end.
    WriteAt(Big, 4 * GiB - 8, "before-4GiB|after-4GiB");
    WriteAt(Big, Size - 8, "the end.");
    const fs::path Disc = Dir.Path() / "disc.iso";
    const auto Run =
        RunRecorder(DataDisc("BIG", {"--dvd"}, {Big.string()}), RecorderEnvironment(Disc));
    ASSERT_EQ(Run.ExitCode, 0) << Run.Err;
    const auto Read = ExtractWithXorriso(Disc, Dir.Path() / "back");
    ASSERT_EQ(Read.ExitCode, 0) << Read.Err;
    const fs::path Back = Dir.Path() / "back/big.bin";
    ASSERT_EQ(fs::file_size(Back), Size);
    for (const std::uintmax_t Offset : {std::uintmax_t{0}, 4 * GiB - 8, Size - 8}) {
        EXPECT_EQ(ReadAt(Back, Offset, 22), ReadAt(Big, Offset, 22)) << Offset;
    }
}

TEST(RecorderLong, FiveGiBDoNotFitADvd) {
    TempDir Dir;
    const fs::path Big = Dir.Path() / "five.bin";
    MakeSparseFile(Big, 5 * GiB, "five");
    const fs::path Disc = Dir.Path() / "disc.iso";
    const auto Run =
        RunRecorder(DataDisc("FIVE", {"--dvd"}, {Big.string()}), RecorderEnvironment(Disc));
    EXPECT_EQ(Run.ExitCode, 5) << Run.Err;
    EXPECT_NE(Run.Err.find("blocks"), std::string::npos) << Run.Err;
    EXPECT_FALSE(fs::exists(Disc));
    EXPECT_EQ(ScratchFilesBeside(Disc), Strings{});
}

} // namespace
