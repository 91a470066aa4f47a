#include "CdText.hpp"

namespace Recorder {

std::string Latin1(const std::string& Text, bool& Changed) {
    std::string Out;
    for (std::size_t I = 0; I < Text.size();) {
        const auto Lead = static_cast<unsigned char>(Text[I]);
        const std::size_t Length = Lead < 0x80U ? 1 : Lead < 0xE0U ? 2 : Lead < 0xF0U ? 3 : 4;
        if (Length == 2 && Lead >= 0xC2U && Lead <= 0xC3U && I + 1 < Text.size()) {
            Out += static_cast<char>(((Lead & 0x03U) << 6U) |
                                     (static_cast<unsigned char>(Text[I + 1]) & 0x3FU));
        } else if (Length == 1) {
            Out += Text[I];
        } else {
            Out += '?';
            Changed = true;
        }
        I += Length;
    }
    return Out;
}

} // namespace Recorder
