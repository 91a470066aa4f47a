// What a burn would take of the disc, worked out by the burn's own checks (target, sources,
// plan, exact size) and then left unwritten.
#include "AudioCd.hpp"
#include "DataDisc.hpp"
#include "EstimateCache.hpp"
#include "Queries.hpp"
#include "RecorderFailure.hpp"

#include <cstdio>

namespace Recorder {

namespace {

// The answer, then the refusal the burn would end with, if any: a front end learns both the size
// and why the burn would not start.
void Answer(std::uint64_t NeededBytes, std::uint64_t FreeBytes,
            const std::optional<RecorderFailure>& Refusal) {
    PrintAnswer("needed_bytes", NeededBytes);
    PrintAnswer("free_bytes", FreeBytes);
    (void)std::fflush(stdout);
    if (Refusal) {
        throw RecorderFailure(*Refusal);
    }
}

// The session's exact size: the plan the writer makes, measured as its fit check measures it. A
// new disc's size is kept in the user's cache and answered from it again while neither the question
// nor its sources' tree changed: a front end asks on every change of its selection.
void EstimateDataDisc(const WriteContext& Context) {
    const MediumState State = Context.Disc.Acquire(Context.Report, DataDiscAcquiring(Context.Ask));
    DataDiscPlan Plan = PlanDataDiscSources(Context, State);
    const std::uint64_t Free =
        Plan.Capacity > Plan.NextAddress ? Plan.Capacity - Plan.NextAddress : 0;
    std::optional<EstimateCache> Cache;
    if (Plan.NewDisc) {
        Cache = EstimateCache::For(Context.Ask, Context.Where, State);
    }
    std::optional<WalkedSources> Walked;
    std::string Tree;
    // Only a question asked before is walked first, to compare its tree; a new one is walked
    // beside the layout, as a burn walks it.
    if (Cache && Cache->Asked()) {
        const std::vector<std::size_t> NoOrder;
        Walked = SourceWalk(Plan.Sources, Plan.Stamps, Plan.Own, NoOrder).Finish();
        Tree = Walked->Bound ? Walked->Counts.Tree.Finish() : std::string();
        if (const auto Known = Tree.empty() ? std::nullopt : Cache->Find(Tree)) {
            Answer(*Known * DataBlockBytes, Free * DataBlockBytes, Plan.Refusal);
            return;
        }
    }
    const bool WalkedFirst = Walked.has_value();
    LayOutDataDisc(Context, Plan, std::move(Walked));
    const std::uint64_t Blocks =
        ExactSessionBlocks(Context, Context.Disc.Session(Context.Report), Plan);
    // Walked first, or else beside the layout.
    if (!WalkedFirst) {
        Tree = Plan.Tree;
    }
    if (Cache && !Tree.empty()) {
        Cache->Keep(Tree, Blocks);
    }
    Answer(Blocks * DataBlockBytes, Free * DataBlockBytes, Plan.Refusal);
}

// The tracks counted in whole raw sectors as the audio writer counts them, against the room the
// disc has for them.
void EstimateAudioCd(const WriteContext& Context) {
    const std::vector<AudioTrack> Tracks = CheckTracks(Context, 100.0);
    const MediumState State = Context.Disc.Acquire(Context.Report, Acquiring::ToLook);
    // An audio CD is only ever a new disc: a written one has no room for it.
    const AudioRoom Room = Context.Disc.RoomForAudio();
    Answer((Room.Pause + TrackSectors(Tracks)) * RawSectorBytes,
           State.Blank ? Room.Capacity * RawSectorBytes : 0,
           State.Blank ? std::nullopt
                       : std::optional<RecorderFailure>(std::in_place, ExitCode::Medium,
                                                        Context.Disc.Describe() +
                                                            ": the disc is not blank; erase it "
                                                            "first" +
                                                            Room.Remedy));
}

} // namespace

int AnswerEstimate(const Request& Asked, Disc& Onto) {
    Request Ask = Asked;
    // Nothing is read twice and nothing is written: no speed test, no verify.
    Ask.SpeedTest = false;
    Ask.Verify = false;
    // A real disc would be blanked at once by the plan; measuring never erases. The size of the
    // session does not change; the free space is the disc's as it is.
    if (Onto.PlanBlanks()) {
        Ask.ForceEraseDisk = false;
    }
    // A new virtual disc is laid out against the question's scratch file, as the burn lays it out:
    // libburn places and pads a session differently on a file than on /dev/null. Nothing is
    // committed to it, and the scratch folder (in the temporary folder, never beside the disc)
    // goes with the run.
    const WriteContext Context{Ask, Onto, Onto.Where(), Onto.ScratchDisc(), QuietReport()};
    switch (Ask.Kind) {
    case ToolGrammar::CommandKind::DataDisc:
        EstimateDataDisc(Context);
        return 0;
    case ToolGrammar::CommandKind::AudioCd:
        EstimateAudioCd(Context);
        return 0;
    default:
        throw RecorderFailure(ExitCode::NotAvailable,
                              Onto.Describe() +
                                  ": the recorder cannot estimate this kind of disc (it can a "
                                  "data disc and an audio CD); nothing was done");
    }
}

} // namespace Recorder
