#include "Win32HostServices.hpp"

#include "ImapiDisc.hpp"
#include "NativeText.hpp"
#include "ToolCreation.hpp"
#include "ToolWatch.hpp"

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace Queltburner {

std::shared_ptr<HostServices> PlatformHostServices() {
    static const std::shared_ptr<HostServices> Instance =
        std::make_shared<Win32::Win32HostServices>();
    return Instance;
}

namespace Win32 {

namespace {

HANDLE AsHandle(HostHandle Handle) {
    return reinterpret_cast<HANDLE>(Handle);
}

// The attributes of what Path names, following a link to its target.
std::optional<DWORD> TargetAttributes(const System::UnicodeString& Path) {
    if (!IsAskable(Path)) {
        return std::nullopt;
    }
    const std::wstring Native = Wide(Path);
    const DWORD Attributes = GetFileAttributesW(Native.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    if ((Attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return Attributes;
    }
    // Opening without FILE_FLAG_OPEN_REPARSE_POINT reaches the link's target.
    const HANDLE Target =
        CreateFileW(Native.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (Target == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION Information{};
    const BOOL Ok = GetFileInformationByHandle(Target, &Information);
    CloseHandle(Target);
    if (!Ok) {
        return std::nullopt;
    }
    return Information.dwFileAttributes;
}

// Closes a registry key on every way out.
class OpenKey {
public:
    explicit OpenKey(HKEY Key) : FKey(Key) {}
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    OpenKey(OpenKey&&) = delete;
    OpenKey& operator=(OpenKey&&) = delete;
    ~OpenKey() { RegCloseKey(FKey); }
    HKEY Get() const { return FKey; }

private:
    HKEY FKey;
};

} // namespace

std::uint32_t Win32HostServices::DriveType(const System::UnicodeString& RootPath) {
    if (RootPath.find(u'\0') != System::UnicodeString::npos) {
        return DRIVE_NO_ROOT_DIR;
    }
    return GetDriveTypeW(Wide(RootPath).c_str());
}

bool Win32HostServices::FileExists(const System::UnicodeString& Path) {
    const std::optional<DWORD> Attributes = TargetAttributes(Path);
    return Attributes && (*Attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32HostServices::DirectoryExists(const System::UnicodeString& Path) {
    const std::optional<DWORD> Attributes = TargetAttributes(Path);
    return Attributes && (*Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<StartedProcess>
Win32HostServices::StartProcess(const System::UnicodeString& Application,
                                const System::UnicodeString& CommandLine, int ShowState,
                                LaunchMode /*Mode*/) {
    return CreateTool(Application, CommandLine, ShowState, nullptr);
}

std::optional<StartedProcess>
Win32HostServices::StartWatchedProcess(const System::UnicodeString& Application,
                                       const System::UnicodeString& CommandLine, int ShowState,
                                       bool CaptureOutput) {
    auto Watch = std::make_shared<ToolWatch>();
    if (!Watch->Ready()) {
        return std::nullopt;
    }
    CapturedStreams Streams;
    if (CaptureOutput) {
        if (!Watch->Capture(Streams.Output, Streams.Error)) {
            return std::nullopt;
        }
        Streams.Input = InheritableInput();
    }
    const std::optional<StartedProcess> Started =
        CreateTool(Application, CommandLine, ShowState, CaptureOutput ? &Streams : nullptr);
    if (Started) {
        const std::lock_guard Lock(FMutex);
        FWatches[Started->Process] = std::move(Watch);
    }
    return Started;
}

std::shared_ptr<ToolWatch> Win32HostServices::WatchOf(HostHandle Process) const {
    const std::lock_guard Lock(FMutex);
    const auto Found = FWatches.find(Process);
    return Found == FWatches.end() ? nullptr : Found->second;
}

WaitEvent Win32HostServices::WaitForProcessEvent(HostHandle Process, WaitDeadline Deadline,
                                                 CapturedOutput& Output) {
    const std::shared_ptr<ToolWatch> Watch = WatchOf(Process);
    return Watch ? Watch->Wait(AsHandle(Process), Deadline, Output) : WaitEvent::Failed;
}

void Win32HostServices::InterruptWait(HostHandle Process) {
    if (const std::shared_ptr<ToolWatch> Watch = WatchOf(Process)) {
        Watch->Interrupt();
    }
}

bool Win32HostServices::EndProcess(HostHandle Process, bool /*Force*/) {
    // Windows has no request to end that a console tool could answer: the process is ended. One
    // that has ended by itself is not: the run keeps its exit code.
    return WatchOf(Process) && WaitForSingleObject(AsHandle(Process), 0) == WAIT_TIMEOUT &&
           TerminateProcess(AsHandle(Process), 1) != 0;
}

std::uint32_t Win32HostServices::WaitForProcess(HostHandle Process) {
    return WaitForSingleObject(AsHandle(Process), INFINITE);
}

std::optional<std::uint32_t> Win32HostServices::ProcessExitCode(HostHandle Process) {
    DWORD Code = 0;
    if (!GetExitCodeProcess(AsHandle(Process), &Code)) {
        return std::nullopt;
    }
    return Code;
}

bool Win32HostServices::ReleaseHandle(HostHandle Handle) {
    std::shared_ptr<ToolWatch> Watch;
    {
        const std::lock_guard Lock(FMutex);
        if (const auto Found = FWatches.find(Handle); Found != FWatches.end()) {
            Watch = std::move(Found->second);
            FWatches.erase(Found);
        }
    }
    // The pipes go before the handle: the system may hand the same value out again at once.
    Watch.reset();
    return CloseHandle(AsHandle(Handle)) != 0;
}

System::UnicodeString Win32HostServices::DriveTarget(System::WideChar Drive) {
    return VolumeName(Drive);
}

DiscReport Win32HostServices::DescribeDisc(const System::UnicodeString& /*Tool*/,
                                           System::WideChar Drive) {
    return DescribeDiscThroughImapi(Drive);
}

void Win32HostServices::ShowErrorMessage(const System::UnicodeString& Text) {
    (void)MessageBoxW(nullptr, Wide(Text).c_str(), L"Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

RegistryValue Win32HostServices::ReadUserString(const System::UnicodeString& Key,
                                                const System::UnicodeString& Name) {
    HKEY Handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(Key).c_str(), 0, KEY_READ, &Handle) !=
        ERROR_SUCCESS) {
        return {};
    }
    const OpenKey Opened(Handle);
    const std::wstring ValueName = Wide(Name);
    for (;;) {
        DWORD Type = 0;
        DWORD Size = 0;
        LSTATUS Status =
            RegQueryValueExW(Opened.Get(), ValueName.c_str(), nullptr, &Type, nullptr, &Size);
        if (Status == ERROR_FILE_NOT_FOUND) {
            return {};
        }
        if (Status != ERROR_SUCCESS) {
            throw std::runtime_error("the registry value cannot be read");
        }
        if (Type != REG_SZ && Type != REG_EXPAND_SZ) {
            return {RegistryValueKind::OtherType, {}};
        }
        std::vector<wchar_t> Data(Size / sizeof(wchar_t) + 1, L'\0');
        DWORD Got = static_cast<DWORD>(Data.size() * sizeof(wchar_t));
        Status = RegQueryValueExW(Opened.Get(), ValueName.c_str(), nullptr, &Type,
                                  reinterpret_cast<BYTE*>(Data.data()), &Got);
        if (Status == ERROR_MORE_DATA) {
            continue; // the value grew between the two reads
        }
        if (Status != ERROR_SUCCESS) {
            throw std::runtime_error("the registry value cannot be read");
        }
        if (Type != REG_SZ && Type != REG_EXPAND_SZ) {
            return {RegistryValueKind::OtherType, {}};
        }
        System::UnicodeString Text(
            Data.begin(), Data.begin() + static_cast<std::ptrdiff_t>(Got / sizeof(wchar_t)));
        // Stored strings usually end with their terminator; an expanded string is not expanded.
        while (!Text.empty() && Text.back() == u'\0') {
            Text.pop_back();
        }
        return {RegistryValueKind::Text, std::move(Text)};
    }
}

} // namespace Win32
} // namespace Queltburner
