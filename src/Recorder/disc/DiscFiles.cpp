#include "DiscFiles.hpp"

#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace Recorder {

std::uint64_t CopyAll(const Target& Where, int From, int To, const std::string& Source,
                      const std::function<void(std::uint64_t Bytes)>& Copied) {
    std::vector<char> Buffer(std::size_t{1} << 20U);
    std::uint64_t Total = 0;
    for (;;) {
        const ssize_t Got = ::read(From, Buffer.data(), Buffer.size());
        if (Got < 0) {
            throw RecorderFailure(ExitCode::Source, Source + ": " + std::strerror(errno));
        }
        if (Got == 0) {
            return Total;
        }
        for (ssize_t Put = 0; Put < Got;) {
            const ssize_t Written =
                ::write(To, Buffer.data() + Put, static_cast<std::size_t>(Got - Put));
            if (Written < 0) {
                throw RecorderFailure(ExitCode::Write,
                                      Where.Describe() + ": " + std::strerror(errno));
            }
            Put += Written;
        }
        Total += static_cast<std::uint64_t>(Got);
        Copied(static_cast<std::uint64_t>(Got));
    }
}

void WriteDurably(const Target& Where, const std::string& Path, const std::string& Text) {
    const FileDescriptor File(
        ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (File.Get() < 0) {
        WriteFailed(Where, "cannot write " + Path);
    }
    for (std::size_t Put = 0; Put < Text.size();) {
        const ssize_t Written = ::write(File.Get(), Text.data() + Put, Text.size() - Put);
        if (Written < 0) {
            WriteFailed(Where, "cannot write " + Path);
        }
        Put += static_cast<std::size_t>(Written);
    }
    if (::fsync(File.Get()) != 0) {
        WriteFailed(Where, "cannot write " + Path);
    }
}

void SyncFile(const Target& Where, Progress& Report, const std::string& Path) {
    // The data is written: what is left until it is on the disk is the closing.
    Report.Enter("closing");
    const FileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
    if (File.Get() < 0 || ::fsync(File.Get()) != 0) {
        WriteFailed(Where, "cannot write " + Path);
    }
}

} // namespace Recorder
