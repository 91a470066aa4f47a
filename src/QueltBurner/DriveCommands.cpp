// Commands that act on the drive rather than write a disc: erase and eject. Unlike the burn
// commands they end with the quote after the drive letter, not with a blank.
#include "CommandLine.hpp"
#include "QueltBurner.hpp"

namespace Queltburner {

System::UnicodeString TQueltBurner::ComposeEraseCommand(System::WideChar Drive,
                                                        bool FullErase) const {
    CommandLine Line(NeroCmdLocation);
    Line.Text(u" --erase ").TextIf(FullErase, u" --entire ").Text(u"--drivename ").Quoted(Drive);
    return std::move(Line).Result();
}

System::UnicodeString TQueltBurner::ComposeEjectCommand(System::WideChar Drive) const {
    CommandLine Line(NeroCmdLocation);
    Line.Text(u" --eject ").Text(u"--drivename ").Quoted(Drive);
    return std::move(Line).Result();
}

int TQueltBurner::Erase(System::WideChar Drive, bool FullErase) {
    return RunOperation(Drive, [&] { return ComposeEraseCommand(Drive, FullErase); });
}

int TQueltBurner::Eject(System::WideChar Drive) {
    return RunOperation(Drive, [&] { return ComposeEjectCommand(Drive); });
}

} // namespace Queltburner
