// The platform operations that TQueltBurner needs, behind one interface. The component's own logic
// (which check runs first, which handle is released when, which event fires) calls only these, so
// it runs unchanged on Windows, on POSIX and against a recording stand-in in tests.
#pragma once

#include "System.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Queltburner {

// An opaque process or thread handle; 0 is never a valid one.
using HostHandle = std::uintptr_t;

// The drive type of an optical drive, as GetDriveTypeW reports it.
constexpr std::uint32_t DriveTypeCdRom = 5;
// What WaitForProcess returns once the process has ended.
constexpr std::uint32_t WaitEnded = 0;

struct StartedProcess {
    HostHandle Process = 0;
    HostHandle Thread = 0;
};

// Whether the caller will wait for the process. Windows starts both the same way; POSIX has to
// know, because a child that nobody waits for must not stay behind as a zombie.
enum class LaunchMode : std::uint8_t { Waited, Detached };

// What a wait for a watched process returns.
enum class WaitEvent : std::uint8_t {
    Ended,       // the process has ended (the output it left in its streams came with this wait)
    Output,      // the process wrote to a captured stream
    Deadline,    // the deadline passed first
    Interrupted, // InterruptWait was called (also when it was called before this wait began)
    Failed,      // the wait itself failed
};

// What a watched process wrote to its captured streams since the last wait: its bytes, as written.
struct CapturedOutput {
    std::string Output; // standard output
    std::string Error;  // standard error
};

// When a wait gives up; none for no limit.
using WaitDeadline = std::optional<std::chrono::steady_clock::time_point>;

enum class RegistryValueKind : std::uint8_t { Text, Missing, OtherType };

struct RegistryValue {
    RegistryValueKind Kind = RegistryValueKind::Missing;
    System::UnicodeString Text; // the value's text when Kind is Text
};

// What a drive holds, as far as the host can tell.
enum class DiscState : std::uint8_t {
    NoDisc,     // the drive is empty (or a virtual disc's file does not exist yet)
    Blank,      // nothing written yet
    Appendable, // written, with room for another session
    Closed,     // written and closed: nothing can be added
    NotADisc,   // something that cannot be read as a disc (a virtual disc's file of another kind)
};

// Whether a host could answer a query about a drive.
enum class QueryStatus : std::uint8_t {
    Answered,     // the fields hold the answer
    NotAvailable, // this host (or the tool it found) cannot answer such a question
    Failed,       // it tried and could not: Reason says why
};

// An optical drive: its letter and what the host knows of it (on POSIX the device or image file
// the letter maps to, on Windows the volume name; empty when nothing is known).
struct TOpticalDrive {
    System::WideChar Letter = u'?';
    System::UnicodeString Target;
    // The drive's maker and model as the drive names itself (empty for a virtual disc, or where
    // the host cannot tell).
    System::UnicodeString Vendor;
    System::UnicodeString Model;
    // What the drive can write, as names of media kinds joined by ", " ("CD-R, CD-RW, DVD-R"),
    // "any" for a virtual disc, empty where the host cannot tell.
    System::UnicodeString Media;
    // A run (a burn, an erase, an eject) of this machine holds the drive now: another would be
    // refused as in use. A question's shared hold does not count.
    bool Busy = false;
};

// What kind of medium a drive holds, so that an application need not read Medium's text.
enum class TMediumKind : std::uint8_t { Unknown, CD, DVD, BD, Virtual };

