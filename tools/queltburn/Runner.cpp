#include "Runner.hpp"

#include "Advice.hpp"
#include "JobRun.hpp"
#include "PrintingHost.hpp"
#include "QueltBurner.hpp"
#include "Queries.hpp"
#include "System.Classes.FormText.hpp"
#include "System.Classes.Streaming.hpp"
#include "System.SysUtils.hpp"
#include "TextFile.hpp"

#include <algorithm>
#include <any>
#include <memory>
#include <optional>

namespace Queltburn {

namespace {

using Queltburner::TQueltBurner;
using System::UnicodeString;
using System::Sysutils::UTF8Encode;

// Events named in a settings file need no code here: the host sets its own handlers.
std::optional<std::any> NoHandlerNeeded(const UnicodeString&,
                                        const System::Typinfo::TPropInfo& Event) {
    if (Event.TypeName == u"TErrorEvent") {
        return std::any(Queltburner::TErrorEvent());
    }
    if (Event.TypeName == u"TProgressEvent") {
        return std::any(Queltburner::TProgressEvent());
    }
    if (Event.TypeName == u"TOutputEvent") {
        return std::any(Queltburner::TOutputEvent());
    }
    return std::any(System::Classes::TNotifyEvent());
}

void LoadSettings(TQueltBurner& Burner, const RunOptions& Run) {
    const std::string Name = UTF8Encode(*Run.SettingsFile);
    UnicodeString Text;
    if (const std::optional<std::string> Problem = ReadTextFile(*Run.SettingsFile, Text)) {
        throw UsageError(Name + ": " + *Problem);
    }
    try {
        if (Run.SettingsName) {
            System::Classes::ReadComponentFromForm(Text, *Run.SettingsName, Burner,
                                                   NoHandlerNeeded);
        } else {
            System::Classes::ReadComponentText(Text, Burner, NoHandlerNeeded);
        }
    } catch (const System::Classes::EFormTextError& Error) {
        throw UsageError(Name + ": " + Error.what());
    }
}

// The drive letter and the files of C, checked. A file or folder that does not exist stops the
// run here, unless --skip-missing leaves that to the component, which passes over such entries.
System::WideChar CheckOperands(const Command& C, const RunOptions& Run,
                               std::vector<UnicodeString>& Operands,
                               Queltburner::HostServices& Host) {
    if (Operands.empty() || Operands[0].size() != 1) {
        throw UsageError("the drive is one letter, for example E (usage: " + Synopsis(C) + ")");
    }
    const System::WideChar Drive = Operands[0][0];
    Operands.erase(Operands.begin());
    if ((C.Takes == Operands::DriveOnly && !Operands.empty()) ||
        (C.Takes == Operands::DriveAndOneFile && Operands.size() != 1)) {
        throw UsageError("usage: " + Synopsis(C));
    }
    if (C.Takes != Operands::DriveAndFiles) {
        return Drive;
    }
    if (Operands.empty()) {
        throw UsageError("no FILE given: '" + std::string(C.Name) +
                         "' writes at least one file or folder (usage: " + Synopsis(C) + ")");
    }
    if (!Run.SkipMissing) {
        for (const UnicodeString& File : Operands) {
            if (!Host.FileExists(File) && !Host.DirectoryExists(File)) {
                throw UsageError(UTF8Encode(File) +
                                 ": no such file or folder (--skip-missing leaves it out)");
            }
        }
    }
    return Drive;
}

std::string Meaning(int Result, const RunOptions& Run, TQueltBurner& Burner) {
    if (!Run.Wait && Result == Queltburner::ResultSuccess) {
        return Run.PrintCommand ? "the tool would have been started" : "the tool was started";
    }
    return UTF8Encode(Burner.ResultMeaning(Result));
}

// The exit status of a run: a cancel that a signal asked for, and the time limit, end as a shell
// and timeout(1) report such ends, so that scripts tell them from the tool's failure.
int ExitStatusOf(int Result, int InterruptStatus) {
    if (Result == Queltburner::ResultSuccess) {
        return ExitSuccess;
    }
    if (Result == Queltburner::ResultCancelled && InterruptStatus != 0) {
        return InterruptStatus;
    }
    return Result == Queltburner::ResultTimedOut ? ExitTimedOut : ExitToolFailed;
}

// The result with its meaning and the event. A result above 0 is the tool's exit code, whose
// meaning is the code's fixed one and may be wider than the case (the recorder's 6, "an entry
// cannot be read or decoded", is also its answer to no entries at all): the tool's last error line,
// which names the case, is printed with it as the reason, as a question's reason is.
void PrintResult(std::ostream& Out, int Result, const std::string& Meaning,
                 const std::string& ToolsLastError, const std::string& Event) {
    if (Result > 0 && !ToolsLastError.empty()) {
        Out << "reason: " << ToolsLastError << "\n";
    }
    Out << "result: " << Result << " (" << Meaning << ")\nevent: " << Event << "\n";
}

// The path --tool gave, if it was given.
std::optional<UnicodeString> ToolOption(const ParsedArguments& Parsed) {
    std::optional<UnicodeString> Tool;
    for (const ParsedOption& Given : Parsed.Options) {
        if (Given.Which->Name == "tool") {
            Tool = Given.Value;
        }
    }
    return Tool;
}

// burn takes the options of every kind, but refuses, as the kind's own command does, a setting
// that the kind it writes ignores: "burn --type audio --verify" would not verify anything.
void RefuseOptionsTheKindIgnores(const Command& C, const ParsedArguments& Parsed,
                                 Queltburner::TDiskType Type) {
    if (C.Name != "burn") {
        return;
    }
    const Command& Kind = CommandOfDiskType(Type);
    const std::vector<std::string_view> Takes = OwnOptions(Kind);
    for (const ParsedOption& Given : Parsed.Options) {
        const std::string_view Name = Given.Which->Name;
        const bool KindSetting =
            Name != "type" && std::find(C.Reads.begin(), C.Reads.end(), Name) != C.Reads.end();
        if (KindSetting && std::find(Takes.begin(), Takes.end(), Name) == Takes.end()) {
            throw UsageError("'burn --type " + std::string(Kind.Name) + "' has no option --" +
                             std::string(Name) + ": " + std::string(Kind.Name) +
                             " ignores it (queltburn " + std::string(Kind.Name) +
                             " --help lists its options)");
        }
    }
}

RunOptions RunOptionsOf(const ParsedArguments& Parsed) {
    RunOptions Run;
    for (const ParsedOption& Given : Parsed.Options) {
        if (Given.Which->SetRun) {
            Given.Which->SetRun(Run, Given.Value, Given.On);
        }
    }
    if (Run.SettingsName && !Run.SettingsFile) {
        throw UsageError("--name goes with --settings");
    }
    if (Run.Estimate && Run.PrintCommand) {
        throw UsageError("--estimate starts no burn whose command line could be printed; leave "
                         "out --print-command");
    }
    return Run;
}

int PrintSettings(TQueltBurner& Burner, std::ostream& Out) {
    if (Burner.Name().empty()) {
        Burner.SetName(u"QueltBurner1");
    }
    Out << UTF8Encode(System::Classes::WriteComponentText(Burner));
    return 0;
}

// An operation about to run: the command as given, its checked drive and operands, the host, and
// the printing host that stands in for the tool with --print-command.
struct OperationRun {
    const Command& C;
    const ParsedArguments& Parsed;
    const RunOptions& Run;
    System::WideChar Drive;
    const std::vector<UnicodeString>& Operands;
    Queltburner::HostServices& Host;
    const PrintingHost* Printing;
};

// Without waiting, or with --print-command, the operation runs as it is: there is nothing to
// watch, and the component's own events say how it went.
RunOutcome RunBlocking(const OperationRun& Op, TQueltBurner& Burner) {
    Burner.SetSynchronous(Op.Run.Wait);
    RunOutcome Outcome;
    Burner.SetOnSuccess([&Outcome](System::TObject*) { Outcome.Event = "OnSuccess"; });
    Burner.SetOnError([&Outcome](System::TObject*, int Code) {
        Outcome.Event = "OnError(" + std::to_string(Code) + ")";
    });
    Outcome.Result = Op.C.Operation(Burner, Op.Run, Op.Drive, Op.Operands);
    return Outcome;
}

int RunOperation(const OperationRun& Op, TQueltBurner& Burner, std::ostream& Out,
                 std::ostream& Err) {
    const RunOptions& Run = Op.Run;
    // Waiting is the command line's choice, not a settings file's; a waiting run is a job, so that
    // its progress, the tool's lines and Ctrl-C are watched while it runs.
    const RunOutcome Outcome =
        Run.Wait && !Run.PrintCommand
            ? RunAsJob(Op.C, Run, Burner, Op.Drive, Op.Operands, Op.Host, Out, Err)
            : RunBlocking(Op, Burner);
    const int Result = Outcome.Result;
    if (const auto Advice = AdviceFor(Result, Op.Drive, Burner, Op.Host, ToolOption(Op.Parsed))) {
        Err << "queltburn: " << *Advice << "\n" << std::flush;
    }
    if (Op.Printing != nullptr && Op.Printing->CommandLine()) {
        Out << "command: " << UTF8Encode(*Op.Printing->CommandLine()) << "\n";
    }
    PrintResult(Out, Result, Meaning(Result, Run, Burner), Outcome.ToolsLastError, Outcome.Event);
    return ExitStatusOf(Result, Outcome.InterruptStatus);
}

} // namespace

int RunCommand(const Command& C, const ParsedArguments& Parsed, std::ostream& Out,
               std::ostream& Err) {
    const RunOptions Run = RunOptionsOf(Parsed);
    std::shared_ptr<Queltburner::HostServices> Host = Queltburner::DefaultHostServices();
    std::shared_ptr<PrintingHost> Printing;
    if (Run.PrintCommand) {
        Printing = std::make_shared<PrintingHost>(Host);
        Host = Printing;
    }
    TQueltBurner Burner(nullptr, Host);
    if (Run.SettingsFile) {
        LoadSettings(Burner, Run);
    }
    for (const ParsedOption& Given : Parsed.Options) {
        if (Given.Which->SetSetting) {
            Given.Which->SetSetting(Burner, Given.Value, Given.On);
        }
    }
    RefuseOptionsTheKindIgnores(C, Parsed, Burner.DiskType());
    std::vector<UnicodeString> Operands = Parsed.Operands;
    if (C.Query) {
        // A question: its drive (if any) checked as an operation's, and nothing run that writes.
        if (C.Takes == Operands::None && !Operands.empty()) {
            throw UsageError("usage: " + Synopsis(C));
        }
        const System::WideChar Drive =
            C.Takes == Operands::None ? System::WideChar{} : CheckOperands(C, Run, Operands, *Host);
        return C.Query(Burner, Run, Drive, Out);
    }
    if (C.Takes == Operands::None) {
        if (!Operands.empty()) {
            throw UsageError("usage: " + Synopsis(C));
        }
        return PrintSettings(Burner, Out);
    }
    const System::WideChar Drive = CheckOperands(C, Run, Operands, *Host);
    if (C.Takes == Operands::DriveAndFiles) {
        for (const UnicodeString& File : Operands) {
            Burner.Files()->Add(File);
        }
    }
    if (Run.Estimate) {
        if (C.BurnKind) {
            Burner.SetDiskType(*C.BurnKind);
        }
        return PrintEstimate(Burner, Drive, Out);
    }
    const OperationRun Operation{C, Parsed, Run, Drive, Operands, *Host, Printing.get()};
    return RunOperation(Operation, Burner, Out, Err);
}

} // namespace Queltburn
