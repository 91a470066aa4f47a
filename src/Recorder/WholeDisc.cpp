#include "WholeDisc.hpp"

#include "CueSheet.hpp"
#include "ExternalProgram.hpp"
#include "FileDescriptor.hpp"
#include "LibraryWords.hpp"
#include "RawDisc.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Recorder {

namespace {

[[noreturn]] void WriteFailed(const Target& Where, const std::string& What) {
    throw RecorderFailure(ExitCode::Write,
                          Where.Describe() + ": " + What + ": " + std::strerror(errno));
}

} // namespace

std::string ScratchFolderOf(const WriteContext& Context) {
    return Context.Scratch + ".d";
}

std::string RawTargetSheet(const Target& Where) {
    return CueSheetPathOf(Where.Path);
}

RawTarget OpenRawTarget(const WriteContext& Context) {
    RawTarget Opened;
    if (Context.Where.RealDrive) {
        Opened.Drive = std::make_unique<XorrisoSession>(Context.Report, Context.Where.Describe());
        const DriveState State = AcquireDriveToWrite(*Opened.Drive, Context.Where);
        Opened.Blank = State.Blank;
        Opened.Profile = State.Profile;
    } else {
        Opened.Sheet = RawTargetSheet(Context.Where);
        Opened.Blank = Context.Disc.Blank();
    }
    return Opened;
}

bool CheckDrive(XorrisoSession& Drive, const Target& Where) {
    return AcquireDriveToWrite(Drive, Where).Blank;
}

bool TrackAtOnceInstead(XorrisoSession& Drive, const WriteContext& Context) {
    const Target& Where = Context.Where;
    if (!Where.RealDrive || Context.Ask.Tao || !Drive.Run({"-toc"}) ||
        !DriveStateOf(Drive.Results()).Blank) {
        return false;
    }
    Context.Report.Say(Where.Describe() + " refused to write the session at once; writing it "
                                          "track at once (Tao, --tao) instead");
    Context.Report.Begin("writing");
    return true;
}

bool CdrecordTrackAtOnceInstead(std::optional<XorrisoSession>& Drive, const WriteContext& Context) {
    Drive.reset();
    Drive.emplace(Context.Report, Context.Where.Describe());
    OpenDrive(*Drive, Context.Where);
    const bool Again = TrackAtOnceInstead(*Drive, Context);
    Drive.reset();
    Drive.emplace(Context.Report, Context.Where.Describe());
    return Again;
}

void RequireCd(const WriteContext& Context, std::string_view Profile) {
    if (!Context.Where.RealDrive || IsCdProfile(Profile)) {
        return;
    }
    throw RecorderFailure(ExitCode::Medium, "the disc in " + Context.Where.Describe() + " is a " +
                                                std::string(Profile) +
                                                ": this burn writes a CD's sectors, which only "
                                                "a CD takes; put in a CD-R or CD-RW");
}

void RequireWritable(const WriteContext& Context, bool Blank) {
    if (Blank) {
        return;
    }
    if (Context.Ask.DetectNonEmptyDisk) {
        throw RecorderFailure(ExitCode::Medium, Context.Where.Describe() +
                                                    ": the disc is not blank (DetectNonEmptyDisk, "
                                                    "--detect_non_empty_disk)");
    }
    if (!Context.Ask.ForceEraseDisk) {
        throw RecorderFailure(ExitCode::Medium,
                              Context.Where.Describe() +
                                  ": the disc is not blank; erase it first with " +
                                  SettingName("--force_erase_disk"));
    }
}

void WriteDurably(const WriteContext& Context, const std::string& Path, const std::string& Text) {
    const FileDescriptor File(
        ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (File.Get() < 0) {
        WriteFailed(Context.Where, "cannot write " + Path);
    }
    for (std::size_t Put = 0; Put < Text.size();) {
        const ssize_t Written = ::write(File.Get(), Text.data() + Put, Text.size() - Put);
        if (Written < 0) {
            WriteFailed(Context.Where, "cannot write " + Path);
        }
        Put += static_cast<std::size_t>(Written);
    }
    if (::fsync(File.Get()) != 0) {
        WriteFailed(Context.Where, "cannot write " + Path);
    }
}

void SyncFile(const WriteContext& Context, const std::string& Path) {
    // The data is written: what is left until it is on the disk is the closing.
    Context.Report.Enter("closing");
    const FileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
    if (File.Get() < 0 || ::fsync(File.Get()) != 0) {
        WriteFailed(Context.Where, "cannot write " + Path);
    }
}

void PutRawDiscInPlace(const WriteContext& Context, const std::string& Sheet) {
    Context.Disc.PutInPlace(Sheet);
}

void WriteSheetWithCdrdao(const WriteContext& Context, const std::string& Sheet) {
    const Request& Ask = Context.Ask;
    ProgramRun Run;
    Run.Argv = {"cdrdao", "write", "--device", Context.Where.Path, "-n"};
    if (Ask.Speed != 0) {
        Run.Argv.insert(Run.Argv.end(), {"--speed", std::to_string(Ask.Speed)});
    }
    if (!Ask.DisableEject) {
        Run.Argv.emplace_back("--eject");
    }
    Run.Argv.push_back(Sheet);
    // cdrdao tells its version, the drive and the disc on standard error too: only its errors
    // are the reasons of a failure.
    Run.OnError = [](std::string_view Line) {
        return Line.find("ERROR") == std::string_view::npos;
    };
    if (Ask.Tao) {
        Context.Report.Say("cdrdao writes disc at once: --tao has no effect");
    }
    Context.Report.Begin("writing");
    const ProgramOutcome Outcome = RunProgram(Run);
    if (!Outcome.Succeeded) {
        throw RecorderFailure(ExitCode::Write,
                              Context.Where.Describe() + ": " + DescribeFailure(Run, Outcome));
    }
    Context.Report.End();
}

} // namespace Recorder
