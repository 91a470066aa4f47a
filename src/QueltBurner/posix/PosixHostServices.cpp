#include "PosixHostServices.hpp"

#include "CommandLineSplit.hpp"
#include "DriveMap.hpp"
#include "MappedDrives.hpp"
#include "ProcessLauncher.hpp"
#include "RegistryFile.hpp"
#include "System.SysUtils.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace Queltburner {

std::shared_ptr<HostServices> PlatformHostServices() {
    static const std::shared_ptr<HostServices> Instance =
        std::make_shared<Posix::PosixHostServices>();
    return Instance;
}

namespace Posix {

namespace {

constexpr std::uint32_t WaitFailed = 0xFFFFFFFF;

// A path the file system can be asked about: the bytes of its name, as FileNameToString made it
// (a byte that is not part of UTF-8 is U+DC80 to U+DCFF), without NUL. Anything else would name a
// different file once converted, so it names none.
bool AppendFileSystemPath(std::string& Out, const System::UnicodeString& Path) {
    return !Path.empty() && System::Sysutils::TryAppendFileNameWithoutNul(Out, Path);
}

std::optional<std::string> FileSystemPath(const System::UnicodeString& Path) {
    std::string Native;
    if (!AppendFileSystemPath(Native, Path)) {
        return std::nullopt;
    }
    return Native;
}

// The file type bits of what Path names, links followed; no value when it names nothing.
std::optional<mode_t> TypeFollowingLinks(const System::UnicodeString& Path) {
    // One buffer a thread: a data disc of thousands of entries tests each without an allocation.
    thread_local std::string Native;
    Native.clear();
    if (!AppendFileSystemPath(Native, Path)) {
        return std::nullopt;
    }
    struct stat Info {};
    if (stat(Native.c_str(), &Info) != 0) {
        return std::nullopt;
    }
    return Info.st_mode & S_IFMT;
}

// The command line's items as the tool's argv, in one block, each item the bytes it names (as a
// path is, so that a file name reaches the tool exactly); no value when an item names no bytes,
// or when the first item does not read back as the program itself (a path the program-name rule
// cannot carry, one holding a double quote, would shift every argument after it).
std::optional<NativeArgv> ArgvOf(const System::UnicodeString& Application,
                                 const System::UnicodeString& CommandLine) {
    NativeArgv Argv;
    Argv.Bytes.reserve(CommandLine.size() + 1);
    bool Carried = true;
    VisitCommandLineItems(CommandLine, [&](std::u16string_view Item) {
        if (!Carried) {
            return;
        }
        if (Argv.Starts.empty() && Item != Application) {
            Carried = false;
            return;
        }
        Argv.Starts.push_back(Argv.Bytes.size());
        // A NUL inside an item cannot be passed: it would end the item there.
        Carried = System::Sysutils::TryAppendFileNameWithoutNul(Argv.Bytes, Item);
        Argv.Bytes.push_back('\0');
    });
    if (!Carried) {
        return std::nullopt;
    }
    return Argv;
}

// Closes a descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int Value) noexcept : FValue(Value) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor() {
        if (FValue >= 0) {
            (void)close(FValue);
        }
    }
    int Get() const noexcept { return FValue; }

private:
    int FValue;
};

