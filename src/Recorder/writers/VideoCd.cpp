// Video CDs (MPEG-1 system streams) and Super Video CDs (MPEG-2 program streams), one track per
// entry in order, authored by vcdimager into raw 2,352-byte sectors and a CUE sheet.
#include "CueSheet.hpp"
#include "DiscFiles.hpp"
#include "ExternalProgram.hpp"
#include "MpegStream.hpp"
#include "RecorderFailure.hpp"
#include "SpeedTest.hpp"
#include "TestHooks.hpp"
#include "Writers.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace Recorder {

namespace {

// The most of a stream one sector carries (a Mode 2 Form 2 sector's user data): a lower bound of
// the sectors the streams take, which refuses a disc that clearly does not fit before authoring.
constexpr std::uint64_t StreamBytesPerSector = 2324;

struct Kind {
    MpegKind Stream;
    const char* Type; // vcdimager's --type
    const char* Name;
    const char* Takes;
};

std::string Tracks(std::size_t Count) {
    return std::to_string(Count) + (Count == 1 ? " track" : " tracks");
}

// Checks every entry's stream kind and returns the bytes they hold together.
std::uint64_t CheckStreams(const std::vector<std::string>& Entries, const Kind& Disc) {
    if (Entries.empty()) {
        throw RecorderFailure(ExitCode::Source, std::string(Disc.Name) + ": no streams given");
    }
    std::uint64_t Bytes = 0;
    for (const std::string& Entry : Entries) {
        const MpegKind Found = MpegKindOfFile(Entry);
        if (Found != Disc.Stream) {
            throw RecorderFailure(ExitCode::Source, "entry " + Entry + ": is " + Describe(Found) +
                                                        "; " + Disc.Name + " takes " + Disc.Takes);
        }
        struct stat Info {};
        if (::stat(Entry.c_str(), &Info) != 0) {
            throw RecorderFailure(ExitCode::Source, "entry " + Entry + ": " + std::strerror(errno));
        }
        Bytes += static_cast<std::uint64_t>(Info.st_size);
    }
    return Bytes;
}

// vcdimager's sheet with its FILE line naming DataName instead of the scratch file.
std::string SheetNaming(const WriteContext& Context, const std::string& DataName) {
    std::string Reason;
    const std::optional<std::string> Text = ReadSheetFile(SheetScratchOf(Context.Scratch), Reason);
    if (!Text) {
        throw RecorderFailure(ExitCode::Write, Context.Where.Describe() +
                                                   ": vcdimager wrote no CUE sheet: " + Reason);
    }
    std::vector<CueLine> Lines = ReadCueSheet(*Text);
    for (CueLine& Line : Lines) {
        if (Line.Command == CueCommand::File) {
            Line = CueLine::FileLine(DataName);
        }
    }
    return WriteCueSheet(Lines);
}

std::uint64_t SectorsOf(const WriteContext& Context, const std::string& Path) {
    struct stat Info {};
    if (::stat(Path.c_str(), &Info) != 0) {
        throw RecorderFailure(ExitCode::Write,
                              Context.Where.Describe() +
                                  ": vcdimager wrote no image: " + std::strerror(errno));
    }
    return (static_cast<std::uint64_t>(Info.st_size) + RawSectorBytes - 1) / RawSectorBytes;
}

// vcdimager's run, its raw sectors and CUE sheet going to the run's scratch files.
void Author(const WriteContext& Context, const Kind& Disc) {
    ProgramRun Author;
    Author.Argv = {
        "vcdimager",  "--type",       Disc.Type, "--cue-file", SheetScratchOf(Context.Scratch),
        "--bin-file", Context.Scratch};
    for (const std::string& Entry : Context.Ask.Entries) {
        // A file whose name starts with "-" is not taken for an option.
        Author.Argv.push_back(Entry.starts_with('-') ? "./" + Entry : Entry);
    }
    // Its warnings (a short stream, padding) are no reasons; its errors are.
    Author.OnError = [](std::string_view Line) { return Line.starts_with("++ WARN"); };
    const ProgramOutcome Authored = RunProgram(Author);
    if (!Authored.Succeeded) {
        // vcdimager checks each stream's packets: a stream it cannot use is a source error; a
        // vcdimager that cannot be run is not.
        throw RecorderFailure(Authored.Started ? ExitCode::Source : ExitCode::Write,
                              Context.Where.Describe() + ": " + DescribeFailure(Author, Authored));
    }
}

// The authored disc as the disc takes it: a drive gets vcdimager's sheet as it is; a virtual disc
// keeps vcdimager's sectors as its file and a sheet naming that file.
RawImage RawImageOf(const WriteContext& Context) {
    const std::string Sheet = SheetScratchOf(Context.Scratch);
    return {.DriveSheet = [&Context] { return SheetScratchOf(Context.Scratch); },
            .LibburnWrites = false,
            .FillScratch =
                [&Context, Sheet](const std::string& BareName) {
                    TestHooks::BeforeWrite();
                    Context.Report.Begin("writing");
                    WriteDurably(Context.Where, Sheet, SheetNaming(Context, BareName));
                    SyncFile(Context.Where, Context.Report, Context.Scratch);
                }};
}

class VideoCdSteps final : public WriteSteps {
public:
    explicit VideoCdSteps(const WriteContext& Context)
        : WriteSteps(Context),
          FKind(Context.Ask.Kind == ToolGrammar::CommandKind::SuperVideoCd
                    ? Kind{MpegKind::Mpeg2Program, "svcd", "a Super Video CD",
                           "MPEG-2 program streams"}
                    : Kind{MpegKind::Mpeg1System, "vcd2", "a Video CD", "MPEG-1 system streams"}) {}