// The disc in a drive.
struct DiscReport {
    QueryStatus Status = QueryStatus::NotAvailable;
    System::UnicodeString Reason; // why it failed, in the host's or tool's words
    System::UnicodeString Medium; // "CD-R", "DVD+RW", "virtual CD", ... (empty when unknown)
    // The kind Medium names (the component works it out when the host leaves it Unknown): CD,
    // DVD (HD DVD is none of these: Unknown), BD, or Virtual for an image file.
    TMediumKind Kind = TMediumKind::Unknown;
    DiscState State = DiscState::NoDisc;
    std::uint32_t Sessions = 0;  // sessions written
    System::UnicodeString Label; // the last session's volume label
    std::uint64_t UsedBytes = 0; // bytes written
    // Bytes a new session may still take, of the kind the component's settings would write: a
    // virtual disc, which may grow to either size, counts as a DVD with DVD set (or for DVD-Video)
    // and as a CD otherwise; for an audio CD they are bytes of audio (2,352 to a sector), as
    // MeasureBurn counts them.
    std::uint64_t FreeBytes = 0;
    // For a virtual disc that can still be written: what a new data session may take if the disc
    // is to be a CD, or a DVD (0 for a real disc, whose medium is what it is).
    std::uint64_t FreeBytesAsCD = 0;
    std::uint64_t FreeBytesAsDVD = 0;
};

// What a burn would take of the disc in its drive, worked out without writing.
struct SizeReport {
    QueryStatus Status = QueryStatus::NotAvailable;
    System::UnicodeString Reason;  // why it failed, in the host's or tool's words
    std::uint64_t NeededBytes = 0; // the session's size, the file system's own structures included
    std::uint64_t FreeBytes = 0;   // what the disc in the drive has free
};

// A run of the tool for a host's question that the component starts, watches and ends, so that
// the question honours a job's Cancel() and time limit. The tool gets the command line exactly
// as given, its standard output and error captured.
struct ToolRunOutcome {
    std::optional<std::uint32_t> ExitCode; // none when it did not run to its end
    std::string Output;                    // its standard output
    std::string Error;                     // its standard error
};
using ToolRunner = std::function<ToolRunOutcome(const System::UnicodeString& CommandLine)>;

class HostServices {
public:
    HostServices() = default;
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;
    HostServices(HostServices&&) = delete;
    HostServices& operator=(HostServices&&) = delete;
    // Defined here, so that a host or package can implement the interface without linking the
    // component.
    virtual ~HostServices() = default;

    // Type of the drive whose root text (letter, colon, backslash) is given; 5 is an optical drive.
    virtual std::uint32_t DriveType(const System::UnicodeString& RootPath) = 0;
    // True when Path names an existing file (anything but a folder), following links.
    virtual bool FileExists(const System::UnicodeString& Path) = 0;
    // True when Path names an existing folder, following links.
    virtual bool DirectoryExists(const System::UnicodeString& Path) = 0;
    // Starts exactly the program Application with the whole CommandLine (whose first item names
    // the program) and the window show state; no value when the process could not be started.
    virtual std::optional<StartedProcess> StartProcess(const System::UnicodeString& Application,
                                                       const System::UnicodeString& CommandLine,
                                                       int ShowState, LaunchMode Mode) = 0;
    // Waits without a time limit; WaitEnded once the process has ended, anything else on failure.
    virtual std::uint32_t WaitForProcess(HostHandle Process) = 0;
    // The exit code of an ended process, or no value when it cannot be read.
    virtual std::optional<std::uint32_t> ProcessExitCode(HostHandle Process) = 0;
    // Releases a process or thread handle; false when the handle was not open.
    virtual bool ReleaseHandle(HostHandle Handle) = 0;
    // Shows a modal error message with one OK button and returns when it is closed.
    virtual void ShowErrorMessage(const System::UnicodeString& Text) = 0;
    // Reads a string value under HKEY_CURRENT_USER\Key.
    virtual RegistryValue ReadUserString(const System::UnicodeString& Key,
                                         const System::UnicodeString& Name) = 0;

