#include "DiscKind.hpp"

#include "CueSheet.hpp"
#include "FileDescriptor.hpp"
#include "RecorderFailure.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string_view>

namespace Recorder {

namespace {

constexpr off_t BlockBytes = 2048;
// The volume descriptors start at block 16: the primary one (type 1, "CD001"), maybe others, and
// the set's terminator (type 255). A UDF bridge follows them with its recognition sequence
// ("BEA01", "NSR02" or "NSR03", "TEA01").
constexpr off_t FirstDescriptor = 16;
constexpr off_t LastDescriptor = 64;

std::array<char, 6> DescriptorAt(int Fd, off_t Block) {
    std::array<char, 6> Head{};
    if (::pread(Fd, Head.data(), Head.size(), Block * BlockBytes) !=
        static_cast<ssize_t>(Head.size())) {
        Head.fill(0);
    }
    return Head;
}

bool Names(const std::array<char, 6>& Head, std::string_view Identifier) {
    return std::string_view(Head.data() + 1, Identifier.size()) == Identifier;
}

bool HasUdfBridge(int Fd) {
    for (off_t Block = FirstDescriptor + 1; Block < LastDescriptor; ++Block) {
        const std::array<char, 6> Head = DescriptorAt(Fd, Block);
        if (Names(Head, "NSR02") || Names(Head, "NSR03")) {
            return true;
        }
        if (!Names(Head, "CD001") && !Names(Head, "BEA01") && !Names(Head, "TEA01")) {
            return false;
        }
    }
    return false;
}

bool HasCueSheetBeside(const std::string& Path) {
    try {
        struct stat Info {};
        return ::stat(CueSheetPathOf(Path).c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
    } catch (const RecorderFailure&) {
        return false; // a file named *.cue has no sheet beside it
    }
}

bool StartsWithSectorSync(int Fd) {
    constexpr std::array<unsigned char, 12> Sync{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::array<unsigned char, 12> Head{};
    return ::pread(Fd, Head.data(), Head.size(), 0) == static_cast<ssize_t>(Head.size()) &&
           Head == Sync;
}

} // namespace

VirtualDiscKind KindOfVirtualDisc(const std::string& Path) {
    const FileDescriptor File(::open(Path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat Info {};
    if (File.Get() < 0 || ::fstat(File.Get(), &Info) != 0 || Info.st_size == 0) {
        return VirtualDiscKind::Blank;
    }
    const std::array<char, 6> Primary = DescriptorAt(File.Get(), FirstDescriptor);
    if (Primary[0] == 1 && Names(Primary, "CD001")) {
        return HasUdfBridge(File.Get()) ? VirtualDiscKind::Closed : VirtualDiscKind::Appendable;
    }
    if (HasCueSheetBeside(Path) || StartsWithSectorSync(File.Get())) {
        return VirtualDiscKind::RawSectors;
    }
    return VirtualDiscKind::Blank;
}

} // namespace Recorder
