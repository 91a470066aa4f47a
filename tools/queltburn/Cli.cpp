#include "Cli.hpp"

#include "CommandTable.hpp"
#include "Help.hpp"
#include "Parser.hpp"
#include "Runner.hpp"
#include "System.SysUtils.hpp"

namespace Queltburn {

namespace {

int RunArguments(const std::vector<System::UnicodeString>& Args, std::ostream& Out,
                 const Command*& Current) {
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
    return RunCommand(*Current, Parsed, Out);
}

} // namespace

int Run(const std::vector<System::UnicodeString>& Args, std::ostream& Out,
        std::ostream& Err) noexcept {
    const Command* Current = nullptr;
    try {
        try {
            return RunArguments(Args, Out, Current);
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
    } catch (...) {
        // Writing the message itself failed, or something that is not an exception was thrown.
        return ExitUnexpectedFailure;
    }
}

} // namespace Queltburn
