#include "ToolWatch.hpp"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace Queltburner::Posix {

namespace {

// What one wait takes from a pipe that keeps filling: the rest waits for the next.
constexpr std::size_t ReadPerWait = std::size_t{1} << 20U;

[[noreturn]] void ThrowSystemError(const char* What) {
    throw std::system_error(errno, std::generic_category(), What);
}

void CloseIfOpen(int& Descriptor) noexcept {
    if (Descriptor >= 0) {
        (void)close(Descriptor);
        Descriptor = -1;
    }
}

// Empties an eventfd; true when it had been added to.
bool Consume(int EventFd) noexcept {
    std::uint64_t Count = 0;
    return read(EventFd, &Count, sizeof Count) == static_cast<ssize_t>(sizeof Count);
}

int PollTimeout(const WaitDeadline& Deadline) {
    if (!Deadline) {
        return -1;
    }
    const auto Left = *Deadline - std::chrono::steady_clock::now();
    if (Left <= std::chrono::steady_clock::duration::zero()) {
        return 0;
    }
    // Rounded up, so that a wait never returns before its deadline.
    const auto Milliseconds = std::chrono::ceil<std::chrono::milliseconds>(Left).count();
    return Milliseconds > 1'000'000 ? 1'000'000 : static_cast<int>(Milliseconds);
}

} // namespace

ToolWatch::ToolWatch(std::shared_ptr<ToolRun> Run) : FRun(std::move(Run)) {
    FEndNotice = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FEndNotice < 0 || FWake < 0) {
        const int Error = errno;
        CloseIfOpen(FEndNotice);
        CloseIfOpen(FWake);
        errno = Error;
        ThrowSystemError("eventfd");
    }
    int Output[2] = {-1, -1};
    int Error[2] = {-1, -1};
    if (pipe2(Output, O_CLOEXEC) != 0 || pipe2(Error, O_CLOEXEC) != 0) {
        const int Failure = errno;
        for (int Descriptor : {Output[0], Output[1], Error[0], Error[1], FEndNotice, FWake}) {
            CloseIfOpen(Descriptor);
        }
        errno = Failure;
        ThrowSystemError("pipe2");
    }
    FOutputRead = Output[0];
    FOutputWrite = Output[1];
    FErrorRead = Error[0];
    FErrorWrite = Error[1];
    (void)fcntl(FOutputRead, F_SETFL, O_NONBLOCK);
    (void)fcntl(FErrorRead, F_SETFL, O_NONBLOCK);
}

ToolWatch::~ToolWatch() {
    (void)FRun->Wait();
    for (int* Descriptor :
         {&FOutputRead, &FOutputWrite, &FErrorRead, &FErrorWrite, &FEndNotice, &FWake}) {
        CloseIfOpen(*Descriptor);
    }
}

void ToolWatch::PrepareStart() noexcept {
    FRun->Watch(FOutputWrite, FErrorWrite, FEndNotice);
}

void ToolWatch::Started() noexcept {
    CloseIfOpen(FOutputWrite);
    CloseIfOpen(FErrorWrite);
}

void ToolWatch::ReadAvailable(int& Pipe, std::string& Into, std::size_t Limit) {
    char Buffer[65536];
    for (std::size_t Taken = 0; Pipe >= 0 && Taken < Limit;) {
        const ssize_t Got = read(Pipe, Buffer, sizeof Buffer);
        if (Got > 0) {
            Into.append(Buffer, static_cast<std::size_t>(Got));
            Taken += static_cast<std::size_t>(Got);
        } else if (Got == 0) {
            CloseIfOpen(Pipe); // every writer has closed it
        } else if (errno != EINTR) {
            if (errno != EAGAIN) {
                CloseIfOpen(Pipe);
            }
            return;
        }
    }
}

WaitEvent ToolWatch::Wait(WaitDeadline Deadline, CapturedOutput& Output) {
    // Where no end notice comes (the plain way), the tool is looked at every 10 ms.
    constexpr int LookEvery = 10;
    const bool Told = FRun->NoticesEnd();
    for (;;) {
        pollfd Watched[4] = {{FEndNotice, POLLIN, 0},
                             {FWake, POLLIN, 0},
                             {FOutputRead, POLLIN, 0},
                             {FErrorRead, POLLIN, 0}};
        const int Timeout = PollTimeout(Deadline);
        const bool Looks = !Told && (Timeout < 0 || Timeout > LookEvery);
        // A closed pipe (-1) is left out by poll.
        const int Ready = poll(Watched, 4, Looks ? LookEvery : Timeout);
        if (Ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return WaitEvent::Failed;
        }
        const bool Ended = (Watched[0].revents & POLLIN) != 0 || (!Told && FRun->ToolEnded());
        if (Ready == 0 && !Ended) {
            if (Looks) {
                continue;
            }
            return WaitEvent::Deadline;
        }
        if (Ended) {
            // What the tool left in its pipes comes with its end; a process it started that still
            // holds them does not keep the run waiting.
            ReadAvailable(FOutputRead, Output.Output, ReadPerWait);
            ReadAvailable(FErrorRead, Output.Error, ReadPerWait);
            return WaitEvent::Ended;
        }
        if ((Watched[1].revents & POLLIN) != 0 && Consume(FWake)) {
            return WaitEvent::Interrupted;
        }
        const bool OutputReady = Watched[2].revents != 0;
        const bool ErrorReady = Watched[3].revents != 0;
        if (OutputReady) {
            ReadAvailable(FOutputRead, Output.Output, ReadPerWait);
        }
        if (ErrorReady) {
            ReadAvailable(FErrorRead, Output.Error, ReadPerWait);
        }
        if (!Output.Output.empty() || !Output.Error.empty()) {
            return WaitEvent::Output;
        }
        // Both pipes closed without data: wait on for the end.
    }
}

void ToolWatch::Interrupt() const noexcept {
    const std::uint64_t One = 1;
    (void)!write(FWake, &One, sizeof One);
}

} // namespace Queltburner::Posix
