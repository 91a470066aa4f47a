// A host that hands every call to another host as it is. The project's hosts that change only a
// few answers of another (the command-line host's --print-command, the tests' fault injectors)
// derive from it and override just those, so a member added to HostServices needs forwarding in
// one place only. Internal: the project's tools and tests use it; it is not installed.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <memory>
#include <optional>
#include <utility>

namespace Queltburner {

class ForwardingHost : public HostServices {
public:
    explicit ForwardingHost(std::shared_ptr<HostServices> Inner) : FInner(std::move(Inner)) {}

    std::uint32_t DriveType(const System::UnicodeString& RootPath) override {
        return FInner->DriveType(RootPath);
    }
    bool FileExists(const System::UnicodeString& Path) override { return FInner->FileExists(Path); }
    bool DirectoryExists(const System::UnicodeString& Path) override {
        return FInner->DirectoryExists(Path);
    }
    std::optional<StartedProcess> StartProcess(const System::UnicodeString& Application,
                                               const System::UnicodeString& CommandLine,
                                               int ShowState, LaunchMode Mode) override {
        return FInner->StartProcess(Application, CommandLine, ShowState, Mode);
    }
    std::uint32_t WaitForProcess(HostHandle Process) override {
        return FInner->WaitForProcess(Process);
    }
    std::optional<std::uint32_t> ProcessExitCode(HostHandle Process) override {
        return FInner->ProcessExitCode(Process);
    }
    bool ReleaseHandle(HostHandle Handle) override { return FInner->ReleaseHandle(Handle); }
    void ShowErrorMessage(const System::UnicodeString& Text) override {
        FInner->ShowErrorMessage(Text);
    }
    RegistryValue ReadUserString(const System::UnicodeString& Key,
                                 const System::UnicodeString& Name) override {
        return FInner->ReadUserString(Key, Name);
    }

    bool CanWatchProcesses() override { return FInner->CanWatchProcesses(); }
    std::optional<StartedProcess> StartWatchedProcess(const System::UnicodeString& Application,
                                                      const System::UnicodeString& CommandLine,
                                                      int ShowState, bool CaptureOutput) override {
        return FInner->StartWatchedProcess(Application, CommandLine, ShowState, CaptureOutput);
    }
    WaitEvent WaitForProcessEvent(HostHandle Process, WaitDeadline Deadline,
                                  CapturedOutput& Output) override {
        return FInner->WaitForProcessEvent(Process, Deadline, Output);
    }
    void InterruptWait(HostHandle Process) override { FInner->InterruptWait(Process); }
    bool EndProcess(HostHandle Process, bool Force) override {
        return FInner->EndProcess(Process, Force);
    }

    System::UnicodeString DriveTarget(System::WideChar Drive) override {
        return FInner->DriveTarget(Drive);
    }
    TOpticalDrive DescribeDrive(System::WideChar Drive) override {
        return FInner->DescribeDrive(Drive);
    }
    DiscReport DescribeDisc(const System::UnicodeString& Tool, System::WideChar Drive) override {
        return FInner->DescribeDisc(Tool, Drive);
    }
    SizeReport MeasureBurn(const System::UnicodeString& Tool,
                           const System::UnicodeString& BurnCommandLine) override {
        return FInner->MeasureBurn(Tool, BurnCommandLine);
    }
    DiscReport DescribeDiscWith(const ToolRunner& Run, const System::UnicodeString& Tool,
                                System::WideChar Drive) override {
        return FInner->DescribeDiscWith(Run, Tool, Drive);
    }
    SizeReport MeasureBurnWith(const ToolRunner& Run, const System::UnicodeString& Tool,
                               const System::UnicodeString& BurnCommandLine) override {
        return FInner->MeasureBurnWith(Run, Tool, BurnCommandLine);
    }

    bool ToolIsRecorder(const System::UnicodeString& Tool) override {
        return FInner->ToolIsRecorder(Tool);
    }
    System::UnicodeString RegistryLocation() override { return FInner->RegistryLocation(); }

protected:
    HostServices& Inner() const noexcept { return *FInner; }

private:
    std::shared_ptr<HostServices> FInner;
};

} // namespace Queltburner
