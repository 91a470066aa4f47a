// DVD-Video: the VIDEO_TS folder (and AUDIO_TS) made into ISO 9660 with a UDF bridge by
// genisoimage, without Joliet, written straight into the scratch file that becomes the virtual
// disc, or streamed to a real drive through libburn.
#include "DiscTexts.hpp"
#include "ExternalProgram.hpp"
#include "FileDescriptor.hpp"
#include "LibraryWords.hpp"
#include "MediaFile.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"
#include "Sources.hpp"
#include "SpeedTest.hpp"
#include "TestHooks.hpp"
#include "WholeDisc.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <optional>

namespace Recorder {

namespace {

// The sources of a DVD-Video disc: VIDEO_TS holding VIDEO_TS.IFO, and AUDIO_TS if given. Players
// read nothing else, and nothing else could be read back by its own name from the ISO 9660 tree
// (whose names genisoimage shortens for DVD players), so other entries are refused too.
std::vector<Source> CheckDvdSources(const std::vector<std::string>& Entries) {
    std::vector<Source> Sources = CheckSources(Entries);
    const Source* VideoTs = nullptr;
    for (const Source& Entry : Sources) {
        struct stat Info {};
        const bool Folder = ::stat(Entry.Path.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
        if ((Entry.Name != "VIDEO_TS" && Entry.Name != "AUDIO_TS") || !Folder) {
            // The folder of a DVD's files is the common mistake: name the entries to give.
            const std::string Inner = Entry.Path + "/VIDEO_TS";
            const bool HoldsVideoTs =
                Folder && ::stat(Inner.c_str(), &Info) == 0 && S_ISDIR(Info.st_mode);
            throw RecorderFailure(
                ExitCode::Source,
                "entry " + Entry.Path +
                    ": a DVD-Video disc holds only the folders VIDEO_TS and AUDIO_TS" +
                    (HoldsVideoTs ? "; give " + Inner + " (and " + Entry.Path +
                                        "/AUDIO_TS, if there is one) instead of the folder "
                                        "that holds them"
                                  : std::string()));
        }
        if (Entry.Name == "VIDEO_TS") {
            VideoTs = &Entry;
        }
    }
    if (VideoTs == nullptr) {
        throw RecorderFailure(ExitCode::Source, "entries: no VIDEO_TS folder among them; a "
                                                "DVD-Video disc needs VIDEO_TS/VIDEO_TS.IFO");
    }
    const std::string Ifo = VideoTs->Path + "/VIDEO_TS.IFO";
    if (::access(Ifo.c_str(), R_OK) != 0) {
        throw RecorderFailure(ExitCode::Source, "entry " + VideoTs->Path +
                                                    ": holds no readable VIDEO_TS.IFO (" + Ifo +
                                                    ")");
    }
    // genisoimage reads every file of the folders: a FIFO among them would block it.
    for (const Source& Entry : Sources) {
        RequireRegularFilesIn(Entry.Path, "DVD-Video file");
    }
    return Sources;
}

// genisoimage takes the DVD's root folder: a private one holding links to the entries.
void LinkEntries(const WriteContext& Context, const std::vector<Source>& Sources) {
    const std::string Root = ScratchFolderOf(Context);
    if (::mkdir(Root.c_str(), 0700) != 0) {
        throw RecorderFailure(ExitCode::Write,
                              Context.Where.Describe() + ": cannot make the folder " + Root);
    }
    for (const Source& Entry : Sources) {
        char* Full = ::realpath(Entry.Path.c_str(), nullptr);
        const std::string Link = Root + "/" + Entry.Name;
        const bool Made = Full != nullptr && ::symlink(Full, Link.c_str()) == 0;
        std::free(Full); // NOLINT(cppcoreguidelines-no-malloc): realpath's own allocation
        if (!Made) {
            throw RecorderFailure(ExitCode::Source, "entry " + Entry.Path + ": cannot be linked");
        }
    }
}

// genisoimage's arguments for the image of the private root folder, without its output.
std::vector<std::string> ImageArguments(const WriteContext& Context) {
    std::vector<std::string> Argv{"genisoimage", "-follow-links",     "-dvd-video",
                                  "-udf",        "-input-charset",    "utf-8",
                                  "-V",          IsoVolumeId(Context)};
    if (const auto Publisher = IsoPublisher(Context)) {
        Argv.insert(Argv.end(), {"-publisher", *Publisher});
    }
    if (const auto VolumeSet = IsoVolumeSet(Context)) {
        Argv.insert(Argv.end(), {"-volset", *VolumeSet});
    }
    return Argv;
}

std::uint64_t ImageBlocks(const WriteContext& Context, const std::vector<std::string>& Arguments) {
    ProgramRun Measure;
    Measure.Argv = Arguments;
    Measure.Argv.insert(Measure.Argv.end(), {"-quiet", "-print-size", ScratchFolderOf(Context)});
    std::optional<std::uint64_t> Blocks;
    Measure.OnOutput = [&Blocks](std::string_view Line) {
        std::uint64_t Value = 0;
        const auto [End, Error] = std::from_chars(Line.data(), Line.data() + Line.size(), Value);
        if (Error == std::errc() && End == Line.data() + Line.size()) {
            Blocks = Value;
        }
    };
    const ProgramOutcome Outcome = RunProgram(Measure);
    if (!Outcome.Succeeded || !Blocks) {
        // genisoimage reads the title sets' structures: what it cannot use is a source error; a
        // genisoimage that cannot be run is not.
        throw RecorderFailure(Outcome.Started ? ExitCode::Source : ExitCode::Write,
                              Context.Where.Describe() + ": " + DescribeFailure(Measure, Outcome));
    }
    return *Blocks;
}

// "12.34% done, estimate finish ..." -> a progress line; genisoimage's totals are no reasons.
bool TakeProgress(Progress& Report, std::string_view Line) {
    if (const std::size_t Sign = Line.find("% done"); Sign != std::string_view::npos) {
        double Percent = 0;
        std::string_view Number = Line.substr(0, Sign);
        while (!Number.empty() && Number.front() == ' ') {
            Number.remove_prefix(1);
        }
        const auto [End, Error] =
            std::from_chars(Number.data(), Number.data() + Number.size(), Percent);
        if (Error == std::errc()) {
            Report.Update(Percent);
        }
        return true;
    }
    return Line.starts_with("Total ") || Line.starts_with("Path table size") ||
           Line.starts_with("Max brk space") || Line.find("extents written") != std::string::npos;
}

void WriteToVirtualDisc(const WriteContext& Context, const std::vector<std::string>& Arguments) {
    ProgramRun Write;
    Write.Argv = Arguments;
    Write.Argv.insert(Write.Argv.end(), {"-o", Context.Scratch, ScratchFolderOf(Context)});
    Write.OnError = [&Context](std::string_view Line) {
        return TakeProgress(Context.Report, Line);
    };
    const ProgramOutcome Outcome = RunProgram(Write);
    if (!Outcome.Succeeded) {
        throw RecorderFailure(ExitCode::Write,
                              Context.Where.Describe() + ": " + DescribeFailure(Write, Outcome));
    }
    SyncFile(Context, Context.Scratch);
}

// The image streamed from genisoimage's standard output into libburn, which reads it as the
// worker's standard input. False when the drive did not write it (Drive.Problems() says why);
// an author that failed on its own is a write error at once.
bool StreamToDrive(const WriteContext& Context, const std::vector<std::string>& Arguments,
                   XorrisoSession& Drive, std::uint64_t Blocks, bool Erase, bool Tao) {
    Request Ask = Context.Ask;
    Ask.Tao = Tao;
    int Pipe[2] = {-1, -1};
    if (::pipe2(Pipe, O_CLOEXEC) != 0 || ::dup2(Pipe[0], 0) < 0) {
        throw RecorderFailure(ExitCode::Write, Context.Where.Describe() + ": cannot make a pipe");
    }
    ::close(Pipe[0]);
    ProgramRun Author;
    Author.Argv = Arguments;
    Author.Argv.insert(Author.Argv.end(), {"-quiet", ScratchFolderOf(Context)});
    Author.OutputTo = Pipe[1];
    RunningProgram Running(Author);
    ::close(Pipe[1]);
    const std::vector<std::string> Command = CdrecordArguments(Ask, Context.Where,
                                                               {.Source = "-",
                                                                .IsCueSheet = false,
                                                                .Bytes = Blocks * DataBlockBytes,
                                                                .Erase = Erase,
                                                                .Dvd = true,
                                                                .Closed = true,
                                                                .KeepTray = Ask.Verify});
    const bool Written = Drive.Run(Command);
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
                              Context.Where.Describe() + ": " + DescribeFailure(Author, Authored));
    }
    return Written;
}

// The stream written to the drive, once more track at once when the drive refused to write it
// at once (genisoimage makes the same image again).
void WriteToDrive(const WriteContext& Context, const std::vector<std::string>& Arguments,
                  std::optional<XorrisoSession>& Drive, std::uint64_t Blocks, bool Erase) {
    if (StreamToDrive(Context, Arguments, *Drive, Blocks, Erase, Context.Ask.Tao)) {
        return;
    }
    std::string Problems = Drive->Problems();
    if (CdrecordTrackAtOnceInstead(Drive, Context)) {
        if (StreamToDrive(Context, Arguments, *Drive, Blocks, Erase, true)) {
            return;
        }
        Problems = Drive->Problems();
    }
    throw RecorderFailure(ExitCode::Write, Context.Where.Describe() + ": " + Problems);
}

// Every file read back from the ISO 9660 tree and compared with its source: from the scratch
// file of a virtual disc, or from the disc in the drive that Drive, the writing session, holds.
void VerifyImage(const WriteContext& Context, const std::vector<Source>& Sources,
                 XorrisoSession* Drive) {
    Context.Report.Begin("verifying");
    std::optional<XorrisoSession> Reader;
    if (Drive == nullptr) {
        TestHooks::CorruptWritten(Context.Scratch);
        Reader.emplace(Context.Report, Context.Where.Describe());
    }
    XorrisoSession& Check = Drive != nullptr ? *Drive : *Reader;
    if (!Check.Run(
            {"-indev", Drive != nullptr ? Context.Where.Path : "stdio:" + Context.Scratch})) {
        throw RecorderFailure(ExitCode::Verify,
                              Context.Where.Describe() + ": " + std::string(NotReadBackReason()));
    }
    for (const Source& Entry : Sources) {
        Check.Require({"-compare_r", Entry.Path, "/" + Entry.Name}, ExitCode::Verify);
        // Without Rock Ridge the disc keeps no owners, modes or times: only a file's size, its
        // content and its presence count.
        for (const std::string& Line : Check.Results()) {
            if (Line.find("differs") != std::string::npos ||
                Line.find("cannot find") != std::string::npos ||
                Line.find(": st_size") != std::string::npos) {
                throw RecorderFailure(ExitCode::Verify, Context.Where.Describe() + ": " + Line);
            }
        }
    }
    Context.Report.End();
}

} // namespace

