// The recorder skips the exact measurement of a session that clearly fits, trusting an upper bound
// of its size. A bound below the real size would let a write past the disc's end through, so it is
// checked against libisofs's own layout of trees that are hard on it.
#include "RecorderSupport.hpp"
#include "Sources.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <string>

namespace {

using namespace RecorderTest;
using QueltTest::TempDir;

// The session's size as xorriso lays it out, with the recorder's settings.
std::uint64_t ExactBlocks(const fs::path& Tree) {
    const QueltTest::ProcessOutcome Out =
        RunReader({"xorriso", "-report_about", "SORRY", "-md5", "on", "-local_charset", "UTF-8",
                   "-charset", "UTF-8", "-joliet", "on", "-compliance", "iso_9660_level=3",
                   "-outdev", "stdio:/dev/null", "-map", Tree.string(), "/tree", "-print_size"});
    const std::size_t At = Out.Out.find("Image size   : ");
    EXPECT_NE(At, std::string::npos) << Out.Out << Out.Err;
    std::uint64_t Blocks = 0;
    if (At != std::string::npos) {
        const char* Start = Out.Out.data() + At + 15;
        std::from_chars(Start, Out.Out.data() + Out.Out.size(), Blocks);
    }
    return Blocks;
}

TEST(RecorderSizeBound, NeverBelowTheSizeLibisofsLaysOut) {
    if (const std::string Missing = MissingPrograms({"xorriso"}); !Missing.empty()) {
        GTEST_SKIP() << Missing;
    }
    TempDir Dir;
    const std::string LongName(200, 'n');
    const std::string LongTarget = "/" + std::string(250, 'x') + "/" + std::string(250, 'y');
    // Links with long names and long targets: their Rock Ridge entries overflow into
    // continuation areas.
    const fs::path Links = Dir.MakeDir("links");
    for (int I = 0; I < 300; ++I) {
        fs::create_symlink(LongTarget + std::to_string(I), Links / (LongName + std::to_string(I)));
    }
    // Folders nested deep, each holding one empty file: every folder costs whole blocks.
    std::string Deep = "deep";
    for (int Level = 0; Level < 35; ++Level) { // within the 4,096 bytes a path may have
        Deep += "/" + std::string(100, static_cast<char>('a' + Level % 26));
        Dir.Write(Deep + "/e", "");
    }
    // Many empty files in one folder, and files just over a block.
    for (int I = 0; I < 3000; ++I) {
        Dir.Write("flat/" + std::to_string(I) + "-" + std::string(150, 'f'), "");
    }
    for (int I = 0; I < 50; ++I) {
        Dir.Write("odd/" + std::to_string(I), std::string(2049, 'o'));
    }
    Recorder::FileStamps Stamps;
    for (const char* Tree : {"links", "deep", "flat", "odd"}) {
        const fs::path Path = Dir.Path() / Tree;
        const std::optional<std::uint64_t> Bound =
            Recorder::UpperBoundBlocks({{Path.string(), "tree"}}, Stamps);
        ASSERT_TRUE(Bound) << Tree;
        EXPECT_GE(*Bound, ExactBlocks(Path)) << Tree;
    }
}

} // namespace
