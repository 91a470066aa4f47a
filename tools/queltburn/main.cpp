#include "Cli.hpp"
#include "Console.hpp"
#include "ProgramArguments.hpp"

#include <iostream>

int main(int argc, char** argv) {
    Queltburn::OpenClosedStandardStreams();
    std::vector<System::UnicodeString> Args;
    if (const std::optional<std::string> Problem = QueltTools::ProgramArguments(argc, argv, Args)) {
        std::cerr << "queltburn: " << *Problem << "\n";
        return 2;
    }
    return Queltburn::Run(Args, std::cout, std::cerr);
}
