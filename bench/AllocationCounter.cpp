#include "AllocationCounter.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

namespace QueltBench {

namespace {

// Each block starts with its size, so that an unsized delete can subtract it. The header keeps
// the alignment that operator new promises.
constexpr std::size_t HeaderSize = alignof(std::max_align_t);

std::atomic<std::size_t> Live{0};
std::atomic<std::size_t> Peak{0};

void* Allocate(std::size_t Size) {
    void* Block = std::malloc(Size + HeaderSize);
    if (Block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(Block) = Size;
    const std::size_t Now = Live.fetch_add(Size, std::memory_order_relaxed) + Size;
    std::size_t Seen = Peak.load(std::memory_order_relaxed);
    while (Now > Seen && !Peak.compare_exchange_weak(Seen, Now, std::memory_order_relaxed)) {
    }
    return static_cast<char*>(Block) + HeaderSize;
}

void Release(void* Pointer) noexcept {
    if (Pointer == nullptr) {
        return;
    }
    char* Block = static_cast<char*>(Pointer) - HeaderSize;
    Live.fetch_sub(*reinterpret_cast<std::size_t*>(Block), std::memory_order_relaxed);
    std::free(Block);
}

} // namespace

std::size_t LiveHeapBytes() noexcept {
    return Live.load(std::memory_order_relaxed);
}

std::size_t PeakHeapBytes() noexcept {
    return Peak.load(std::memory_order_relaxed);
}

void ResetHeapPeak() noexcept {
    Peak.store(Live.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

} // namespace QueltBench

// The replaceable forms that the others (nothrow, sized) forward to in libstdc++. The aligned
// forms are left alone: they allocate and free on their own, and the library does not use them.
void* operator new(std::size_t Size) {
    return QueltBench::Allocate(Size);
}

void* operator new[](std::size_t Size) {
    return QueltBench::Allocate(Size);
}

void operator delete(void* Pointer) noexcept {
    QueltBench::Release(Pointer);
}

void operator delete[](void* Pointer) noexcept {
    QueltBench::Release(Pointer);
}

void operator delete(void* Pointer, std::size_t /*Size*/) noexcept {
    QueltBench::Release(Pointer);
}

void operator delete[](void* Pointer, std::size_t /*Size*/) noexcept {
    QueltBench::Release(Pointer);
}
