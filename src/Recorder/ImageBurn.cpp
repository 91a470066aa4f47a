// An image file written to the disc as it is: a virtual disc becomes a copy of the image, a drive
// writes it in cdrecord's manner. A CD image given by its CUE sheet has a writer of its own
// (CueImageBurn.cpp).
#include "DiscKind.hpp"
#include "FileDescriptor.hpp"
#include "MediaFile.hpp"
#include "RecorderFailure.hpp"
#include "SpeedTest.hpp"
#include "Writers.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace Recorder {

namespace {

[[noreturn]] void Fail(ExitCode Code, const std::string& Thing, const std::string& Reason) {
    throw RecorderFailure(Code, Thing + ": " + Reason);
}

// The image's size, once it is known to be a disc image.
std::uint64_t CheckImage(const WriteContext& Context, int File) {
    const std::string Image = "image " + Context.Ask.ImageFile;
    struct stat Info {};
    if (::fstat(File, &Info) != 0) {
        Fail(ExitCode::Source, Image, std::strerror(errno));
    }
    if (KindOfImage(File) == VirtualDiscKind::NotADisc) {
        Fail(ExitCode::Source, Image,
             "is not a disc image (an ISO 9660 or UDF image, or a CUE sheet with its data)");
    }
    if (Context.Ask.SpeedTest) {
        (void)ReadSpeedTest({Context.Ask.ImageFile}, Context.Ask.Speed, Context.Ask.Dvd,
                            Context.Report);
    }
    return static_cast<std::uint64_t>(Info.st_size);
}

} // namespace

void BurnImageFile(const WriteContext& Context) {
    const Request& Ask = Context.Ask;
    Disc& Onto = Context.Disc;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    // The target first (a device that is no drive), then the source, the fit and the medium.
    const MediumState State = Onto.Acquire(Report, Acquiring::ToWrite);
    const FileDescriptor File = OpenMediaFile(Ask.ImageFile, "image");
    const std::uint64_t Bytes = CheckImage(Context, File.Get());
    const std::uint64_t Blocks = (Bytes + DataBlockBytes - 1) / DataBlockBytes;
    const std::uint64_t Capacity = Onto.FreeBlocks().value_or(Ask.Dvd ? DvdBlocks : CdBlocks);
    if (Blocks > Capacity) {
        Fail(ExitCode::Fit, Onto.Describe(),
             "the image needs " + std::to_string(Blocks) + " blocks, the disc holds " +
                 std::to_string(Capacity));
    }
    Onto.RequireWritable(Ask, State.Blank);
    Report.End();
    Onto.WriteImage(Ask, Report, {.Path = Ask.ImageFile, .Fd = File.Get(), .Bytes = Bytes},
                    State.Blank);
    if (Ask.CloseSession) {
        Onto.SayOfFile(Report,
                       Onto.Describe() +
                           " is a virtual disc, which cannot be closed: it stays appendable");
    }
    Onto.SayOfFile(Report, "wrote the image " + Ask.ImageFile + " to " + Onto.Describe());
}

} // namespace Recorder