// The registry file's bytes; no value when there is no such file. A file that is there but not a
// regular file (a device, a FIFO, a socket, a folder) or is larger than Cap reads as empty, which
// holds no value: reading /dev/zero or a sparse file of gigabytes would exhaust memory, and a FIFO
// without a writer would block for ever. Opening does not block either. Other failures throw.
std::optional<std::string> ReadRegistryFile(const std::string& Path, std::size_t Cap) {
    if (Path.empty()) {
        return std::nullopt;
    }
    const Descriptor File(open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (File.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        if (errno == ENXIO) { // a socket, or a device file without its device
            return std::string();
        }
        throw std::runtime_error("cannot open the registry file " + Path);
    }
    struct stat Info {};
    if (fstat(File.Get(), &Info) != 0 || !S_ISREG(Info.st_mode) ||
        static_cast<std::uintmax_t>(Info.st_size) > Cap) {
        return std::string();
    }
    // One byte more than the cap is asked for, so that a file that grew since fstat is caught.
    std::string Bytes(static_cast<std::size_t>(Info.st_size) + 1, '\0');
    std::size_t Filled = 0;
    for (;;) {
        if (Filled == Bytes.size()) {
            if (Bytes.size() > Cap) {
                return std::string();
            }
            Bytes.resize(std::min(Cap + 1, Bytes.size() * 2));
        }
        const ssize_t Got = read(File.Get(), Bytes.data() + Filled, Bytes.size() - Filled);
        if (Got < 0 && errno == EINTR) {
            continue;
        }
        if (Got < 0) {
            throw std::runtime_error("cannot read the registry file " + Path);
        }
        if (Got == 0) {
            break;
        }
        Filled += static_cast<std::size_t>(Got);
    }
    Bytes.resize(Filled);
    return Bytes;
}

void WriteAll(int Target, std::string_view Bytes) {
    while (!Bytes.empty()) {
        const ssize_t Written = write(Target, Bytes.data(), Bytes.size());
        if (Written < 0 && errno == EINTR) {
            continue;
        }
        if (Written <= 0) {
            return;
        }
        Bytes.remove_prefix(static_cast<std::size_t>(Written));
    }
}

// Writes to a stream whose reader may be gone without raising SIGPIPE, which would end the whole
// application over a message: SIGPIPE is blocked on this thread for the write, and one that the
// write itself raised is taken back before it is unblocked. One that was pending before is kept.
void WriteWithoutSigpipe(int Target, std::string_view Bytes) {
    sigset_t Pipe;
    sigset_t Previous;
    sigemptyset(&Pipe);
    sigaddset(&Pipe, SIGPIPE);
    if (pthread_sigmask(SIG_BLOCK, &Pipe, &Previous) != 0) {
        return;
    }
    sigset_t Pending;
    sigemptyset(&Pending);
    (void)sigpending(&Pending);
    const bool WasPending = sigismember(&Pending, SIGPIPE) == 1;
    const int SavedErrno = errno;
    WriteAll(Target, Bytes);
    if (!WasPending) {
        const timespec Now{};
        while (sigtimedwait(&Pipe, nullptr, &Now) < 0 && errno == EINTR) {
        }
    }
    errno = SavedErrno;
    (void)pthread_sigmask(SIG_SETMASK, &Previous, nullptr);
}

// The variables that place the registry file, as this process has them.
RegistryFileEnvironment EnvironmentOfThisProcess() {
    return {std::getenv("QUELT_REGISTRY"), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"),
            std::getenv("XDG_CONFIG_DIRS")};
}

} // namespace

std::vector<std::string> RegistryFileCandidates(const RegistryFileEnvironment& Environment,
                                                const std::string& InstalledDefault) {
    if (Environment.QueltRegistry != nullptr) {
        return {Environment.QueltRegistry};
    }
    constexpr std::string_view Name = "/QueltBurner/user.reg";
    std::vector<std::string> Candidates;
    const auto NonEmpty = [](const char* Value) { return Value != nullptr && *Value != '\0'; };
    if (NonEmpty(Environment.ConfigHome)) {
        Candidates.push_back(std::string(Environment.ConfigHome).append(Name));
    } else if (NonEmpty(Environment.Home)) {
        Candidates.push_back(std::string(Environment.Home).append("/.config").append(Name));
    }
    std::string_view Dirs = NonEmpty(Environment.ConfigDirs) ? Environment.ConfigDirs : "/etc/xdg";
    for (;;) {
        const std::size_t Colon = Dirs.find(':');
        const std::string_view Dir = Dirs.substr(0, Colon);
        if (Dir.starts_with('/')) {
            Candidates.push_back(std::string(Dir).append(Name));
        }
        if (Colon == std::string_view::npos) {
            break;
        }
        Dirs.remove_prefix(Colon + 1);
    }
    Candidates.push_back(InstalledDefault);
    return Candidates;
}

PosixHostServices::PosixHostServices() : PosixHostServices(QUELT_INSTALLED_REGISTRY_FILE) {}

PosixHostServices::PosixHostServices(std::string InstalledRegistryFile)
    : PosixHostServices(std::move(InstalledRegistryFile), StartPathOfThisProcess()) {}

PosixHostServices::PosixHostServices(StartPath Path)
    : PosixHostServices(QUELT_INSTALLED_REGISTRY_FILE, Path) {}

