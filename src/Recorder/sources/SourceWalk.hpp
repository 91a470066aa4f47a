// The walk of a data disc's sources (UpperBoundBlocks) on a thread of its own, beside the
// interpreter's mapping of the same entries: the mapping takes most of the preparing, and the walk
// would otherwise come on top of it. On a system with no room for another thread it walks at once.
#pragma once

#include "Sources.hpp"

#include <atomic>
#include <cstdint>
#include <future>
#include <optional>
#include <vector>

namespace Recorder {

// What a finished walk found: its bound (see UpperBoundBlocks) and counts.
struct WalkedSources {
    std::optional<std::uint64_t> Bound;
    TreeCounts Counts;
};

class SourceWalk {
public:
    // Walks Sources (passing over Own), stamping their files in Stamps. Order is the order the
    // entries are mapped in, for Share. Sources and Stamps must outlive the walk; Own and Order
    // are kept.
    SourceWalk(const std::vector<Source>& Sources, FileStamps& Stamps, std::vector<OwnFile> Own,
               std::vector<std::size_t> Order);
    // A walk already done (Done), its entries mapped in Order.
    SourceWalk(WalkedSources Done, const std::vector<std::size_t>& Order);
    ~SourceWalk();
    SourceWalk(const SourceWalk&) = delete;
    SourceWalk& operator=(const SourceWalk&) = delete;
    SourceWalk(SourceWalk&&) = delete;
    SourceWalk& operator=(SourceWalk&&) = delete;

    // The share (0 to 1) of all items that the first Mapped entries of the order hold, plus
    // Extra items; none while the walk has not counted them yet.
    std::optional<double> Share(std::size_t Mapped, std::uint64_t Extra) const;
    // Waits for the walk and gives what it found. Rethrows what the walk threw.
    WalkedSources Finish();

private:
    void Walk(const std::vector<Source>& Sources, FileStamps& Stamps);
    void Count(const std::vector<std::size_t>& Order);

    WalkedSources FFound;
    // Items in the first k entries of the order, for k from 0 to all of them.
    std::vector<std::uint64_t> FItemsBefore;
    std::atomic<bool> FCounted{false};
    const std::vector<OwnFile> FOwn;
    const std::vector<std::size_t> FOrder;
    // Last: the walk ends before what it uses goes.
    std::future<void> FDone;
};

} // namespace Recorder
