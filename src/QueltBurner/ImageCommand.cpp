// The image command: an existing disc image written to the disc.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"

namespace Queltburner {

System::UnicodeString ComposeImageCommand(const TQueltBurner& Burner,
                                          const System::UnicodeString& FileName,
                                          System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.TextIf(Burner.Tao(), u"--tao ")
        .TextIf(Burner.DVD(), u"--dvd ")
        .Text(u"--image ")
        .Quoted(FileName)
        .Text(u" ");
    AppendSpeed(Line, Burner.Speed());
    Line.TextIf(Burner.SpeedTest(), u"--speedtest ")
        .TextIf(Burner.CloseSession(), u"--close_session ")
        .TextIf(Burner.DetectNonEmptyDisk(), u"--detect_non_empty_disk ")
        .TextIf(Burner.UnderrunProtection(), u"--underrun_prot ")
        .TextIf(Burner.DisableEject(), u"--disable_eject ")
        .TextIf(Burner.ForceEraseDisk(), u"--force_erase_disk ");
    return std::move(Line).Result();
}

// The published signature takes the name by value.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
int TQueltBurner::BurnImage(System::UnicodeString FileName, System::WideChar Drive) {
    OperationFrame Frame(*this);
    if (const int Failed = Frame.CheckDriveAndTool(Drive); Failed != 0) {
        return Failed;
    }
    if (!Frame.Host().FileExists(FileName)) {
        // The message ends with a double quote, as the component's users have always seen it.
        Frame.ShowError(u"Image file not found.\"");
        return ResultImageNotFound;
    }
    return Frame.RunCommandLine(ComposeImageCommand(*this, FileName, Drive));
}

} // namespace Queltburner