PosixHostServices::PosixHostServices(std::string InstalledRegistryFile, StartPath Path)
    : FInstalledRegistryFile(std::move(InstalledRegistryFile)), FPath(Path) {}

std::uint32_t PosixHostServices::DriveType(const System::UnicodeString& RootPath) {
    return DriveTypeOf(RootPath, CurrentDriveMap().Text(), DeviceNodeExists);
}

bool PosixHostServices::FileExists(const System::UnicodeString& Path) {
    const std::optional<mode_t> Type = TypeFollowingLinks(Path);
    return Type && !S_ISDIR(*Type);
}

bool PosixHostServices::DirectoryExists(const System::UnicodeString& Path) {
    const std::optional<mode_t> Type = TypeFollowingLinks(Path);
    return Type && S_ISDIR(*Type);
}

std::optional<StartedProcess>
PosixHostServices::StartProcess(const System::UnicodeString& Application,
                                const System::UnicodeString& CommandLine, int /*ShowState*/,
                                LaunchMode Mode) {
    return Start(Application, CommandLine, Mode, std::nullopt);
}

std::optional<StartedProcess>
PosixHostServices::StartWatchedProcess(const System::UnicodeString& Application,
                                       const System::UnicodeString& CommandLine, int /*ShowState*/,
                                       bool CaptureOutput) {
    return Start(Application, CommandLine, LaunchMode::Waited, CaptureOutput);
}

std::optional<StartedProcess> PosixHostServices::Start(const System::UnicodeString& Application,
                                                       const System::UnicodeString& CommandLine,
                                                       LaunchMode Mode,
                                                       std::optional<bool> CaptureOutput) {
    const std::optional<std::string> Program = FileSystemPath(Application);
    if (!Program) {
        return std::nullopt;
    }
    const std::optional<NativeArgv> Argv = ArgvOf(Application, CommandLine);
    if (!Argv) {
        return std::nullopt;
    }
    // Everything that can fail is made before the tool starts: once it runs, its run is either
    // handed to the caller or waited for, never abandoned.
    const ToolStart Launch(*Program, *Argv, CurrentDriveMap().Combined);
    std::map<HostHandle, HandleRecord> Records;
    StartedProcess Started;
    {
        const std::lock_guard Lock(FMutex);
        Started.Process = FNextHandle++;
        Started.Thread = FNextHandle++;
    }
    HandleRecord& Process = Records[Started.Process];
    Records[Started.Thread];
    ReleaseEndedLaunches();
    if (Mode == LaunchMode::Detached) {
        if (!LaunchDetachedTool(Launch, FPath)) {
            return std::nullopt;
        }
    } else {
        Process.Waiter = std::make_shared<ToolWaiter>(WaiterEnd::AfterTool, FPath);
        // Only captured streams need pipes and notices to poll; any other waiting run sleeps on
        // the waiter alone, and a program that uses no event pays no descriptor for them.
        if (CaptureOutput.value_or(false)) {
            try {
                Process.Watch = std::make_shared<ToolWatch>(Process.Waiter);
            } catch (const std::system_error&) {
                return std::nullopt; // out of descriptors: nothing has started
            }
            Process.Watch->PrepareStart();
        }
        if (!Process.Waiter->Start(Launch.Request())) {
            return std::nullopt;
        }
        if (Process.Watch) {
            Process.Watch->Started();
        }
    }
    const std::lock_guard Lock(FMutex);
    FHandles.merge(Records); // moves the nodes: allocates nothing
    return Started;
}

PosixHostServices::HandleRecord PosixHostServices::RecordOf(HostHandle Process) const {
    const std::lock_guard Lock(FMutex);
    const auto Found = FHandles.find(Process);
    return Found == FHandles.end() ? HandleRecord{} : Found->second;
}

