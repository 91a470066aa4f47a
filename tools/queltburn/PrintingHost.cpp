#include "PrintingHost.hpp"

#include <utility>

namespace Queltburn {

using Queltburner::HostHandle;

PrintingHost::PrintingHost(std::shared_ptr<Queltburner::HostServices> Platform)
    : FPlatform(std::move(Platform)) {}

std::uint32_t PrintingHost::DriveType(const System::UnicodeString& RootPath) {
    return FPlatform->DriveType(RootPath);
}

bool PrintingHost::FileExists(const System::UnicodeString& Path) {
    return FPlatform->FileExists(Path);
}

bool PrintingHost::DirectoryExists(const System::UnicodeString& Path) {
    return FPlatform->DirectoryExists(Path);
}

std::optional<Queltburner::StartedProcess>
PrintingHost::StartProcess(const System::UnicodeString& /*Application*/,
                           const System::UnicodeString& CommandLine, int /*ShowState*/,
                           Queltburner::LaunchMode /*Mode*/) {
    FCommandLine = CommandLine;
    const HostHandle Process = FNextHandle++;
    const HostHandle Thread = FNextHandle++;
    FFakeHandles.insert({Process, Thread});
    return Queltburner::StartedProcess{Process, Thread};
}

std::uint32_t PrintingHost::WaitForProcess(HostHandle Process) {
    return FFakeHandles.contains(Process) ? Queltburner::WaitEnded
                                          : FPlatform->WaitForProcess(Process);
}

std::optional<std::uint32_t> PrintingHost::ProcessExitCode(HostHandle Process) {
    if (FFakeHandles.contains(Process)) {
        return 0U;
    }
    return FPlatform->ProcessExitCode(Process);
}

bool PrintingHost::ReleaseHandle(HostHandle Handle) {
    if (FFakeHandles.erase(Handle) != 0) {
        return true;
    }
    return FPlatform->ReleaseHandle(Handle);
}

void PrintingHost::ShowErrorMessage(const System::UnicodeString& Text) {
    FPlatform->ShowErrorMessage(Text);
}

Queltburner::RegistryValue PrintingHost::ReadUserString(const System::UnicodeString& Key,
                                                        const System::UnicodeString& Name) {
    return FPlatform->ReadUserString(Key, Name);
}

bool PrintingHost::ToolIsRecorder(const System::UnicodeString& Tool) {
    return FPlatform->ToolIsRecorder(Tool);
}

System::UnicodeString PrintingHost::RegistryLocation() {
    return FPlatform->RegistryLocation();
}

System::UnicodeString PrintingHost::DriveTarget(System::WideChar Drive) {
    return FPlatform->DriveTarget(Drive);
}

Queltburner::DiscReport PrintingHost::DescribeDisc(const System::UnicodeString& Tool,
                                                   System::WideChar Drive) {
    return FPlatform->DescribeDisc(Tool, Drive);
}

Queltburner::SizeReport PrintingHost::MeasureBurn(const System::UnicodeString& Tool,
                                                  const System::UnicodeString& BurnCommandLine) {
    return FPlatform->MeasureBurn(Tool, BurnCommandLine);
}

Queltburner::DiscReport PrintingHost::DescribeDiscWith(const Queltburner::ToolRunner& Run,
                                                       const System::UnicodeString& Tool,
                                                       System::WideChar Drive) {
    return FPlatform->DescribeDiscWith(Run, Tool, Drive);
}

Queltburner::SizeReport
PrintingHost::MeasureBurnWith(const Queltburner::ToolRunner& Run, const System::UnicodeString& Tool,
                              const System::UnicodeString& BurnCommandLine) {
    return FPlatform->MeasureBurnWith(Run, Tool, BurnCommandLine);
}

} // namespace Queltburn
