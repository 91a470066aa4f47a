// The audio CD, Video CD and Super Video CD commands: the existing entries of Files written in the
// disc's own format.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"
#include "ToolOptions.hpp"

namespace Queltburner {

namespace Arg = ToolContract::Arg;

System::UnicodeString ComposeAudioCommand(const TQueltBurner& Burner, HostServices& Host,
                                          System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.OptionIf(Burner.Tao(), Arg::Tao);
    AppendArtistAndTitle(Line, Burner);
    Line.Option(Arg::Recursive);
    AppendSpeed(Line, Burner.Speed());
    Line.OptionIf(Burner.DisableEject(), Arg::DisableEject).Option(Arg::Audio);
    OperationFrame::AppendFiles(Line, Burner, Host);
    return std::move(Line).Result();
}

System::UnicodeString ComposeVideoCommand(const TQueltBurner& Burner, HostServices& Host,
                                          System::WideChar Drive, std::string_view Format) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.OptionIf(Burner.Tao(), Arg::Tao)
        .OptionIf(Burner.DisableEject(), Arg::DisableEject)
        .Option(Format)
        .Option(Arg::Recursive);
    AppendSpeed(Line, Burner.Speed());
    Line.OptionIf(Burner.SpeedTest(), Arg::SpeedTest)
        .OptionIf(Burner.CloseSession(), Arg::CloseSession);
    AppendEntriesThenForceErase(Line, Burner, Host);
    return std::move(Line).Result();
}

int TQueltBurner::BurnAudio(System::WideChar Drive) {
    return OperationFrame(*this).Run(
        Drive, [&](HostServices& Host) { return ComposeAudioCommand(*this, Host, Drive); });
}

int TQueltBurner::BurnVideo(System::WideChar Drive) {
    return OperationFrame(*this).Run(Drive, [&](HostServices& Host) {
        return ComposeVideoCommand(*this, Host, Drive, Arg::VideoCd);
    });
}

int TQueltBurner::BurnSuperVideo(System::WideChar Drive) {
    return OperationFrame(*this).Run(Drive, [&](HostServices& Host) {
        return ComposeVideoCommand(*this, Host, Drive, Arg::SuperVideoCd);
    });
}

} // namespace Queltburner
