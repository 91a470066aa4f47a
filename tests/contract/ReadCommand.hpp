// A command line the component composed, read the way the tool reads it: split into argv by the
// rules the POSIX host starts the tool with, each argument as the bytes the tool is handed, and
// recognised by the tool's grammar.
#pragma once

#include "CommandLineSplit.hpp"
#include "Commands.hpp"
#include "System.SysUtils.hpp"

#include <string>
#include <vector>

namespace QueltTest {

class ReadCommand {
public:
    explicit ReadCommand(const System::UnicodeString& Line)
        : Arguments(ToolArguments(Line)),
          Recognition(ToolGrammar::Recognize(ToolGrammar::KnownCommands(), Arguments)) {}
    ReadCommand(const ReadCommand&) = delete;
    ReadCommand& operator=(const ReadCommand&) = delete;
    ReadCommand(ReadCommand&&) = delete;
    ReadCommand& operator=(ReadCommand&&) = delete;
    ~ReadCommand() = default;

    const std::vector<std::string> Arguments; // argv[1..]
    // Its views point into Arguments, which is why a reading is never copied or moved.
    const ToolGrammar::Recognition Recognition;

private:
    static std::vector<std::string> ToolArguments(const System::UnicodeString& Line) {
        const std::vector<System::UnicodeString> Argv = Queltburner::SplitCommandLine(Line);
        std::vector<std::string> Arguments;
        for (std::size_t Index = 1; Index < Argv.size(); ++Index) {
            Arguments.push_back(System::Sysutils::StringToFileName(Argv[Index]));
        }
        return Arguments;
    }
};

} // namespace QueltTest
