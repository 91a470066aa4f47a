// TQueltBurner: a non-visual component that writes CDs and DVDs by running the command-line
// burning tool NeroCmd.exe. Set its properties, call an operation with a drive letter, and read
// the result code: 0 for success, the tool's exit code, or a negative code for a failed check.
#pragma once

#include "QueltBurnerHostServices.hpp"
#include "QueltBurnerJobs.hpp"
#include "System.Classes.hpp"
#include "System.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace Queltburner {

class OperationFrame;
class RunControl;
class JobContext;

enum TDiskType : std::uint8_t { dtData, dtAudio, dtVideo, dtSuperVideo, dtDVDVideo };

using TErrorEvent = std::function<void(System::TObject* Sender, int ErrorCode)>;
// A progress line of the tool during a waiting run: its phase ("preparing", "erasing", "writing",
// "closing" or "verifying") and how far it is, 0.0 to 100.0.
using TProgressEvent = std::function<void(System::TObject* Sender,
                                          const System::UnicodeString& Phase, double Percent)>;
// A line the tool wrote during a waiting run, without its line end, on its standard output or
// (IsError) its standard error.
using TOutputEvent =
    std::function<void(System::TObject* Sender, const System::UnicodeString& Line, bool IsError)>;

// The constants of this header are not inline variables: where one is given storage, it becomes a
// unique symbol of the package that holds it, and the system never unloads such a library.

// What an operation returns besides the tool's own exit code (0: success; when not waiting, 0 means
// the tool was started).
constexpr int ResultSuccess = 0;
// The tool was not found; or, when waiting, it could not be started, waited for, or its exit code
// read; or, when not waiting, it could not be started.
constexpr int ResultToolFailed = -1;
// The drive letter does not name an optical drive.
constexpr int ResultNotOpticalDrive = -2;
// BurnImage only: the image file does not exist.
constexpr int ResultImageNotFound = -3;

// A waiting run that Cancel() ended (the tool was ended; OnError fires with this code).
constexpr int ResultCancelled = -4;
// A waiting run that lasted longer than Timeout (the tool was ended; OnError fires with this code).
constexpr int ResultTimedOut = -5;
// DescribeDisc and MeasureBurn only: the host (or the tool it asks) cannot answer the question.
constexpr int ResultNotAvailable = -6;

// What a result code means, as a short lower-case phrase for messages and logs, for example
// "the drive is not an optical drive"; any other value is the tool's exit code.
System::UnicodeString ResultText(int Result);

// The exit codes of the recorder, the tool this project installs as NeroCmd.exe on Linux and other
// POSIX systems: what kind of thing failed (its error line on standard error names the thing).
// Another tool's exit codes mean what that tool says they mean.
constexpr int RecorderCommandLine = 2;  // not a command line the component composes; nothing done
constexpr int RecorderTarget = 3;       // unmapped letter, no such device, not a drive, no access
constexpr int RecorderMedium = 4;       // not blank, closed, no such session, not rewritable
constexpr int RecorderDoesNotFit = 5;   // the selection does not fit on the disc
constexpr int RecorderSource = 6;       // an entry cannot be read or decoded
constexpr int RecorderWrite = 7;        // a write failed, or a signal stopped the run
constexpr int RecorderVerify = 8;       // what was read back differs from its source
constexpr int RecorderNotAvailable = 9; // a question (--estimate) it cannot answer for the kind

// ResultText for a result of the given tool: with ToolIsRecorder, the recorder's exit codes are
// named by their meaning ("the selection does not fit on the disc (recorder exit code 5)");
// otherwise as ResultText(int).
System::UnicodeString ResultText(int Result, bool ToolIsRecorder);

// The settings a new component starts with. The published properties with a declared default
// declare these values, so form data leaves such a property out while it holds its initial value.
namespace Initial {
constexpr std::u16string_view VolumeLabel = u"NEW";
constexpr std::uint16_t Speed = 4;
constexpr bool UnderrunProtection = true;
constexpr int ContinueSession = -1;
constexpr TDiskType DiskType = dtData;
constexpr bool ShowMessages = true;
// No time limit for a waiting run.
constexpr std::uint32_t Timeout = 0;
// Every other switch (DisableEject, DetectNonEmptyDisk, Verify, SpeedTest, Tao, ForceEraseDisk,
// CloseSession, DVD, Synchronous, HideNeroCmd) starts off; Artist, Title and Files start empty.
constexpr bool Switch = false;
} // namespace Initial

