// An audio CD on a virtual disc: the raw sectors in the target file, the CUE sheet beside it.
// The file starts with the two-second pause before the first track, stored as 150 silent sectors
// (track 1's INDEX 00 at 00:00:00, its INDEX 01 at 00:02:00), so that the file is the disc from
// its first sector on and every INDEX names the track's place in the file itself. Each track
// follows the one before without a gap, padded with silence to whole sectors.
#include "AudioCd.hpp"

#include "CueSheet.hpp"
#include "FileDescriptor.hpp"
#include "RawDisc.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Recorder {

namespace {

[[noreturn]] void WriteFailed(const WriteContext& Context, const std::string& What) {
    throw RecorderFailure(ExitCode::Write,
                          Context.Where.Describe() + ": " + What + ": " + std::strerror(errno));
}

// The sheet's place must be free, or hold this disc's own sheet: another disc's sheet, a folder or
// anything else there is not overwritten.
void CheckSheetPlace(const WriteContext& Context, const std::string& Sheet) {
    struct stat Info {};
    if (::lstat(Sheet.c_str(), &Info) != 0) {
        return;
    }
    if (!S_ISREG(Info.st_mode) || !SheetNames(Sheet, Context.Where.Path)) {
        throw RecorderFailure(ExitCode::Target,
                              Context.Where.Describe() + ": " + Sheet +
                                  " is in the way of the disc's CUE sheet (it is not a sheet that "
                                  "names " +
                                  BareNameOf(Context.Where.Path) + ")");
    }
}

void WriteFully(const WriteContext& Context, int Fd, const char* Data, std::size_t Size) {
    while (Size > 0) {
        const ssize_t Put = ::write(Fd, Data, Size);
        if (Put < 0 && errno == EINTR) {
            continue;
        }
        if (Put <= 0) {
            WriteFailed(Context, "cannot write the disc");
        }
        Data += Put;
        Size -= static_cast<std::size_t>(Put);
    }
}

// Writes the pause and every track into the scratch file; returns where each track starts.
std::vector<std::uint64_t> WriteSectors(const WriteContext& Context,
                                        const std::vector<AudioTrack>& Tracks,
                                        std::uint64_t Sectors) {
    const FileDescriptor Out(::open(Context.Scratch.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (Out.Get() < 0) {
        WriteFailed(Context, "cannot create " + Context.Scratch);
    }
    const std::vector<char> Pause(LeadingPause * RawSectorBytes, 0);
    WriteFully(Context, Out.Get(), Pause.data(), Pause.size());
    std::uint64_t Written = LeadingPause;
    std::vector<std::uint64_t> Starts;
    for (const AudioTrack& Track : Tracks) {
        Starts.push_back(Written);
        const std::uint64_t Start = Written;
        DecodeTrack(
            Track,
            [&](std::span<const char> Bytes) {
                WriteFully(Context, Out.Get(), Bytes.data(), Bytes.size());
            },
            [&](double Done) {
                const double At =
                    static_cast<double>(Start) + Done * static_cast<double>(Track.Sectors());
                Context.Report.Update(
                    static_cast<std::uint64_t>(At * static_cast<double>(RawSectorBytes)),
                    Sectors * RawSectorBytes);
            });
        Written += Track.Sectors();
    }
    Context.Report.Enter("closing");
    if (::fsync(Out.Get()) != 0) {
        WriteFailed(Context, "cannot write the disc");
    }
    return Starts;
}

std::string SheetText(const WriteContext& Context, const std::vector<std::uint64_t>& Starts) {
    const DiscText Text = CueDiscText(Context);
    std::vector<CueLine> Sheet;
    if (Text.Performer) {
        Sheet.push_back(CueLine::QuotedLine("PERFORMER", *Text.Performer));
    }
    if (Text.Title) {
        Sheet.push_back(CueLine::QuotedLine("TITLE", *Text.Title));
    }
    Sheet.push_back(CueLine::FileLine(BareNameOf(Context.Where.Path)));
    for (std::size_t I = 0; I < Starts.size(); ++I) {
        Sheet.push_back(CueLine::TrackLine(static_cast<std::uint32_t>(I + 1), "AUDIO"));
        if (I == 0) {
            Sheet.push_back(CueLine::IndexLine(0, 0));
        }
        Sheet.push_back(CueLine::IndexLine(1, Starts[I]));
    }
    return WriteCueSheet(Sheet);
}

void WriteSheet(const WriteContext& Context, const std::string& Text) {
    const std::string Scratch = SheetScratchOf(Context.Scratch);
    const FileDescriptor Out(
        ::open(Scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (Out.Get() < 0) {
        WriteFailed(Context, "cannot create " + Scratch);
    }
    WriteFully(Context, Out.Get(), Text.data(), Text.size());
    if (::fsync(Out.Get()) != 0) {
        WriteFailed(Context, "cannot write the CUE sheet");
    }
}

} // namespace

void WriteAudioCd(const WriteContext& Context) {
    if (Context.Where.RealDrive) {
        BurnAudioToDrive(Context);
        return;
    }
    const Target& Where = Context.Where;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    const std::string Sheet = CueSheetPathOf(Where.Path);
    CheckSheetPlace(Context, Sheet);
    const std::vector<AudioTrack> Tracks = CheckTracks(Context, 100.0);
    const std::uint64_t Sectors = LeadingPause + TrackSectors(Tracks);
    CheckFit(Context, Tracks.size(), Sectors, CdSectors);
    if (!Context.Disc.Blank()) {
        throw RecorderFailure(ExitCode::Medium, Where.Describe() +
                                                    ": the disc is not blank; erase it first "
                                                    "(Erase, --erase)");
    }
    Report.End();

    Report.Begin("writing", Sectors * RawSectorBytes);
    const std::vector<std::uint64_t> Starts = WriteSectors(Context, Tracks, Sectors);
    WriteSheet(Context, SheetText(Context, Starts));
    Context.Disc.PutInPlace(Sheet);
    Report.End();
    Report.Say("wrote " + std::to_string(Tracks.size()) +
               (Tracks.size() == 1 ? " audio track (" : " audio tracks (") +
               PlayingTime(Sectors - LeadingPause) + ") to " + Where.Describe() +
               ", its CUE sheet " + Sheet);
}

} // namespace Recorder
