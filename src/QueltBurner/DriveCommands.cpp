// Commands that act on the drive rather than write a disc: erase and eject. Unlike the burn
// commands they end with the quote after the drive letter, not with a blank.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"
#include "ToolOptions.hpp"

namespace Queltburner {

namespace Arg = ToolContract::Arg;

System::UnicodeString ComposeEraseCommand(const TQueltBurner& Burner, System::WideChar Drive,
                                          bool FullErase) {
    CommandLine Line(Burner.NeroCmdLocation);
    // A full erase has two blanks before its switch, as the component has always written it.
    Line.Text(u" ")
        .Option(Arg::Erase)
        .TextIf(FullErase, u" ")
        .OptionIf(FullErase, Arg::Entire)
        .Option(Arg::DriveName)
        .Quoted(Drive);
    return std::move(Line).Result();
}

System::UnicodeString ComposeEjectCommand(const TQueltBurner& Burner, System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    Line.Text(u" ").Option(Arg::Eject).Option(Arg::DriveName).Quoted(Drive);
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
