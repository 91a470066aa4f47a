// The whole-disc writes onto a real drive: an image in cdrecord's manner, a CUE sheet through
// libburn or cdrdao, an authored image streamed from its program into libburn.
#include "DriveDisc.hpp"

#include "DiscGeometry.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <unistd.h>

namespace Recorder {

void DriveDisc::WriteWithCdrecord(const Request& Ask, Progress& Report,
                                  const std::function<bool(bool Tao)>& Run) {
    if (Run(Ask.Tao)) {
        return;
    }
    std::string Problems = Session().Problems();
    if (CdrecordTrackAtOnceInstead(Ask, Report)) {
        Problems = Run(true) ? std::string() : Session().Problems();
    }
    if (!Problems.empty()) {
        throw RecorderFailure(ExitCode::Write, Describe() + ": " + Problems);
    }
}

void DriveDisc::WriteImage(const Request& Ask, Progress& Report, const ImageToWrite& Image,
                           bool Blank) {
    Report.Begin("writing");
    WriteWithCdrecord(Ask, Report, [&](bool Tao) {
        Request Asked = Ask;
        Asked.Tao = Tao;
        return Session().Run(CdrecordArguments(Asked, Where(),
                                               {.Source = Image.Path,
                                                .IsCueSheet = false,
                                                .Bytes = std::nullopt,
                                                .Erase = !Blank,
                                                .Dvd = Ask.Dvd,
                                                .Closed = false}));
    });
    Report.End();
}

void DriveDisc::WriteRaw(const Request& Ask, Progress& Report, const RawImage& Image, bool Blank) {
    const std::string Sheet = Image.DriveSheet();
    if (!Image.LibburnWrites) {
        if (!Blank) {
            Report.Begin("erasing");
            Session().Require({"-blank", "as_needed"}, ExitCode::Medium);
            Report.End();
        }
        EndSession(); // cdrdao opens the drive itself
        WriteWithCdrdao(Ask, Report, Sheet);
        return;
    }
    const std::vector<std::string> Command = CdrecordArguments(Ask, Where(),
                                                               {.Source = Sheet,
                                                                .IsCueSheet = true,
                                                                .Bytes = std::nullopt,
                                                                .Erase = !Blank,
                                                                .Dvd = false,
                                                                .Closed = false});
    Report.Begin("writing");
    Session().Require(Command, ExitCode::Write);
    Report.End();
}

void DriveDisc::WriteWithCdrdao(const Request& Ask, Progress& Report, const std::string& Sheet) {
    ProgramRun Run;
    Run.Argv = {"cdrdao", "write", "--device", Where().Path, "-n"};
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
        Report.Say("cdrdao writes disc at once: --tao has no effect");
    }
    Report.Begin("writing");
    const ProgramOutcome Outcome = RunProgram(Run);
    if (!Outcome.Succeeded) {
        throw RecorderFailure(ExitCode::Write, Describe() + ": " + DescribeFailure(Run, Outcome));
    }
    Report.End();
}

// The image streamed from its program's standard output into libburn, which reads it as the
// worker's standard input. False when the drive did not write it (the session's Problems() say
// why); an author that failed on its own is a write error at once.
bool DriveDisc::StreamOnce(const Request& Asked, const AuthoredImage& Image, bool Erase, bool Tao) {
    Request Ask = Asked;
    Ask.Tao = Tao;
    int Pipe[2] = {-1, -1};
    if (::pipe2(Pipe, O_CLOEXEC) != 0 || ::dup2(Pipe[0], 0) < 0) {
        throw RecorderFailure(ExitCode::Write, Describe() + ": cannot make a pipe");
    }
    ::close(Pipe[0]);
    ProgramRun Author = Image.Author(std::nullopt);
    Author.OutputTo = Pipe[1];
    RunningProgram Running(Author);
    ::close(Pipe[1]);
    const std::vector<std::string> Command =
        CdrecordArguments(Ask, Where(),
                          {.Source = "-",
                           .IsCueSheet = false,
                           .Bytes = Image.Blocks * DataBlockBytes,
                           .Erase = Erase,
                           .Dvd = true,
                           .Closed = true,
                           .KeepTray = Ask.Verify});
    const bool Written = Session().Run(Command);
    // Standard input back on /dev/null, never closed: the drive, opened again by a later step,
    // must not get descriptor 0, which a second stream would take over.
    if (const int Null = ::open("/dev/null", O_RDONLY | O_CLOEXEC); Null >= 0) {
        (void)::dup2(Null, 0);
        ::close(Null);
    } else {
        ::close(0);
    }
    const ProgramOutcome& Authored = Running.Wait();
    // The first real failure is the one reported: an author cut off because the drive stopped
    // reading failed only because of the drive.
    if (!Authored.Succeeded && (Written || !Authored.LostItsReader())) {
        throw RecorderFailure(ExitCode::Write,
                              Describe() + ": " + DescribeFailure(Author, Authored));
    }
    return Written;
}

void DriveDisc::WriteAuthored(const Request& Ask, Progress& Report, const AuthoredImage& Image,
                              bool Blank) {
    Report.Begin("writing");
    // Once more track at once when the drive refused to write at once: the program makes the same
    // image again.
    WriteWithCdrecord(Ask, Report, [&](bool Tao) { return StreamOnce(Ask, Image, !Blank, Tao); });
    Report.End();
}

} // namespace Recorder