// Maps a drive letter (either case) to a device or virtual disc file for this process, before
// anything QUELT_DRIVES says for it, and for every tool the component starts from now on. Safe
// from any thread. Target is a file name as System::Sysutils::FileNameToString gives it. Throws
// std::invalid_argument for a character that is not an ASCII letter, or a Target that names no
// file (empty, a NUL, a lone surrogate that stands for no bytes), holds a ';', or starts or ends
// with a blank (QUELT_DRIVES, which carries the map to the tool, cannot say such a name). On
// Windows, where drive letters are the system's, both are no-ops.
void MapDrive(System::WideChar Letter, const System::UnicodeString& Target);
// Takes back MapDrive's mapping of the letter: QUELT_DRIVES (or the /dev/srN rule) names it again.
void UnmapDrive(System::WideChar Letter);

class TQueltBurner : public System::Classes::TComponent {
public:
    // Uses DefaultHostServices(). Looks up NeroCmd.exe once, through the registry.
    explicit TQueltBurner(System::Classes::TComponent* AOwner);
    // Uses the given services (nullptr: DefaultHostServices()).
    TQueltBurner(System::Classes::TComponent* AOwner, std::shared_ptr<HostServices> Host);
    ~TQueltBurner() override;

    // Full path of NeroCmd.exe as found at creation, or empty; the host may set any text.
    System::UnicodeString NeroCmdLocation;

    double Version() const noexcept { return FVersion; }

    // What Result, returned by an operation of this component, means for the tool in
    // NeroCmdLocation: ResultText(Result, true) when the host knows that tool as the recorder.
    System::UnicodeString ResultMeaning(int Result);

    const System::UnicodeString& Artist() const noexcept { return FArtist; }
    void SetArtist(const System::UnicodeString& Value) { FArtist = Value; }
    int ContinueSession() const noexcept { return FContinueSession; }
    void SetContinueSession(int Value) noexcept { FContinueSession = Value; }
    const System::UnicodeString& Title() const noexcept { return FTitle; }
    void SetTitle(const System::UnicodeString& Value) { FTitle = Value; }
    // The component's own list: edit it directly, or replace its entries with SetFiles.
    System::Classes::TStrings* Files() const noexcept { return FFiles.get(); }
    // Copies the entries of Value (nil is ignored); Value stays the caller's.
    void SetFiles(System::Classes::TStrings* Value);
    const System::UnicodeString& VolumeLabel() const noexcept { return FVolume; }
    void SetVolumeLabel(const System::UnicodeString& Value) { FVolume = Value; }
    std::uint16_t Speed() const noexcept { return FSpeed; }
    void SetSpeed(std::uint16_t Value) noexcept { FSpeed = Value; }
    bool DisableEject() const noexcept { return FDisableEject; }
    void SetDisableEject(bool Value) noexcept { FDisableEject = Value; }
    bool UnderrunProtection() const noexcept { return FUnderrunProtection; }
    void SetUnderrunProtection(bool Value) noexcept { FUnderrunProtection = Value; }
    bool DetectNonEmptyDisk() const noexcept { return FDetectNonEmptyDisk; }
    void SetDetectNonEmptyDisk(bool Value) noexcept { FDetectNonEmptyDisk = Value; }
    bool Verify() const noexcept { return FVerify; }
    void SetVerify(bool Value) noexcept { FVerify = Value; }
    bool SpeedTest() const noexcept { return FSpeedTest; }
    void SetSpeedTest(bool Value) noexcept { FSpeedTest = Value; }
    bool Tao() const noexcept { return FTao; }
    void SetTao(bool Value) noexcept { FTao = Value; }
    bool ForceEraseDisk() const noexcept { return FForceEraseDisk; }
    void SetForceEraseDisk(bool Value) noexcept { FForceEraseDisk = Value; }
    bool CloseSession() const noexcept { return FCloseSession; }
    void SetCloseSession(bool Value) noexcept { FCloseSession = Value; }
    bool DVD() const noexcept { return FDVD; }
    void SetDVD(bool Value) noexcept { FDVD = Value; }
    TDiskType DiskType() const noexcept { return FDiskType; }
    void SetDiskType(TDiskType Value) noexcept { FDiskType = Value; }
    bool Synchronous() const noexcept { return FSynchronous; }
    void SetSynchronous(bool Value) noexcept { FSynchronous = Value; }
    bool HideNeroCmd() const noexcept { return FHideNeroCmd; }
    void SetHideNeroCmd(bool Value) noexcept { FHideNeroCmd = Value; }
    bool ShowMessages() const noexcept { return FShowMessages; }
    void SetShowMessages(bool Value) noexcept { FShowMessages = Value; }
    const TErrorEvent& OnError() const noexcept { return FOnError; }
    void SetOnError(TErrorEvent Value) {
        FOnError = std::move(Value);
        ForgetMethodName(u"OnError");
    }
    const System::Classes::TNotifyEvent& OnSuccess() const noexcept { return FOnSuccess; }
    void SetOnSuccess(System::Classes::TNotifyEvent Value) {
        FOnSuccess = std::move(Value);
        ForgetMethodName(u"OnSuccess");
    }

