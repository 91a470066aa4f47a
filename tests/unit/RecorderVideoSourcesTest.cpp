// The recorder's checks of video and CD-image sources as functions: the kind of an MPEG stream,
// what a virtual disc's file holds, and what a CUE sheet says about its data.
#include "CueImage.hpp"
#include "DiscKind.hpp"
#include "MpegStream.hpp"
#include "RecorderFailure.hpp"
#include "TestFiles.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include <string>
#include <vector>

namespace {

using QueltTest::TempDir;
using Recorder::MpegKind;
using Recorder::VirtualDiscKind;

TEST(RecorderMpegStream, KindComesFromThePackHeader) {
    const struct {
        std::vector<unsigned char> Head;
        MpegKind Kind;
    } Rows[] = {
        {{0x00, 0x00, 0x01, 0xBA, 0x21}, MpegKind::Mpeg1System},
        {{0x00, 0x00, 0x01, 0xBA, 0x2F}, MpegKind::Mpeg1System},
        {{0x00, 0x00, 0x01, 0xBA, 0x44}, MpegKind::Mpeg2Program},
        {{0x00, 0x00, 0x01, 0xBA, 0x7F}, MpegKind::Mpeg2Program},
        // Neither form after the pack start code.
        {{0x00, 0x00, 0x01, 0xBA, 0x00}, MpegKind::Other},
        {{0x00, 0x00, 0x01, 0xBA, 0x31}, MpegKind::Other},
        {{0x00, 0x00, 0x01, 0xBA, 0xC4}, MpegKind::Other},
        // A video elementary stream (sequence header), a transport stream, too short, nothing.
        {{0x00, 0x00, 0x01, 0xB3, 0x21}, MpegKind::Other},
        {{0x47, 0x40, 0x00, 0x10, 0x00}, MpegKind::Other},
        {{0x00, 0x00, 0x01, 0xBA}, MpegKind::Other},
        {{}, MpegKind::Other},
    };
    for (const auto& Row : Rows) {
        EXPECT_EQ(Recorder::MpegKindOf(Row.Head), Row.Kind) << ::testing::PrintToString(Row.Head);
    }
}

TEST(RecorderDiscKind, FileSaysWhatTheDiscHolds) {
    constexpr std::size_t Block = 2048;
    const auto Descriptors = [](const std::vector<std::string>& Heads) {
        std::string Image(Block * 16, '\0');
        for (const std::string& Head : Heads) {
            std::string One = Head;
            One.resize(Block, '\0');
            Image += One;
        }
        return Image;
    };
    const std::string Sync("\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00", 12);
    // A primary descriptor that says the volume has 100 blocks, in a file of 18.
    std::string Truncated = Descriptors({std::string("\x01"
                                                     "CD001",
                                                     6),
                                         std::string("\xFF"
                                                     "CD001",
                                                     6)});
    Truncated[Block * 16 + 80] = 100;
    const struct {
        const char* Case;
        std::string Content;
        bool Sheet;
        VirtualDiscKind Kind;
    } Rows[] = {
        {"empty", "", false, VirtualDiscKind::Blank},
        {"zeros", std::string(Block * 40, '\0'), false, VirtualDiscKind::NotADisc},
        {"empty with a sheet", "", true, VirtualDiscKind::Blank},
        {"ISO 9660",
         Descriptors({std::string("\x01"
                                  "CD001",
                                  6),
                      std::string("\xFF"
                                  "CD001",
                                  6)}),
         false, VirtualDiscKind::Appendable},
        {"ISO 9660 with UDF",
         Descriptors({std::string("\x01"
                                  "CD001",
                                  6),
                      std::string("\xFF"
                                  "CD001",
                                  6),
                      std::string("\x00"
                                  "BEA01",
                                  6),
                      std::string("\x00"
                                  "NSR02",
                                  6),
                      std::string("\x00"
                                  "TEA01",
                                  6)}),
         false, VirtualDiscKind::Closed},
        {"raw data sectors with their sheet", Sync + std::string(2340, 'x'), true,
         VirtualDiscKind::RawSectors},
        {"audio with its sheet", std::string(2352, 'a'), true, VirtualDiscKind::RawSectors},
        // Sectors no sheet names, a document, or an image cut short are no disc.
        {"raw data sectors without a sheet", Sync + std::string(2340, 'x'), false,
         VirtualDiscKind::NotADisc},
        {"audio without a sheet", std::string(2352, 'a'), false, VirtualDiscKind::NotADisc},
        {"a document", "Dear reader,\n", false, VirtualDiscKind::NotADisc},
        {"ISO 9660 cut short", Truncated, false, VirtualDiscKind::NotADisc},
    };
    for (const auto& Row : Rows) {
        TempDir Dir;
        const auto Disc = Dir.Write("disc.bin", Row.Content);
        if (Row.Sheet) {
            Dir.Write("disc.cue", "FILE \"disc.bin\" BINARY\n");
        }
        EXPECT_EQ(Recorder::KindOfVirtualDisc(Disc.string()), Row.Kind) << Row.Case;
    }
    EXPECT_EQ(Recorder::KindOfVirtualDisc("/nonexistent/disc.bin"), VirtualDiscKind::Blank);
    // A FIFO is no disc, and asking never waits for a writer.
    const TempDir Dir;
    const std::filesystem::path Fifo = Dir.Path() / "fifo.iso";
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    EXPECT_EQ(Recorder::KindOfVirtualDisc(Fifo.string()), VirtualDiscKind::NotADisc);
}

TEST(RecorderCueImage, SectorsAndWritersFollowTheSheet) {
    TempDir Dir;
    Dir.Write("a.bin", std::string(std::size_t{2352} * 100 + std::size_t{2048} * 50, 'a'));
    Dir.Write("b.bin", std::string(std::size_t{2048} * 30, 'b'));
    const struct {
        const char* Case;
        std::string Sheet;
        std::uint64_t Sectors;
        bool Libburn;
    } Rows[] = {
        // 100 audio sectors, then a Mode 1 track of 2,048-byte sectors in the same file.
        {"mixed sizes in one file",
         "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
         " TRACK 02 MODE1/2048\n  INDEX 01 00:01:25\n",
         150, true},
        {"gaps no file holds",
         "FILE \"b.bin\" BINARY\n TRACK 01 MODE1/2048\n  PREGAP 00:02:00\n  INDEX 01 00:00:00\n"
         "  POSTGAP 00:00:10\n",
         30 + 150 + 10, true},
        {"two files",
         "FILE \"b.bin\" BINARY\n TRACK 01 MODE1/2048\n  INDEX 01 00:00:00\n"
         "FILE \"b.bin\" BINARY\n TRACK 02 MODE1/2048\n  INDEX 01 00:00:00\n",
         60, false},
        {"Mode 2", "FILE \"b.bin\" BINARY\n TRACK 01 MODE2/2048\n  INDEX 01 00:00:00\n", 30, false},
    };
    for (const auto& Row : Rows) {
        const auto Sheet = Dir.Write("sheet.cue", Row.Sheet);
        const Recorder::CueImage Image = Recorder::CueImage::Read(Sheet.string());
        EXPECT_EQ(Image.Sectors(), Row.Sectors) << Row.Case;
        EXPECT_EQ(Image.LibburnWrites(), Row.Libburn) << Row.Case;
    }
    // The bytes of a track that is not whole sectors of its own size, and indexes that go back.
    for (const char* Sheet : {"FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                              " TRACK 02 MODE1/2048\n  INDEX 01 00:01:00\n",
                              "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:01:00\n"
                              " TRACK 02 AUDIO\n  INDEX 01 00:00:00\n"}) {
        const auto Path = Dir.Write("bad.cue", Sheet);
        EXPECT_THROW((void)Recorder::CueImage::Read(Path.string()), Recorder::RecorderFailure)
            << Sheet;
    }
}

} // namespace
