#include "PosixHostServices.hpp"

#include "CommandLineSplit.hpp"
#include "DriveMap.hpp"
#include "ProcessLauncher.hpp"
#include "RegistryFile.hpp"
#include "System.SysUtils.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace Queltburner {

std::shared_ptr<HostServices> PlatformHostServices() {
    static const std::shared_ptr<HostServices> Instance =
        std::make_shared<Posix::PosixHostServices>();
    return Instance;
}

namespace Posix {

namespace {

constexpr std::uint32_t WaitFailed = 0xFFFFFFFF;

// A path the file system can be asked about: valid UTF-16 without NUL. Anything else would name a
// different file once converted, so it names none.
std::optional<std::string> FileSystemPath(const System::UnicodeString& Path) {
    if (Path.empty() || Path.find(u'\0') != System::UnicodeString::npos) {
        return std::nullopt;
    }
    return System::Sysutils::TryUTF8Encode(Path);
}

std::optional<struct stat> StatFollowingLinks(const System::UnicodeString& Path) {
    const std::optional<std::string> Native = FileSystemPath(Path);
    struct stat Info {};
    if (!Native || stat(Native->c_str(), &Info) != 0) {
        return std::nullopt;
    }
    return Info;
}

std::string RegistryFilePath() {
    if (const char* Named = std::getenv("QUELT_REGISTRY")) {
        return Named;
    }
    const char* ConfigHome = std::getenv("XDG_CONFIG_HOME");
    if (ConfigHome != nullptr && *ConfigHome != '\0') {
        return std::string(ConfigHome) + "/QueltBurner/user.reg";
    }
    const char* Home = std::getenv("HOME");
    if (Home != nullptr && *Home != '\0') {
        return std::string(Home) + "/.config/QueltBurner/user.reg";
    }
    return {};
}

// The file's bytes; no value when it does not exist (a missing key). Other failures throw.
std::optional<std::string> ReadWholeFile(const std::string& Path) {
    if (Path.empty()) {
        return std::nullopt;
    }
    const int Descriptor = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Descriptor < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        throw std::runtime_error("cannot open the registry file " + Path);
    }
    std::string Bytes;
    char Buffer[16384];
    for (;;) {
        const ssize_t Got = read(Descriptor, Buffer, sizeof Buffer);
        if (Got < 0 && errno == EINTR) {
            continue;
        }
        if (Got < 0) {
            close(Descriptor);
            throw std::runtime_error("cannot read the registry file " + Path);
        }
        if (Got == 0) {
            break;
        }
        Bytes.append(Buffer, static_cast<std::size_t>(Got));
    }
    close(Descriptor);
    return Bytes;
}

void WriteAll(int Descriptor, std::string_view Bytes) {
    while (!Bytes.empty()) {
        const ssize_t Written = write(Descriptor, Bytes.data(), Bytes.size());
        if (Written < 0 && errno == EINTR) {
            continue;
        }
        if (Written <= 0) {
            return;
        }
        Bytes.remove_prefix(static_cast<std::size_t>(Written));
    }
}

} // namespace

std::uint32_t PosixHostServices::DriveType(const System::UnicodeString& RootPath) {
    return DriveTypeOf(RootPath, std::getenv("QUELT_DRIVES"), [](const std::string& Device) {
        struct stat Info {};
        return stat(Device.c_str(), &Info) == 0;
    });
}

bool PosixHostServices::FileExists(const System::UnicodeString& Path) {
    const std::optional<struct stat> Info = StatFollowingLinks(Path);
    return Info && !S_ISDIR(Info->st_mode);
}

bool PosixHostServices::DirectoryExists(const System::UnicodeString& Path) {
    const std::optional<struct stat> Info = StatFollowingLinks(Path);
    return Info && S_ISDIR(Info->st_mode);
}

