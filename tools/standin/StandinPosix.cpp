// The stand-in's host services on POSIX systems.
#include "StandinHost.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace Standin::Host {

std::vector<std::string> Arguments(int Argc, char** Argv) {
    // A starter may pass an empty argv (argc 0); the range is then empty and argv[0] is null.
    return {Argv, Argv + Argc};
}

std::optional<std::string> RawCommandLine() {
    return std::nullopt;
}

std::optional<unsigned> ShowState() {
    return std::nullopt;
}

std::optional<std::string> EnvironmentValue(const char* Name) {
    const char* Value = std::getenv(Name);
    if (Value == nullptr) {
        return std::nullopt;
    }
    return std::string(Value);
}

std::uint64_t ProcessId() {
    return static_cast<std::uint64_t>(::getpid());
}

void SleepMilliseconds(std::uint32_t Milliseconds) {
    timespec Remaining{};
    Remaining.tv_sec = static_cast<time_t>(Milliseconds / 1000U);
    Remaining.tv_nsec = static_cast<long>(Milliseconds % 1000U) * 1000000L;
    // A signal cuts nanosleep short; carry on with what is left so the delay is never shorter.
    while (::nanosleep(&Remaining, &Remaining) != 0 && errno == EINTR) {
    }
}

std::optional<std::string> AppendToFile(const std::string& Path, std::string_view Bytes) {
    const int Fd = ::open(Path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (Fd < 0) {
        return std::string(std::strerror(errno));
    }
    // One write() only: O_APPEND makes positioning and writing a single step, and splitting the
    // line into several writes would let another run's line land in the middle of it.
    ssize_t Written = 0;
    do {
        Written = ::write(Fd, Bytes.data(), Bytes.size());
    } while (Written < 0 && errno == EINTR);
    const int WriteError = errno;
    const bool Closed = ::close(Fd) == 0;
    const int CloseError = errno;
    if (Written < 0) {
        return std::string(std::strerror(WriteError));
    }
    if (static_cast<std::size_t>(Written) != Bytes.size()) {
        return std::string("only part of the line could be written");
    }
    if (!Closed) {
        return std::string(std::strerror(CloseError));
    }
    return std::nullopt;
}

} // namespace Standin::Host
