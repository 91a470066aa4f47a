#include "SystemReasons.hpp"

#include <pthread.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

namespace Recorder {

namespace {

// A new thread or process fails with EAGAIN both at the process limit and when its stack cannot
// be mapped: a stack-sized mapping tells the two apart.
bool StackCanBeMapped() {
    pthread_attr_t Attributes;
    std::size_t StackBytes = std::size_t{8} << 20U;
    if (pthread_attr_init(&Attributes) == 0) {
        (void)pthread_attr_getstacksize(&Attributes, &StackBytes);
        (void)pthread_attr_destroy(&Attributes);
    }
    void* Stack = ::mmap(nullptr, StackBytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (Stack == MAP_FAILED) {
        return false;
    }
    ::munmap(Stack, StackBytes);
    return true;
}

} // namespace

std::string ReasonOf(int Error) {
    switch (Error) {
    case ENOMEM:
        return "out of memory";
    case EMFILE:
    case ENFILE:
        return "too many open files";
    case EAGAIN:
        return StackCanBeMapped() ? "too many processes or threads" : "out of memory";
    default:
        return std::strerror(Error);
    }
}

std::string ReasonOf(const std::exception& Failure) {
    if (dynamic_cast<const std::bad_alloc*>(&Failure) != nullptr) {
        return "out of memory";
    }
    if (const auto* System = dynamic_cast<const std::system_error*>(&Failure);
        System != nullptr && System->code().category() == std::generic_category()) {
        return ReasonOf(System->code().value());
    }
    return Failure.what();
}

} // namespace Recorder
