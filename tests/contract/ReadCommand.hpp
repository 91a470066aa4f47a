// A command line the component composed, read the way the tool reads it: split into argv by the
// rules the POSIX host starts the tool with, each argument as the bytes the tool is handed, and
// recognised by the tool's grammar.
#pragma once

#include "CommandLineSplit.hpp"
#include "Commands.hpp"
#include "System.SysUtils.hpp"

#include <memory>
#include <string>
#include <vector>

namespace QueltTest {

struct ReadCommand {
    std::vector<std::string> Arguments; // argv[1..]
    // Its views point into Arguments, which therefore never change after the reading.
    ToolGrammar::Recognition Recognition;
};

inline std::unique_ptr<const ReadCommand> ReadAsTheTool(const System::UnicodeString& Line) {
    auto Read = std::make_unique<ReadCommand>();
    const std::vector<System::UnicodeString> Argv = Queltburner::SplitCommandLine(Line);
    for (std::size_t Index = 1; Index < Argv.size(); ++Index) {
        Read->Arguments.push_back(System::Sysutils::StringToFileName(Argv[Index]));
    }
    Read->Recognition = ToolGrammar::Recognize(ToolGrammar::KnownCommands(), Read->Arguments);
    return Read;
}

} // namespace QueltTest
