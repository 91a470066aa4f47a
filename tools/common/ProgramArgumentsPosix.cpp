// POSIX hands a program its arguments as bytes: each is read as a file name is, so that any bytes
// come back exactly where the argument names a file, and read as UTF-8 text otherwise.
#include "ProgramArguments.hpp"
#include "System.SysUtils.hpp"

namespace QueltTools {

std::optional<std::string> ProgramArguments(int argc, char** argv,
                                            std::vector<System::UnicodeString>& Args) {
    for (int I = 1; I < argc; ++I) {
        Args.push_back(System::Sysutils::FileNameToString(argv[I]));
    }
    return std::nullopt;
}

std::filesystem::path ArgumentPath(const System::UnicodeString& Argument) {
    return System::Sysutils::StringToFileName(Argument);
}

} // namespace QueltTools
