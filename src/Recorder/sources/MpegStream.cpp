#include "MpegStream.hpp"

#include "MediaFile.hpp"
#include "RecorderFailure.hpp"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace Recorder {

MpegKind MpegKindOf(std::span<const unsigned char> Head) {
    constexpr std::array<unsigned char, 4> PackStart{0x00, 0x00, 0x01, 0xBA};
    if (Head.size() < PackStart.size() + 1 ||
        std::memcmp(Head.data(), PackStart.data(), PackStart.size()) != 0) {
        return MpegKind::Other;
    }
    const unsigned char Next = Head[PackStart.size()];
    if ((Next & 0xF0U) == 0x20U) {
        return MpegKind::Mpeg1System;
    }
    if ((Next & 0xC0U) == 0x40U) {
        return MpegKind::Mpeg2Program;
    }
    return MpegKind::Other;
}

MpegKind MpegKindOfFile(const std::string& Path) {
    const FileDescriptor File = OpenMediaFile(Path, "entry");
    std::array<unsigned char, 5> Head{};
    const ssize_t Got = ::pread(File.Get(), Head.data(), Head.size(), 0);
    if (Got < 0) {
        throw RecorderFailure(ExitCode::Source, "entry " + Path + ": " + std::strerror(errno));
    }
    return MpegKindOf(std::span<const unsigned char>(Head.data(), static_cast<std::size_t>(Got)));
}

const char* Describe(MpegKind Kind) {
    switch (Kind) {
    case MpegKind::Mpeg1System:
        return "an MPEG-1 system stream";
    case MpegKind::Mpeg2Program:
        return "an MPEG-2 program stream";
    case MpegKind::Other:
        break;
    }
    return "not an MPEG stream";
}

} // namespace Recorder