void WriteDvdVideo(const WriteContext& Context) {
    const Request& Ask = Context.Ask;
    const Target& Where = Context.Where;
    Progress& Report = Context.Report;
    Report.Begin("preparing");
    std::optional<XorrisoSession> Drive;
    bool Blank = true;
    std::uint64_t Capacity = DvdBlocks;
    if (Where.RealDrive) {
        Drive.emplace(Report, Where.Describe());
        Blank = CheckDrive(*Drive, Where);
    }
    const std::vector<Source> Sources = CheckDvdSources(Ask.Entries);
    if (Ask.SpeedTest) {
        (void)ReadSpeedTest(Ask.Entries, Ask.Speed, true, Report);
    }
    LinkEntries(Context, Sources);
    // Built once, so that a label or text cut to its field is said once.
    const std::vector<std::string> Arguments = ImageArguments(Context);
    const std::uint64_t Blocks = ImageBlocks(Context, Arguments);
    if (Where.RealDrive) {
        Capacity = FreeBlocks(*Drive).value_or(Capacity);
    } else {
        Blank = Context.Disc.Blank();
    }
    if (Blocks > Capacity) {
        throw RecorderFailure(ExitCode::Fit, Where.Describe() + ": the DVD-Video image needs " +
                                                 std::to_string(Blocks) +
                                                 " blocks, the disc holds " +
                                                 std::to_string(Capacity));
    }
    RequireWritable(Context, Blank);
    Report.End();

    if (Where.RealDrive) {
        Report.Begin("writing");
        WriteToDrive(Context, Arguments, Drive, Blocks, !Blank);
        Report.End();
        if (Ask.Verify) {
            VerifyImage(Context, Sources, &*Drive);
            if (!Ask.DisableEject) {
                Drive->Require({"-eject", "all"}, ExitCode::Write);
            }
        }
        Report.Say("wrote a DVD-Video disc of " + std::to_string(Blocks) + " blocks to " +
                   Where.Describe());
        return;
    }
    Report.Begin("writing");
    WriteToVirtualDisc(Context, Arguments);
    Report.End();
    TestHooks::BeforeWrite();
    if (Ask.Verify) {
        VerifyImage(Context, Sources, nullptr);
    }
    PutInPlace(Context);
    if (Ask.CloseSession) {
        Report.Say(Where.Describe() + ": a DVD-Video disc is closed when it is written");
    }
    Report.Say("wrote a DVD-Video disc of " + std::to_string(Blocks) + " blocks to " +
               Where.Describe() + "; it is closed: nothing can be appended to it");
}

} // namespace Recorder
