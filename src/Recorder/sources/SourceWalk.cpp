#include "SourceWalk.hpp"

#include <system_error>
#include <utility>

namespace Recorder {

SourceWalk::SourceWalk(const std::vector<Source>& Sources, FileStamps& Stamps,
                       std::vector<OwnFile> Own, std::vector<std::size_t> Order)
    : FOwn(std::move(Own)), FOrder(std::move(Order)) {
    try {
        FDone =
            std::async(std::launch::async, [this, &Sources, &Stamps] { Walk(Sources, Stamps); });
    } catch (const std::system_error&) {
        Walk(Sources, Stamps);
    }
}

SourceWalk::SourceWalk(WalkedSources Done, const std::vector<std::size_t>& Order)
    : FFound(std::move(Done)) {
    Count(Order);
}

SourceWalk::~SourceWalk() {
    // A mapping that failed leaves the walk running: it ends on its own, and nothing it uses goes
    // before it has.
    if (FDone.valid()) {
        FDone.wait();
    }
}

void SourceWalk::Walk(const std::vector<Source>& Sources, FileStamps& Stamps) {
    FFound.Bound = UpperBoundBlocks(Sources, Stamps, &FFound.Counts, FOwn);
    Count(FOrder);
}

void SourceWalk::Count(const std::vector<std::size_t>& Order) {
    FItemsBefore.assign(1, 0);
    for (const std::size_t Index : Order) {
        FItemsBefore.push_back(FItemsBefore.back() + FFound.Counts.Items.at(Index));
    }
    FCounted.store(true, std::memory_order_release);
}

std::optional<double> SourceWalk::Share(std::size_t Mapped, std::uint64_t Extra) const {
    if (!FCounted.load(std::memory_order_acquire) || FItemsBefore.back() == 0) {
        return std::nullopt;
    }
    return static_cast<double>(FItemsBefore[std::min(Mapped, FItemsBefore.size() - 1)] + Extra) /
           static_cast<double>(FItemsBefore.back());
}

WalkedSources SourceWalk::Finish() {
    if (FDone.valid()) {
        FDone.get();
    }
    return std::move(FFound);
}

} // namespace Recorder
