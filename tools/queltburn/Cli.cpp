#include "Cli.hpp"

#include "CommandTable.hpp"
#include "Help.hpp"
#include "Parser.hpp"
#include "Runner.hpp"
#include "StandardOutput.hpp"
#include "System.SysUtils.hpp"

namespace Queltburn {

namespace {

int RunArguments(const std::vector<System::UnicodeString>& Args, std::ostream& Out,
                 std::ostream& Err, const Command*& Current) {
    if (Args.empty()) {
        throw UsageError("no command given");
    }
    if (Args[0] == u"--help" || Args[0] == u"-h") {
        PrintUsage(Out);
        return 0;
    }
    if (Args[0] == u"--version") {
        PrintVersion(Out);
        return 0;
    }
    Current = FindCommand(Args[0]);
    if (Current == nullptr) {
        throw UsageError("unknown command '" + System::Sysutils::UTF8Encode(Args[0]) + "'");
    }
    const ParsedArguments Parsed =
        ParseArguments(*Current, std::vector<System::UnicodeString>(Args.begin() + 1, Args.end()));
    if (Parsed.Help) {
        PrintCommandHelp(Out, *Current);
        return 0;
    }
    return RunCommand(*Current, Parsed, Out, Err);
}

int RunAndReport(const std::vector<System::UnicodeString>& Args, std::ostream& Out,
                 std::ostream& Err) {
    const Command* Current = nullptr;
    try {
        return RunArguments(Args, Out, Err, Current);
    } catch (const UsageError& Error) {
        Err << "queltburn: " << Error.what() << "\n("
            << (Current != nullptr
                    ? "queltburn " + std::string(Current->Name) + " --help lists its options"
                    : std::string("queltburn --help lists the commands"))
            << ")\n";
        return ExitUsage;
    } catch (const std::exception& Error) {
        Err << "queltburn: unexpected failure: " << Error.what() << "\n";
        return ExitUnexpectedFailure;
    }
}

// Output that was not written is a failure whatever the command did: a script reading it would
// take what arrived for all of it. Said once, with how the command itself went, since its own lines
// (a burn's result among them) are what was lost.
int CheckOutput(std::ostream& Out, std::ostream& Err, int Status) {
    Out.flush();
    if (!Out.fail()) {
        return Status;
    }
    const std::string Why = WriteErrorOf(Out);
    Err << "queltburn: cannot write to standard output" << (Why.empty() ? "" : ": " + Why)
        << (Status == ExitSuccess
                ? " (the command itself succeeded)"
                : " (the command itself failed: exit status " + std::to_string(Status) + ")")
        << "\n"
        << std::flush;
    return Status == ExitSuccess ? ExitUnexpectedFailure : Status;
}

} // namespace

int Run(const std::vector<System::UnicodeString>& Args, std::ostream& Out,
        std::ostream& Err) noexcept {
    try {
        return CheckOutput(Out, Err, RunAndReport(Args, Out, Err));
    } catch (...) {
        // Writing the message itself failed, or something that is not an exception was thrown.
        return ExitUnexpectedFailure;
    }
}

} // namespace Queltburn
