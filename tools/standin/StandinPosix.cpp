// The stand-in's host services on POSIX systems.
#include "StandinHost.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace standin::host {

std::vector<std::string> Arguments(int argc, char** argv) {
    // A starter may pass an empty argv (argc 0); the range is then empty and argv[0] is null.
    return {argv, argv + argc};
}

std::optional<std::string> RawCommandLine() {
    return std::nullopt;
}

std::optional<unsigned> ShowState() {
    return std::nullopt;
}

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::uint64_t ProcessId() {
    return static_cast<std::uint64_t>(::getpid());
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000U);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000U) * 1000000L;
    // A signal cuts nanosleep short; carry on with what is left so the delay is never shorter.
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

std::optional<std::string> AppendToFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return std::string(std::strerror(errno));
    }
    // One write() only: O_APPEND makes positioning and writing a single step, and splitting the
    // line into several writes would let another run's line land in the middle of it.
    ssize_t written = 0;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    const int closeError = errno;
    if (written < 0) {
        return std::string(std::strerror(writeError));
    }
    if (static_cast<std::size_t>(written) != bytes.size()) {
        return std::string("only part of the line could be written");
    }
    if (!closed) {
        return std::string(std::strerror(closeError));
    }
    return std::nullopt;
}

} // namespace standin::host