    // Watching a waited run: the tool's streams captured or left to it, a wait for several things
    // at once, and an end to the process. A host that keeps these defaults cannot watch: the
    // component then runs every tool with StartProcess and WaitForProcess as before, and such runs
    // report no output or progress, have no time limit and cannot be cancelled.
    virtual bool CanWatchProcesses() { return false; }
    // Starts the program as StartProcess does for a waited run. With CaptureOutput, its standard
    // output and error go to pipes that WaitForProcessEvent reads (its input stays the
    // application's); without, it inherits all three streams as with StartProcess.
    virtual std::optional<StartedProcess>
    StartWatchedProcess(const System::UnicodeString& /*Application*/,
                        const System::UnicodeString& /*CommandLine*/, int /*ShowState*/,
                        bool /*CaptureOutput*/) {
        return std::nullopt;
    }
    // Waits until the watched process has ended, has written to a captured stream (the bytes are
    // appended to Output), the deadline has passed, or InterruptWait was called. Ended comes only
    // once the process has ended, whoever else still holds its streams open.
    virtual WaitEvent WaitForProcessEvent(HostHandle /*Process*/, WaitDeadline /*Deadline*/,
                                          CapturedOutput& /*Output*/) {
        return WaitEvent::Failed;
    }
    // Makes the current or the next WaitForProcessEvent of the watched process return Interrupted.
    // Safe from any thread while the process's handle is open.
    virtual void InterruptWait(HostHandle /*Process*/) {}
    // Asks the watched process to end (POSIX: SIGTERM; Windows ends it at once), or with Force ends
    // it at once (SIGKILL). False when it cannot be asked.
    virtual bool EndProcess(HostHandle /*Process*/, bool /*Force*/) { return false; }

    // Questions a front end asks around a burn. A host that keeps these defaults cannot answer:
    // the component then reports them as not available.
    //
    // What the host knows of an optical drive for a person: the device or image path it maps to,
    // or its volume name; empty when nothing is known.
    virtual System::UnicodeString DriveTarget(System::WideChar /*Drive*/) { return {}; }
    // All the host knows of an optical drive: the default knows its target only.
    virtual TOpticalDrive DescribeDrive(System::WideChar Drive) {
        TOpticalDrive Known;
        Known.Letter = Drive;
        Known.Target = DriveTarget(Drive);
        return Known;
    }
    // The disc in the drive. Tool is the path of the burning tool the component found (empty when
    // it found none): a host may ask the tool, or the system's own burning service.
    virtual DiscReport DescribeDisc(const System::UnicodeString& /*Tool*/,
                                    System::WideChar /*Drive*/) {
        return {};
    }
    // The size of the session that the burn command line BurnCommandLine (exactly as the
    // component would start it, the tool's path first) would write, and the free space of the disc
    // it names, without writing anything.
    virtual SizeReport MeasureBurn(const System::UnicodeString& /*Tool*/,
                                   const System::UnicodeString& /*BurnCommandLine*/) {
        return {};
    }

    // The same questions, asked of a tool through Run, which the component watches: a host that
    // asks the tool runs it only through Run. The defaults ask as above, without Run.
    virtual DiscReport DescribeDiscWith(const ToolRunner& /*Run*/,
                                        const System::UnicodeString& Tool, System::WideChar Drive) {
        return DescribeDisc(Tool, Drive);
    }
    virtual SizeReport MeasureBurnWith(const ToolRunner& /*Run*/, const System::UnicodeString& Tool,
                                       const System::UnicodeString& BurnCommandLine) {
        return MeasureBurn(Tool, BurnCommandLine);
    }

    // True when Tool is this project's recorder, whose exit codes have the meanings of the
    // Recorder* constants (QueltBurner.hpp); false for any other tool, or when the host cannot
    // tell.
    virtual bool ToolIsRecorder(const System::UnicodeString& /*Tool*/) { return false; }
    // Where ReadUserString reads, for a person's message: the registry itself, or the file that
    // stands in for it; empty when there is nothing to read (no such file).
    virtual System::UnicodeString RegistryLocation() { return u"HKEY_CURRENT_USER"; }
};

// The services of the platform the library was built for (one instance per process).
std::shared_ptr<HostServices> PlatformHostServices();

// The services that TQueltBurner(AOwner) uses: those set last by SetDefaultHostServices, or the
// platform's. Setting nullptr restores the platform's. Both calls are safe from any thread.
std::shared_ptr<HostServices> DefaultHostServices();
void SetDefaultHostServices(std::shared_ptr<HostServices> Host);

} // namespace Queltburner
