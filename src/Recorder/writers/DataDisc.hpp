// A data disc, in four steps: the plan (the medium's state, the sources, what the run may do to
// the disc, the file system's settings), the fit, the write and the verify.
#pragma once

#include "RecorderFailure.hpp"
#include "SourceWalk.hpp"
#include "Sources.hpp"
#include "Writers.hpp"
#include "XorrisoSession.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Recorder {

struct DataDiscPlan {
    std::vector<Source> Sources;
    FileStamps Stamps; // every file the session reads, as it was before
    // Blocks the session takes at most, when known: a new disc's bound, then what the fit found.
    std::optional<std::uint64_t> AtMost;
    bool Blank = true;
    bool NewDisc = true; // a first session (or one after the erase), not an append
    std::uint64_t NextAddress = 0;
    std::uint64_t Capacity = 0;
    // Why the medium refuses the write; reported after the fit, which comes first when both fail.
    std::optional<RecorderFailure> Refusal;
    // The run's own files (the disc's file, its scratch) and where the entries put them in the
    // session's tree: left out of it.
    std::vector<OwnFile> Own;
    std::vector<std::string> OwnInTree;
    // The fingerprint of the sources' tree (see TreeCounts), once laid out; empty when the walk
    // could not go through the whole tree.
    std::string Tree;
};

// How the disc is acquired: to be continued when the run appends to it (--import without
// --force_erase_disk).
Acquiring DataDiscAcquiring(const Request& Ask);

// Checks the sources of the medium acquired (State) and lays the session out in the disc's
// session; nothing is written. Without State, the disc is acquired first.
DataDiscPlan PlanDataDisc(const WriteContext& Context, const MediumState& State);
DataDiscPlan PlanDataDisc(const WriteContext& Context);
// The plan in two steps: the medium, the sources and what the run may do to the disc; then the
// session laid out, its sources walked beside the layout unless Walked (their finished walk,
// which stamped the plan's files) is given.
DataDiscPlan PlanDataDiscSources(const WriteContext& Context, const MediumState& State);
void LayOutDataDisc(const WriteContext& Context, DataDiscPlan& Plan,
                    std::optional<WalkedSources> Walked = std::nullopt);

// The session's exact size in blocks, as the file system laid out in Session will take it.
std::uint64_t ExactSessionBlocks(const WriteContext& Context, XorrisoSession& Session,
                                 const DataDiscPlan& Plan);

// Throws RecorderFailure for a session that does not fit (5); the plan's refusal (4) is the
// medium's check, which follows. Returns the blocks the session takes: its bound when it clearly
// fits, else its exact size.
std::uint64_t CheckDataFit(const WriteContext& Context, XorrisoSession& Session,
                           const DataDiscPlan& Plan);

// Reads every file back from the written disc (Written, see Disc::WrittenFile) and compares it
// with its source.
void VerifyDataDisc(const WriteContext& Context, const DataDiscPlan& Plan,
                    const std::string& Written);

} // namespace Recorder