WaitEvent PosixHostServices::WaitForProcessEvent(HostHandle Process, WaitDeadline Deadline,
                                                 CapturedOutput& Output) {
    const HandleRecord Record = RecordOf(Process);
    if (!Record.Waiter) {
        return WaitEvent::Failed;
    }
    WaitEvent Event = WaitEvent::Failed;
    if (Record.Watch) {
        Event = Record.Watch->Wait(Deadline, Output);
    } else {
        switch (Record.Waiter->AwaitEnd(Deadline)) {
        case WaiterWake::Ended:
            Event = WaitEvent::Ended;
            break;
        case WaiterWake::Interrupted:
            Event = WaitEvent::Interrupted;
            break;
        case WaiterWake::Deadline:
            Event = WaitEvent::Deadline;
            break;
        }
    }
    if (Event == WaitEvent::Ended && WaitForProcess(Process) != WaitEnded) {
        return WaitEvent::Failed;
    }
    return Event;
}

void PosixHostServices::InterruptWait(HostHandle Process) {
    const HandleRecord Record = RecordOf(Process);
    if (Record.Watch) {
        Record.Watch->Interrupt();
    } else if (Record.Waiter) {
        Record.Waiter->Interrupt();
    }
}

bool PosixHostServices::EndProcess(HostHandle Process, bool Force) {
    const HandleRecord Record = RecordOf(Process);
    return Record.Waiter && Record.Waiter->SignalTool(Force ? SIGKILL : SIGTERM);
}

std::uint32_t PosixHostServices::WaitForProcess(HostHandle Process) {
    std::shared_ptr<ToolWaiter> Waiter;
    {
        const std::lock_guard Lock(FMutex);
        const auto Found = FHandles.find(Process);
        if (Found == FHandles.end() || !Found->second.Waiter) {
            return WaitFailed;
        }
        if (Found->second.Status) {
            return WaitEnded;
        }
        Waiter = Found->second.Waiter;
    }
    // Wait outside the lock: other components may use this host meanwhile.
    const std::optional<int> Status = Waiter->Wait();
    if (!Status) {
        return WaitFailed;
    }
    const std::lock_guard Lock(FMutex);
    const auto Found = FHandles.find(Process);
    if (Found != FHandles.end()) {
        Found->second.Status = Status;
    }
    return WaitEnded;
}

std::optional<std::uint32_t> PosixHostServices::ProcessExitCode(HostHandle Process) {
    const std::lock_guard Lock(FMutex);
    const auto Found = FHandles.find(Process);
    if (Found == FHandles.end() || !Found->second.Status) {
        return std::nullopt;
    }
    return ExitCodeOfStatus(*Found->second.Status);
}

bool PosixHostServices::ReleaseHandle(HostHandle Handle) {
    std::map<HostHandle, HandleRecord>::node_type Released;
    {
        const std::lock_guard Lock(FMutex);
        Released = FHandles.extract(Handle);
    }
    // Outside the lock: a waiting run whose tool was never waited for (an exception left the
    // operation early) is waited for here, when the last reference to its waiter goes.
    return !Released.empty();
}

void PosixHostServices::ShowErrorMessage(const System::UnicodeString& Text) {
    std::string Line = System::Sysutils::UTF8Encode(Text);
    Line.push_back('\n');
    WriteWithoutSigpipe(STDERR_FILENO, Line);
}

RegistryValue PosixHostServices::ReadUserString(const System::UnicodeString& Key,
                                                const System::UnicodeString& Name) {
    // A file that is there but cannot be used still ends the search: falling back past it onto a
    // default would hide the user's (or the administrator's) mistake behind a working setup.
    for (const std::string& Path :
         RegistryFileCandidates(EnvironmentOfThisProcess(), FInstalledRegistryFile)) {
        if (const std::optional<std::string> Bytes = ReadRegistryFile(Path, RegistryFileCap)) {
            return FindUserValue(*Bytes, Key, Name);
        }
    }
    return {};
}

System::UnicodeString PosixHostServices::RegistryLocation() {
    for (const std::string& Path :
         RegistryFileCandidates(EnvironmentOfThisProcess(), FInstalledRegistryFile)) {
        try {
            if (ReadRegistryFile(Path, RegistryFileCap)) {
                return System::Sysutils::FileNameToString(Path);
            }
        } catch (const std::runtime_error&) {
            return System::Sysutils::FileNameToString(Path); // there, but it cannot be opened
        }
    }
    return {};
}

std::size_t PosixHostServices::OpenHandleCount() const {
    const std::lock_guard Lock(FMutex);
    return FHandles.size();
}

} // namespace Posix
} // namespace Queltburner
