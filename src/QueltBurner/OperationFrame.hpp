// The inside of TQueltBurner's operations: the frame every operation runs in, and the composition
// of each operation's command line. Only the component's own files use it.
#pragma once

#include "QueltBurner.hpp"

#include <functional>
#include <optional>
#include <string_view>

namespace Queltburner {

class CommandLine;

// Builds an operation's command line; the host answers which entries exist.
using ComposeCommand = std::function<System::UnicodeString(HostServices& Host)>;

// The steps every operation shares, on one component: the drive and tool checks, then the composed
// command line run waiting (with the events) or not. A friend of the component, as it needs the
// component's host services.
class OperationFrame {
public:
    explicit OperationFrame(TQueltBurner& Burner) noexcept : FBurner(Burner) {}

    // Both checks, then the command line that Compose builds, run.
    int Run(System::WideChar Drive, const ComposeCommand& Compose);
    // The checks every operation starts with: 0 when both pass, else the operation's result.
    int CheckDriveAndTool(System::WideChar Drive);
    // The drive check alone, without a message: whether Drive is a letter the host calls optical.
    bool IsOpticalDrive(System::WideChar Drive) const;
    // The tool check alone, without a message.
    bool ToolExists() const;
    // Shows Text while the component shows messages.
    void ShowError(const System::UnicodeString& Text);
    // Runs a composed command line waiting or not, fires the events, returns the result code.
    int RunCommandLine(const System::UnicodeString& CommandLine);
    // Starts the tool, waits for it and returns its exit code, or -1 when a step fails. On a host
    // that can watch processes, the run is watched (ExecuteWatched).
    int ExecuteAndWait(const System::UnicodeString& CommandLine, int ShowState);
    // A waited run whose tool's lines reach the events as they come, which ends at the component's
    // time limit (ResultTimedOut) or at a Cancel() (ResultCancelled).
    int ExecuteWatched(const System::UnicodeString& CommandLine, int ShowState);

    HostServices& Host() const noexcept { return *FBurner.FHost; }

    // The existing entries of the component's Files (AppendExistingEntries); a job's component
    // tells its job which it left out.
    static void AppendFiles(CommandLine& Line, const TQueltBurner& Burner, HostServices& Host);
    // A question's tool run for a job's component: watched as a burn is (cancel, time limit),
    // its output kept for the host's answer.
    ToolRunner QuestionRunner();

private:
    std::optional<StartedProcess> StartTool(const System::UnicodeString& CommandLine, int ShowState,
                                            LaunchMode Mode) const;
    int LaunchWithoutWaiting(const System::UnicodeString& CommandLine, int ShowState);

    TQueltBurner& FBurner;
};

// Command composition, one per command; each appends its options in the tool's order, reading the
// component's settings.
System::UnicodeString ComposeDataCommand(const TQueltBurner& Burner, HostServices& Host,
                                         System::WideChar Drive);
System::UnicodeString ComposeDVDVideoCommand(const TQueltBurner& Burner, HostServices& Host,
                                             System::WideChar Drive);
System::UnicodeString ComposeAudioCommand(const TQueltBurner& Burner, HostServices& Host,
                                          System::WideChar Drive);
// Format: the tool's option of the disc kind, "--videocd" or "--svideocd".
System::UnicodeString ComposeVideoCommand(const TQueltBurner& Burner, HostServices& Host,
                                          System::WideChar Drive, std::string_view Format);
System::UnicodeString ComposeImageCommand(const TQueltBurner& Burner,
                                          const System::UnicodeString& FileName,
                                          System::WideChar Drive);
System::UnicodeString ComposeEraseCommand(const TQueltBurner& Burner, System::WideChar Drive,
                                          bool FullErase);
System::UnicodeString ComposeEjectCommand(const TQueltBurner& Burner, System::WideChar Drive);
// The command that Burn(Drive) runs for the component's DiskType.
System::UnicodeString ComposeBurnCommand(const TQueltBurner& Burner, HostServices& Host,
                                         System::WideChar Drive);

// The pieces that more than one command writes the same way.
void AppendArtistAndTitle(CommandLine& Line, const TQueltBurner& Burner);
// The existing entries of Files, then the switch that erases the disc first.
void AppendEntriesThenForceErase(CommandLine& Line, const TQueltBurner& Burner, HostServices& Host);

} // namespace Queltburner
