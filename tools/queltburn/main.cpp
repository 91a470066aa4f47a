#include "Cli.hpp"
#include "Console.hpp"
#include "ProgramArguments.hpp"
#include "StandardOutput.hpp"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    Queltburn::OpenClosedStandardStreams();
    std::vector<System::UnicodeString> Args;
    if (const std::optional<std::string> Problem = QueltTools::ProgramArguments(argc, argv, Args)) {
        std::cerr << "queltburn: " << *Problem << "\n";
        return 2;
    }
    Queltburn::StandardOutputBuffer OutBuffer(stdout);
    std::ostream Out(&OutBuffer);
    // Standard error flushes the output before it writes, as it flushed std::cout: the lines keep
    // their order, and a failed write is seen by the buffer that keeps its error. Tied back
    // afterwards: standard error is flushed once more at exit, when Out is gone.
    std::cerr.tie(&Out);
    const int Status = Queltburn::Run(Args, Out, std::cerr);
    std::cerr.tie(&std::cout);
    return Status;
}
