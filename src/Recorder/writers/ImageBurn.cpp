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
#include <optional>

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

// The target first (a device that is no drive), then the source, the fit and the medium.
class ImageSteps final : public WriteSteps {
public:
    using WriteSteps::WriteSteps;

    void CheckSources(const MediumState& /*State*/) override {
        FFile.emplace(OpenMediaFile(FContext.Ask.ImageFile, "image").Release());
        FBytes = CheckImage(FContext, FFile->Get());
    }
    void CheckFit(const MediumState& /*State*/) override {
        const Request& Ask = FContext.Ask;
        const std::uint64_t Blocks = (FBytes + DataBlockBytes - 1) / DataBlockBytes;
        const std::uint64_t Capacity =
            FContext.Disc.FreeBlocks().value_or(Ask.Dvd ? DvdBlocks : CdBlocks);
        if (Blocks > Capacity) {
            Fail(ExitCode::Fit, FContext.Disc.Describe(),
                 "the image needs " + std::to_string(Blocks) + " blocks, the disc holds " +
                     std::to_string(Capacity));
        }
    }
    void Write(const MediumState& State) override {
        const Request& Ask = FContext.Ask;
        Disc& Onto = FContext.Disc;
        Onto.WriteImage(Ask, FContext.Report,
                        {.Path = Ask.ImageFile, .Fd = FFile->Get(), .Bytes = FBytes}, State.Blank);
        if (Ask.CloseSession) {
            Onto.SayOfFile(FContext.Report,
                           Onto.Describe() +
                               " is a virtual disc, which cannot be closed: it stays appendable");
        }
        Onto.SayOfFile(FContext.Report,
                       "wrote the image " + Ask.ImageFile + " to " + Onto.Describe());
    }

private:
    std::optional<FileDescriptor> FFile;
    std::uint64_t FBytes = 0;
};

} // namespace

std::unique_ptr<WriteSteps> BurnImageFile(const WriteContext& Context) {
    return std::make_unique<ImageSteps>(Context);
}

} // namespace Recorder
