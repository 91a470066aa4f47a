#include "PosixHostServices.hpp"

#include "CommandLineSplit.hpp"
#include "DriveMap.hpp"
#include "MappedDrives.hpp"
#include "ProcessLauncher.hpp"
#include "System.SysUtils.hpp"

#include <cerrno>
#include <csignal>
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

PosixHostServices::PosixHostServices() : PosixHostServices(QUELT_INSTALLED_REGISTRY_FILE) {}

PosixHostServices::PosixHostServices(std::string InstalledRegistryFile)
    : PosixHostServices(std::move(InstalledRegistryFile), StartPathOfThisProcess()) {}

PosixHostServices::PosixHostServices(StartPath Path)
    : PosixHostServices(QUELT_INSTALLED_REGISTRY_FILE, Path) {}

PosixHostServices::PosixHostServices(std::string InstalledRegistryFile, StartPath Path)
    : FInstalledRegistryFile(std::move(InstalledRegistryFile)), FStarter(StarterFor(Path)) {}

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
        if (!FStarter.LaunchDetached(Launch.Request())) {
            return std::nullopt;
        }
    } else {
        Process.Run = FStarter.NewRun();
        // Only captured streams need pipes and notices to poll; any other waiting run sleeps on
        // the run alone, and a program that uses no event pays no descriptor for them.
        if (CaptureOutput.value_or(false)) {
            try {
                Process.Watch = std::make_shared<ToolWatch>(Process.Run);
            } catch (const std::system_error&) {
                return std::nullopt; // out of descriptors: nothing has started
            }
            Process.Watch->PrepareStart();
        }
        if (!Process.Run->Start(Launch.Request())) {
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
    if (!Record.Run) {
        return WaitEvent::Failed;
    }
    WaitEvent Event = WaitEvent::Failed;
    if (Record.Watch) {
        Event = Record.Watch->Wait(Deadline, Output);
    } else {
        switch (Record.Run->AwaitEnd(Deadline)) {
        case ToolWake::Ended:
            Event = WaitEvent::Ended;
            break;
        case ToolWake::Interrupted:
            Event = WaitEvent::Interrupted;
            break;
        case ToolWake::Deadline:
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
    } else if (Record.Run) {
        Record.Run->Interrupt();
    }
}

bool PosixHostServices::EndProcess(HostHandle Process, bool Force) {
    const HandleRecord Record = RecordOf(Process);
    return Record.Run && Record.Run->SignalTool(Force ? SIGKILL : SIGTERM);
}

std::uint32_t PosixHostServices::WaitForProcess(HostHandle Process) {
    std::shared_ptr<ToolRun> Run;
    {
        const std::lock_guard Lock(FMutex);
        const auto Found = FHandles.find(Process);
        if (Found == FHandles.end() || !Found->second.Run) {
            return WaitFailed;
        }
        if (Found->second.Status) {
            return WaitEnded;
        }
        Run = Found->second.Run;
    }
    // Wait outside the lock: other components may use this host meanwhile.
    const std::optional<int> Status = Run->Wait();
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
    // operation early) is waited for here, when the last reference to its run goes.
    return !Released.empty();
}

void PosixHostServices::ShowErrorMessage(const System::UnicodeString& Text) {
    std::string Line = System::Sysutils::UTF8Encode(Text);
    Line.push_back('\n');
    WriteWithoutSigpipe(STDERR_FILENO, Line);
}

RegistryValue PosixHostServices::ReadUserString(const System::UnicodeString& Key,
                                                const System::UnicodeString& Name) {
    return ReadUserValue(FInstalledRegistryFile, Key, Name);
}

System::UnicodeString PosixHostServices::RegistryLocation() {
    const std::optional<std::string> Path = RegistryFileInUse(FInstalledRegistryFile);
    return Path ? System::Sysutils::FileNameToString(*Path) : System::UnicodeString();
}

std::size_t PosixHostServices::OpenHandleCount() const {
    const std::lock_guard Lock(FMutex);
    return FHandles.size();
}

} // namespace Posix
} // namespace Queltburner
