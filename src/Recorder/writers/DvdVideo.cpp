// DVD-Video: the VIDEO_TS folder (and AUDIO_TS) made into ISO 9660 with a UDF bridge by
// genisoimage, without Joliet, written straight into the scratch file that becomes the virtual
// disc, or streamed to a real drive through libburn.
#include "DiscTexts.hpp"
#include "ExternalProgram.hpp"
#include "LibraryWords.hpp"
#include "MediaFile.hpp"
#include "RecorderFailure.hpp"
#include "Sources.hpp"
#include "SpeedTest.hpp"
#include "TestHooks.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

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

// genisoimage's run making the image into File, or to its standard output.
AuthoredImage ImageOf(const WriteContext& Context, const std::vector<std::string>& Arguments,
                      std::uint64_t Blocks) {
    const auto Author = [&Context, Arguments](const std::optional<std::string>& File) {
        ProgramRun Run;
        Run.Argv = Arguments;
        if (File) {
            Run.Argv.insert(Run.Argv.end(), {"-o", *File, ScratchFolderOf(Context)});
            Run.OnError = [&Context](std::string_view Line) {
                return TakeProgress(Context.Report, Line);
            };
        } else {
            Run.Argv.insert(Run.Argv.end(), {"-quiet", ScratchFolderOf(Context)});
        }
        return Run;
    };
    return {.Author = Author, .Blocks = Blocks};
}

// Every file read back from the ISO 9660 tree and compared with its source.
void VerifyImage(const WriteContext& Context, const std::vector<Source>& Sources) {
    Context.Report.Begin("verifying");
    const std::string Written = Context.Disc.WrittenFile(true);
    TestHooks::CorruptWritten(Written);
    XorrisoSession& Check = Context.Disc.ReadBack(Context.Report, Written, true);
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

class DvdVideoSteps final : public WriteSteps {
public:
    using WriteSteps::WriteSteps;

    void CheckSources(const MediumState& /*State*/) override {
        const Request& Ask = FContext.Ask;
        FSources = CheckDvdSources(Ask.Entries);
        if (Ask.SpeedTest) {
            (void)ReadSpeedTest(Ask.Entries, Ask.Speed, true, FContext.Report);
        }
        LinkEntries(FContext, FSources);
    }
    void CheckFit(const MediumState& /*State*/) override {
        // Built once, so that a label or text cut to its field is said once.
        FArguments = ImageArguments(FContext);
        FBlocks = ImageBlocks(FContext, FArguments);
        const std::uint64_t Capacity = FContext.Disc.FreeBlocks().value_or(DvdBlocks);
        if (FBlocks > Capacity) {
            throw RecorderFailure(ExitCode::Fit,
                                  FContext.Disc.Describe() + ": the DVD-Video image needs " +
                                      std::to_string(FBlocks) + " blocks, the disc holds " +
                                      std::to_string(Capacity));
        }
    }
    void Write(const MediumState& State) override {
        FContext.Disc.WriteAuthored(FContext.Ask, FContext.Report,
                                    ImageOf(FContext, FArguments, FBlocks), State.Blank);
    }
    void Verify() override {
        if (FContext.Ask.Verify) {
            VerifyImage(FContext, FSources);
        }
    }
    void Finish() override {
        const Request& Ask = FContext.Ask;
        Disc& Onto = FContext.Disc;
        // A drive's tray stays shut for the verify.
        Onto.Complete(Ask, true, Ask.Verify);
        if (Ask.CloseSession) {
            Onto.SayOfFile(FContext.Report,
                           Onto.Describe() + ": a DVD-Video disc is closed when it is written");
        }
        FContext.Report.Say("wrote a DVD-Video disc of " + std::to_string(FBlocks) + " blocks to " +
                            Onto.Describe() +
                            Onto.OfFile("; it is closed: nothing can be appended to it"));
    }

private:
    std::vector<Source> FSources;
    std::vector<std::string> FArguments;
    std::uint64_t FBlocks = 0;
};

} // namespace

std::unique_ptr<WriteSteps> WriteDvdVideo(const WriteContext& Context) {
    return std::make_unique<DvdVideoSteps>(Context);
}

} // namespace Recorder
