// The audio CD, Video CD and Super Video CD commands: the existing entries of Files written in the
// disc's own format.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"

namespace Queltburner {

System::UnicodeString ComposeAudioCommand(const TQueltBurner& Burner, HostServices& Host,
                                          System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.TextIf(Burner.Tao(), u"--tao ");
    AppendArtistAndTitle(Line, Burner);
    Line.Text(u"--recursive ");
    AppendSpeed(Line, Burner.Speed());
    Line.TextIf(Burner.DisableEject(), u"--disable_eject ").Text(u"--audio ");
    OperationFrame::AppendFiles(Line, Burner, Host);
    return std::move(Line).Result();
}

System::UnicodeString ComposeVideoCommand(const TQueltBurner& Burner, HostServices& Host,
                                          System::WideChar Drive,
                                          std::u16string_view FormatOption) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.TextIf(Burner.Tao(), u"--tao ")
        .TextIf(Burner.DisableEject(), u"--disable_eject ")
        .Text(FormatOption)
        .Text(u"--recursive ");
    AppendSpeed(Line, Burner.Speed());
    Line.TextIf(Burner.SpeedTest(), u"--speedtest ")
        .TextIf(Burner.CloseSession(), u"--close_session ");
    AppendEntriesThenForceErase(Line, Burner, Host);
    return std::move(Line).Result();
}

int TQueltBurner::BurnAudio(System::WideChar Drive) {
    return OperationFrame(*this).Run(
        Drive, [&](HostServices& Host) { return ComposeAudioCommand(*this, Host, Drive); });
}

int TQueltBurner::BurnVideo(System::WideChar Drive) {
    return OperationFrame(*this).Run(Drive, [&](HostServices& Host) {
        return ComposeVideoCommand(*this, Host, Drive, u"--videocd ");
    });
}

int TQueltBurner::BurnSuperVideo(System::WideChar Drive) {
    return OperationFrame(*this).Run(Drive, [&](HostServices& Host) {
        return ComposeVideoCommand(*this, Host, Drive, u"--svideocd ");
    });
}

} // namespace Queltburner
