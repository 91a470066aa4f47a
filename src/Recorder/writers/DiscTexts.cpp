#include "DiscTexts.hpp"

#include <algorithm>

namespace Recorder {

namespace {

bool IsContinuation(char Byte) {
    return (static_cast<unsigned char>(Byte) & 0xC0U) == 0x80U;
}

std::optional<std::string> FitIdentifier(const WriteContext& Context, std::string_view Name,
                                         const std::optional<std::string>& Text,
                                         std::string_view Field) {
    if (!Text) {
        return std::nullopt;
    }
    return FitText(Context, Name, *Text, IsoIdentifierBytes, Field);
}

} // namespace

std::string_view CutUtf8Bytes(std::string_view Text, std::size_t Bytes) {
    if (Text.size() <= Bytes) {
        return Text;
    }
    std::size_t Cut = Bytes;
    while (Cut > 0 && IsContinuation(Text[Cut])) {
        --Cut;
    }
    return Text.substr(0, Cut);
}

std::string_view CutUtf8Characters(std::string_view Text, std::size_t Characters) {
    std::size_t Seen = 0;
    for (std::size_t At = 0; At < Text.size(); ++At) {
        if (!IsContinuation(Text[At]) && Seen++ == Characters) {
            return Text.substr(0, At);
        }
    }
    return Text;
}

std::size_t Utf8Characters(std::string_view Text) {
    std::size_t Count = 0;
    for (const char Byte : Text) {
        Count += IsContinuation(Byte) ? 0U : 1U;
    }
    return Count;
}

std::string FitText(const WriteContext& Context, std::string_view Name, const std::string& Text,
                    std::size_t Bytes, std::string_view Field) {
    const std::string_view Kept = CutUtf8Bytes(Text, Bytes);
    if (Kept.size() < Text.size()) {
        Context.Report.Say(std::string(Name) + " cut to \"" + std::string(Kept) + "\": " +
                           std::string(Field) + " holds " + std::to_string(Bytes) + " bytes");
    }
    return std::string(Kept);
}

std::string IsoVolumeId(const WriteContext& Context) {
    return FitText(Context, "label", Context.Ask.Label, IsoVolumeIdBytes, "ISO 9660");
}

std::optional<std::string> IsoPublisher(const WriteContext& Context) {
    return FitIdentifier(Context, "artist", Context.Ask.Artist,
                         "the ISO 9660 publisher identifier");
}

std::optional<std::string> IsoVolumeSet(const WriteContext& Context) {
    return FitIdentifier(Context, "title", Context.Ask.Title, "the ISO 9660 volume-set identifier");
}

std::size_t CdTextLimit(std::size_t Fields, std::size_t Tracks) {
    return CdTextBytes / (std::max<std::size_t>(Fields, 1) * (Tracks + 1));
}

} // namespace Recorder
