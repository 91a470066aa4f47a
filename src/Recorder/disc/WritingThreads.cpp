#include "WritingThreads.hpp"

#include "RecorderFailure.hpp"
#include "SystemReasons.hpp"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <array>

namespace Recorder {

namespace {

// libburn's writer and its buffer's reader, and libisofs's image writer.
constexpr std::size_t ThreadsOfAWrite = 3;

// The threads wait for one another: held all at once, as a write holds them, they count against
// the process limit together.
struct Gate {
    pthread_mutex_t Mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t Opened = PTHREAD_COND_INITIALIZER;
    bool Open = false;
};

extern "C" void* WaitAtGate(void* Argument) {
    auto* Shared = static_cast<Gate*>(Argument);
    pthread_mutex_lock(&Shared->Mutex);
    while (!Shared->Open) {
        pthread_cond_wait(&Shared->Opened, &Shared->Mutex);
    }
    pthread_mutex_unlock(&Shared->Mutex);
    return nullptr;
}

} // namespace

void RequireWritingThreads(const std::string& Subject) {
    std::array<pthread_t, ThreadsOfAWrite> Threads{};
    Gate Shared;
    std::size_t Started = 0;
    int Error = 0;
    for (; Started < Threads.size(); ++Started) {
        Error = pthread_create(&Threads[Started], nullptr, &WaitAtGate, &Shared);
        if (Error != 0) {
            break;
        }
    }
    pthread_mutex_lock(&Shared.Mutex);
    Shared.Open = true;
    pthread_cond_broadcast(&Shared.Opened);
    pthread_mutex_unlock(&Shared.Mutex);
    for (std::size_t Index = 0; Index < Started; ++Index) {
        (void)pthread_join(Threads[Index], nullptr);
    }
    if (Error != 0) {
        throw RecorderFailure(ExitCode::Write, Subject +
                                                   ": cannot start the threads a write needs: " +
                                                   ReasonOf(Error) + "; nothing was written");
    }
}

unsigned ProcessorsOfThisProcess() {
    cpu_set_t Set;
    CPU_ZERO(&Set);
    if (::sched_getaffinity(0, sizeof(Set), &Set) != 0) {
        return 1;
    }
    return std::max(1U, static_cast<unsigned>(CPU_COUNT(&Set)));
}

} // namespace Recorder
