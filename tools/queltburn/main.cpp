#include "Cli.hpp"
#include "System.SysUtils.hpp"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<System::UnicodeString> Args;
    for (int I = 1; I < argc; ++I) {
        std::optional<System::UnicodeString> Arg = System::Sysutils::TryUTF8ToString(argv[I]);
        if (!Arg) {
            std::cerr << "queltburn: argument " << I << " is not valid UTF-8\n";
            return 2;
        }
        Args.push_back(std::move(*Arg));
    }
    return Queltburn::Run(Args, std::cout, std::cerr);
}
