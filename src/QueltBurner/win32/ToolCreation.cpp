#include "ToolCreation.hpp"

#include "BatchFileRule.hpp"
#include "NativeText.hpp"

#include <string>
#include <vector>

namespace Queltburner::Win32 {

namespace {

// Whether the tool may be started with this command line at all.
bool MayStart(const System::UnicodeString& Application, const System::UnicodeString& CommandLine) {
    // CreateProcessW takes at most 32,767 code units with the terminating NUL; a longer line must
    // not reach the tool cut short (some implementations start it with its beginning only).
    constexpr std::size_t LongestCommandLine = 32766;
    if (!IsAskable(Application) || CommandLine.find(u'\0') != System::UnicodeString::npos ||
        CommandLine.size() > LongestCommandLine) {
        return false;
    }
    return !IsBatchFile(Application) || IsSafeForCommandInterpreter(CommandLine);
}

// The attribute list that names the captured streams as the only handles the tool inherits;
// deleted on every way out.
class InheritedHandles {
public:
    explicit InheritedHandles(const CapturedStreams& Streams) {
        for (HANDLE Handle : {Streams.Input, Streams.Output, Streams.Error}) {
            if (Handle != nullptr) {
                FHandles.push_back(Handle);
            }
        }
        SIZE_T Size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &Size);
        FMemory.resize(Size);
        auto* Attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FMemory.data());
        if (!InitializeProcThreadAttributeList(Attributes, 1, 0, &Size)) {
            return;
        }
        FList = Attributes;
        if (!UpdateProcThreadAttribute(FList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, FHandles.data(),
                                       FHandles.size() * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(FList);
            FList = nullptr;
        }
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    InheritedHandles(InheritedHandles&&) = delete;
    InheritedHandles& operator=(InheritedHandles&&) = delete;
    ~InheritedHandles() {
        if (FList != nullptr) {
            DeleteProcThreadAttributeList(FList);
        }
    }

    // nullptr when the list could not be made.
    LPPROC_THREAD_ATTRIBUTE_LIST List() const noexcept { return FList; }

private:
    std::vector<HANDLE> FHandles;
    std::vector<char> FMemory;
    LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
};

} // namespace

CapturedStreams::~CapturedStreams() {
    for (HANDLE Handle : {Input, Output, Error}) {
        if (Handle != nullptr) {
            CloseHandle(Handle);
        }
    }
}

HANDLE InheritableInput() {
    const HANDLE Input = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE Copy = nullptr;
    if (Input == nullptr || Input == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), Input, GetCurrentProcess(), &Copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return Copy;
}

std::optional<StartedProcess> CreateTool(const System::UnicodeString& Application,
                                         const System::UnicodeString& CommandLine, int ShowState,
                                         const CapturedStreams* Streams) {
    if (!MayStart(Application, CommandLine)) {
        return std::nullopt;
    }
    const std::wstring ApplicationName = Wide(Application);
    // CreateProcessW may write to the command line, so it gets a buffer of its own.
    std::vector<wchar_t> Buffer(CommandLine.begin(), CommandLine.end());
    Buffer.push_back(L'\0');
    STARTUPINFOEXW StartupInfo{};
    StartupInfo.StartupInfo.cb = sizeof StartupInfo.StartupInfo;
    StartupInfo.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    StartupInfo.StartupInfo.wShowWindow =
        static_cast<WORD>(static_cast<unsigned>(ShowState) & 0xFFFFU);
    DWORD Flags = 0;
    BOOL Inherit = FALSE;
    std::optional<InheritedHandles> Inherited;
    if (Streams != nullptr) {
        StartupInfo.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
        StartupInfo.StartupInfo.hStdInput = Streams->Input;
        StartupInfo.StartupInfo.hStdOutput = Streams->Output;
        StartupInfo.StartupInfo.hStdError = Streams->Error;
        Inherited.emplace(*Streams);
        if (Inherited->List() == nullptr) {
            return std::nullopt;
        }
        StartupInfo.lpAttributeList = Inherited->List();
        Flags |= EXTENDED_STARTUPINFO_PRESENT;
        Inherit = TRUE;
    }
    PROCESS_INFORMATION Information{};
    if (!CreateProcessW(ApplicationName.c_str(), Buffer.data(), nullptr, nullptr, Inherit, Flags,
                        nullptr, nullptr, &StartupInfo.StartupInfo, &Information)) {
        return std::nullopt;
    }
    return StartedProcess{reinterpret_cast<HostHandle>(Information.hProcess),
                          reinterpret_cast<HostHandle>(Information.hThread)};
}

} // namespace Queltburner::Win32
