#include "PosixHostServices.hpp"

#include "CommandLineSplit.hpp"
#include "DriveMap.hpp"
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
bool AppendFileSystemPath(std::string& Out, const System::UnicodeString& Path) {
    return !Path.empty() && System::Sysutils::TryAppendUTF8WithoutNul(Out, Path);
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

// The command line's items as the tool's argv, in one block; no value when an item is not valid
// UTF-16, or when the first item does not read back as the program itself (a path the
// program-name rule cannot carry, one holding a double quote, would shift every argument after
// it).
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
        Carried = System::Sysutils::TryAppendUTF8WithoutNul(Argv.Bytes, Item);
        Argv.Bytes.push_back('\0');
    });
    if (!Carried) {
        return std::nullopt;
    }
    return Argv;
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

// The registry file's bytes; no value when there is no such file, or when it is not a regular
// file (a device, a FIFO, a folder) or is larger than Cap: reading /dev/zero or a sparse file of
// gigabytes would exhaust memory, and a FIFO without a writer would block for ever. Opening does
// not block either. Other failures throw.
std::optional<std::string> ReadRegistryFile(const std::string& Path, std::size_t Cap) {
    if (Path.empty()) {
        return std::nullopt;
    }
    const Descriptor File(open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (File.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == ENXIO) {
            return std::nullopt;
        }
        throw std::runtime_error("cannot open the registry file " + Path);
    }
    struct stat Info {};
    if (fstat(File.Get(), &Info) != 0 || !S_ISREG(Info.st_mode) ||
        static_cast<std::uintmax_t>(Info.st_size) > Cap) {
        return std::nullopt;
    }
    // One byte more than the cap is asked for, so that a file that grew since fstat is caught.
    std::string Bytes(static_cast<std::size_t>(Info.st_size) + 1, '\0');
    std::size_t Filled = 0;
    for (;;) {
        if (Filled == Bytes.size()) {
            if (Bytes.size() > Cap) {
                return std::nullopt;
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

} // namespace

std::uint32_t PosixHostServices::DriveType(const System::UnicodeString& RootPath) {
    return DriveTypeOf(RootPath, std::getenv("QUELT_DRIVES"), [](const std::string& Device) {
        struct stat Info {};
        return stat(Device.c_str(), &Info) == 0;
    });
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
    const ToolStart Start(*Program, *Argv);
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
        if (!LaunchDetachedTool(Start)) {
            return std::nullopt;
        }
    } else {
        Process.Waiter = std::make_shared<ToolWaiter>(WaiterEnd::AfterTool);
        if (!Process.Waiter->Start(Start.Request())) {
            return std::nullopt;
        }
    }
    const std::lock_guard Lock(FMutex);
    FHandles.merge(Records); // moves the nodes: allocates nothing
    return Started;
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
    const std::optional<std::string> Bytes = ReadRegistryFile(RegistryFilePath(), RegistryFileCap);
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
