// An image file written to the disc as it is: a virtual disc becomes a copy of the image. A CD
// image given by its CUE sheet has a writer of its own (CueImageBurn.cpp).
#include "DiscKind.hpp"
#include "FileDescriptor.hpp"
#include "MediaFile.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"
#include "SpeedTest.hpp"
#include "WholeDisc.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace Recorder {

namespace {

[[noreturn]] void Fail(ExitCode Code, const std::string& Thing, const std::string& Reason) {
    throw RecorderFailure(Code, Thing + ": " + Reason);
}

void CopyInto(const WriteContext& Context, int From, off_t Size) {
    const FileDescriptor To(::open(Context.Scratch.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (To.Get() < 0) {
        Fail(ExitCode::Write, Context.Where.Describe(), std::strerror(errno));
    }
    std::uint64_t Done = 0;
    (void)CopyAll(Context, From, To.Get(), "image " + Context.Ask.ImageFile,
                  [&Context, &Done, Size](std::uint64_t Bytes) {
                      Done += Bytes;
                      Context.Report.Update(Done, static_cast<std::uint64_t>(Size));
                  });
    // The image was measured before the write; one that changed since is not the one checked.
    if (Done != static_cast<std::uint64_t>(Size)) {
        throw RecorderFailure(ExitCode::Source, FailureKind::SourceChanged,
                              "image " + Context.Ask.ImageFile +
                                  ": changed its size while it was read");
    }
    Context.Report.Enter("closing");
    if (::fsync(To.Get()) != 0) {
        Fail(ExitCode::Write, Context.Where.Describe(), std::strerror(errno));
    }
}

} // namespace

void BurnImageFile(const WriteContext& Context) {
    const Request& Ask = Context.Ask;
    const Target& Where = Context.Where;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    // The target first (a device that is no drive), then the source, the fit and the medium.
    std::optional<XorrisoSession> Drive;
    bool Blank = Context.Disc.Blank();
    if (Where.RealDrive) {
        Drive.emplace(Report, Where.Describe());
        Blank = AcquireDriveToWrite(*Drive, Where).Blank;
    }
    const std::string Image = "image " + Ask.ImageFile;
    const FileDescriptor File = OpenMediaFile(Ask.ImageFile, "image");
    struct stat Info {};
    if (::fstat(File.Get(), &Info) != 0) {
        Fail(ExitCode::Source, Image, std::strerror(errno));
    }
    if (KindOfImage(File.Get()) == VirtualDiscKind::NotADisc) {
        Fail(ExitCode::Source, Image,
             "is not a disc image (an ISO 9660 or UDF image, or a CUE sheet with its data)");
    }
    if (Ask.SpeedTest) {
        (void)ReadSpeedTest({Ask.ImageFile}, Ask.Speed, Ask.Dvd, Report);
    }
    const std::uint64_t Blocks =
        (static_cast<std::uint64_t>(Info.st_size) + DataBlockBytes - 1) / DataBlockBytes;
    std::uint64_t Capacity = Ask.Dvd ? DvdBlocks : CdBlocks;
    if (Drive) {
        Capacity = FreeBlocks(*Drive).value_or(Capacity);
    }
    if (Blocks > Capacity) {
        Fail(ExitCode::Fit, Where.Describe(),
             "the image needs " + std::to_string(Blocks) + " blocks, the disc holds " +
                 std::to_string(Capacity));
    }
    RequireWritable(Context, Blank);
    Report.End();
    if (Drive) {
        Report.Begin("writing");
        const auto WriteAs = [&](const Request& Asked) {
            return Drive->Run(CdrecordArguments(Asked, Where,
                                                {.Source = Ask.ImageFile,
                                                 .IsCueSheet = false,
                                                 .Bytes = std::nullopt,
                                                 .Erase = !Blank,
                                                 .Dvd = Ask.Dvd,
                                                 .Closed = false}));
        };
        if (!WriteAs(Ask)) {
            std::string Problems = Drive->Problems();
            if (CdrecordTrackAtOnceInstead(Drive, Context)) {
                Request TrackAtOnce = Ask;
                TrackAtOnce.Tao = true;
                Problems = WriteAs(TrackAtOnce) ? std::string() : Drive->Problems();
            }
            if (!Problems.empty()) {
                Fail(ExitCode::Write, Where.Describe(), Problems);
            }
        }
        Report.End();
        return;
    }
    Report.Begin("writing", static_cast<std::uint64_t>(Info.st_size));
    CopyInto(Context, File.Get(), Info.st_size);
    PutInPlace(Context);
    Report.End();
    if (Ask.CloseSession) {
        Report.Say(Where.Describe() +
                   " is a virtual disc, which cannot be closed: it stays appendable");
    }
    Report.Say("wrote the image " + Ask.ImageFile + " to " + Where.Describe());
}

} // namespace Recorder
