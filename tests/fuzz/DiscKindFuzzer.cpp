// Any bytes as the start of a virtual disc's file, read once alone and once with a CUE sheet beside
// it that names the file: only an empty file is blank, raw sectors are found by their sheet alone,
// an ISO 9660 or UDF image keeps its kind with a sheet beside it, and anything else is no disc.
#include "DiscKind.hpp"
#include "FuzzInput.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

    QueltFuzz::Check((Size == 0) == (Alone == VirtualDiscKind::Blank),
                     "only an empty file is blank");
    QueltFuzz::Check(Alone != VirtualDiscKind::RawSectors, "without a sheet, no raw sectors");

    const std::string Named = "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    WriteFile(Sheet, Named.data(), Named.size());
    const VirtualDiscKind Beside = Recorder::KindOfVirtualDisc(Disc.string());
    QueltFuzz::Check((Size == 0) == (Beside == VirtualDiscKind::Blank),
                     "only an empty file is blank");
    // The image's own volume comes first; anything else its sheet names is a CD's raw sectors.
    QueltFuzz::Check(
        Alone == VirtualDiscKind::Blank ||
            Beside == (Alone == VirtualDiscKind::NotADisc ? VirtualDiscKind::RawSectors : Alone),
        "a sheet makes raw sectors of what is no image, and changes no image");
    return 0;
}
