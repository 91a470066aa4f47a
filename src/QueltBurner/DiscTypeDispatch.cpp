// Burn: the disc-writing operation that DiskType names, for hosts that choose the disc kind by a
// setting. MeasureBurn composes the same command, so what it measures is what Burn would start.
#include "OperationFrame.hpp"
#include "ToolOptions.hpp"

namespace Queltburner {

System::UnicodeString ComposeBurnCommand(const TQueltBurner& Burner, HostServices& Host,
                                         System::WideChar Drive) {
    switch (Burner.DiskType()) {
    case dtData:
        return ComposeDataCommand(Burner, Host, Drive);
    case dtAudio:
        return ComposeAudioCommand(Burner, Host, Drive);
    case dtVideo:
        return ComposeVideoCommand(Burner, Host, Drive, ToolContract::Arg::VideoCd);
    case dtSuperVideo:
        return ComposeVideoCommand(Burner, Host, Drive, ToolContract::Arg::SuperVideoCd);
    default:
        return ComposeDVDVideoCommand(Burner, Host, Drive);
    }
}

int TQueltBurner::Burn(System::WideChar Drive) {
    return OperationFrame(*this).Run(
        Drive, [&](HostServices& Host) { return ComposeBurnCommand(*this, Host, Drive); });
}

} // namespace Queltburner
