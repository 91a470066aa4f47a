// The data-disc command (every existing file and folder of Files under the volume label), and the
// DVD-Video command, which is the data-disc command with a fixed block of file-system options.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"

#include "System.SysUtils.hpp"

namespace Queltburner {

namespace {

// The head of the commands that write a file system: burn head to volume label.
void AppendFileSystemHead(CommandLine& Line, const TQueltBurner& Burner, System::WideChar Drive) {
    AppendBurnHead(Line, Drive);
    Line.TextIf(Burner.Tao(), u"--tao ");
    AppendArtistAndTitle(Line, Burner);
    Line.Text(u"--recursive ");
    AppendSpeed(Line, Burner.Speed());
    Line.Text(u"--iso ").Quoted(Burner.VolumeLabel()).Text(u" ");
}

void AppendWriteSwitches(CommandLine& Line, const TQueltBurner& Burner) {
    Line.TextIf(Burner.SpeedTest(), u"--speedtest ")
        .TextIf(Burner.CloseSession(), u"--close_session ")
        .TextIf(Burner.DetectNonEmptyDisk(), u"--detect_non_empty_disk ")
        .TextIf(Burner.UnderrunProtection(), u"--underrun_prot ")
        .TextIf(Burner.DisableEject(), u"--disable_eject ")
        .TextIf(Burner.Verify(), u"--verify ");
}

} // namespace

void AppendArtistAndTitle(CommandLine& Line, const TQueltBurner& Burner) {
    using System::Sysutils::Trim;
    Line.QuotedOptionIfNotEmpty(u"--artist ", Trim(Burner.Artist()))
        .QuotedOptionIfNotEmpty(u"--title ", Trim(Burner.Title()));
}

void AppendEntriesThenForceErase(CommandLine& Line, const TQueltBurner& Burner,
                                 HostServices& Host) {
    OperationFrame::AppendFiles(Line, Burner, Host);
    Line.TextIf(Burner.ForceEraseDisk(), u"--force_erase_disk ");
}

System::UnicodeString ComposeDataCommand(const TQueltBurner& Burner, HostServices& Host,
                                         System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendFileSystemHead(Line, Burner, Drive);
    if (Burner.ContinueSession() >= 0) {
        Line.Text(u"--import ")
            .Quoted(System::Sysutils::IntToStr(Burner.ContinueSession()))
            .Text(u" ");
    }
    AppendWriteSwitches(Line, Burner);
    Line.TextIf(Burner.DVD(), u"--dvd ");
    AppendEntriesThenForceErase(Line, Burner, Host);
    return std::move(Line).Result();
}

System::UnicodeString ComposeDVDVideoCommand(const TQueltBurner& Burner, HostServices& Host,
                                             System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendFileSystemHead(Line, Burner, Drive);
    AppendWriteSwitches(Line, Burner);
    Line.Text(u"--dvd --create_iso_fs --create_udf_fs --iso-no-joliet --dvdvideo_realloc ");
    AppendEntriesThenForceErase(Line, Burner, Host);
    return std::move(Line).Result();
}

int TQueltBurner::BurnData(System::WideChar Drive) {
    return OperationFrame(*this).Run(
        Drive, [&](HostServices& Host) { return ComposeDataCommand(*this, Host, Drive); });
}

int TQueltBurner::BurnDVDVideo(System::WideChar Drive) {
    return OperationFrame(*this).Run(
        Drive, [&](HostServices& Host) { return ComposeDVDVideoCommand(*this, Host, Drive); });
}

} // namespace Queltburner
