// An image file written to the disc as it is: a virtual disc becomes a copy of the image. A CD
// image given by its CUE sheet has a writer of its own (CueImageBurn.cpp).
#include "CueSheet.hpp"
#include "FileDescriptor.hpp"
#include "LibraryWords.hpp"
#include "MediaFile.hpp"
#include "RecorderFailure.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace Recorder {

namespace {

[[noreturn]] void Fail(ExitCode Code, const std::string& Thing, const std::string& Reason) {
    throw RecorderFailure(Code, Thing + ": " + Reason);
}

void CopyInto(const WriteContext& Context, int From, off_t Size) {
    const FileDescriptor To(
        ::open(Context.Scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (To.Get() < 0) {
        Fail(ExitCode::Write, Context.Where.Describe(), std::strerror(errno));
    }
    std::uint64_t Done = 0;
    (void)CopyAll(Context, From, To.Get(), "image " + Context.Ask.ImageFile,
                  [&Context, &Done, Size](std::uint64_t Bytes) {
                      Done += Bytes;
                      Context.Report.Update(Size > 0 ? 100.0 * static_cast<double>(Done) /
                                                           static_cast<double>(Size)
                                                     : 100.0);
                  });
    if (::fsync(To.Get()) != 0) {
        Fail(ExitCode::Write, Context.Where.Describe(), std::strerror(errno));
    }
}

} // namespace

void BurnImageFile(const WriteContext& Context) {
    const Request& Ask = Context.Ask;
    const Target& Where = Context.Where;
    Progress& Report = Context.Report;
    // A CD image is given by its CUE sheet, whose data files hold raw sectors.
    if (IsCueSheetName(Ask.ImageFile)) {
        BurnCueImage(Context);
        return;
    }
    Report.Begin("preparing");
    const FileDescriptor Image = OpenMediaFile(Ask.ImageFile, "image");
    struct stat Info {};
    if (::fstat(Image.Get(), &Info) != 0) {
        Fail(ExitCode::Source, "image " + Ask.ImageFile, std::strerror(errno));
    }
    const bool Blank = Where.RealDrive || !HoldsSession(Where.Path);
    if (!Where.RealDrive) {
        if (Ask.DetectNonEmptyDisk && !Blank) {
            Fail(ExitCode::Medium, Where.Describe(), "the disc is not blank");
        }
        if (!Blank && !Ask.ForceEraseDisk) {
            Fail(ExitCode::Medium, Where.Describe(),
                 "the disc holds data; erase it first with " + SettingName("--force_erase_disk"));
        }
        const std::uint64_t Blocks = (static_cast<std::uint64_t>(Info.st_size) + 2047) / 2048;
        const std::uint64_t Capacity = Ask.Dvd ? DvdBlocks : CdBlocks;
        if (Blocks > Capacity) {
            Fail(ExitCode::Fit, Where.Describe(),
                 "the image needs " + std::to_string(Blocks) + " blocks, the disc holds " +
                     std::to_string(Capacity));
        }
    }
    Report.End();
    if (Where.RealDrive) {
        XorrisoSession Session(Report, Where.Describe());
        std::vector<std::string> Command{"-as", "cdrecord", "dev=" + Where.Path};
        if (Ask.Speed != 0) {
            Command.push_back("speed=" + std::to_string(Ask.Speed));
        }
        Command.emplace_back(Ask.Tao ? "-tao" : "-sao");
        if (Ask.SpeedTest) {
            Command.emplace_back("-dummy");
        }
        if (!Ask.CloseSession) {
            Command.emplace_back("-multi");
        }
        if (Ask.ForceEraseDisk) {
            Command.emplace_back("blank=as_needed");
        }
        if (!Ask.DisableEject) {
            Command.emplace_back("-eject");
        }
        Command.push_back(Ask.ImageFile);
        Command.emplace_back("--");
        Report.Begin("writing");
        Session.Require(Command, ExitCode::Write);
        Report.End();
        return;
    }
    if (Ask.SpeedTest) {
        Report.Say("simulation: the image would be written to " + Where.Describe() +
                   "; nothing was written");
        return;
    }
    Report.Begin("writing");
    CopyInto(Context, Image.Get(), Info.st_size);
    PutInPlace(Context);
    Report.End();
    Report.Say("wrote the image " + Ask.ImageFile + " to " + Where.Describe());
}

} // namespace Recorder
