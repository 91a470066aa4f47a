// The data-disc command (every existing file and folder of Files under the volume label), and the
// DVD-Video command, which is the data-disc command with a fixed block of file-system options.
#include "CommandLine.hpp"
#include "QueltBurner.hpp"

#include "System.SysUtils.hpp"

namespace Queltburner {

void TQueltBurner::AppendArtistAndTitle(CommandLine& Line) const {
    using System::Sysutils::Trim;
    Line.QuotedOptionIfNotEmpty(u"--artist ", Trim(FArtist))
        .QuotedOptionIfNotEmpty(u"--title ", Trim(FTitle));
}

void TQueltBurner::AppendFileSystemHead(CommandLine& Line, System::WideChar Drive) const {
    AppendBurnHead(Line, Drive);
    Line.TextIf(FTao, u"--tao ");
    AppendArtistAndTitle(Line);
    Line.Text(u"--recursive ");
    AppendSpeed(Line, FSpeed);
    Line.Text(u"--iso ").Quoted(FVolume).Text(u" ");
}

void TQueltBurner::AppendEntriesThenForceErase(CommandLine& Line) const {
    AppendExistingEntries(Line, *FFiles, *FHost);
    Line.TextIf(FForceEraseDisk, u"--force_erase_disk ");
}

void TQueltBurner::AppendWriteSwitches(CommandLine& Line) const {
    Line.TextIf(FSpeedTest, u"--speedtest ")
        .TextIf(FCloseSession, u"--close_session ")
        .TextIf(FDetectNonEmptyDisk, u"--detect_non_empty_disk ")
        .TextIf(FUnderrunProtection, u"--underrun_prot ")
        .TextIf(FDisableEject, u"--disable_eject ")
        .TextIf(FVerify, u"--verify ");
}

System::UnicodeString TQueltBurner::ComposeDataCommand(System::WideChar Drive) const {
    CommandLine Line(NeroCmdLocation);
    AppendFileSystemHead(Line, Drive);
    if (FContinueSession >= 0) {
        Line.Text(u"--import ").Quoted(System::Sysutils::IntToStr(FContinueSession)).Text(u" ");
    }
    AppendWriteSwitches(Line);
    Line.TextIf(FDVD, u"--dvd ");
    AppendEntriesThenForceErase(Line);
    return std::move(Line).Result();
}

System::UnicodeString TQueltBurner::ComposeDVDVideoCommand(System::WideChar Drive) const {
    CommandLine Line(NeroCmdLocation);
    AppendFileSystemHead(Line, Drive);
    AppendWriteSwitches(Line);
    Line.Text(u"--dvd --create_iso_fs --create_udf_fs --iso-no-joliet --dvdvideo_realloc ");
    AppendEntriesThenForceErase(Line);
    return std::move(Line).Result();
}

int TQueltBurner::BurnData(System::WideChar Drive) {
    return RunOperation(Drive, [&] { return ComposeDataCommand(Drive); });
}

int TQueltBurner::BurnDVDVideo(System::WideChar Drive) {
    return RunOperation(Drive, [&] { return ComposeDVDVideoCommand(Drive); });
}

} // namespace Queltburner
