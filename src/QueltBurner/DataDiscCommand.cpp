// The data-disc command: every existing file and folder of Files under the volume label.
#include "CommandLine.hpp"
#include "QueltBurner.hpp"

#include "System.SysUtils.hpp"

namespace Queltburner {

System::UnicodeString TQueltBurner::ComposeDataCommand(System::WideChar Drive) const {
    using System::Sysutils::Trim;
    CommandLine Line(NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.TextIf(FTao, u"--tao ")
        .QuotedOptionIfNotEmpty(u"--artist ", Trim(FArtist))
        .QuotedOptionIfNotEmpty(u"--title ", Trim(FTitle))
        .Text(u"--recursive ");
    AppendSpeed(Line, FSpeed);
    Line.Text(u"--iso ").Quoted(FVolume).Text(u" ");
    if (FContinueSession >= 0) {
        Line.Text(u"--import ").Quoted(System::Sysutils::IntToStr(FContinueSession)).Text(u" ");
    }
    Line.TextIf(FSpeedTest, u"--speedtest ")
        .TextIf(FCloseSession, u"--close_session ")
        .TextIf(FDetectNonEmptyDisk, u"--detect_non_empty_disk ")
        .TextIf(FUnderrunProtection, u"--underrun_prot ")
        .TextIf(FDisableEject, u"--disable_eject ")
        .TextIf(FVerify, u"--verify ")
        .TextIf(FDVD, u"--dvd ");
    AppendExistingEntries(Line, *FFiles, *FHost);
    Line.TextIf(FForceEraseDisk, u"--force_erase_disk ");
    return std::move(Line).Result();
}

int TQueltBurner::BurnData(System::WideChar Drive) {
    if (const int Failed = CheckDriveAndTool(Drive); Failed != 0) {
        return Failed;
    }
    return RunCommandLine(ComposeDataCommand(Drive));
}

} // namespace Queltburner