    // Watching a waiting run, on hosts that can (the platform's hosts can; see HostServices).
    // The milliseconds a waiting run may last before the tool is ended and the run returns
    // ResultTimedOut; 0, the initial value, for no limit.
    std::uint32_t Timeout() const noexcept { return FTimeout; }
    void SetTimeout(std::uint32_t Milliseconds) noexcept { FTimeout = Milliseconds; }
    // Fired on the caller's thread for each progress line the tool prints
    // ("progress PHASE PERCENT" on its standard output). While this or OnOutput is set, the tool's
    // output and error are captured instead of going to the application's own streams.
    const TProgressEvent& OnProgress() const noexcept { return FOnProgress; }
    void SetOnProgress(TProgressEvent Value) {
        FOnProgress = std::move(Value);
        ForgetMethodName(u"OnProgress");
    }
    // Fired on the caller's thread for every line the tool writes, as UTF-16 (ill-formed UTF-8 as
    // U+FFFD), a line longer than 64 KiB in pieces, a last line without a line end included.
    const TOutputEvent& OnOutput() const noexcept { return FOnOutput; }
    void SetOnOutput(TOutputEvent Value) {
        FOnOutput = std::move(Value);
        ForgetMethodName(u"OnOutput");
    }
    // Ends the waiting run in progress: the tool is asked to end (POSIX: SIGTERM, then SIGKILL
    // after a grace period of 3 seconds; Windows: ended at once), and the run returns
    // ResultCancelled with OnError. Callable from any thread and from inside an event handler;
    // with no waiting run in progress it does nothing, and the next run is not affected.
    void Cancel() noexcept;

    // The class's name in form data, and its published properties in declared order with their
    // declared defaults (the form writer leaves a property out while it holds its default).
    System::UnicodeString ClassName() const override;
    const System::Typinfo::TPropList& PublishedProperties() const override;

    // Each operation checks the drive (-2) and the tool (-1), composes its command line and runs
    // it: waiting (the tool's exit code, with OnSuccess or OnError) or not (0).

    // A data disc from every existing file and folder in Files.
    int BurnData(System::WideChar Drive);
    // An audio CD from the existing entries of Files.
    int BurnAudio(System::WideChar Drive);
    // A Video CD, or a Super Video CD, from the existing entries of Files.
    int BurnVideo(System::WideChar Drive);
    int BurnSuperVideo(System::WideChar Drive);
    // A DVD-Video disc from the existing entries of Files.
    int BurnDVDVideo(System::WideChar Drive);
    // The operation that DiskType names (any value past dtSuperVideo: BurnDVDVideo).
    int Burn(System::WideChar Drive);
    // An existing image file; -3 when FileName names no existing file.
    int BurnImage(System::UnicodeString FileName, System::WideChar Drive);
    // Blanks the rewritable disc in Drive, the entire disc when FullErase is true.
    int Erase(System::WideChar Drive, bool FullErase);
    // Opens the tray of Drive.
    int Eject(System::WideChar Drive);

    // What a front end asks around a burn. None of these writes, shows a message or fires an
    // event; a failure is a result code (and the report's Reason), never an exception.
    //
    // The letters A to Z whose drive type is optical, in order, each with its host's target.
    std::vector<TOpticalDrive> OpticalDrives();
    // The disc in Drive: 0 with Disc filled in; -2 for a letter that is not an optical drive;
    // -1 when the tool was not found or the question failed (Disc.Reason says why);
    // ResultNotAvailable when the host cannot answer.
    int DescribeDisc(System::WideChar Drive, DiscReport& Disc);
    // What Burn(Drive) would write now, for the current DiskType, settings and Files, measured
    // against the disc in Drive without writing; the result codes of DescribeDisc.
    int MeasureBurn(System::WideChar Drive, SizeReport& Size);

