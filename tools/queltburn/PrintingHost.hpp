// The services of --print-command: everything as the platform does it (drive, files, registry,
// messages), except that the tool is not started. The command line the component would run is
// recorded instead, and the stand-in for its process has ended with exit code 0.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <memory>
#include <optional>
#include <set>

namespace Queltburn {

class PrintingHost final : public Queltburner::HostServices {
public:
    explicit PrintingHost(std::shared_ptr<Queltburner::HostServices> Platform);

    // The command line of the last start, if any.
    const std::optional<System::UnicodeString>& CommandLine() const noexcept {
        return FCommandLine;
    }

    std::uint32_t DriveType(const System::UnicodeString& RootPath) override;
    bool FileExists(const System::UnicodeString& Path) override;
    bool DirectoryExists(const System::UnicodeString& Path) override;
    std::optional<Queltburner::StartedProcess>
    StartProcess(const System::UnicodeString& Application, const System::UnicodeString& CommandLine,
                 int ShowState, Queltburner::LaunchMode Mode) override;
    std::uint32_t WaitForProcess(Queltburner::HostHandle Process) override;
    std::optional<std::uint32_t> ProcessExitCode(Queltburner::HostHandle Process) override;
    bool ReleaseHandle(Queltburner::HostHandle Handle) override;
    void ShowErrorMessage(const System::UnicodeString& Text) override;
    Queltburner::RegistryValue ReadUserString(const System::UnicodeString& Key,
                                              const System::UnicodeString& Name) override;
    bool ToolIsRecorder(const System::UnicodeString& Tool) override;
    System::UnicodeString RegistryLocation() override;
    // Questions write nothing: they go to the platform as they are.
    System::UnicodeString DriveTarget(System::WideChar Drive) override;
    Queltburner::DiscReport DescribeDisc(const System::UnicodeString& Tool,
                                         System::WideChar Drive) override;
    Queltburner::SizeReport MeasureBurn(const System::UnicodeString& Tool,
                                        const System::UnicodeString& BurnCommandLine) override;
    // A job's questions: without these the platform would be asked through the members above,
    // where the job could neither cancel nor time out the tool it runs.
    Queltburner::DiscReport DescribeDiscWith(const Queltburner::ToolRunner& Run,
                                             const System::UnicodeString& Tool,
                                             System::WideChar Drive) override;
    Queltburner::SizeReport MeasureBurnWith(const Queltburner::ToolRunner& Run,
                                            const System::UnicodeString& Tool,
                                            const System::UnicodeString& BurnCommandLine) override;

private:
    std::shared_ptr<Queltburner::HostServices> FPlatform;
    std::optional<System::UnicodeString> FCommandLine;
    std::set<Queltburner::HostHandle> FFakeHandles;
    Queltburner::HostHandle FNextHandle = 1;
};

} // namespace Queltburn
