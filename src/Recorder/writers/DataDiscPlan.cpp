// The plan of a data disc: what the medium holds, what this run may do to it, and the session's
// file system laid out in the interpreter, before anything is written.
#include "DataDisc.hpp"

#include "DiscContents.hpp"
#include "DiscTexts.hpp"
#include "JolietNames.hpp"
#include "LibraryWords.hpp"
#include "OwnFiles.hpp"
#include "RealDrive.hpp"
#include "RecorderFailure.hpp"
#include "RepeatedLookups.hpp"
#include "SourceWalk.hpp"
#include "SpeedTest.hpp"
#include "SystemReasons.hpp"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <numeric>
#include <vector>

namespace Recorder {

namespace {

// libisofs converts each Joliet name from UTF-8 to UTF-16 through iconv. A system without the
// converters fails every data disc only once the session is written: found here instead, before
// anything is erased or written.
void RequireJolietConversion(const Target& Where) {
    iconv_t Converter = ::iconv_open("UTF-16BE", "UTF-8");
    // iconv_open's failure is the handle (iconv_t)-1, compared here as a number.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    const bool Failed = reinterpret_cast<std::intptr_t>(Converter) == -1;
    // Only a conversion the system does not know means the converters are missing; anything
    // else (no memory, no descriptor to load them with) is said as what it is.
    if (Failed && errno != EINVAL) {
        throw RecorderFailure(ExitCode::Write, Where.Describe() +
                                                   ": cannot prepare the Joliet "
                                                   "names: " +
                                                   ReasonOf(errno));
    }
    if (Failed) {
        throw RecorderFailure(ExitCode::Write,
                              Where.Describe() + ": " +
                                  RecorderReason("Charset conversion error", ExitCode::Write));
    }
    ::iconv_close(Converter);
}

// The label for both trees; Joliet shows fewer of its characters, which is said.
std::string VolumeId(const WriteContext& Context) {
    std::string Label = IsoVolumeId(Context);
    if (Utf8Characters(Label) > JolietVolumeIdCharacters) {
        Context.Report.Say("label shown by Joliet readers as its first 16 characters");
    }
    return Label;
}

// What the medium holds, as far as this run has read it.
struct DiscFound {
    VirtualDiscKind Kind = VirtualDiscKind::Blank;
    std::size_t Sessions = 0;
    bool ChecksumsFail = false; // its checksum tags do not match it: it was changed outside a burn
};

// Why this run may not write the disc as asked, if it may not.
std::optional<RecorderFailure> RefusalOf(const WriteContext& Context, const DataDiscPlan& Plan,
                                         const DiscFound& Found) {
    const Request& Ask = Context.Ask;
    const std::string Name = Context.Where.Describe();
    const auto Refused = [](FailureKind Kind, const std::string& Reason) {
        return RecorderFailure(ExitCode::Medium, Kind, Reason);
    };
    if (Ask.DetectNonEmptyDisk && !Plan.Blank) {
        return Refused(FailureKind::NotBlank, Name + ": the disc is not blank (" +
                                                  SettingName("--detect_non_empty_disk") + ")");
    }
    if (!Plan.NewDisc && Found.Kind == VirtualDiscKind::Closed) {
        return Refused(FailureKind::Closed,
                       Name +
                           ": the disc is closed (DVD-Video): nothing can be appended to it; "
                           "erase it first with " +
                           SettingName("--force_erase_disk"));
    }
    if (!Plan.NewDisc && Found.Kind == VirtualDiscKind::RawSectors) {
        return Refused(FailureKind::NotBlank,
                       Name +
                           ": the disc holds raw CD sectors (an audio CD, a Video CD or a CD "
                           "image), which cannot be continued; erase it first with " +
                           SettingName("--force_erase_disk"));
    }
    if (!Plan.NewDisc && !Ask.Import) {
        return Refused(FailureKind::NotBlank,
                       Name + ": the disc holds data; continue it with " + SettingName("--import") +
                           " or erase it first with " + SettingName("--force_erase_disk"));
    }
    if (Ask.Import && *Ask.Import > 0 &&
        (Plan.NewDisc || static_cast<std::size_t>(*Ask.Import) > Found.Sessions)) {
        return Refused(FailureKind::NoSuchSession,
                       Name + ": the disc has no session " + std::to_string(*Ask.Import));
    }
    // Its tree was loaded without the check, from a disc changed outside a burn: a new session
    // would take the change over as the disc's own and record fresh checksums that hide it.
    if (!Plan.NewDisc && Found.ChecksumsFail) {
        return Refused(FailureKind::NotBlank,
                       Name +
                           ": the disc's recorded checksums fail: it was changed outside a "
                           "burn, so nothing is appended to it; erase it first with " +
                           SettingName("--force_erase_disk"));
    }
    return std::nullopt;
}

// A virtual disc to be continued, loaded once its sources were checked.
void LoadToContinue(const Target& Where, XorrisoSession& Session, DataDiscPlan& Plan,
                    DiscFound& Found) {
    const auto Checksums = LoadVirtualDisc(Session, "-dev", Where.Path);
    if (!Checksums) {
        throw RecorderFailure(ExitCode::Medium,
                              Where.Describe() + ": " + Session.Problems(ExitCode::Medium));
    }
    Found.ChecksumsFail = *Checksums == RecordedChecksums::Fail;
    Session.Require({"-toc"}, ExitCode::Medium);
    Found.Sessions = CountLines(Session.Results(), "ISO session");
    Plan.NextAddress = BlocksIn(Session.Results(), "Media nwa").value_or(0);
}

void ApplyFileSystemSettings(const WriteContext& Context, XorrisoSession& Session) {
    for (const auto& Setting : std::vector<std::vector<std::string>>{
             {"-joliet", "on"},
             {"-rockridge", "on"},
             // Joliet names in UTF-16, so that characters beyond the Basic Multilingual Plane
             // reach Windows as surrogate pairs instead of "_".
             {"-compliance", "iso_9660_level=3:joliet_utf16"},
             {"-follow", "param"},
             {"-volid", VolumeId(Context)},
             {"-publisher", IsoPublisher(Context).value_or("")},
             {"-volset_id", IsoVolumeSet(Context).value_or("")},
         }) {
        Session.Require(Setting, ExitCode::Write);
    }
}

// An entry replaces wholly what the continued tree holds under its name: a folder mapped onto its
// namesake would be merged into it (keeping what was deleted from it since), and a file cannot be
// mapped onto a folder at all. The earlier sessions keep their own trees.
void RemoveFromTree(XorrisoSession& Session, const std::string& Path) {
    Session.Require({"-lsd", Path, "--"}, ExitCode::Write);
    if (!Session.Results().empty()) {
        Session.Require({"-rm_r", Path, "--"}, ExitCode::Write);
    }
}

// Maps the entries into the session's tree, the preparing's share following their items; returns
// the names it put there, counted for the Joliet tree.
JolietNameCounts MapEntries(const WriteContext& Context, XorrisoSession& Session,
                            DataDiscPlan& Plan, std::optional<WalkedSources> Walked) {
    // libisofs keeps a folder's entries in a list sorted by name and finds a new entry's place
    // from the front: mapped from the last name to the first, each goes in at the front, and the
    // preparing grows with the number of entries instead of with its square.
    std::vector<std::size_t> Order(Plan.Sources.size());
    std::iota(Order.begin(), Order.end(), std::size_t{0});
    std::sort(Order.begin(), Order.end(), [&Plan](std::size_t Left, std::size_t Right) {
        return Plan.Sources[Left].Name > Plan.Sources[Right].Name;
    });
    // The walk that bounds the session's size also counts each entry's items and names, beside
    // the mapping (unless it was walked already). The bound holds for a new disc only: a
    // continued disc's session also rewrites the records of its whole tree.
    std::optional<SourceWalk> Walking;
    const bool HandedOver = Walked.has_value();
    if (HandedOver) {
        Walking.emplace(std::move(*Walked), Order);
    } else {
        Walking.emplace(Plan.Sources, Plan.Stamps, Plan.Own, Order);
    }
    SourceWalk& Walk = *Walking;
    std::atomic<std::size_t> Mapped{0};
    const auto ReportShare = [&Context, &Session, &Walk, &Mapped] {
        if (const auto Done = Walk.Share(Mapped.load(), Session.FilesAdded())) {
            Context.Report.Update(100.0 * *Done);
        }
    };
    {
        const ScopedTick Ticking(Session, ReportShare);
        const RepeatedLookups Lookups;
        for (const std::size_t Index : Order) {
            const Source& Entry = Plan.Sources[Index];
            if (!Plan.NewDisc) {
                RemoveFromTree(Session, "/" + Entry.Name);
            }
            Session.Require({"-map", Entry.Path, "/" + Entry.Name}, ExitCode::Source);
            ++Mapped;
            ReportShare();
        }
    }
    WalkedSources Found = Walk.Finish();
    Plan.AtMost = Plan.NewDisc ? Found.Bound : std::nullopt;
    // A walk that was handed over spent its fingerprint already.
    Plan.Tree = Found.Bound && !HandedOver ? Found.Counts.Tree.Finish() : std::string();
    for (const std::string& Path : Plan.OwnInTree) {
        RemoveFromTree(Session, Path);
    }
    return Found.Counts.Names;
}

// The entries, less the run's own files among them, and the speed test.
void CheckDataSources(const WriteContext& Context, DataDiscPlan& Plan) {
    const Request& Ask = Context.Ask;
    Plan.Sources = CheckSources(Ask.Entries);
    Plan.Own = OwnFilesOf(Context.Disc);
    const std::size_t Given = Plan.Sources.size();
    Plan.OwnInTree = OwnFilesInTree(Plan.Sources, Plan.Own);
    if (Plan.Sources.size() < Given) {
        Context.Report.Say("left out an entry that is the disc itself: a disc cannot hold itself");
    }
    if (Ask.SpeedTest) {
        (void)ReadSpeedTest(Ask.Entries, Ask.Speed, Ask.Dvd, Context.Report);
    }
    if (Plan.Sources.empty()) {
        throw RecorderFailure(ExitCode::Source, FailureKind::NothingToWrite,
                              Context.Where.Describe() +
                                  ": nothing to write: none of the entries exists, or none was "
                                  "given");
    }
}

} // namespace

Acquiring DataDiscAcquiring(const Request& Ask) {
    // The erase comes first: a disc that is erased is never loaded, so nothing of it is carried
    // into the new disc, with --import or without.
    const bool Appending = Ask.Import.has_value() && !Ask.ForceEraseDisk;
    return Appending ? Acquiring::ToContinue : Acquiring::ToWrite;
}

DataDiscPlan PlanDataDisc(const WriteContext& Context) {
    return PlanDataDisc(Context,
                        Context.Disc.Acquire(Context.Report, DataDiscAcquiring(Context.Ask)));
}

DataDiscPlan PlanDataDiscSources(const WriteContext& Context, const MediumState& State) {
    const Request& Ask = Context.Ask;
    Disc& Onto = Context.Disc;
    DataDiscPlan Plan;
    Plan.Capacity = Ask.Dvd ? DvdBlocks : CdBlocks;
    XorrisoSession& Session = Onto.Session(Context.Report);
    DiscFound Found{State.Kind, State.Sessions};
    Plan.Blank = State.Blank;
    Plan.NextAddress = State.NextAddress;
    CheckDataSources(Context, Plan);
    if (State.TreeToLoad) {
        LoadToContinue(Context.Where, Session, Plan, Found);
    }
    RequireJolietConversion(Context.Where);
    const bool Erasing = Ask.ForceEraseDisk && !Plan.Blank;
    Plan.NewDisc = Plan.Blank || Erasing;
    Plan.Refusal = RefusalOf(Context, Plan, Found);
    Onto.ChooseOutput(Context.Report, Ask,
                      {.Refused = Plan.Refusal.has_value(),
                       .Loaded = State.TreeToLoad,
                       .NewDisc = Plan.NewDisc,
                       .Erasing = Erasing},
                      Plan.NextAddress);
    // The medium's own free space, as the drive reports it for the loaded disc (what the session
    // laid out later will take is not counted against it).
    if (const auto Space = Onto.FreeBlocks()) {
        Plan.Capacity = Plan.NextAddress + *Space;
    }
    return Plan;
}

void LayOutDataDisc(const WriteContext& Context, DataDiscPlan& Plan,
                    std::optional<WalkedSources> Walked) {
    XorrisoSession& Session = Context.Disc.Session(Context.Report);
    ApplyFileSystemSettings(Context, Session);
    SetJolietNames(Session, Context.Report, MapEntries(Context, Session, Plan, std::move(Walked)),
                   !Plan.NewDisc);
}

DataDiscPlan PlanDataDisc(const WriteContext& Context, const MediumState& State) {
    DataDiscPlan Plan = PlanDataDiscSources(Context, State);
    LayOutDataDisc(Context, Plan);
    return Plan;
}

std::uint64_t ExactSessionBlocks(const WriteContext& Context, XorrisoSession& Session,
                                 const DataDiscPlan& Plan) {
    if (!Session.Run({"-print_size"})) {
        throw Plan.Refusal ? *Plan.Refusal
                           : RecorderFailure(ExitCode::Write,
                                             Context.Where.Describe() + ": " + Session.Problems());
    }
    return BlocksIn(Session.Results(), "Image size").value_or(0);
}

std::uint64_t CheckDataFit(const WriteContext& Context, XorrisoSession& Session,
                           const DataDiscPlan& Plan) {
    const Target& Where = Context.Where;
    // A session that clearly fits is not laid out twice; near the limit, and whenever there is no
    // bound (a continued disc), it is measured exactly.
    const bool ClearlyFits = Plan.AtMost && Plan.NextAddress + *Plan.AtMost <= Plan.Capacity;
    const std::uint64_t Size =
        ClearlyFits ? Plan.AtMost.value_or(0) : ExactSessionBlocks(Context, Session, Plan);
    if (Plan.NextAddress + Size > Plan.Capacity) {
        const std::uint64_t Free =
            Plan.Capacity > Plan.NextAddress ? Plan.Capacity - Plan.NextAddress : 0;
        throw RecorderFailure(ExitCode::Fit, Where.Describe() + ": the session needs " +
                                                 std::to_string(Size) + " blocks, the disc has " +
                                                 std::to_string(Free) + " free");
    }
    return Size;
}

} // namespace Recorder
