// Progress for work the libraries do not report on, such as reading a disc back to check it: the
// bytes this process has read since the meter was made, against the bytes the work will read.
#pragma once

#include "Progress.hpp"

#include <cstdint>

namespace Recorder {

class ReadMeter {
public:
    ReadMeter(Progress& Report, std::uint64_t ExpectedBytes);
    // Reports the share read so far (never more than the progress allows before the end).
    void Tick();
    // The bytes this process has read so far through read calls of every kind, as the kernel
    // counts them; zero where it does not say.
    static std::uint64_t BytesRead();

private:
    Progress& FReport;
    std::uint64_t FStart;
    std::uint64_t FExpected;
};

} // namespace Recorder
