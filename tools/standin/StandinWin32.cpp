// The stand-in's host services on Windows: the arguments and the raw command line come from the
// wide command line, so no character is lost to the ANSI code page.
#include "StandinHost.hpp"

#include <windows.h>

#include <shellapi.h>

namespace Standin::Host {

namespace {

std::string Utf8(const wchar_t* Text, std::size_t Length) {
    if (Length == 0) {
        return {};
    }
    const int Size = WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Length), nullptr, 0,
                                         nullptr, nullptr);
    std::string Out(static_cast<std::size_t>(Size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Length), Out.data(), Size, nullptr,
                        nullptr);
    return Out;
}

std::wstring Wide(const std::string& Text) {
    if (Text.empty()) {
        return {};
    }
    const int Size =
        MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Out(static_cast<std::size_t>(Size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Out.data(), Size);
    return Out;
}

std::string LastError() {
    return "Windows error " + std::to_string(GetLastError());
}

} // namespace

std::vector<std::string> Arguments(int /*argc*/, char** /*argv*/) {
    int Count = 0;
    wchar_t** Items = CommandLineToArgvW(GetCommandLineW(), &Count);
    std::vector<std::string> Arguments;
    if (Items == nullptr) {
        return Arguments;
    }
    for (int I = 0; I < Count; ++I) {
        Arguments.push_back(Utf8(Items[I], wcslen(Items[I])));
    }
    LocalFree(Items);
    return Arguments;
}

std::optional<std::string> RawCommandLine() {
    const wchar_t* Line = GetCommandLineW();
    return Utf8(Line, wcslen(Line));
}

std::optional<unsigned> ShowState() {
    STARTUPINFOW Info{};
    Info.cb = sizeof Info;
    GetStartupInfoW(&Info);
    if ((Info.dwFlags & STARTF_USESHOWWINDOW) == 0) {
        return std::nullopt;
    }
    return Info.wShowWindow;
}

std::optional<std::string> EnvironmentValue(const char* Name) {
    const std::wstring WideName = Wide(Name);
    const DWORD Size = GetEnvironmentVariableW(WideName.c_str(), nullptr, 0);
    if (Size == 0) {
        return std::nullopt;
    }
    std::wstring Value(Size, L'\0');
    const DWORD Length = GetEnvironmentVariableW(WideName.c_str(), Value.data(), Size);
    return Utf8(Value.data(), Length);
}

std::uint64_t ProcessId() {
    return GetCurrentProcessId();
}

void SleepMilliseconds(std::uint32_t Milliseconds) {
    Sleep(Milliseconds);
}

std::optional<std::string> AppendToFile(const std::string& Path, std::string_view Bytes) {
    // FILE_APPEND_DATA alone makes every write land at the end, as O_APPEND does on POSIX.
    const HANDLE File =
        CreateFileW(Wide(Path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    DWORD Written = 0;
    const BOOL Ok =
        WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
    const std::optional<std::string> Problem =
        !Ok ? std::optional(LastError())
            : (Written != Bytes.size()
                   ? std::optional<std::string>("only part of the Line could be written")
                   : std::nullopt);
    CloseHandle(File);
    return Problem;
}

} // namespace Standin::Host
