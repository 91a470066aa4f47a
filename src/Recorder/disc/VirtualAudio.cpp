// An audio CD on a virtual disc: the raw sectors in the target file, the CUE sheet beside it.
// The file starts with the two-second pause before the first track, stored as 150 silent sectors
// (track 1's INDEX 00 at 00:00:00, its INDEX 01 at 00:02:00), so that the file is the disc from
// its first sector on and every INDEX names the track's place in the file itself. Each track
// follows the one before without a gap, padded with silence to whole sectors.
#include "VirtualDisc.hpp"

#include "CueSheet.hpp"
#include "DiscGeometry.hpp"
#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Recorder {

namespace {

void WriteFully(const Target& Where, int Fd, const char* Data, std::size_t Size) {
    while (Size > 0) {
        const ssize_t Put = ::write(Fd, Data, Size);
        if (Put < 0 && errno == EINTR) {
            continue;
        }
        if (Put <= 0) {
            WriteFailed(Where, "cannot write the disc");
        }
        Data += Put;
        Size -= static_cast<std::size_t>(Put);
    }
}

// Writes the pause and every track into the scratch file Scratch; returns where each track starts.
std::vector<std::uint64_t> WriteSectors(const Target& Where, Progress& Report,
                                        const std::string& Scratch, const AudioImage& Image,
                                        std::uint64_t Sectors) {
    const FileDescriptor Out(
        ::open(Scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (Out.Get() < 0) {
        WriteFailed(Where, "cannot create " + Scratch);
    }
    const std::vector<char> Pause(LeadingPause * RawSectorBytes, 0);
    WriteFully(Where, Out.Get(), Pause.data(), Pause.size());
    std::uint64_t Written = LeadingPause;
    std::vector<std::uint64_t> Starts;
    for (const AudioTrackData& Track : Image.Tracks) {
        Starts.push_back(Written);
        const std::uint64_t Start = Written;
        Track.Decode(
            [&](std::span<const char> Bytes) {
                WriteFully(Where, Out.Get(), Bytes.data(), Bytes.size());
            },
            [&](double Done) {
                const double At =
                    static_cast<double>(Start) + Done * static_cast<double>(Track.Sectors);
                Report.Update(static_cast<std::uint64_t>(At * static_cast<double>(RawSectorBytes)),
                              Sectors * RawSectorBytes);
            });
        Written += Track.Sectors;
    }
    Report.Enter("closing");
    if (::fsync(Out.Get()) != 0) {
        WriteFailed(Where, "cannot write the disc");
    }
    return Starts;
}

void WriteSheet(const Target& Where, const std::string& Scratch, const std::string& Text) {
    const FileDescriptor Out(
        ::open(Scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (Out.Get() < 0) {
        WriteFailed(Where, "cannot create " + Scratch);
    }
    WriteFully(Where, Out.Get(), Text.data(), Text.size());
    if (::fsync(Out.Get()) != 0) {
        WriteFailed(Where, "cannot write the CUE sheet");
    }
}

} // namespace

void CheckSheetPlace(const Target& Where) {
    const std::string Sheet = CueSheetPathOf(Where.Path);
    struct stat Info {};
    if (::lstat(Sheet.c_str(), &Info) != 0) {
        return;
    }
    if (!S_ISREG(Info.st_mode) || !SheetNames(Sheet, Where.Path)) {
        throw RecorderFailure(ExitCode::Target,
                              Where.Describe() + ": " + Sheet +
                                  " is in the way of the disc's CUE sheet (it is not a sheet that "
                                  "names " +
                                  BareNameOf(Where.Path) + ")");
    }
}

AudioRoom VirtualDisc::RoomForAudio() {
    return {.Pause = LeadingPause,
            .Capacity = CdSectors,
            .CheckShare = 100.0,
            .Remedy = " (Erase, --erase)"};
}

void VirtualDisc::WriteAudio(const Request& /*Ask*/, Progress& Report, const AudioImage& Image) {
    std::uint64_t Sectors = LeadingPause;
    for (const AudioTrackData& Track : Image.Tracks) {
        Sectors += Track.Sectors;
    }
    Report.Begin("writing", Sectors * RawSectorBytes);
    const std::vector<std::uint64_t> Starts =
        WriteSectors(Where(), Report, ScratchDisc(), Image, Sectors);
    WriteSheet(Where(), ScratchSheet(), Image.Sheet(Starts, BareNameOf(Where().Path)));
    const std::string Sheet = CueSheetPathOf(Where().Path);
    Hold().PutInPlace(Sheet);
    Report.End();
    Report.Say("wrote " + Image.Summary + " to " + Describe() + ", its CUE sheet " + Sheet);
}

} // namespace Recorder
