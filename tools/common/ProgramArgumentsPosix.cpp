// POSIX hands a program its arguments as bytes, which here must be UTF-8.
#include "ProgramArguments.hpp"
#include "System.SysUtils.hpp"

namespace QueltTools {

std::optional<std::string> ProgramArguments(int argc, char** argv,
                                            std::vector<System::UnicodeString>& Args) {
    for (int I = 1; I < argc; ++I) {
        std::optional<System::UnicodeString> Arg = System::Sysutils::TryUTF8ToString(argv[I]);
        if (!Arg) {
            return "argument " + std::to_string(I) + " is not valid UTF-8";
        }
        Args.push_back(std::move(*Arg));
    }
    return std::nullopt;
}

} // namespace QueltTools
