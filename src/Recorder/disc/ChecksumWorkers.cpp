// The recorder's iso_md5_* functions (see ChecksumWorkers.hpp). A checksum is libisofs's own
// context wrapped: its first bytes are added on the caller's thread (a small file never leaves
// it), and past them the data is copied into chunks that one worker at a time adds, in the order
// given. Finishing or copying a checksum waits for its chunks, so every digest is the one
// libisofs would have computed alone.
#include "ChecksumWorkers.hpp"

#include "ChecksumPool.hpp"
#include "RecorderFailure.hpp"

#include <cstdint>
// libisofs.h needs the fixed-width types first.
#include <libisofs/libisofs.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <utility>

namespace Recorder {

namespace {

using StartFunction = int (*)(void**);
using ComputeFunction = int (*)(void*, char*, int);
using CloneFunction = int (*)(void*, void**);
using EndFunction = int (*)(void**, char*);

// libisofs's own functions, behind the recorder's definitions.
struct LibraryFunctions {
    StartFunction Start = nullptr;
    ComputeFunction Compute = nullptr;
    CloneFunction Clone = nullptr;
    EndFunction End = nullptr;

    bool Found() const noexcept {
        return Start != nullptr && Compute != nullptr && Clone != nullptr && End != nullptr;
    }
};

template <typename Function>
Function Next(const char* Name) {
    // dlsym gives a function as an object pointer; POSIX guarantees the conversion.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, Name));
}

const LibraryFunctions& Library() {
    static const LibraryFunctions Functions = [] {
        LibraryFunctions Found;
        Found.Start = Next<StartFunction>("iso_md5_start");
        Found.Compute = Next<ComputeFunction>("iso_md5_compute");
        Found.Clone = Next<CloneFunction>("iso_md5_clone");
        Found.End = Next<EndFunction>("iso_md5_end");
        return Found;
    }();
    return Functions;
}

// libisofs's codes, as the ints its functions return.
constexpr int OutOfMemory = static_cast<int>(ISO_OUT_OF_MEM);
constexpr int NullPointer = static_cast<int>(ISO_NULL_POINTER);

// Up to this many bytes a checksum stays on its caller's thread: handing a small file over would
// cost more than hashing it.
constexpr std::uint64_t InlineBytes = std::uint64_t{64} << 10U;
// Chunks a checksum may have waiting before its caller waits: the memory it takes is bounded.
constexpr std::size_t QueuedChunks = 8;

std::atomic<std::uint64_t> HandedOver{0};

class Checksum;
// Ends what Context holds, as libisofs does before it starts or copies into a context that
// still holds one.
void Drop(void** Context);

// libisofs's context, with the chunks handed over and not yet added.
class Checksum final : public HandedOverWork {
public:
    explicit Checksum(void* LibraryContext, std::uint64_t Seen = 0)
        : FLibrary(LibraryContext), FSeen(Seen) {}
    Checksum(const Checksum&) = delete;
    Checksum& operator=(const Checksum&) = delete;
    Checksum(Checksum&&) = delete;
    Checksum& operator=(Checksum&&) = delete;
    ~Checksum() override = default;

    int Add(char* Data, std::size_t Bytes);
    // libisofs's result; the context is gone afterwards, as after iso_md5_end.
    int Finish(char Result[16]);
    int Copy(void** Into);
    void Drain() override;

private:
    void Fill(const char* Data, std::size_t Bytes);
    void HandOver();
    void Settle();