std::optional<StartedProcess>
PosixHostServices::StartProcess(const System::UnicodeString& Application,
                                const System::UnicodeString& CommandLine, int /*ShowState*/,
                                LaunchMode Mode) {
    const std::optional<std::string> Program = FileSystemPath(Application);
    if (!Program || CommandLine.find(u'\0') != System::UnicodeString::npos) {
        return std::nullopt;
    }
    const std::vector<System::UnicodeString> Items = SplitCommandLine(CommandLine);
    // The first item must read back as the program itself; a path the program-name rule cannot
    // carry (one holding a double quote) would shift every argument after it.
    if (Items.front() != Application) {
        return std::nullopt;
    }
    std::vector<std::string> Argv;
    Argv.reserve(Items.size());
    for (const System::UnicodeString& Item : Items) {
        std::optional<std::string> Encoded = System::Sysutils::TryUTF8Encode(Item);
        if (!Encoded) {
            return std::nullopt;
        }
        Argv.push_back(std::move(*Encoded));
    }

    HandleRecord Process;
    if (Mode == LaunchMode::Detached) {
        if (!SpawnDetached(*Program, Argv)) {
            return std::nullopt;
        }
    } else {
        const std::optional<pid_t> Pid = SpawnChild(*Program, Argv);
        if (!Pid) {
            return std::nullopt;
        }
        Process.Pid = *Pid;
        Process.Waitable = true;
    }
    const std::lock_guard Lock(FMutex);
    StartedProcess Started;
    Started.Process = AddHandle(Process);
    Started.Thread = AddHandle(HandleRecord{});
    return Started;
}

HostHandle PosixHostServices::AddHandle(HandleRecord Record) {
    const HostHandle Handle = FNextHandle++;
    FHandles.emplace(Handle, Record);
    return Handle;
}

std::uint32_t PosixHostServices::WaitForProcess(HostHandle Process) {
    pid_t Pid = 0;
    {
        const std::lock_guard Lock(FMutex);
        const auto Found = FHandles.find(Process);
        if (Found == FHandles.end() || !Found->second.Waitable) {
            return WaitFailed;
        }
        if (Found->second.Reaped) {
            return WaitEnded;
        }
        Pid = Found->second.Pid;
    }
    // Wait outside the lock: other components may use this host meanwhile.
    const std::optional<int> Status = WaitForChild(Pid);
    const std::lock_guard Lock(FMutex);
    const auto Found = FHandles.find(Process);
    if (!Status) {
        return WaitFailed;
    }
    if (Found != FHandles.end()) {
        Found->second.Reaped = true;
        Found->second.Status = *Status;
    }
    return WaitEnded;
}

std::optional<std::uint32_t> PosixHostServices::ProcessExitCode(HostHandle Process) {
    const std::lock_guard Lock(FMutex);
    const auto Found = FHandles.find(Process);
    if (Found == FHandles.end() || !Found->second.Reaped) {
        return std::nullopt;
    }
    return ExitCodeOfStatus(Found->second.Status);
}

bool PosixHostServices::ReleaseHandle(HostHandle Handle) {
    const std::lock_guard Lock(FMutex);
    const auto Found = FHandles.find(Handle);
    if (Found == FHandles.end()) {
        return false;
    }
    // A child that was never waited for is reaped if it has ended, so it does not linger.
    if (Found->second.Waitable && !Found->second.Reaped) {
        (void)ReapIfEnded(Found->second.Pid);
    }
    FHandles.erase(Found);
    return true;
}

void PosixHostServices::ShowErrorMessage(const System::UnicodeString& Text) {
    std::string Line = System::Sysutils::UTF8Encode(Text);
    Line.push_back('\n');
    WriteAll(STDERR_FILENO, Line);
}

RegistryValue PosixHostServices::ReadUserString(const System::UnicodeString& Key,
                                                const System::UnicodeString& Name) {
    const std::optional<std::string> Bytes = ReadWholeFile(RegistryFilePath());
    if (!Bytes) {
        return {};
    }
    return FindUserValue(*Bytes, Key, Name);
}

std::size_t PosixHostServices::OpenHandleCount() const {
    const std::lock_guard Lock(FMutex);
    return FHandles.size();
}

} // namespace Posix
} // namespace Queltburner
