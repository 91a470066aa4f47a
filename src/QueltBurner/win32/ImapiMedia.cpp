#include "ImapiMedia.hpp"

#include <algorithm>
#include <array>

namespace Queltburner::Win32 {

namespace {

// IMAPI_MEDIA_PHYSICAL_TYPE, in the order of its values (0 is "unknown or empty").
constexpr std::array<const char16_t*, 20> MediumNames = {
    u"",
    u"CD-ROM",
    u"CD-R",
    u"CD-RW",
    u"DVD-ROM",
    u"DVD-RAM",
    u"DVD+R",
    u"DVD+RW",
    u"DVD+R DL",
    u"DVD-R",
    u"DVD-RW",
    u"DVD-R DL",
    u"randomly writable disc",
    u"DVD+RW DL",
    u"HD DVD-ROM",
    u"HD DVD-R",
    u"HD DVD-RAM",
    u"BD-ROM",
    u"BD-R",
    u"BD-RE",
};

constexpr std::int32_t CdRom = 0x1;
constexpr std::int32_t DvdRom = 0x4;
constexpr std::int32_t HdDvdRom = 0xE;
constexpr std::int32_t BdRom = 0x11;

// IMAPI_FORMAT2_DATA_MEDIA_STATE flags.
constexpr std::uint32_t OverwriteOnly = 0x1;
constexpr std::uint32_t Blank = 0x2;
constexpr std::uint32_t Appendable = 0x4;
constexpr std::uint32_t FinalSession = 0x8;
constexpr std::uint32_t Damaged = 0x400;
constexpr std::uint32_t EraseRequired = 0x800;
constexpr std::uint32_t Finalized = 0x4000;
constexpr std::uint32_t UnsupportedMedia = 0x8000;

} // namespace

System::UnicodeString ImapiMediumName(std::int32_t PhysicalType) {
    if (PhysicalType < 0 || static_cast<std::size_t>(PhysicalType) >= MediumNames.size()) {
        return {};
    }
    return MediumNames[static_cast<std::size_t>(PhysicalType)];
}

bool IsPressedMedium(std::int32_t PhysicalType) {
    return PhysicalType == CdRom || PhysicalType == DvdRom || PhysicalType == HdDvdRom ||
           PhysicalType == BdRom;
}

DiscState ImapiDiscState(std::uint32_t MediaStatus, bool HeuristicallyBlank) {
    // A damaged or foreign medium says nothing trustworthy about its sessions.
    if ((MediaStatus & (Damaged | UnsupportedMedia)) != 0) {
        return DiscState::NotADisc;
    }
    if ((MediaStatus & Finalized) != 0) {
        return DiscState::Closed;
    }
    if ((MediaStatus & Blank) != 0) {
        return DiscState::Blank;
    }
    // The last session a disc can take is still one to write.
    if ((MediaStatus & (Appendable | FinalSession)) != 0) {
        return DiscState::Appendable;
    }
    // DVD+RW, DVD-RAM and BD-RE are written over in place: they take data again whether or not
    // they hold some, and only the service's guess tells an unused one from a used one.
    if ((MediaStatus & OverwriteOnly) != 0) {
        return HeuristicallyBlank ? DiscState::Blank : DiscState::Appendable;
    }
    // Neither blank nor appendable: a closed disc, or a rewritable one that must be erased first.
    if ((MediaStatus & EraseRequired) != 0 || MediaStatus != 0) {
        return DiscState::Closed;
    }
    return DiscState::NotADisc;
}

DiscSpace ImapiDiscSpace(std::int32_t TotalSectors, std::int32_t FreeSectors) {
    const std::uint64_t Total = TotalSectors > 0 ? static_cast<std::uint64_t>(TotalSectors) : 0;
    const std::uint64_t Free =
        std::min(Total, FreeSectors > 0 ? static_cast<std::uint64_t>(FreeSectors) : 0);
    return {(Total - Free) * ImapiSectorBytes, Free * ImapiSectorBytes};
}

} // namespace Queltburner::Win32
