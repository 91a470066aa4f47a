// An open file descriptor, closed when it goes out of scope; negative for one that did not open.
#pragma once

#include <unistd.h>

namespace Recorder {

class FileDescriptor {
public:
    explicit FileDescriptor(int Fd) noexcept : FFd(Fd) {}
    ~FileDescriptor() {
        if (FFd >= 0) {
            ::close(FFd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&&) = delete;
    FileDescriptor& operator=(FileDescriptor&&) = delete;

    int Get() const noexcept { return FFd; }
    // The descriptor, no longer closed by this one.
    int Release() noexcept {
        const int Fd = FFd;
        FFd = -1;
        return Fd;
    }

private:
    int FFd;
};

} // namespace Recorder
