// Any bytes as the start of a virtual disc's file, read once alone and once with a CUE sheet beside
// it that names the file: an empty file is blank, raw sectors are found by their sheet or their
// sync pattern, and a sheet beside a file that holds something makes it no blank disc.
#include "DiscKind.hpp"
#include "FuzzInput.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Recorder::VirtualDiscKind;

// One private folder for the whole run, removed when the process ends.
const std::filesystem::path& Folder() {
    static const struct Scratch {
        std::filesystem::path Path;
        Scratch() {
            std::string Template =
                (std::filesystem::temp_directory_path() / "quelt-fuzz-XXXXXX").string();
            QueltFuzz::Check(::mkdtemp(Template.data()) != nullptr, "a scratch folder");
            Path = Template;
        }
        ~Scratch() {
            std::error_code Ignored;
            std::filesystem::remove_all(Path, Ignored);
        }
    } Made;
    return Made.Path;
}

void WriteFile(const std::filesystem::path& Path, const char* Data, std::size_t Size) {
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(Data, static_cast<std::streamsize>(Size));
    QueltFuzz::Check(static_cast<bool>(Out.flush()), "the scratch file is written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::filesystem::path Disc = Folder() / "disc.bin";
    const std::filesystem::path Sheet = Folder() / "disc.cue";
    WriteFile(Disc, reinterpret_cast<const char*>(Data), Size);
    std::error_code Ignored;
    std::filesystem::remove(Sheet, Ignored);
    const VirtualDiscKind Alone = Recorder::KindOfVirtualDisc(Disc.string());

    static constexpr unsigned char Sync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    const bool Synced = Size >= sizeof Sync && std::memcmp(Data, Sync, sizeof Sync) == 0;
    QueltFuzz::Check(Size > 0 || Alone == VirtualDiscKind::Blank, "an empty file is blank");
    QueltFuzz::Check(Alone != VirtualDiscKind::RawSectors || Synced,
                     "without a sheet, only the sync pattern makes raw sectors");

    const std::string Named = "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    WriteFile(Sheet, Named.data(), Named.size());
    const VirtualDiscKind Beside = Recorder::KindOfVirtualDisc(Disc.string());
    QueltFuzz::Check(Size > 0 || Beside == VirtualDiscKind::Blank, "an empty file is blank");
    QueltFuzz::Check(Size == 0 || Beside != VirtualDiscKind::Blank,
                     "a file its sheet names holds a disc");
    QueltFuzz::Check(Alone == VirtualDiscKind::Blank || Alone == VirtualDiscKind::RawSectors ||
                         Beside == Alone,
                     "a sheet beside an ISO 9660 image does not change its kind");
    return 0;
}
