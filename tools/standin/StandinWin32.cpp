// The stand-in's host services on Windows: the arguments and the raw command line come from the
// wide command line, so no character is lost to the ANSI code page.
#include "StandinHost.hpp"

#include <windows.h>

#include <shellapi.h>

namespace standin::host {

namespace {

std::string Utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr,
                        nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string LastError() {
    return "Windows error " + std::to_string(GetLastError());
}

} // namespace

std::vector<std::string> Arguments(int /*argc*/, char** /*argv*/) {
    int count = 0;
    wchar_t** items = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (items == nullptr) {
        return arguments;
    }
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8(items[i], wcslen(items[i])));
    }
    LocalFree(items);
    return arguments;
}

std::optional<std::string> RawCommandLine() {
    const wchar_t* line = GetCommandLineW();
    return Utf8(line, wcslen(line));
}

std::optional<unsigned> ShowState() {
    STARTUPINFOW info{};
    info.cb = sizeof info;
    GetStartupInfoW(&info);
    if ((info.dwFlags & STARTF_USESHOWWINDOW) == 0) {
        return std::nullopt;
    }
    return info.wShowWindow;
}

std::optional<std::string> EnvironmentValue(const char* name) {
    const std::wstring wideName = Wide(name);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    return Utf8(value.data(), length);
}

std::uint64_t ProcessId() {
    return GetCurrentProcessId();
}

void SleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::optional<std::string> AppendToFile(const std::string& path, std::string_view bytes) {
    // FILE_APPEND_DATA alone makes every write land at the end, as O_APPEND does on POSIX.
    const HANDLE file =
        CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const std::optional<std::string> problem =
        !ok ? std::optional(LastError())
            : (written != bytes.size()
                   ? std::optional<std::string>("only part of the line could be written")
                   : std::nullopt);
    CloseHandle(file);
    return problem;
}

} // namespace standin::host
