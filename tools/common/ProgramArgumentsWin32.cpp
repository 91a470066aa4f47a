// Windows' argv is in the ANSI code page and loses characters; the wide command line does not.
#include "ProgramArguments.hpp"

#include <windows.h>

#include <shellapi.h>

namespace QueltTools {

std::optional<std::string> ProgramArguments(int /*argc*/, char** /*argv*/,
                                            std::vector<System::UnicodeString>& Args) {
    int Count = 0;
    wchar_t** Items = CommandLineToArgvW(GetCommandLineW(), &Count);
    if (Items == nullptr) {
        return "the command line cannot be read";
    }
    for (int I = 1; I < Count; ++I) {
        const std::wstring_view Item(Items[I]);
        Args.emplace_back(Item.begin(), Item.end());
    }
    LocalFree(Items);
    return std::nullopt;
}

std::filesystem::path ArgumentPath(const System::UnicodeString& Argument) {
    return {Argument};
}

} // namespace QueltTools
