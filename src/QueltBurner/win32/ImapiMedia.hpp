// What the system's burning service (IMAPI2) reports of a disc, in the component's terms. Plain
// numbers in and out, without Windows headers, so that the mapping is checked on every platform.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <cstdint>

namespace Queltburner::Win32 {

// IMAPI2 counts space in sectors of this size on every medium it writes.
constexpr std::uint64_t ImapiSectorBytes = 2048;

// The medium's name for an IMAPI_MEDIA_PHYSICAL_TYPE value; empty for an unknown one.
System::UnicodeString ImapiMediumName(std::int32_t PhysicalType);

// True for a medium that was pressed, not written: nothing can ever be added to it.
bool IsPressedMedium(std::int32_t PhysicalType);

// The disc's state from IMAPI_FORMAT2_DATA_MEDIA_STATE flags (MediaStatus) of a medium the data
// writer supports, and its MediaHeuristicallyBlank answer.
DiscState ImapiDiscState(std::uint32_t MediaStatus, bool HeuristicallyBlank);

struct DiscSpace {
    std::uint64_t UsedBytes = 0;
    std::uint64_t FreeBytes = 0;
};

// Bytes used and free from TotalSectorsOnMedia and FreeSectorsOnMedia. A drive may answer a free
// count above the total or a negative one (a closed disc): neither becomes a wrapped-around size.
DiscSpace ImapiDiscSpace(std::int32_t TotalSectors, std::int32_t FreeSectors);

} // namespace Queltburner::Win32
