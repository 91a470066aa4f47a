// Burn: the disc-writing operation that DiskType names, for hosts that choose the disc kind by a
// setting.
#include "QueltBurner.hpp"

namespace Queltburner {

int TQueltBurner::Burn(System::WideChar Drive) {
    switch (FDiskType) {
    case dtData:
        return BurnData(Drive);
    case dtAudio:
        return BurnAudio(Drive);
    case dtVideo:
        return BurnVideo(Drive);
    case dtSuperVideo:
        return BurnSuperVideo(Drive);
    default:
        return BurnDVDVideo(Drive);
    }
}

} // namespace Queltburner
