// A host that does no platform work: file tests answer from a set, the start of a process only
// notes the command line's length, and every wait ends at once with exit code 0. With it a
// benchmark measures the component's own work (checks, composition, the run frame) alone.
#pragma once

#include "QueltBurnerHostServices.hpp"

#include <cstddef>
#include <unordered_set>

namespace QueltBench {

class ComposeOnlyHost final : public Queltburner::HostServices {
public:
    // Existing names the existing files (the tool among them); there are no folders.
    explicit ComposeOnlyHost(std::unordered_set<System::UnicodeString> Existing);
    // Every path names an existing file, at no cost: what is left is the component's own work.
    ComposeOnlyHost();

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

    // Keeping a copy of each command line costs time and memory, so it is off unless asked for.
    void KeepCommandLines(bool Keep) noexcept { FKeep = Keep; }
    const System::UnicodeString& LastCommandLine() const noexcept { return FLastCommandLine; }
    std::size_t LastCommandLineLength() const noexcept { return FLastLength; }

private:
    std::unordered_set<System::UnicodeString> FExisting;
    bool FEverythingExists = false;
    bool FKeep = false;
    System::UnicodeString FLastCommandLine;
    std::size_t FLastLength = 0;
};

} // namespace QueltBench
