#include "FailingAllocator.hpp"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

thread_local long Countdown = -1;
thread_local long Made = 0;

void* Allocate(std::size_t Size, std::size_t Alignment) {
    ++Made;
    if (Countdown == 0) {
        Countdown = -1;
        throw std::bad_alloc();
    }
    if (Countdown > 0) {
        --Countdown;
    }
    const std::size_t Wanted = Size == 0 ? 1 : Size;
    void* Block =
        Alignment <= alignof(std::max_align_t)
            ? std::malloc(Wanted)
            : std::aligned_alloc(Alignment, (Wanted + Alignment - 1) / Alignment * Alignment);
    if (Block == nullptr) {
        throw std::bad_alloc();
    }
    return Block;
}

void* AllocateOrNull(std::size_t Size, std::size_t Alignment) noexcept {
    try {
        return Allocate(Size, Alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

namespace QueltTest {

void FailAllocationAfter(long Count) noexcept {
    Countdown = Count;
}

long AllocationsMade() noexcept {
    return Made;
}

} // namespace QueltTest

// NOLINTBEGIN(cppcoreguidelines-no-malloc,misc-new-delete-overloads)
void* operator new(std::size_t Size) {
    return Allocate(Size, alignof(std::max_align_t));
}
void* operator new[](std::size_t Size) {
    return Allocate(Size, alignof(std::max_align_t));
}
void* operator new(std::size_t Size, std::align_val_t Alignment) {
    return Allocate(Size, static_cast<std::size_t>(Alignment));
}
void* operator new[](std::size_t Size, std::align_val_t Alignment) {
    return Allocate(Size, static_cast<std::size_t>(Alignment));
}
void* operator new(std::size_t Size, const std::nothrow_t& /*unused*/) noexcept {
    return AllocateOrNull(Size, alignof(std::max_align_t));
}
void* operator new[](std::size_t Size, const std::nothrow_t& /*unused*/) noexcept {
    return AllocateOrNull(Size, alignof(std::max_align_t));
}
void operator delete(void* Block) noexcept {
    std::free(Block);
}
void operator delete[](void* Block) noexcept {
    std::free(Block);
}
void operator delete(void* Block, std::size_t /*unused*/) noexcept {
    std::free(Block);
}
void operator delete[](void* Block, std::size_t /*unused*/) noexcept {
    std::free(Block);
}
void operator delete(void* Block, std::align_val_t /*unused*/) noexcept {
    std::free(Block);
}
void operator delete[](void* Block, std::align_val_t /*unused*/) noexcept {
    std::free(Block);
}
void operator delete(void* Block, std::size_t /*unused*/, std::align_val_t /*unused*/) noexcept {
    std::free(Block);
}
void operator delete[](void* Block, std::size_t /*unused*/, std::align_val_t /*unused*/) noexcept {
    std::free(Block);
}
// NOLINTEND(cppcoreguidelines-no-malloc,misc-new-delete-overloads)
