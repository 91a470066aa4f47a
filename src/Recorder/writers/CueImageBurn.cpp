// A BIN/CUE image given to --image: onto a virtual disc, its data files joined into the target and
// a sheet beside it naming the target; onto a real drive, libburn for audio and Mode 1 tracks,
// cdrdao for the rest.
#include "CueImage.hpp"
#include "CueSheet.hpp"
#include "DiscFiles.hpp"
#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"
#include "SpeedTest.hpp"
#include "Writers.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

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
            CopyAll(Context.Where, From.Get(), To.Get(), "data file " + File.Path,
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

// The image as the disc takes it: for a drive, the sheet with its data files named by their full
// paths, read by libburn itself where it can (one data file of audio and Mode 1 tracks), else by
// cdrdao; for a virtual disc, the data files joined into its file and a sheet naming that file
// (Dropped: whether the sheet's CDTEXTFILE line was left out).
RawImage RawImageOf(const WriteContext& Context, const CueImage& Image, bool& Dropped) {
    const std::string Sheet = SheetScratchOf(Context.Scratch);
    return {.DriveSheet =
                [&Context, &Image] {
                    std::string FullPaths = SheetScratchOf(Context.Scratch);
                    WriteDurably(Context.Where, FullPaths, Image.SheetWithFullPaths());
                    return FullPaths;
                },
            .LibburnWrites = Image.LibburnWrites(),
            .FillScratch =
                [&Context, &Image, &Dropped, Sheet](const std::string& BareName) {
                    const std::string Joined = Image.JoinedSheet(BareName, Dropped);
                    Context.Report.Begin("writing");
                    JoinInto(Context, Image);
                    WriteDurably(Context.Where, Sheet, Joined);
                }};
}

class CueImageSteps final : public WriteSteps {
public:
    using WriteSteps::WriteSteps;

    std::optional<Acquiring> How() const override { return Acquiring::ToWriteRaw; }
    void CheckSources(const MediumState& /*State*/) override {
        const Request& Ask = FContext.Ask;
        FImage.emplace(CueImage::Read(Ask.ImageFile));
        if (Ask.SpeedTest) {
            std::vector<std::string> DataFiles;
            for (const CueDataFile& File : FImage->Files()) {
                DataFiles.push_back(File.Path);
            }
            (void)ReadSpeedTest(DataFiles, Ask.Speed, false, FContext.Report);
        }
    }
    void CheckFit(const MediumState& /*State*/) override {
        const std::uint64_t Sectors = FImage->Sectors() + LeadingPause;
        if (Sectors > CdSectors) {
            throw RecorderFailure(ExitCode::Fit, FContext.Disc.Describe() + ": the image needs " +
                                                     std::to_string(Sectors) +
                                                     " sectors, a CD holds " +
                                                     std::to_string(CdSectors));
        }
    }
    void CheckMedium(const MediumState& State) override {
        FContext.Disc.RequireCd(State);
        WriteSteps::CheckMedium(State);
    }
    void Write(const MediumState& State) override;

private:
    std::optional<CueImage> FImage;
};

void CueImageSteps::Write(const MediumState& State) {
    const Request& Ask = FContext.Ask;
    Disc& Onto = FContext.Disc;
    Progress& Report = FContext.Report;
    bool Dropped = false;
    Onto.WriteRaw(Ask, Report, RawImageOf(FContext, *FImage, Dropped), State.Blank);
    if (Ask.CloseSession) {
        Onto.SayOfFile(Report, Onto.Describe() + " is a virtual disc, written whole: there is no "
                                                 "session to close");
    }
    if (Dropped) {
        Report.Say("the sheet's CDTEXTFILE line names a file beside the image: it was left out");
    }
    Report.Say("wrote the image " + Ask.ImageFile + " to " + Onto.Describe() +
               Onto.OfFile(" and its CUE sheet " + CueSheetPathOf(FContext.Where.Path)));
}

} // namespace

std::unique_ptr<WriteSteps> BurnCueImage(const WriteContext& Context) {
    return std::make_unique<CueImageSteps>(Context);
}

} // namespace Recorder
