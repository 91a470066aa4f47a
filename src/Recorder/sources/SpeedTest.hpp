// The read test of --speedtest: before a disc is written, every source is read once and the speed
// it can be read at is said, with a warning when it is slower than the write asked for (a drive
// that runs short of data writes a coaster without underrun protection). It writes nothing and
// simulates nothing: the disc is written afterwards as without the switch.
#pragma once

#include "Progress.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Recorder {

// The medium's base speeds in kB/s (1,000 bytes a second): --speed N asks N times these.
constexpr double CdBaseSpeed = 176.4;
constexpr double DvdBaseSpeed = 1385.0;

struct ReadSpeed {
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
    double Seconds = 0;
    double KilobytesPerSecond() const;
};

// Reads every file of Sources once: folders walked, links inside them not followed, special files
// (FIFOs, devices, sockets) skipped, never opened. Says what was read and how fast on Report, and
// warns when that is slower than Speed times the medium's base speed. Throws RecorderFailure
// (source error) naming a file that cannot be read.
ReadSpeed ReadSpeedTest(const std::vector<std::string>& Sources, std::uint16_t Speed, bool Dvd,
                        Progress& Report);

// The warning for sources read at KilobytesPerSecond when the write asks for Speed (0: the drive's
// fastest, for which none is given); none when they are fast enough.
std::optional<std::string> SlowSourceWarning(double KilobytesPerSecond, std::uint16_t Speed,
                                             bool Dvd);

} // namespace Recorder
