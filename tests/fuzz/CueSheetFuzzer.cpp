// Any text read as a CUE sheet: the reader takes every line or says why not, the writer gives back
// text that reads as the same lines, and an image the checks accept joins into one data file of
// the same sectors (its data files measured from their names, so that no file is read).
#include "CueImage.hpp"
#include "CueSheet.hpp"
#include "FuzzInput.hpp"
#include "RecorderFailure.hpp"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using QueltFuzz::Check;
using Recorder::CueImage;
using Recorder::CueLine;

bool SameLine(const CueLine& A, const CueLine& B) {
    return A.Command == B.Command && A.Fault.empty() == B.Fault.empty() && A.Name == B.Name &&
           A.Type == B.Type && A.Number == B.Number && A.SectorBytes == B.SectorBytes &&
           A.Sectors == B.Sectors && (A.Fault.empty() || A.Text == B.Text);
}

// A data file named by a decimal number holds that many bytes; any other holds 2,048 sectors of
// 2,352 bytes, which is whole sectors of 2,048 and 2,352 bytes too.
Recorder::CueDataFile Measured(const std::string& Name) {
    Recorder::CueDataFile File;
    File.Path = Name;
    const auto [End, Error] = std::from_chars(Name.data(), Name.data() + Name.size(), File.Bytes);
    if (Name.empty() || Error != std::errc() || End != Name.data() + Name.size()) {
        File.Bytes = std::uint64_t{2352} * 2048;
    }
    return File;
}

void CheckImage(const std::vector<CueLine>& Lines) {
    const CueImage::SheetCheck Reader{"fuzz.cue"};
    std::optional<CueImage> Image;
    try {
        Image = CueImage::Of(Lines, Reader, Measured);
    } catch (const Recorder::RecorderFailure& Failure) {
        Check(Failure.Code() == Recorder::ExitCode::Source, "a sheet's fault is a source error");
        return;
    }
    Check(Image->Sectors() <= 0xFFFFFFFFU, "an image's sectors fit 32-bit addresses");
    std::uint64_t Bytes = 0;
    for (const Recorder::CueDataFile& File : Image->Files()) {
        Bytes += File.Bytes;
    }
    bool Dropped = false;
    const std::string Joined = Image->JoinedSheet("joined.bin", Dropped);
    try {
        const CueImage Again =
            CueImage::Of(Recorder::ReadCueSheet(Joined), Reader, [Bytes](const std::string& Name) {
                return Recorder::CueDataFile{Name, Bytes, 0};
            });
        Check(Again.Sectors() == Image->Sectors(), "the joined image has the sectors of its parts");
        Check(Again.Tracks().size() == Image->Tracks().size(), "the joined image has every track");
    } catch (const Recorder::RecorderFailure& Failure) {
        std::fprintf(stderr, "%s\n", Failure.what());
        Check(false, "the sheet of an image's files joined into one is accepted too");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    const std::vector<CueLine> Lines = Recorder::ReadCueSheet(Text);
    // Lines the reader takes are written from their fields, so the writer must carry them all.
    const std::string Written = Recorder::WriteCueSheet(Lines);
    const std::vector<CueLine> Again = Recorder::ReadCueSheet(Written);
    Check(Again.size() == Lines.size(), "the written sheet has as many lines");
    for (std::size_t I = 0; I < Lines.size() && I < Again.size(); ++I) {
        Check(SameLine(Lines[I], Again[I]), "each written line reads back as the same line");
    }
    Check(Recorder::WriteCueSheet(Again) == Written, "a written sheet is written the same again");
    CheckImage(Lines);
    return 0;
}
