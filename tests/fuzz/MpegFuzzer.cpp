// Any bytes as the start of a stream: the kind comes from the first five bytes alone, and a head
// shorter than a pack header's start is no MPEG stream.
#include "FuzzInput.hpp"
#include "MpegStream.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::span<const unsigned char> Head(Data, Size);
    const Recorder::MpegKind Kind = Recorder::MpegKindOf(Head);
    if (Size < 5) {
        QueltFuzz::Check(Kind == Recorder::MpegKind::Other, "a short head is no stream");
        return 0;
    }
    QueltFuzz::Check(Recorder::MpegKindOf(Head.first(5)) == Kind,
                     "the kind depends on the first five bytes only");
    QueltFuzz::Check(Kind == Recorder::MpegKind::Other ||
                         (Data[0] == 0 && Data[1] == 0 && Data[2] == 1 && Data[3] == 0xBA),
                     "only a pack header starts a stream");
    return 0;
}
