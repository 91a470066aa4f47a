// A BIN/CUE image given to --image: onto a virtual disc, its data files joined into the target and
// a sheet beside it naming the target; onto a real drive, libburn for audio and Mode 1 tracks,
// cdrdao for the rest.
#include "CueImage.hpp"
#include "CueSheet.hpp"
#include "FileDescriptor.hpp"
#include "RawDisc.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"
#include "SpeedTest.hpp"
#include "WholeDisc.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace Recorder {

namespace {

// Copies every data file, in order, into the scratch file.
void JoinInto(const WriteContext& Context, const CueImage& Image) {
    const FileDescriptor To(::open(Context.Scratch.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (To.Get() < 0) {
        throw RecorderFailure(ExitCode::Write,
                              Context.Where.Describe() + ": " + std::strerror(errno));
    }
    std::uint64_t Total = 0;
    for (const CueDataFile& File : Image.Files()) {
        Total += File.Bytes;
    }
    Context.Report.Expect(Total);
    std::uint64_t Done = 0;
    for (const CueDataFile& File : Image.Files()) {
        std::string Reason;
        const FileDescriptor From(OpenRegularFile(File.Path, Reason));
        if (From.Get() < 0) {
            throw RecorderFailure(ExitCode::Source, "data file " + File.Path + ": " + Reason);
        }
        const std::uint64_t Copied =
            CopyAll(Context, From.Get(), To.Get(), "data file " + File.Path,
                    [&Context, &Done, Total](std::uint64_t Bytes) {
                        Done += Bytes;
                        Context.Report.Update(Done, Total);
                    });
        // The sheet's positions were checked against the size the file had then.
        if (Copied != File.Bytes) {
            throw RecorderFailure(ExitCode::Source, FailureKind::SourceChanged,
                                  "data file " + File.Path +
                                      ": changed its size while it was read");
        }
    }
    Context.Report.Enter("closing");
    if (::fsync(To.Get()) != 0) {
        throw RecorderFailure(ExitCode::Write,
                              Context.Where.Describe() + ": " + std::strerror(errno));
    }
}

// Onto a real drive: the sheet, with its data files named by their full paths, read by libburn
// itself where it can (one data file of audio and Mode 1 tracks), else by cdrdao.
void BurnToDrive(const WriteContext& Context, std::unique_ptr<XorrisoSession> Drive,
                 const CueImage& Image, bool Blank) {
    const Request& Ask = Context.Ask;
    WriteDurably(Context, SheetScratchOf(Context.Scratch), Image.SheetWithFullPaths());
    if (!Image.LibburnWrites()) {
        if (!Blank) {
            Context.Report.Begin("erasing");
            Drive->Require({"-blank", "as_needed"}, ExitCode::Medium);
            Context.Report.End();
        }
        Drive.reset(); // cdrdao opens the drive itself
        WriteSheetWithCdrdao(Context, SheetScratchOf(Context.Scratch));
        return;
    }
    const std::vector<std::string> Command =
        CdrecordArguments(Ask, Context.Where,
                          {.Source = SheetScratchOf(Context.Scratch),
                           .IsCueSheet = true,
                           .Bytes = std::nullopt,
                           .Erase = !Blank,
                           .Dvd = false,
                           .Closed = false});
    Context.Report.Begin("writing");
    Drive->Require(Command, ExitCode::Write);
    Context.Report.End();
}

} // namespace

void BurnCueImage(const WriteContext& Context) {
    const Request& Ask = Context.Ask;
    const Target& Where = Context.Where;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    auto [Drive, Sheet, Blank, Profile] = OpenRawTarget(Context);
    const CueImage Image = CueImage::Read(Ask.ImageFile);
    if (Ask.SpeedTest) {
        std::vector<std::string> DataFiles;
        for (const CueDataFile& File : Image.Files()) {
            DataFiles.push_back(File.Path);
        }
        (void)ReadSpeedTest(DataFiles, Ask.Speed, false, Report);
    }
    const std::uint64_t Sectors = Image.Sectors() + LeadingPause;
    if (Sectors > CdSectors) {
        throw RecorderFailure(ExitCode::Fit, Where.Describe() + ": the image needs " +
                                                 std::to_string(Sectors) + " sectors, a CD holds " +
                                                 std::to_string(CdSectors));
    }
    RequireCd(Context, Profile);
    RequireWritable(Context, Blank);
    Report.End();
    if (Where.RealDrive) {
        BurnToDrive(Context, std::move(Drive), Image, Blank);
        Report.Say("wrote the image " + Ask.ImageFile + " to " + Where.Describe());
        return;
    }
    bool Dropped = false;
    const std::string Joined = Image.JoinedSheet(BareNameOf(Where.Path), Dropped);
    Report.Begin("writing");
    JoinInto(Context, Image);
    WriteDurably(Context, SheetScratchOf(Context.Scratch), Joined);
    PutRawDiscInPlace(Context, Sheet);
    Report.End();
    if (Ask.CloseSession) {
        Report.Say(Where.Describe() + " is a virtual disc, written whole: there is no session to "
                                      "close");
    }
    if (Dropped) {
        Report.Say("the sheet's CDTEXTFILE line names a file beside the image: it was left out");
    }
    Report.Say("wrote the image " + Ask.ImageFile + " to " + Where.Describe() +
               " and its CUE sheet " + Sheet);
}

} // namespace Recorder
