#include "ComposeOnlyHost.hpp"

#include <utility>

namespace QueltBench {

ComposeOnlyHost::ComposeOnlyHost(std::unordered_set<System::UnicodeString> Existing)
    : FExisting(std::move(Existing)) {}

ComposeOnlyHost::ComposeOnlyHost() : FEverythingExists(true) {}

std::uint32_t ComposeOnlyHost::DriveType(const System::UnicodeString& /*RootPath*/) {
    return Queltburner::DriveTypeCdRom;
}

bool ComposeOnlyHost::FileExists(const System::UnicodeString& Path) {
    return FEverythingExists || FExisting.contains(Path);
}

bool ComposeOnlyHost::DirectoryExists(const System::UnicodeString& /*Path*/) {
    return false;
}

std::optional<Queltburner::StartedProcess>
ComposeOnlyHost::StartProcess(const System::UnicodeString& /*Application*/,
                              const System::UnicodeString& CommandLine, int /*ShowState*/,
                              Queltburner::LaunchMode /*Mode*/) {
    FLastLength = CommandLine.size();
    if (FKeep) {
        FLastCommandLine = CommandLine;
    }
    return Queltburner::StartedProcess{1, 2};
}

std::uint32_t ComposeOnlyHost::WaitForProcess(Queltburner::HostHandle /*Process*/) {
    return Queltburner::WaitEnded;
}

std::optional<std::uint32_t> ComposeOnlyHost::ProcessExitCode(Queltburner::HostHandle /*Process*/) {
    return 0U;
}

bool ComposeOnlyHost::ReleaseHandle(Queltburner::HostHandle /*Handle*/) {
    return true;
}

void ComposeOnlyHost::ShowErrorMessage(const System::UnicodeString& /*Text*/) {}

Queltburner::RegistryValue ComposeOnlyHost::ReadUserString(const System::UnicodeString& /*Key*/,
                                                           const System::UnicodeString& /*Name*/) {
    return {};
}

} // namespace QueltBench
