// What the checksum workers share (see ChecksumWorkers.hpp): chunks of data handed over, kept
// for reuse, and the worker threads of the process.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace Recorder {

inline constexpr std::size_t ChecksumChunkBytes = std::size_t{256} << 10U;

struct ChecksumChunk {
    std::unique_ptr<char[]> Bytes;
    std::size_t Size = 0;
};

// An empty chunk, from the spares when there is one; none (no bytes) when there is no memory.
ChecksumChunk TakeChecksumChunk();
// Keeps Used for a later chunk (up to a few), or frees it.
void GiveChecksumChunk(ChecksumChunk Used);

// What a worker does with a checksum it is given: add its waiting chunks until there are none.
class HandedOverWork {
public:
    virtual ~HandedOverWork() = default;
    virtual void Drain() = 0;

protected:
    HandedOverWork() = default;
    HandedOverWork(const HandedOverWork&) = default;
    HandedOverWork& operator=(const HandedOverWork&) = default;
    HandedOverWork(HandedOverWork&&) = default;
    HandedOverWork& operator=(HandedOverWork&&) = default;
};

// The worker threads of this process.
class WorkerPool {
public:
    // The pool of this process, started at its first use, with a worker per processor the
    // process may run on (a few at most); none on a single processor, where handing data over
    // would only add copies, or when no thread could be started. A process forked from one that
    // had a pool starts its own: the threads did not come along.
    static WorkerPool* OfThisProcess();
    void Schedule(HandedOverWork* Work);
    unsigned Count() const noexcept { return FCount; }

private:
    explicit WorkerPool(unsigned Count);
    void Serve();

    std::mutex FMutex;
    std::condition_variable FWork;
    std::deque<HandedOverWork*> FWaiting;
    unsigned FCount = 0;
};

} // namespace Recorder
