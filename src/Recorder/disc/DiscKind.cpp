#include "DiscKind.hpp"

#include "DiscGeometry.hpp"
#include "FileDescriptor.hpp"
#include "RawDisc.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace Recorder {

namespace {

// The volume descriptors start at block 16: the primary one (type 1, "CD001"), maybe others, and
// the set's terminator (type 255). A UDF volume has its recognition sequence there ("BEA01",
// "NSR02" or "NSR03", "TEA01"), after the ISO 9660 descriptors when both are present.
constexpr off_t FirstDescriptor = 16;
constexpr off_t LastDescriptor = 64;
constexpr std::size_t DescriptorHead = 88;
// Where the primary descriptor keeps the volume's size in blocks (little-endian half first).
constexpr std::size_t VolumeSpaceAt = 80;

using Head = std::array<unsigned char, DescriptorHead>;

Head DescriptorAt(int Fd, off_t Block) {
    Head Bytes{};
    if (::pread(Fd, Bytes.data(), Bytes.size(), Block * static_cast<off_t>(DataBlockBytes)) !=
        static_cast<ssize_t>(Bytes.size())) {
        Bytes.fill(0);
    }
    return Bytes;
}

bool Names(const Head& Bytes, std::string_view Identifier) {
    return std::string_view(reinterpret_cast<const char*>(Bytes.data()) + 1, Identifier.size()) ==
           Identifier;
}

bool HasUdf(int Fd, off_t From) {
    for (off_t Block = From; Block < LastDescriptor; ++Block) {
        const Head Bytes = DescriptorAt(Fd, Block);
        if (Names(Bytes, "NSR02") || Names(Bytes, "NSR03")) {
            return true;
        }
        if (!Names(Bytes, "CD001") && !Names(Bytes, "BEA01") && !Names(Bytes, "TEA01")) {
            return false;
        }
    }
    return false;
}

std::uint64_t VolumeBlocks(const Head& Primary) {
    std::uint64_t Blocks = 0;
    for (std::size_t I = 0; I < 4; ++I) {
        Blocks |= std::uint64_t{Primary[VolumeSpaceAt + I]} << (8 * I);
    }
    return Blocks;
}

} // namespace

VirtualDiscKind KindOfImage(int Fd) {
    struct stat Info {};
    if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode) || Info.st_size == 0) {
        return VirtualDiscKind::NotADisc;
    }
    const Head Primary = DescriptorAt(Fd, FirstDescriptor);
    if (Primary[0] == 1 && Names(Primary, "CD001")) {
        // A file shorter than the volume it describes was cut off: no reader gets its files.
        if (VolumeBlocks(Primary) * DataBlockBytes > static_cast<std::uint64_t>(Info.st_size)) {
            return VirtualDiscKind::NotADisc;
        }
        return HasUdf(Fd, FirstDescriptor + 1) ? VirtualDiscKind::Closed
                                               : VirtualDiscKind::Appendable;
    }
    if (Names(Primary, "BEA01") && HasUdf(Fd, FirstDescriptor + 1)) {
        return VirtualDiscKind::Closed;
    }
    return VirtualDiscKind::NotADisc;
}

VirtualDiscKind KindOfVirtualDisc(const std::string& Path) {
    struct stat Link {};
    if (::lstat(Path.c_str(), &Link) != 0) {
        return VirtualDiscKind::Blank; // a missing file is a blank disc
    }
    if (!S_ISREG(Link.st_mode)) {
        return VirtualDiscKind::NotADisc;
    }
    const FileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat Info {};
    if (File.Get() < 0 || ::fstat(File.Get(), &Info) != 0 || !S_ISREG(Info.st_mode)) {
        return VirtualDiscKind::NotADisc;
    }
    if (Info.st_size == 0) {
        return VirtualDiscKind::Blank;
    }
    const VirtualDiscKind Image = KindOfImage(File.Get());
    if (Image != VirtualDiscKind::NotADisc) {
        return Image;
    }
    return HoldsRawSession(Path) ? VirtualDiscKind::RawSectors : VirtualDiscKind::NotADisc;
}

const char* DescribeKind(VirtualDiscKind Kind) {
    switch (Kind) {
    case VirtualDiscKind::Blank:
        return "blank";
    case VirtualDiscKind::Appendable:
        return "a data disc";
    case VirtualDiscKind::Closed:
        return "a closed disc (DVD-Video)";
    case VirtualDiscKind::RawSectors:
        return "a CD of raw sectors (audio, Video CD or CD image)";
    case VirtualDiscKind::NotADisc:
        break;
    }
    return "no disc";
}

} // namespace Recorder
