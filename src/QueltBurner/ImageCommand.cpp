// The image command: an existing disc image written to the disc.
#include "CommandLine.hpp"
#include "OperationFrame.hpp"
#include "ToolOptions.hpp"

namespace Queltburner {

namespace Arg = ToolContract::Arg;

System::UnicodeString ComposeImageCommand(const TQueltBurner& Burner,
                                          const System::UnicodeString& FileName,
                                          System::WideChar Drive) {
    CommandLine Line(Burner.NeroCmdLocation);
    AppendBurnHead(Line, Drive);
    Line.OptionIf(Burner.Tao(), Arg::Tao)
        .OptionIf(Burner.DVD(), Arg::Dvd)
        .Option(Arg::Image)
        .Quoted(FileName)
        .Text(u" ");
    AppendSpeed(Line, Burner.Speed());
    Line.OptionIf(Burner.SpeedTest(), Arg::SpeedTest)
        .OptionIf(Burner.CloseSession(), Arg::CloseSession)
        .OptionIf(Burner.DetectNonEmptyDisk(), Arg::DetectNonEmptyDisk)
        .OptionIf(Burner.UnderrunProtection(), Arg::UnderrunProtection)
        .OptionIf(Burner.DisableEject(), Arg::DisableEject)
        .OptionIf(Burner.ForceEraseDisk(), Arg::ForceEraseDisk);
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