    // Jobs: each Start... call checks nothing yet, copies the settings, Files, NeroCmdLocation and
    // Timeout, and returns at once; the job then runs as the blocking operation would, always
    // waiting for its tool, showing no message and firing only Events, on a thread of its own.
    // Changing or destroying the component afterwards does not touch the job.
    //
    // As Burn(Drive): the operation that DiskType names.
    std::shared_ptr<TBurnJob> StartBurn(System::WideChar Drive, TJobEvents Events = {});
    std::shared_ptr<TBurnJob> StartBurnImage(System::UnicodeString FileName, System::WideChar Drive,
                                             TJobEvents Events = {});
    std::shared_ptr<TBurnJob> StartErase(System::WideChar Drive, bool FullErase,
                                         TJobEvents Events = {});
    std::shared_ptr<TBurnJob> StartEject(System::WideChar Drive, TJobEvents Events = {});
    // The questions, as jobs that honour Cancel() and Timeout; the answer is in the result's Disc
    // or Size.
    std::shared_ptr<TBurnJob> StartDescribeDisc(System::WideChar Drive, TJobEvents Events = {});
    std::shared_ptr<TBurnJob> StartMeasureBurn(System::WideChar Drive, TJobEvents Events = {});

private:
    // The frame the operations share, inside the library.
    friend class OperationFrame;
    friend class JobLauncher;

    // A job's own component: the settings of Source, no events, no messages, always waiting, and
    // a cancel that is kept even when it comes before the run.
    struct JobCopy {};
    TQueltBurner(const TQueltBurner& Source, JobCopy Tag);

    // The tool NeroCmd.exe as the registry names it; the constructor looks it up once.
    System::UnicodeString GetNeroCmdLocation();
    // The folder part of Path: everything up to and including its last separator.
    static System::UnicodeString CutFileName(const System::UnicodeString& Path);
    // Starts the tool, waits for it and returns its exit code: -1 when a step fails, -4 when it
    // was cancelled (Cancel(), or a job's cancel before it started) and -5 when Timeout passed
    // first (a host that can watch processes; one that cannot waits without a limit).
    int ExecuteAndWait(const System::UnicodeString& CommandLine, int ShowState);
    // 1 for true and 0 for false; and the reverse, the tool's window show state from HideNeroCmd.
    static int BoolToInt(bool Value) noexcept;
    static int BoolToIntNeg(bool Value) noexcept;

    std::shared_ptr<HostServices> FHost;

    std::unique_ptr<System::Classes::TStringList> FFiles;
    System::UnicodeString FVolume{Initial::VolumeLabel};
    System::UnicodeString FArtist;
    System::UnicodeString FTitle;
    std::uint16_t FSpeed = Initial::Speed;
    bool FDisableEject = Initial::Switch;
    bool FUnderrunProtection = Initial::UnderrunProtection;
    bool FDetectNonEmptyDisk = Initial::Switch;
    bool FTao = Initial::Switch;
    bool FForceEraseDisk = Initial::Switch;
    bool FVerify = Initial::Switch;
    bool FSpeedTest = Initial::Switch;
    bool FCloseSession = Initial::Switch;
    bool FDVD = Initial::Switch;
    TDiskType FDiskType = Initial::DiskType;
    int FContinueSession = Initial::ContinueSession;
    bool FSynchronous = Initial::Switch;
    bool FHideNeroCmd = Initial::Switch;
    bool FShowMessages = Initial::ShowMessages;
    TErrorEvent FOnError;
    System::Classes::TNotifyEvent FOnSuccess;
    TProgressEvent FOnProgress;
    TOutputEvent FOnOutput;
    std::uint32_t FTimeout = Initial::Timeout;
    // The waiting run in progress, which Cancel() may reach from another thread.
    std::shared_ptr<RunControl> FRun;
    // A job's component: where its tool's lines, the entries it leaves out and its questions go.
    JobContext* FJob = nullptr;
    double FVersion = 0.0;
};

// Puts TQueltBurner on the palette page "Quelt Soft" and registers the class by name. A design
// environment calls it once it has loaded the package; applications never need to.
void Register();

// The unit's start-up and shut-down, run from a package's unit table. They do no work: they only
// count how often the unit was entered.
void initialization();
void Finalization();

} // namespace Queltburner
