// The data-disc command (every existing file and folder of Files under the volume label), and the
// DVD-Video command, which is the data-disc command with a fixed block of file-system options.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"

#include "System.SysUtils.hpp"
#include "ToolOptions.hpp"

namespace Queltburner {

namespace Arg = ToolContract::Arg;

namespace {

// The head of the commands that write a file system: burn head to volume label.
void AppendFileSystemHead(CommandLine& Line, const TQueltBurner& Burner, System::WideChar Drive) {
    AppendBurnHead(Line, Drive);
    Line.OptionIf(Burner.Tao(), Arg::Tao);
    AppendArtistAndTitle(Line, Burner);
    Line.Option(Arg::Recursive);
    AppendSpeed(Line, Burner.Speed());
    Line.Option(Arg::Iso).Quoted(Burner.VolumeLabel()).Text(u" ");
}

void AppendWriteSwitches(CommandLine& Line, const TQueltBurner& Burner) {
    Line.OptionIf(Burner.SpeedTest(), Arg::SpeedTest)
        .OptionIf(Burner.CloseSession(), Arg::CloseSession)
        .OptionIf(Burner.DetectNonEmptyDisk(), Arg::DetectNonEmptyDisk)
        .OptionIf(Burner.UnderrunProtection(), Arg::UnderrunProtection)
        .OptionIf(Burner.DisableEject(), Arg::DisableEject)
        .OptionIf(Burner.Verify(), Arg::Verify);
}

} // namespace

void AppendArtistAndTitle(CommandLine& Line, const TQueltBurner& Burner) {
    using System::Sysutils::Trim;
    Line.QuotedOptionIfNotEmpty(Arg::Artist, Trim(Burner.Artist()))
        .QuotedOptionIfNotEmpty(Arg::Title, Trim(Burner.Title()));
}

void AppendEntriesThenForceErase(CommandLine& Line, const TQueltBurner& Burner,
                                 HostServices& Host) {
    OperationFrame::AppendFiles(Line, Burner, Host);
    Line.OptionIf(Burner.ForceEraseDisk(), Arg::ForceEraseDisk);
}

System::UnicodeString ComposeDataCommand(const TQueltBurner& Burner, HostServices& Host,
                                         System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendFileSystemHead(Line, Burner, Drive);
    if (Burner.ContinueSession() >= 0) {
        Line.Option(Arg::Import)
            .Quoted(System::Sysutils::IntToStr(Burner.ContinueSession()))
            .Text(u" ");
    }
    AppendWriteSwitches(Line, Burner);
    Line.OptionIf(Burner.DVD(), Arg::Dvd);
    AppendEntriesThenForceErase(Line, Burner, Host);
    return std::move(Line).Result();
}

System::UnicodeString ComposeDVDVideoCommand(const TQueltBurner& Burner, HostServices& Host,
                                             System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendFileSystemHead(Line, Burner, Drive);
    AppendWriteSwitches(Line, Burner);
    Line.Option(Arg::Dvd)
        .Option(Arg::CreateIsoFs)
        .Option(Arg::CreateUdfFs)
        .Option(Arg::IsoNoJoliet)
        .Option(Arg::DvdVideoRealloc);
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
