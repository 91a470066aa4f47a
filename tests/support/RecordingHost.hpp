// A host that records every call with its arguments, answers as it is told, and keeps count of the
// handles it has handed out, so that tests can see exactly what the component asked for and in
// which order, and that nothing is left open.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace QueltTest {

using System::UnicodeString;

struct HostCall {
    std::string Name;
    std::vector<UnicodeString> Args;
};

struct StartRequest {
    UnicodeString Application;
    UnicodeString CommandLine;
    int ShowState = -1;
    Queltburner::LaunchMode Mode = Queltburner::LaunchMode::Waited;
};

class RecordingHost final : public Queltburner::HostServices {
public:
    // --- What the host answers -------------------------------------------------------------
    std::map<char16_t, std::uint32_t> DriveTypes; // by the root's first character; default 1
    std::set<UnicodeString> Files;
    std::set<UnicodeString> Directories;
    bool StartFails = false;
    std::uint32_t WaitResult = Queltburner::WaitEnded;
    std::optional<std::uint32_t> ExitCode = 0;
    Queltburner::RegistryValue Registry; // the one value every registry read returns
    // Runs after a call is recorded and before it answers; a test throws from it to inject faults.
    std::function<void(const HostCall&)> BeforeAnswer;

    // --- What the host saw -----------------------------------------------------------------
    std::vector<HostCall> Calls;
    std::vector<UnicodeString> Messages;
    std::vector<StartRequest> Starts;
    int UnknownReleases = 0; // releases of a handle that was not open (double release)

    // Makes Letter an optical drive and Tool an existing file.
    void MakeReady(char16_t Letter, const UnicodeString& Tool);
    std::vector<std::string> CallNames() const;
    std::size_t OpenHandles() const { return FOpen.size(); }
    const StartRequest& LastStart() const;

    std::uint32_t DriveType(const UnicodeString& RootPath) override;
    bool FileExists(const UnicodeString& Path) override;
    bool DirectoryExists(const UnicodeString& Path) override;
    std::optional<Queltburner::StartedProcess> StartProcess(const UnicodeString& Application,
                                                            const UnicodeString& CommandLine,
                                                            int ShowState,
                                                            Queltburner::LaunchMode Mode) override;
    std::uint32_t WaitForProcess(Queltburner::HostHandle Process) override;
    std::optional<std::uint32_t> ProcessExitCode(Queltburner::HostHandle Process) override;
    bool ReleaseHandle(Queltburner::HostHandle Handle) override;
    void ShowErrorMessage(const UnicodeString& Text) override;
    Queltburner::RegistryValue ReadUserString(const UnicodeString& Key,
                                              const UnicodeString& Name) override;

private:
    void Record(std::string Name, std::vector<UnicodeString> Args);

    std::set<Queltburner::HostHandle> FOpen;
    Queltburner::HostHandle FNext = 1000;
};

} // namespace QueltTest