    void* FLibrary;
    std::uint64_t FSeen;
    WorkerPool* FPool = nullptr;
    ChecksumChunk FFilling;
    int FFailure = 0; // a failed addition on a worker, said when the checksum is finished
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::deque<ChecksumChunk> FQueued;
    bool FScheduled = false;
};

int Checksum::Add(char* Data, std::size_t Bytes) {
    const bool Small = FSeen + Bytes <= InlineBytes;
    FSeen += Bytes;
    if (Small && FFilling.Bytes == nullptr) {
        return Library().Compute(FLibrary, Data, static_cast<int>(Bytes));
    }
    if (FPool == nullptr) {
        FPool = WorkerPool::OfThisProcess();
    }
    if (FPool == nullptr) {
        return Library().Compute(FLibrary, Data, static_cast<int>(Bytes));
    }
    Fill(Data, Bytes);
    return 1;
}

void Checksum::Fill(const char* Data, std::size_t Bytes) {
    while (Bytes > 0) {
        if (FFilling.Bytes == nullptr) {
            FFilling = TakeChecksumChunk();
        }
        if (FFilling.Bytes == nullptr) {
            // No memory for a chunk: what was handed over is added first, then the rest here.
            Settle();
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): libisofs only reads it
            const int Added =
                Library().Compute(FLibrary, const_cast<char*>(Data), static_cast<int>(Bytes));
            FFailure = Added <= 0 && FFailure == 0 ? OutOfMemory : FFailure;
            return;
        }
        const std::size_t Taken = std::min(Bytes, ChecksumChunkBytes - FFilling.Size);
        std::memcpy(FFilling.Bytes.get() + FFilling.Size, Data, Taken);
        FFilling.Size += Taken;
        Data += Taken;
        Bytes -= Taken;
        if (FFilling.Size == ChecksumChunkBytes) {
            HandOver();
        }
    }
}

void Checksum::HandOver() {
    bool Start = false;
    {
        std::unique_lock Lock(FMutex);
        FChanged.wait(Lock, [this] { return FQueued.size() < QueuedChunks; });
        FQueued.push_back(std::move(FFilling));
        FFilling = {};
        Start = !std::exchange(FScheduled, true);
    }
    HandedOver.fetch_add(1, std::memory_order_relaxed);
    if (Start) {
        FPool->Schedule(this);
    }
}

// Waits until the workers have added everything handed over, the partly filled chunk included.
void Checksum::Settle() {
    if (FFilling.Bytes != nullptr && FFilling.Size > 0) {
        HandOver();
    }
    std::unique_lock Lock(FMutex);
    FChanged.wait(Lock, [this] { return !FScheduled; });
}

void Checksum::Drain() {
    for (;;) {
        ChecksumChunk Next;
        {
            const std::lock_guard Lock(FMutex);
            if (FQueued.empty()) {
                // Told under the lock: the owner, woken, may end the checksum at once.
                FScheduled = false;
                FChanged.notify_all();
                return;
            }
            Next = std::move(FQueued.front());
            FQueued.pop_front();
            FChanged.notify_all();
        }
        const int Added =
            Library().Compute(FLibrary, Next.Bytes.get(), static_cast<int>(Next.Size));
        if (Added <= 0 && FFailure == 0) {
            FFailure = Added == 0 ? NullPointer : Added;
        }
        GiveChecksumChunk(std::move(Next));
    }
}

int Checksum::Finish(char Result[16]) {
    Settle();
    const int Ended = Library().End(&FLibrary, Result);
    return FFailure != 0 ? FFailure : Ended;
}

int Checksum::Copy(void** Into) {
    Settle();
    void* Copied = nullptr;
    const int Cloned = Library().Clone(FLibrary, &Copied);
    if (Cloned <= 0) {
        return Cloned;
    }
    auto* Made = new (std::nothrow) Checksum(Copied, FSeen);
    if (Made == nullptr) {
        char Ignored[16];
        (void)Library().End(&Copied, Ignored);
        return OutOfMemory;
    }
    Drop(Into);
    *Into = Made;
    return 1;
}

void Drop(void** Context) {
    if (*Context != nullptr) {
        char Ignored[16];
        (void)iso_md5_end(Context, Ignored);
    }
}

} // namespace

void RequireLibraryChecksums() {
    if (!Library().Found()) {
        throw RecorderFailure(ExitCode::Write,
                              "cannot find libisofs's checksum functions (iso_md5_start)");
    }
}

bool ChecksumsReachWorkers() {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): see Next
    return reinterpret_cast<void*>(&iso_md5_compute) == ::dlsym(RTLD_DEFAULT, "iso_md5_compute");
}

unsigned ChecksumWorkerCount() {
    const WorkerPool* Pool = WorkerPool::OfThisProcess();
    return Pool == nullptr ? 0 : Pool->Count();
}

std::uint64_t ChecksumChunksHandedOver() {
    return HandedOver.load();
}

} // namespace Recorder

// The definitions libisofs and libisoburn call, under the library's names. Nothing may be thrown
// into their C code.
// NOLINTBEGIN(readability-identifier-naming)
extern "C" int iso_md5_start(void** md5_context) {
    using namespace Recorder;
    if (md5_context == nullptr || !Library().Found()) {
        return Recorder::NullPointer;
    }
    void* Own = nullptr;
    const int Started = Library().Start(&Own);
    if (Started <= 0) {
        return Started;
    }
    auto* Made = new (std::nothrow) Checksum(Own);
    if (Made == nullptr) {
        char Ignored[16];
        (void)Library().End(&Own, Ignored);
        return OutOfMemory;
    }
    Drop(md5_context);
    *md5_context = Made;
    return 1;
}

extern "C" int iso_md5_compute(void* md5_context, char* data, int datalen) {
    if (md5_context == nullptr) {
        return Recorder::NullPointer;
    }
    if (datalen <= 0) {
        return 1;
    }
    return static_cast<Recorder::Checksum*>(md5_context)
        ->Add(data, static_cast<std::size_t>(datalen));
}

extern "C" int iso_md5_clone(void* old_md5_context, void** new_md5_context) {
    if (old_md5_context == nullptr || new_md5_context == nullptr) {
        return Recorder::NullPointer;
    }
    return static_cast<Recorder::Checksum*>(old_md5_context)->Copy(new_md5_context);
}

extern "C" int iso_md5_end(void** md5_context, char result[16]) {
    if (md5_context == nullptr || *md5_context == nullptr) {
        return Recorder::NullPointer;
    }
    auto* Ending = static_cast<Recorder::Checksum*>(*md5_context);
    const int Ended = Ending->Finish(result);
    delete Ending;
    *md5_context = nullptr;
    return Ended;
}
// NOLINTEND(readability-identifier-naming)
