#include "ChecksumPool.hpp"

#include "WritingThreads.hpp"

#include <unistd.h>

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

namespace Recorder {

namespace {

// Spare chunks kept for the next ones instead of being freed and allocated again (each fresh
// allocation would also fault its pages in once more).
constexpr std::size_t MostSpareChunks = 32;
// At most a few checksums are alive at once (the session's, a file's, a copy being finished).
constexpr unsigned MostWorkers = 4;

class SpareChunkStore {
public:
    ChecksumChunk Take() {
        {
            const std::lock_guard Lock(FMutex);
            if (!FSpare.empty()) {
                ChecksumChunk Taken = std::move(FSpare.back());
                FSpare.pop_back();
                return Taken;
            }
        }
        ChecksumChunk Made;
        try {
            Made.Bytes = std::make_unique_for_overwrite<char[]>(ChecksumChunkBytes);
        } catch (const std::bad_alloc&) {
            Made.Bytes.reset(); // none: the caller hashes on its own thread
        }
        return Made;
    }
    void Give(ChecksumChunk Used) {
        const std::lock_guard Lock(FMutex);
        if (FSpare.size() < MostSpareChunks) {
            Used.Size = 0;
            FSpare.push_back(std::move(Used));
        }
    }

private:
    std::mutex FMutex;
    std::vector<ChecksumChunk> FSpare;
};

SpareChunkStore& Spares() {
    // Never destroyed: a worker may give a chunk back while the process exits.
    static auto* Store = new SpareChunkStore();
    return *Store;
}

} // namespace

ChecksumChunk TakeChecksumChunk() {
    return Spares().Take();
}

void GiveChecksumChunk(ChecksumChunk Used) {
    Spares().Give(std::move(Used));
}

WorkerPool::WorkerPool(unsigned Count) {
    for (unsigned Started = 0; Started < Count; ++Started) {
        try {
            std::thread([this] { Serve(); }).detach();
            ++FCount;
        } catch (const std::system_error&) {
            break; // fewer workers (or none) when the system has no room for more threads
        }
    }
}

WorkerPool* WorkerPool::OfThisProcess() {
    static std::mutex Starting;
    static WorkerPool* Pool = nullptr;
    static pid_t Owner = 0;
    const std::lock_guard Lock(Starting);
    if (Owner != ::getpid()) {
        const unsigned Processors = ProcessorsOfThisProcess();
        // Never destroyed: its threads serve until the process ends.
        Pool = Processors > 1 ? new (std::nothrow) WorkerPool(std::min(Processors, MostWorkers))
                              : nullptr;
        Owner = ::getpid();
    }
    return Pool != nullptr && Pool->Count() > 0 ? Pool : nullptr;
}

void WorkerPool::Schedule(HandedOverWork* Work) {
    {
        const std::lock_guard Lock(FMutex);
        FWaiting.push_back(Work);
    }
    FWork.notify_one();
}

void WorkerPool::Serve() {
    for (;;) {
        HandedOverWork* Work = nullptr;
        {
            std::unique_lock Lock(FMutex);
            FWork.wait(Lock, [this] { return !FWaiting.empty(); });
            Work = FWaiting.front();
            FWaiting.pop_front();
        }
        Work->Drain();
    }
}

} // namespace Recorder
