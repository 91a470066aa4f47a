// The recorder programs' operator new and delete, in front of the allocator's
// (src/Recorder/CMakeLists.txt). mimalloc's own operator new, built as C, ends the program when
// memory runs out; C++ throws std::bad_alloc there, which the recorder reports as its "out of
// memory" failure (exit 7), its scratch files removed. These take memory from malloc (mimalloc's)
// and fail as the standard says: the new-handler first, if one is set, then std::bad_alloc.
#include <cstdlib>
#include <limits>
#include <new>

namespace {

// Runs the new-handler between tries; throws when there is none.
template <typename Try>
void* AllocateOrThrow(Try&& Attempt) {
    for (;;) {
        if (void* Got = Attempt()) {
            return Got;
        }
        const std::new_handler Handler = std::get_new_handler();
        if (Handler == nullptr) {
            throw std::bad_alloc();
        }
        Handler();
    }
}

void* Allocate(std::size_t Size) {
    return AllocateOrThrow([Size] { return std::malloc(Size == 0 ? 1 : Size); });
}

void* AllocateAligned(std::size_t Size, std::align_val_t Alignment) {
    const auto Align = static_cast<std::size_t>(Alignment);
    if (Size > std::numeric_limits<std::size_t>::max() - Align) {
        throw std::bad_alloc();
    }
    // aligned_alloc takes whole multiples of the alignment.
    const std::size_t Rounded = (Size == 0 ? 1 : Size + Align - 1) / Align * Align;
    return AllocateOrThrow([Align, Rounded] { return std::aligned_alloc(Align, Rounded); });
}

} // namespace

// NOLINTBEGIN(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
void* operator new(std::size_t Size) {
    return Allocate(Size);
}
void* operator new[](std::size_t Size) {
    return Allocate(Size);
}
void* operator new(std::size_t Size, std::align_val_t Alignment) {
    return AllocateAligned(Size, Alignment);
}
void* operator new[](std::size_t Size, std::align_val_t Alignment) {
    return AllocateAligned(Size, Alignment);
}
void operator delete(void* Block) noexcept {
    std::free(Block);
}
void operator delete[](void* Block) noexcept {
    std::free(Block);
}
void operator delete(void* Block, std::size_t /*Size*/) noexcept {
    std::free(Block);
}
void operator delete[](void* Block, std::size_t /*Size*/) noexcept {
    std::free(Block);
}
void operator delete(void* Block, std::align_val_t /*Alignment*/) noexcept {
    std::free(Block);
}
void operator delete[](void* Block, std::align_val_t /*Alignment*/) noexcept {
    std::free(Block);
}
void operator delete(void* Block, std::size_t /*Size*/, std::align_val_t /*Alignment*/) noexcept {
    std::free(Block);
}
void operator delete[](void* Block, std::size_t /*Size*/, std::align_val_t /*Alignment*/) noexcept {
    std::free(Block);
}
// NOLINTEND(cppcoreguidelines-no-malloc,cppcoreguidelines-owning-memory)
