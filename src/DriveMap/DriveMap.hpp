// Which drive letters are optical drives on POSIX, where there are no drive letters: the
// QUELT_DRIVES variable maps letters to the device or image file a tool should write to.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Queltburner::Posix {

struct DriveMapping {
    char Letter = 'A'; // upper case
    std::string Target;
};

// Parses "L=TARGET;L=TARGET...": blanks around letter and target are ignored; an entry without
// '=', with anything but one ASCII letter before it, or with an empty target is skipped.
std::vector<DriveMapping> ParseDriveMap(std::string_view Text);

// The device or image file that the drive letter (either case) names: the first entry of the map
// for that letter, or without a map (DrivesVariable null) the existing /dev/srN for the letter D +
// N. No value for a letter that names no optical drive. The POSIX host and the recorder both map
// letters this way.
std::optional<std::string>
DriveTargetOf(char16_t Letter, const char* DrivesVariable,
              const std::function<bool(const std::string&)>& DeviceExists);

// The map a tool sees when this process has mapped letters of its own (Mapped, one entry per
// letter): those first, so that they count before anything else, then what DrivesVariable says,
// or without it one entry for each existing /dev/srN, so that mapping one letter hides no drive.
// No value when nothing is mapped: DrivesVariable, as it stands, is then the whole map.
std::optional<std::string>
CombinedDriveMap(const std::vector<DriveMapping>& Mapped, const char* DrivesVariable,
                 const std::function<bool(const std::string&)>& DeviceExists);

// The drive type of RootPath (letter, colon, backslash): 5 for a mapped letter, else 1. Without a
// map (DrivesVariable null), each existing /dev/srN is the letter D + N.
std::uint32_t DriveTypeOf(std::u16string_view RootPath, const char* DrivesVariable,
                          const std::function<bool(const std::string&)>& DeviceExists);

} // namespace Queltburner::Posix