    std::optional<Acquiring> How() const override { return Acquiring::ToWriteRaw; }
    void CheckSources(const MediumState& /*State*/) override {
        const Request& Ask = FContext.Ask;
        FBytes = CheckStreams(Ask.Entries, FKind);
        if (Ask.SpeedTest) {
            (void)ReadSpeedTest(Ask.Entries, Ask.Speed, false, FContext.Report);
        }
    }
    void CheckFit(const MediumState& State) override;
    void CheckMedium(const MediumState& State) override {
        FContext.Disc.RequireCd(State);
        WriteSteps::CheckMedium(State);
    }
    void Write(const MediumState& State) override {
        Disc& Onto = FContext.Disc;
        Onto.WriteRaw(FContext.Ask, FContext.Report, RawImageOf(FContext), State.Blank);
        if (FContext.Ask.CloseSession) {
            Onto.SayOfFile(FContext.Report, Onto.Describe() + " is a virtual disc, written whole: "
                                                              "there is no session to close");
        }
        FContext.Report.Say(
            "wrote " + std::string(FKind.Name) + " of " + Tracks(FContext.Ask.Entries.size()) +
            " to " + Onto.Describe() +
            Onto.OfFile(" and its CUE sheet " + CueSheetPathOf(FContext.Where.Path)));
    }

private:
    Kind FKind;
    std::uint64_t FBytes = 0;
};

// A bound first, then the authoring, then the exact fit: only vcdimager knows the layout.
void VideoCdSteps::CheckFit(const MediumState& /*State*/) {
    const std::string Disc = FContext.Disc.Describe();
    if (FBytes / StreamBytesPerSector > CdSectors) {
        throw RecorderFailure(ExitCode::Fit, Disc + ": the streams need more than " +
                                                 std::to_string(FBytes / StreamBytesPerSector) +
                                                 " sectors, a CD holds " +
                                                 std::to_string(CdSectors));
    }
    Author(FContext, FKind);
    const std::uint64_t Sectors = SectorsOf(FContext, FContext.Scratch) + LeadingPause;
    if (Sectors > CdSectors) {
        throw RecorderFailure(ExitCode::Fit, Disc + ": " + FKind.Name + " of " +
                                                 std::to_string(Sectors) + " sectors, a CD holds " +
                                                 std::to_string(CdSectors));
    }
}

} // namespace

std::unique_ptr<WriteSteps> WriteVideoCd(const WriteContext& Context) {
    return std::make_unique<VideoCdSteps>(Context);
}

} // namespace Recorder
