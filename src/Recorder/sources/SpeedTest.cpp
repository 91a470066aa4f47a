#include "SpeedTest.hpp"

#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace Recorder {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t BlockBytes = std::size_t{1} << 20;

[[noreturn]] void Unreadable(const std::string& Path, const std::string& Reason) {
    throw RecorderFailure(ExitCode::Source, "entry " + Path + ": cannot be read: " + Reason);
}

std::string Decimal(double Value) {
    char Text[64];
    (void)std::snprintf(Text, sizeof Text, "%.1f", Value);
    return Text;
}

// Reads the regular file at Path to its end; returns its bytes.
std::uint64_t ReadWhole(const std::string& Path, std::vector<char>& Block) {
    const FileDescriptor File(::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (File.Get() < 0) {
        Unreadable(Path, std::strerror(errno));
    }
    std::uint64_t Bytes = 0;
    for (;;) {
        const ssize_t Got = ::read(File.Get(), Block.data(), Block.size());
        if (Got == 0) {
            return Bytes;
        }
        if (Got < 0 && errno != EINTR) {
            Unreadable(Path, std::strerror(errno));
        }
        Bytes += Got > 0 ? static_cast<std::uint64_t>(Got) : 0U;
    }
}

// Reads Path if it is a regular file, or every regular file below it if it is a folder. Status is
// the path's own (links followed for an entry, not inside a folder).
void ReadSource(const fs::path& Path, const fs::file_status& Status, ReadSpeed& Measured,
                std::vector<char>& Block) {
    if (fs::is_regular_file(Status)) {
        Measured.Bytes += ReadWhole(Path.string(), Block);
        ++Measured.Files;
        return;
    }
    if (!fs::is_directory(Status)) {
        return; // a special file is recorded as what it is, never read
    }
    std::error_code Error;
    for (fs::recursive_directory_iterator It(Path, Error), End; !Error && It != End;
         It.increment(Error)) {
        const fs::file_status Own = It->symlink_status(Error);
        if (!Error && fs::is_regular_file(Own)) {
            Measured.Bytes += ReadWhole(It->path().string(), Block);
            ++Measured.Files;
        }
    }
    if (Error) {
        Unreadable(Path.string(), Error.message());
    }
}

} // namespace

double ReadSpeed::KilobytesPerSecond() const {
    // A read too fast for the clock is as fast as can be told apart from nothing.
    return static_cast<double>(Bytes) / 1000.0 / std::max(Seconds, 1e-6);
}

std::optional<std::string> SlowSourceWarning(double KilobytesPerSecond, std::uint16_t Speed,
                                             bool Dvd) {
    const double Asked = Speed * (Dvd ? DvdBaseSpeed : CdBaseSpeed);
    if (Speed == 0 || KilobytesPerSecond >= Asked) {
        return std::nullopt;
    }
    return "warning: the sources are read at " + Decimal(KilobytesPerSecond) +
           " kB/s, slower than the write speed asked (" + std::to_string(Speed) + "x, " +
           Decimal(Asked) +
           " kB/s): the drive may run short of data; choose a lower Speed "
           "(--speed) or copy the sources to a faster disk first";
}

ReadSpeed ReadSpeedTest(const std::vector<std::string>& Sources, std::uint16_t Speed, bool Dvd,
                        Progress& Report) {
    std::vector<char> Block(BlockBytes);
    ReadSpeed Measured;
    const auto Start = std::chrono::steady_clock::now();
    for (const std::string& Source : Sources) {
        std::error_code Error;
        const fs::file_status Status = fs::status(Source, Error);
        if (Error) {
            Unreadable(Source, Error.message());
        }
        ReadSource(Source, Status, Measured, Block);
    }
    Measured.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (Measured.Bytes == 0) {
        // Nothing to read is nothing that could be read too slowly.
        Report.Say("read test: the sources hold no data to read");
        return Measured;
    }
    Report.Say("read test: " + std::to_string(Measured.Files) +
               (Measured.Files == 1 ? " file, " : " files, ") + std::to_string(Measured.Bytes) +
               " bytes read in " + Decimal(Measured.Seconds) + " s, " +
               Decimal(Measured.KilobytesPerSecond()) + " kB/s");
    if (const auto Warning = SlowSourceWarning(Measured.KilobytesPerSecond(), Speed, Dvd)) {
        Report.Say(*Warning);
    }
    return Measured;
}

} // namespace Recorder
