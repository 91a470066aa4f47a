// Commands that act on the drive rather than write a disc: erase and eject. Unlike the burn
// commands they end with the quote after the drive letter, not with a blank.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"

namespace Queltburner {

System::UnicodeString ComposeEraseCommand(const TQueltBurner& Burner, System::WideChar Drive,
                                          bool FullErase) {
    CommandLine Line(Burner.NeroCmdLocation);
    Line.Text(u" --erase ").TextIf(FullErase, u" --entire ").Text(u"--drivename ").Quoted(Drive);
    return std::move(Line).Result();
}

System::UnicodeString ComposeEjectCommand(const TQueltBurner& Burner, System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    Line.Text(u" --eject ").Text(u"--drivename ").Quoted(Drive);
    return std::move(Line).Result();
}

int TQueltBurner::Erase(System::WideChar Drive, bool FullErase) {
    return OperationFrame(*this).Run(
        Drive, [&](HostServices&) { return ComposeEraseCommand(*this, Drive, FullErase); });
}

int TQueltBurner::Eject(System::WideChar Drive) {
    return OperationFrame(*this).Run(
        Drive, [&](HostServices&) { return ComposeEjectCommand(*this, Drive); });
}

} // namespace Queltburner
