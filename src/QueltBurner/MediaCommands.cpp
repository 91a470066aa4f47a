// The audio CD, Video CD and Super Video CD commands: the existing entries of Files written in the
// disc's own format.
#include "CommandLine.hpp"
#include "QueltBurner.hpp"

namespace Queltburner {

System::UnicodeString TQueltBurner::ComposeAudioCommand(System::WideChar Drive) const {
    CommandLine Line(NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.TextIf(FTao, u"--tao ");
    AppendArtistAndTitle(Line);
    Line.Text(u"--recursive ");
    AppendSpeed(Line, FSpeed);
    Line.TextIf(FDisableEject, u"--disable_eject ").Text(u"--audio ");
    AppendExistingEntries(Line, *FFiles, *FHost);
    return std::move(Line).Result();
}

System::UnicodeString TQueltBurner::ComposeVideoCommand(System::WideChar Drive,
                                                        std::u16string_view FormatOption) const {
    CommandLine Line(NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.TextIf(FTao, u"--tao ")
        .TextIf(FDisableEject, u"--disable_eject ")
        .Text(FormatOption)
        .Text(u"--recursive ");
    AppendSpeed(Line, FSpeed);
    Line.TextIf(FSpeedTest, u"--speedtest ").TextIf(FCloseSession, u"--close_session ");
    AppendEntriesThenForceErase(Line);
    return std::move(Line).Result();
}

int TQueltBurner::BurnAudio(System::WideChar Drive) {
    return RunOperation(Drive, [&] { return ComposeAudioCommand(Drive); });
}

int TQueltBurner::BurnVideo(System::WideChar Drive) {
    return RunOperation(Drive, [&] { return ComposeVideoCommand(Drive, u"--videocd "); });
}

int TQueltBurner::BurnSuperVideo(System::WideChar Drive) {
    return RunOperation(Drive, [&] { return ComposeVideoCommand(Drive, u"--svideocd "); });
}

} // namespace Queltburner
