// The image command: an existing disc image written to the disc.
#include "CommandLine.hpp"
#include "QueltBurner.hpp"

namespace Queltburner {

System::UnicodeString TQueltBurner::ComposeImageCommand(const System::UnicodeString& FileName,
                                                        System::WideChar Drive) const {
    CommandLine Line(NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.TextIf(FTao, u"--tao ")
        .TextIf(FDVD, u"--dvd ")
        .Text(u"--image ")
        .Quoted(FileName)
        .Text(u" ");
    AppendSpeed(Line, FSpeed);
    Line.TextIf(FSpeedTest, u"--speedtest ")
        .TextIf(FCloseSession, u"--close_session ")
        .TextIf(FDetectNonEmptyDisk, u"--detect_non_empty_disk ")
        .TextIf(FUnderrunProtection, u"--underrun_prot ")
        .TextIf(FDisableEject, u"--disable_eject ")
        .TextIf(FForceEraseDisk, u"--force_erase_disk ");
    return std::move(Line).Result();
}

// The published signature takes the name by value.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
int TQueltBurner::BurnImage(System::UnicodeString FileName, System::WideChar Drive) {
    if (const int Failed = CheckDriveAndTool(Drive); Failed != 0) {
        return Failed;
    }
    if (!FHost->FileExists(FileName)) {
        // The message ends with a double quote, as the component's users have always seen it.
        ShowError(u"Image file not found.\"");
        return ResultImageNotFound;
    }
    return RunCommandLine(ComposeImageCommand(FileName, Drive));
}

} // namespace Queltburner
